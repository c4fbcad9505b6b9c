package com.brennock.process;

import static com.brennock.process.CommandLineTest.list;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

class BatchCommandLineTest {
    static Stream<Arguments> programKinds() {
        return Stream.of(Arguments.of("run.bat", true), Arguments.of("run.cmd", true),
            Arguments.of("C:\\scripts\\RUN.BAT", true), Arguments.of("Run.Cmd", true),
            Arguments.of("run.bat.", true), Arguments.of("run.bat ", true),
            Arguments.of("run.cmd. . ", true), Arguments.of("run.exe", false),
            Arguments.of("run.batch", false), Arguments.of("run.bat.exe", false),
            Arguments.of("C:\\x.bat\\run.exe", false), Arguments.of("bat", false),
            Arguments.of(".bat", true));
    }

    @ParameterizedTest
    @MethodSource("programKinds")
    void recognisesWhatWindowsRunsThroughCmd(String program, boolean batch) {
        assertEquals(batch, BatchFile.isBatchFile(program));
    }

    static Stream<Arguments> exactLines() {
        return Stream.of(
            Arguments.of("run.bat", list("plain", "C:\\dir\\"), "run.bat plain C:\\dir\\"),
            Arguments.of("run.bat", list(""), "run.bat \"\""),
            Arguments.of("run.bat", list("a&b", "x|y"), "run.bat \"a&b\" \"x|y\""),
            Arguments.of("run.bat", list("<in>", "^", "(x)"), "run.bat \"<in>\" \"^\" \"(x)\""),
            Arguments.of("run.bat", list("a,b", "c;d", "e=f"), "run.bat \"a,b\" \"c;d\" \"e=f\""),
            Arguments.of("run.bat", list("my dir\\"), "run.bat \"my dir\\\\\""),
            Arguments.of("run.bat", list("no\u00a0break"), "run.bat \"no\u00a0break\""),
            Arguments.of("my run.cmd", list("x"), "\"my run.cmd\" x"),
            Arguments.of("a&b.bat", list("x"), "\"a&b.bat\" x"));
    }

    @ParameterizedTest
    @MethodSource("exactLines")
    void quotesWhatCmdWouldSplitOrActOn(String program, List<String> arguments, String expected) {
        String line = CommandLine.build(program, arguments);
        assertEquals(expected, line);
        assertNull(CmdSafety.problem(line));
    }

    static Stream<Arguments> unsafeArguments() {
        return Stream.of(Arguments.of("say \"hi\"", "'\"'"), Arguments.of("\"&calc", "'\"'"),
            Arguments.of("50%", "'%'"), Arguments.of("%PATH%", "'%'"), Arguments.of("!x!", "'!'"),
            Arguments.of("a\ncalc", "\\u000A"), Arguments.of("a\rcalc", "\\u000D"),
            Arguments.of("a\u001ab", "\\u001A"), Arguments.of("a\0b", "NUL"));
    }

    @ParameterizedTest
    @MethodSource("unsafeArguments")
    void refusesWhatCmdWouldActOnEvenInQuotes(String argument, String named) {
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
            () -> CommandLine.build("run.cmd", list("fine", argument)));
        assertTrue(e.getMessage().startsWith("arguments[1] "), e.getMessage());
        assertTrue(e.getMessage().contains(named), e.getMessage());
    }

    @Test
    void refusesAProgramPathThatCmdWouldExpand() {
        IllegalArgumentException e = assertThrows(
            IllegalArgumentException.class, () -> CommandLine.build("C:\\100%\\run.bat", list()));
        assertTrue(e.getMessage().startsWith("program "), e.getMessage());
    }

    @Test
    void trailingDotsDoNotHideABatchFile() {
        assertThrows(
            IllegalArgumentException.class, () -> CommandLine.build("run.bat. ", list("%x%")));
    }

    @Test
    void randomSafeArgumentsReachTheProgramThatTheBatchFileCalls() {
        String[] pieces = {
            "a", " ", "\t", "\\", "&", "|", "<", ">", "^", "(", ")", ",", ";", "=", "\u00e9", "*"};
        Random random = new Random(0xba7);
        for (int round = 0; round < 5000; round++) {
            List<String> arguments = new ArrayList<>();
            int count = random.nextInt(4);
            for (int i = 0; i < count; i++) {
                StringBuilder argument = new StringBuilder();
                int length = random.nextInt(6);
                for (int j = 0; j < length; j++) {
                    argument.append(pieces[random.nextInt(pieces.length)]);
                }
                arguments.add(argument.toString());
            }
            String line = CommandLine.build("run.bat", arguments);
            assertNull(CmdSafety.problem(line), line);
            CommandLineTest.assertRoundTrip("run.bat", arguments);
        }
    }
}
