package com.brennock.process;

/**
 * Reads a command line as {@code cmd.exe} would before running a batch file, and reports anything
 * in it that {@code cmd.exe} would act on instead of passing it to the batch file.
 */
public final class CmdSafety {
    private static final String EXPANDING = "%!";
    private static final String OPERATORS_OUTSIDE_QUOTES = "&|<>^()";

    private CmdSafety() {}

    /** Returns what {@code cmd.exe} would act on in the line, or null if nothing. */
    public static String problem(String line) {
        boolean quoted = false;
        for (int i = 0; i < line.length(); i++) {
            char c = line.charAt(i);
            if (c == '"') {
                quoted = !quoted;
            } else if (EXPANDING.indexOf(c) >= 0) {
                return "'" + c + "' at " + i + " would expand a variable";
            } else if (c == '\r' || c == '\n' || c == '\0') {
                return "a line break or NUL at " + i + " would end the command";
            } else if (!quoted && OPERATORS_OUTSIDE_QUOTES.indexOf(c) >= 0) {
                return "'" + c + "' at " + i + " is outside quotes";
            }
        }
        return quoted ? "the line ends inside quotes" : null;
    }
}
