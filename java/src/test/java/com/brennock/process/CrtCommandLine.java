package com.brennock.process;

import java.util.ArrayList;
import java.util.List;

/**
 * Splits a command line the way the Windows C runtime does for a program's {@code argv}, written
 * from the runtime's documented rules, so that the tests can check what {@link CommandLine} builds
 * by what a child would receive rather than by its exact text.
 */
public final class CrtCommandLine {
    private final String line;
    private int position;

    private CrtCommandLine(String line) { this.line = line; }

    /** Returns argv: the program name, then the arguments. */
    public static List<String> split(String line) { return new CrtCommandLine(line).splitAll(); }

    private List<String> splitAll() {
        List<String> argv = new ArrayList<>();
        argv.add(programName());
        while (true) {
            skipBlanks();
            if (position == line.length()) {
                return argv;
            }
            argv.add(argument());
        }
    }

    /** The first token: up to a blank, or between quotes, with no backslash rule. */
    private String programName() {
        if (line.startsWith("\"")) {
            int close = line.indexOf('"', 1);
            int end = close < 0 ? line.length() : close;
            position = close < 0 ? end : close + 1;
            return line.substring(1, end);
        }
        int end = position;
        while (end < line.length() && !isBlank(line.charAt(end))) {
            end++;
        }
        position = end;
        return line.substring(0, end);
    }

    private String argument() {
        StringBuilder out = new StringBuilder();
        boolean quoted = false;
        while (position < line.length()) {
            char c = line.charAt(position);
            if (!quoted && isBlank(c)) {
                break;
            }
            if (c == '\\') {
                backslashes(out);
            } else if (c == '"') {
                if (quoted && position + 1 < line.length() && line.charAt(position + 1) == '"') {
                    out.append('"');
                    position += 2;
                } else {
                    quoted = !quoted;
                    position++;
                }
            } else {
                out.append(c);
                position++;
            }
        }
        return out.toString();
    }

    /**
     * A run of n backslashes: before a quote, n/2 of them and, for odd n, a literal quote (an even
     * run leaves the quote to toggle quoting); elsewhere all n.
     */
    private void backslashes(StringBuilder out) {
        int start = position;
        while (position < line.length() && line.charAt(position) == '\\') {
            position++;
        }
        int count = position - start;
        boolean beforeQuote = position < line.length() && line.charAt(position) == '"';
        int kept = beforeQuote ? count / 2 : count;
        for (int i = 0; i < kept; i++) {
            out.append('\\');
        }
        if (beforeQuote && count % 2 == 1) {
            out.append('"');
            position++;
        }
    }

    private void skipBlanks() {
        while (position < line.length() && isBlank(line.charAt(position))) {
            position++;
        }
    }

    private static boolean isBlank(char c) { return c == ' ' || c == '\t'; }
}
