package com.brennock.process;

import java.util.List;
import java.util.Objects;

/**
 * Joins a program and its arguments into the one command line that {@link
 * WindowsProcessImpl#create} takes.
 *
 * <p>Windows hands a child its command line as one string; the child's C runtime splits it back
 * into arguments. The rules that runtime applies: arguments are separated by spaces or tabs; a
 * double quote starts or ends a quoted part, in which spaces and tabs are kept; {@code 2n}
 * backslashes followed by a quote give {@code n} backslashes and start or end quoting, {@code 2n+1}
 * backslashes followed by a quote give {@code n} backslashes and a literal quote; backslashes not
 * followed by a quote are literal. The program itself, the first token, is read by simpler rules:
 * up to the next space or tab, or, if it starts with a quote, up to the next quote, with no
 * backslash rule; Windows looks the program up by that same first token.
 *
 * <p>An argument is therefore written as it is when it holds nothing that the splitting rules would
 * act on, and otherwise in quotes, with each quote in it preceded by a backslash and the
 * backslashes that end up before a quote doubled. Arguments holding {@code *} or {@code ?} are
 * quoted too, because runtimes built to expand wildcards leave quoted arguments alone.
 *
 * <p>A batch file ({@code .bat} or {@code .cmd}) is run by {@code cmd.exe}, which reads the whole
 * line by rules of its own before the batch file sees it: {@code %} and {@code !} expand variables
 * even inside quotes, a quote switches quoting on and off with no way to escape it, and a line
 * break ends the command. Text after such a break, or after an {@code &} that a stray quote left
 * unquoted, would run as a command. For a batch file, arguments holding any of these characters
 * are refused; the other characters special to {@code cmd.exe} ({@code & | < > ^ ( ) , ; =}, spaces
 * and tabs) are made harmless by the quotes. The quoting is the same as above, so a batch file
 * that passes {@code %*} on to a program gives that program exactly the arguments.
 */
public final class CommandLine {
    /** Characters after which the C runtime would split or unquote an argument, or expand it. */
    private static final String QUOTE_TRIGGERS = " \t\n\u000B\"*?";

    /** Where Windows and the C runtime end an unquoted program name. */
    private static final String PROGRAM_QUOTE_TRIGGERS = " \t";

    private CommandLine() {}

    /**
     * Returns the command line that gives {@code program} exactly {@code arguments}.
     *
     * @param program the program as Windows should look it up: a file name or path
     * @param arguments the arguments, in order; each may be empty
     * @return the command line, program first
     * @throws IllegalArgumentException if the program is empty or holds a double quote or NUL, if
     *     an argument holds NUL, or, when the program is a batch file, if the program or an
     *     argument holds a character that {@code cmd.exe} would act on even inside quotes (a
     *     double quote, {@code %}, {@code !}, a line break or another control character other
     *     than tab); the message names the program or the argument's index
     * @throws NullPointerException if the program, the list or an argument is null
     */
    public static String build(String program, List<String> arguments) {
        Objects.requireNonNull(program, "program");
        Objects.requireNonNull(arguments, "arguments");
        boolean batch = BatchFile.isBatchFile(program);
        checkProgram(program, batch);
        StringBuilder line = new StringBuilder();
        appendProgram(line, program, batch);
        for (int i = 0; i < arguments.size(); i++) {
            String argument = arguments.get(i);
            String what = "arguments[" + i + "]";
            Objects.requireNonNull(argument, what);
            checkArgument(what, argument, batch);
            line.append(' ');
            appendArgument(line, argument, batch);
        }
        return line.toString();
    }

    private static void checkProgram(String program, boolean batch) {
        if (program.isEmpty()) {
            throw new IllegalArgumentException("program is empty");
        }
        if (program.indexOf('"') >= 0) {
            throw new IllegalArgumentException(
                "program " + Printable.quote(program) + " contains '\"', which no file name has");
        }
        checkArgument("program", program, batch);
    }

    private static void checkArgument(String what, String text, boolean batch) {
        if (text.indexOf('\0') >= 0) {
            throw new IllegalArgumentException(
                what + " " + Printable.quote(text) + " contains NUL, which ends a command line");
        }
        if (batch) {
            BatchFile.checkText(what, text);
        }
    }

    private static void appendProgram(StringBuilder line, String program, boolean batch) {
        boolean quote = containsAny(program, PROGRAM_QUOTE_TRIGGERS)
            || (batch && BatchFile.needsQuotes(program));
        if (quote) {
            line.append('"').append(program).append('"');
        } else {
            line.append(program);
        }
    }

    private static void appendArgument(StringBuilder line, String argument, boolean batch) {
        boolean quote = argument.isEmpty() || containsAny(argument, QUOTE_TRIGGERS)
            || (batch && BatchFile.needsQuotes(argument));
        if (quote) {
            appendQuoted(line, argument);
        } else {
            line.append(argument);
        }
    }

    private static void appendQuoted(StringBuilder line, String argument) {
        line.append('"');
        int backslashes = 0;
        for (int i = 0; i < argument.length(); i++) {
            char c = argument.charAt(i);
            if (c == '\\') {
                backslashes++;
                continue;
            }
            // Backslashes count only in front of a quote: there they must be doubled, and one more
            // escapes the quote itself.
            int copies = c == '"' ? 2 * backslashes + 1 : backslashes;
            appendBackslashes(line, copies);
            line.append(c);
            backslashes = 0;
        }
        // The closing quote follows, so trailing backslashes are doubled to stay literal.
        appendBackslashes(line, 2 * backslashes);
        line.append('"');
    }

    private static void appendBackslashes(StringBuilder line, int count) {
        for (int i = 0; i < count; i++) {
            line.append('\\');
        }
    }

    static boolean containsAny(String text, String characters) {
        for (int i = 0; i < text.length(); i++) {
            if (characters.indexOf(text.charAt(i)) >= 0) {
                return true;
            }
        }
        return false;
    }
}
