package com.brennock.process;

import java.util.Locale;

/** What makes a program a batch file, and what {@code cmd.exe} lets through to one safely. */
final class BatchFile {
    /**
     * Characters that {@code cmd.exe} acts on even inside double quotes: variable expansion (the
     * {@code !} form when delayed expansion is on, which a registry setting can make the default)
     * and the quote itself, which toggles quoting and cannot be escaped.
     */
    private static final String UNSAFE = "\"%!";

    /**
     * Characters that {@code cmd.exe} treats as command or argument separators outside quotes,
     * plus the no-break space that some code pages map to a separator, and the wildcards.
     */
    private static final String QUOTE_TRIGGERS = " \t\u00A0&|<>^(),;=*?";

    private BatchFile() {}

    /**
     * Whether Windows would run {@code program} through {@code cmd.exe}: its name ends in {@code
     * .bat} or {@code .cmd}, in any case. Windows drops trailing dots and spaces from a file name
     * when it opens it, so {@code run.bat.} and {@code run.bat } count as well.
     */
    static boolean isBatchFile(String program) {
        int end = program.length();
        while (end > 0 && (program.charAt(end - 1) == '.' || program.charAt(end - 1) == ' ')) {
            end--;
        }
        String name = program.substring(0, end).toLowerCase(Locale.ROOT);
        return name.endsWith(".bat") || name.endsWith(".cmd");
    }

    /** Refuses text that {@code cmd.exe} could turn into something other than one argument. */
    static void checkText(String what, String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (UNSAFE.indexOf(c) >= 0 || (c != '\t' && Character.isISOControl(c))) {
                throw new IllegalArgumentException(what + " " + Printable.quote(text) + " contains "
                    + Printable.character(c)
                    + ", which cmd.exe would act on: a batch file cannot receive it"
                    + " safely");
            }
        }
    }

    /** Whether {@code cmd.exe} would split or act on the text unless it is quoted. */
    static boolean needsQuotes(String text) {
        return CommandLine.containsAny(text, QUOTE_TRIGGERS);
    }
}
