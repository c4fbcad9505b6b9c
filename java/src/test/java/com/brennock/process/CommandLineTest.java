package com.brennock.process;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.Collections;
import java.util.List;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class CommandLineTest {
    private static final String PROGRAM = "p.exe";

    static Stream<Arguments> exactLines() {
        return Stream.of(Arguments.of(list(), "p.exe"), Arguments.of(list("plain"), "p.exe plain"),
            Arguments.of(list(""), "p.exe \"\""),
            Arguments.of(list("a", "", "b"), "p.exe a \"\" b"),
            Arguments.of(list("two words"), "p.exe \"two words\""),
            Arguments.of(list("a\tb"), "p.exe \"a\tb\""),
            Arguments.of(list("C:\\dir\\file"), "p.exe C:\\dir\\file"),
            Arguments.of(list("dir\\"), "p.exe dir\\"),
            Arguments.of(list("my dir\\"), "p.exe \"my dir\\\\\""),
            Arguments.of(list("my dir\\\\"), "p.exe \"my dir\\\\\\\\\""),
            Arguments.of(list("say \"hi\""), "p.exe \"say \\\"hi\\\"\""),
            Arguments.of(list("\""), "p.exe \"\\\"\""),
            Arguments.of(list("a\\\"b"), "p.exe \"a\\\\\\\"b\""),
            Arguments.of(list("a\\b c"), "p.exe \"a\\b c\""),
            Arguments.of(list("\u00e9t\u00e9"), "p.exe \u00e9t\u00e9"),
            Arguments.of(list("*.txt", "x?"), "p.exe \"*.txt\" \"x?\""),
            Arguments.of(list("a\nb"), "p.exe \"a\nb\""),
            Arguments.of(list("a&b", "50%", "!x!"), "p.exe a&b 50% !x!"));
    }

    @ParameterizedTest
    @MethodSource("exactLines")
    void writesTheExpectedLine(List<String> arguments, String expected) {
        assertEquals(expected, CommandLine.build(PROGRAM, arguments));
    }

    static Stream<List<String>> argumentLists() {
        return Stream.of(list(), list(""), list("", "", ""), list(" "),
            list(" leading", "trailing ", "in between"), list("\t", "a\tb", "tab\t"),
            list("\\", "\\\\", "a\\", "a b\\", "a b\\\\\\"),
            list("\\\\server\\share", "C:\\Program Files\\x"),
            list("\"", "\"\"", "\"a\"", "a\"b", " \" "),
            list("\\\"", "a\\\\\"b", "\"\\", "\\\\\\\""),
            list("\u00e9", "\u0416\u0423\u041a", "\u4e2d\u6587", "\ud83d\ude00", "\u00a0"),
            list("*", "?", "a*b?c"), list("line\nbreak", "cr\r", "\u000b"));
    }

    @ParameterizedTest
    @MethodSource("argumentLists")
    void theRuntimeSplitsTheLineBackIntoTheArguments(List<String> arguments) {
        assertRoundTrip(PROGRAM, arguments);
    }

    @Test
    void randomArgumentListsSplitBackIntoThemselves() {
        String[] pieces = {"a", "b", " ", "\t", "\"", "\\", "\u00e9", "\ud83d\ude00", "*", "\n"};
        Random random = new Random(0x5eed);
        for (int round = 0; round < 5000; round++) {
            List<String> arguments = new ArrayList<>();
            int count = random.nextInt(5);
            for (int i = 0; i < count; i++) {
                StringBuilder argument = new StringBuilder();
                int length = random.nextInt(7);
                for (int j = 0; j < length; j++) {
                    argument.append(pieces[random.nextInt(pieces.length)]);
                }
                arguments.add(argument.toString());
            }
            assertRoundTrip(PROGRAM, arguments);
        }
    }

    static Stream<Arguments> programs() {
        return Stream.of(Arguments.of("app.exe", "app.exe x"),
            Arguments.of("C:\\tools\\app.exe", "C:\\tools\\app.exe x"),
            Arguments.of("C:\\Program Files\\app.exe", "\"C:\\Program Files\\app.exe\" x"),
            Arguments.of("tab\tname.exe", "\"tab\tname.exe\" x"),
            Arguments.of("C:\\my dir\\", "\"C:\\my dir\\\" x"),
            Arguments.of("\u00e9t\u00e9.exe", "\u00e9t\u00e9.exe x"));
    }

    @ParameterizedTest
    @MethodSource("programs")
    void quotesTheProgramOnlyWhereABlankWouldEndIt(String program, String expected) {
        String line = CommandLine.build(program, list("x"));
        assertEquals(expected, line);
        assertEquals(list(program, "x"), CrtCommandLine.split(line));
    }

    static Stream<Arguments> refused() {
        return Stream.of(Arguments.of("", list(), "program is empty"),
            Arguments.of("a\"b.exe", list(), "program \"a\"b.exe\""),
            Arguments.of("a\0.exe", list(), "program \"a\\u0000.exe\" contains NUL"),
            Arguments.of("p.exe", list("ok", "a\0b"), "arguments[1] \"a\\u0000b\" contains NUL"));
    }

    @ParameterizedTest
    @MethodSource("refused")
    void refusesWhatNoCommandLineCanCarry(String program, List<String> arguments, String message) {
        IllegalArgumentException e = assertThrows(
            IllegalArgumentException.class, () -> CommandLine.build(program, arguments));
        assertTrue(e.getMessage().startsWith(message), e.getMessage());
    }

    @Test
    void nullsAreRefusedByName() {
        NullPointerException e = assertThrows(
            NullPointerException.class, () -> CommandLine.build(PROGRAM, Arrays.asList("a", null)));
        assertEquals("arguments[1]", e.getMessage());
        assertThrows(NullPointerException.class, () -> CommandLine.build(null, list()));
        assertThrows(NullPointerException.class, () -> CommandLine.build(PROGRAM, null));
    }

    static void assertRoundTrip(String program, List<String> arguments) {
        String line = CommandLine.build(program, arguments);
        List<String> expected = new ArrayList<>();
        expected.add(program);
        expected.addAll(arguments);
        assertEquals(expected, CrtCommandLine.split(line), () -> "command line: " + line);
    }

    static List<String> list(String... items) {
        return Collections.unmodifiableList(Arrays.asList(items));
    }
}
