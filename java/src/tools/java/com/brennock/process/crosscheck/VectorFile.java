package com.brennock.process.crosscheck;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.Reader;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/**
 * Reads a vector file: records of keyword lines.
 *
 * <pre>
 * # a comment; comments and blank lines may stand anywhere
 * case NAME
 * KEYWORD VALUE
 * KEYWORD
 * end
 * </pre>
 *
 * A line is a keyword, then one space and the value, escaped as {@link VectorText} describes; a
 * keyword alone has the empty value. Every record starts with {@code case} and ends with {@code
 * end}; the keywords allowed in between depend on the file.
 */
final class VectorFile {
    private final List<String> keywords;
    private final List<VectorRecord> records = new ArrayList<>();
    private String caseName;
    private int caseLine;
    private List<VectorRecord.Field> fields;

    private VectorFile(String... keywords) { this.keywords = Arrays.asList(keywords); }

    /**
     * Reads every record.
     *
     * @param keywords the keywords allowed inside a record
     * @throws IllegalArgumentException naming the line, for anything malformed
     */
    static List<VectorRecord> read(Reader source, String... keywords) throws IOException {
        VectorFile file = new VectorFile(keywords);
        BufferedReader lines = new BufferedReader(source);
        int number = 0;
        for (String line = lines.readLine(); line != null; line = lines.readLine()) {
            number++;
            try {
                file.accept(line, number);
            } catch (IllegalArgumentException e) {
                throw new IllegalArgumentException("line " + number + ": " + e.getMessage(), e);
            }
        }
        if (file.fields != null) {
            throw new IllegalArgumentException("end of file inside case '" + file.caseName + "'");
        }
        return file.records;
    }

    private void accept(String line, int number) {
        if (line.isEmpty() || line.startsWith("#")) {
            return;
        }
        int space = line.indexOf(' ');
        String keyword = space < 0 ? line : line.substring(0, space);
        String value = VectorText.unescape(space < 0 ? "" : line.substring(space + 1));
        if (keyword.equals("case")) {
            startCase(value, number);
        } else if (fields == null) {
            throw new IllegalArgumentException("'" + keyword + "' outside a case");
        } else if (keyword.equals("end")) {
            records.add(new VectorRecord(caseName, caseLine, fields));
            fields = null;
        } else if (keywords.contains(keyword)) {
            fields.add(new VectorRecord.Field(keyword, value, number));
        } else {
            throw new IllegalArgumentException("unknown keyword '" + keyword + "'");
        }
    }

    private void startCase(String name, int number) {
        if (fields != null) {
            throw new IllegalArgumentException("case '" + caseName + "' has no 'end'");
        }
        if (name.isEmpty()) {
            throw new IllegalArgumentException("case without a name");
        }
        for (VectorRecord record : records) {
            if (record.name.equals(name)) {
                throw new IllegalArgumentException("case '" + name + "' appears twice");
            }
        }
        caseName = name;
        caseLine = number;
        fields = new ArrayList<>();
    }
}
