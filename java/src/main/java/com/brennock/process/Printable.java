package com.brennock.process;

/** Renders user text inside exception messages so that control characters stay visible. */
final class Printable {
    private Printable() {}

    /** Returns {@code text} in double quotes, with control characters as {@code \\uXXXX}. */
    static String quote(String text) {
        StringBuilder out = new StringBuilder(text.length() + 2).append('"');
        for (int i = 0; i < text.length(); i++) {
            append(out, text.charAt(i));
        }
        return out.append('"').toString();
    }

    /** Returns {@code c} in single quotes, or as {@code \\uXXXX} if it is a control character. */
    static String character(char c) {
        if (Character.isISOControl(c)) {
            return append(new StringBuilder(), c).toString();
        }
        return "'" + c + "'";
    }

    private static StringBuilder append(StringBuilder out, char c) {
        if (Character.isISOControl(c)) {
            return out.append(String.format("\\u%04X", (int) c));
        }
        return out.append(c);
    }
}
