package com.brennock.process.crosscheck;

/**
 * The escaping used by the cross-check files, the same that the test child uses when it prints
 * what it received, so that its output can be compared with a file line by line as text.
 *
 * <p>A backslash is written as {@code \\}, printable ASCII (U+0020 to U+007E) as itself, and every
 * other UTF-16 unit as {@code \}{@code uXXXX} with four upper-case hex digits. Reading also accepts
 * lower-case hex digits and {@code \}{@code uXXXX} for printable ASCII, such as {@code \}{@code
 * u0020} for a space that should stay visible at the end of a line.
 */
final class VectorText {
    private static final char[] HEX = "0123456789ABCDEF".toCharArray();

    private VectorText() {}

    static String escape(String text) {
        StringBuilder out = new StringBuilder(text.length());
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c == '\\') {
                out.append("\\\\");
            } else if (c >= 0x20 && c < 0x7F) {
                out.append(c);
            } else {
                out.append("\\u");
                for (int shift = 12; shift >= 0; shift -= 4) {
                    out.append(HEX[(c >> shift) & 0xF]);
                }
            }
        }
        return out.toString();
    }

    /**
     * Decodes escaped text.
     *
     * @throws IllegalArgumentException for a character outside printable ASCII, or a backslash
     *     that starts neither {@code \\} nor {@code \}{@code u} with four hex digits
     */
    static String unescape(String text) {
        StringBuilder out = new StringBuilder(text.length());
        int i = 0;
        while (i < text.length()) {
            char c = text.charAt(i);
            if (c < 0x20 || c >= 0x7F) {
                throw new IllegalArgumentException(
                    String.format("raw character U+%04X: write it as \\u%04X", (int) c, (int) c));
            }
            if (c != '\\') {
                out.append(c);
                i++;
            } else if (text.startsWith("\\\\", i)) {
                out.append('\\');
                i += 2;
            } else if (text.startsWith("\\u", i) && i + 6 <= text.length()) {
                out.append(hexUnit(text.substring(i + 2, i + 6)));
                i += 6;
            } else {
                throw new IllegalArgumentException(
                    "bad escape at column " + (i + 1) + ": only \\\\ and \\uXXXX are known");
            }
        }
        return out.toString();
    }

    private static char hexUnit(String digits) {
        for (int i = 0; i < digits.length(); i++) {
            if (Character.digit(digits.charAt(i), 16) < 0) {
                throw new IllegalArgumentException("bad \\u escape: \\u" + digits);
            }
        }
        return (char) Integer.parseInt(digits, 16);
    }
}
