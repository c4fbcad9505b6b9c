package com.brennock.process;

import java.util.AbstractMap;
import java.util.ArrayList;
import java.util.Collections;
import java.util.Comparator;
import java.util.List;
import java.util.Map;
import java.util.Objects;

/**
 * Reads and writes Windows environment blocks: entries of the form {@code name=value}, each
 * followed by a NUL character.
 *
 * <p>{@link WindowsProcessEnvironment#environmentBlock} returns a block without the NUL that closes
 * it; {@link WindowsProcessImpl#create} takes one with that NUL. {@link #parse} reads the first,
 * {@link #build} writes the second.
 */
public final class EnvironmentBlock {
    /**
     * The order Windows keeps a block in: names compared character by character after upper-casing
     * each UTF-16 unit, by code unit value, without regard to locale; a name sorts before the
     * longer names it begins.
     */
    public static final Comparator<String> NAME_ORDER = EnvironmentBlock::compareNames;

    private static final char NUL = '\0';

    private EnvironmentBlock() {}

    /**
     * Splits a block into its entries, in the block's order.
     *
     * <p>Each entry is split at its first {@code '='} after the first character, so that names
     * beginning with {@code '='} (as in {@code =C:=C:\work}) keep it: that entry gives the name
     * {@code =C:} and the value {@code C:\work}. An empty entry ends the block, as it does for
     * Windows, so a block that still has its closing NUL parses the same; a last entry without its
     * NUL is taken as it stands. An entry without any such {@code '='} names no variable for
     * Windows (a lookup searches for {@code name=}) and is left out.
     *
     * @param block the block, as {@link WindowsProcessEnvironment#environmentBlock} returns it
     * @return the entries, unmodifiable; names may repeat if the block repeats them
     */
    public static List<Map.Entry<String, String>> parse(String block) {
        Objects.requireNonNull(block, "block");
        List<Map.Entry<String, String>> entries = new ArrayList<>();
        int start = 0;
        while (start < block.length()) {
            int end = block.indexOf(NUL, start);
            if (end < 0) {
                end = block.length();
            }
            if (end == start) {
                break;
            }
            addEntry(entries, block.substring(start, end));
            start = end + 1;
        }
        return Collections.unmodifiableList(entries);
    }

    /**
     * Makes the block that {@link WindowsProcessImpl#create} accepts: the entries sorted by {@link
     * #NAME_ORDER}, each as {@code name=value} followed by NUL, and the closing NUL.
     *
     * <p>A map without entries gives two NULs: an empty entry list and its closing NUL, which every
     * reader of a block takes as empty, whether it stops at the first NUL or at the first pair.
     *
     * @param variables the variables, by name
     * @return the block, closing NUL included
     * @throws IllegalArgumentException naming the entry, if a name is empty, contains {@code '='}
     *     after its first character or contains NUL, if a value contains NUL, or if two names
     * differ only in case (Windows would see one variable twice)
     * @throws NullPointerException if the map, a name or a value is null
     */
    public static String build(Map<String, String> variables) {
        Objects.requireNonNull(variables, "variables");
        List<Map.Entry<String, String>> sorted = new ArrayList<>(variables.size());
        for (Map.Entry<String, String> entry : variables.entrySet()) {
            checkEntry(entry.getKey(), entry.getValue());
            sorted.add(entry);
        }
        sorted.sort(Map.Entry.comparingByKey(NAME_ORDER));
        checkNoCaseTwins(sorted);
        if (sorted.isEmpty()) {
            return "" + NUL + NUL;
        }
        StringBuilder block = new StringBuilder();
        for (Map.Entry<String, String> entry : sorted) {
            block.append(entry.getKey()).append('=').append(entry.getValue()).append(NUL);
        }
        return block.append(NUL).toString();
    }

    private static void addEntry(List<Map.Entry<String, String>> entries, String entry) {
        int equals = entry.indexOf('=', 1);
        if (equals > 0) {
            entries.add(new AbstractMap.SimpleImmutableEntry<>(
                entry.substring(0, equals), entry.substring(equals + 1)));
        }
    }

    private static void checkEntry(String name, String value) {
        if (name == null) {
            throw new NullPointerException("environment variable name is null");
        }
        if (value == null) {
            throw new NullPointerException(describe(name) + " has a null value");
        }
        if (name.isEmpty()) {
            throw new IllegalArgumentException("environment variable name is empty");
        }
        if (name.indexOf(NUL) >= 0) {
            throw new IllegalArgumentException(describe(name) + ": name contains NUL");
        }
        if (name.indexOf('=', 1) >= 0) {
            throw new IllegalArgumentException(
                describe(name) + ": name contains '=' after its first character");
        }
        if (value.indexOf(NUL) >= 0) {
            throw new IllegalArgumentException(describe(name) + ": value contains NUL");
        }
    }

    private static void checkNoCaseTwins(List<Map.Entry<String, String>> sorted) {
        for (int i = 1; i < sorted.size(); i++) {
            String previous = sorted.get(i - 1).getKey();
            String name = sorted.get(i).getKey();
            if (compareNames(previous, name) == 0) {
                throw new IllegalArgumentException(
                    describe(previous) + " and " + describe(name) + " differ only in case");
            }
        }
    }

    private static String describe(String name) {
        return "environment variable " + Printable.quote(name);
    }

    private static int compareNames(String left, String right) {
        int common = Math.min(left.length(), right.length());
        for (int i = 0; i < common; i++) {
            char a = Character.toUpperCase(left.charAt(i));
            char b = Character.toUpperCase(right.charAt(i));
            if (a != b) {
                return a - b;
            }
        }
        return left.length() - right.length();
    }
}
