package com.brennock.process;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.AbstractMap;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class EnvironmentBlockTest {
    static Stream<Arguments> blocks() {
        return Stream.of(Arguments.of("", entries()),
            Arguments.of("A=1\0B=2\0", entries("A", "1", "B", "2")),
            Arguments.of("X=y\0", entries("X", "y")),
            Arguments.of("b=2\0A=1\0", entries("b", "2", "A", "1")),
            Arguments.of("=C:=C:\\work\0A=1\0", entries("=C:", "C:\\work", "A", "1")),
            Arguments.of("==x\0", entries("=", "x")), Arguments.of("A=b=c\0", entries("A", "b=c")),
            Arguments.of("A=\0", entries("A", "")), Arguments.of("A=1\0\0", entries("A", "1")),
            Arguments.of("A=1\0\0B=2\0", entries("A", "1")), Arguments.of("A=1", entries("A", "1")),
            Arguments.of("NO_EQUALS\0=C\0A=1\0", entries("A", "1")),
            Arguments.of("Path=1\0PATH=2\0", entries("Path", "1", "PATH", "2")),
            Arguments.of("A= spaced \0", entries("A", " spaced ")),
            Arguments.of("\u00c9T\u00c9=\ud83d\ude00\0", entries("\u00c9T\u00c9", "\ud83d\ude00")));
    }

    @ParameterizedTest
    @MethodSource("blocks")
    void parsesEntriesInTheBlocksOrder(String block, List<Map.Entry<String, String>> expected) {
        assertEquals(expected, EnvironmentBlock.parse(block));
    }

    @Test
    void parsedEntriesCannotBeChanged() {
        List<Map.Entry<String, String>> parsed = EnvironmentBlock.parse("A=1\0");
        assertThrows(UnsupportedOperationException.class, parsed::clear);
        assertThrows(UnsupportedOperationException.class, () -> parsed.get(0).setValue("2"));
    }

    static Stream<Arguments> variables() {
        return Stream.of(Arguments.of(map(), "\0\0"), Arguments.of(map("A", "1"), "A=1\0\0"),
            Arguments.of(map("b", "2", "A", "1"), "A=1\0b=2\0\0"),
            // Upper-cased, '_' sorts after every letter; compared as they stand, it would
            // sort between upper and lower case.
            Arguments.of(map("_u", "3", "a", "1", "B", "2"), "a=1\0B=2\0_u=3\0\0"),
            // By name alone, a name sorts before the longer names it begins; comparing whole
            // entries would put "A1=" first, since '1' sorts before '='.
            Arguments.of(map("A1", "x", "A", "y"), "A=y\0A1=x\0\0"),
            Arguments.of(map("A", "1", "=C:", "C:\\w", "1X", "2"), "1X=2\0=C:=C:\\w\0A=1\0\0"),
            Arguments.of(map("\u00e9", "1", "Z", "2"), "Z=2\0\u00e9=1\0\0"),
            Arguments.of(map("E", "", "A", "b=c"), "A=b=c\0E=\0\0"),
            Arguments.of(map("Path", "C:\\w"), "Path=C:\\w\0\0"),
            Arguments.of(map("S", "\ud83d\ude00"), "S=\ud83d\ude00\0\0"));
    }

    @ParameterizedTest
    @MethodSource("variables")
    void buildsASortedBlockWithItsClosingNul(Map<String, String> variables, String expected) {
        assertEquals(expected, EnvironmentBlock.build(variables));
    }

    static Stream<Arguments> refusedVariables() {
        return Stream.of(Arguments.of(map("", "x"), "environment variable name is empty"),
            Arguments.of(map("A=B", "x"), "environment variable \"A=B\": name contains '='"),
            Arguments.of(map("A\0B", "x"), "environment variable \"A\\u0000B\": name contains NUL"),
            Arguments.of(map("A", "a\0b"), "environment variable \"A\": value contains NUL"),
            Arguments.of(map("OK", "1", "Path", "1", "PATH", "2"),
                "environment variable \"Path\" and environment variable \"PATH\""));
    }

    @ParameterizedTest
    @MethodSource("refusedVariables")
    void refusesEntriesWindowsCannotHold(Map<String, String> variables, String message) {
        IllegalArgumentException e =
            assertThrows(IllegalArgumentException.class, () -> EnvironmentBlock.build(variables));
        assertTrue(e.getMessage().startsWith(message), e.getMessage());
    }

    @Test
    void refusesNullNamesAndValues() {
        Map<String, String> nullName = new HashMap<>();
        nullName.put(null, "x");
        assertThrows(NullPointerException.class, () -> EnvironmentBlock.build(nullName));
        Map<String, String> nullValue = new HashMap<>();
        nullValue.put("A", null);
        NullPointerException e =
            assertThrows(NullPointerException.class, () -> EnvironmentBlock.build(nullValue));
        assertTrue(e.getMessage().contains("\"A\""), e.getMessage());
    }

    @Test
    void randomVariablesComeBackFromTheBlockTheyBuild() {
        // No two name pieces differ only in case, so that no map holds a pair the build refuses.
        String[] namePieces = {"a", "B", "_", "1", "\u00e9", "\ud83d\ude00"};
        String[] valuePieces = {"a", "B", "=", " ", "\u00c9", "\ud83d\ude00"};
        Random random = new Random(0xe7);
        for (int round = 0; round < 2000; round++) {
            Map<String, String> variables = new HashMap<>();
            int count = random.nextInt(6);
            for (int i = 0; i < count; i++) {
                String name = "V" + random.nextInt(1000) + pick(random, namePieces);
                if (random.nextInt(4) == 0) {
                    name = "=" + name;
                }
                variables.put(name, pick(random, valuePieces));
            }
            List<Map.Entry<String, String>> parsed =
                EnvironmentBlock.parse(stripClosingNul(EnvironmentBlock.build(variables)));
            assertEquals(variables, toMap(parsed));
            for (int i = 1; i < parsed.size(); i++) {
                String previous = parsed.get(i - 1).getKey();
                String name = parsed.get(i).getKey();
                assertTrue(
                    EnvironmentBlock.NAME_ORDER.compare(previous, name) < 0, previous + name);
            }
        }
    }

    private static String pick(Random random, String[] pieces) {
        StringBuilder text = new StringBuilder();
        int length = random.nextInt(5);
        for (int i = 0; i < length; i++) {
            text.append(pieces[random.nextInt(pieces.length)]);
        }
        return text.toString();
    }

    private static String stripClosingNul(String block) {
        assertTrue(block.endsWith("\0"));
        return block.substring(0, block.length() - 1);
    }

    private static Map<String, String> toMap(List<Map.Entry<String, String>> entries) {
        Map<String, String> map = new HashMap<>();
        for (Map.Entry<String, String> entry : entries) {
            map.put(entry.getKey(), entry.getValue());
        }
        return map;
    }

    static List<Map.Entry<String, String>> entries(String... namesAndValues) {
        List<Map.Entry<String, String>> entries = new ArrayList<>();
        for (int i = 0; i < namesAndValues.length; i += 2) {
            entries.add(
                new AbstractMap.SimpleImmutableEntry<>(namesAndValues[i], namesAndValues[i + 1]));
        }
        return entries;
    }

    static Map<String, String> map(String... namesAndValues) {
        Map<String, String> map = new LinkedHashMap<>();
        for (Map.Entry<String, String> entry : entries(namesAndValues)) {
            map.put(entry.getKey(), entry.getValue());
        }
        return map;
    }
}
