package com.brennock.process.crosscheck;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/** One case of a vector file: its name and its lines, each a keyword with a decoded value. */
final class VectorRecord {
    /** One line of a record. */
    static final class Field {
        final String keyword;
        final String value;
        final int lineNumber;

        Field(String keyword, String value, int lineNumber) {
            this.keyword = keyword;
            this.value = value;
            this.lineNumber = lineNumber;
        }
    }

    final String name;
    final int lineNumber;
    final List<Field> fields;

    VectorRecord(String name, int lineNumber, List<Field> fields) {
        this.name = name;
        this.lineNumber = lineNumber;
        this.fields = Collections.unmodifiableList(new ArrayList<>(fields));
    }

    /** The values of every line with this keyword, in order. */
    List<String> values(String keyword) {
        List<String> values = new ArrayList<>();
        for (Field field : fields) {
            if (field.keyword.equals(keyword)) {
                values.add(field.value);
            }
        }
        return values;
    }

    /** The value of the one line with this keyword, or {@code fallback} if there is none. */
    String single(String keyword, String fallback) {
        List<String> values = values(keyword);
        if (values.size() > 1) {
            throw new IllegalArgumentException(where() + ": more than one '" + keyword + "' line");
        }
        return values.isEmpty() ? fallback : values.get(0);
    }

    boolean has(String keyword) { return !values(keyword).isEmpty(); }

    String where() { return "case '" + name + "' (line " + lineNumber + ")"; }
}
