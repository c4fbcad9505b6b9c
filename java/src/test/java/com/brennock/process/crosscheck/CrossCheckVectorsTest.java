package com.brennock.process.crosscheck;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.brennock.process.CmdSafety;
import com.brennock.process.CrtCommandLine;
import com.brennock.process.EnvironmentBlock;
import java.io.IOException;
import java.io.StringReader;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * Runs the cross-check vectors through the helpers as the build does, and checks each accepted case
 * here first against the runtime's splitting rules, before the Wine test checks it in a child.
 */
class CrossCheckVectorsTest {
    private static final String CHILD = "quill_child.exe";

    @Test
    void everyCommandLineCaseMeetsItsExpectationAndSplitsBack() throws IOException {
        CommandLineVectors vectors = new CommandLineVectors(CHILD, Arrays.asList("args"));
        List<VectorRecord> records = read("command_lines.txt", CommandLineVectors.KEYWORDS);
        assertFalse(records.isEmpty());
        for (VectorRecord record : records) {
            CommandLineVectors.Outcome outcome = vectors.run(record);
            assertNull(outcome.problem());
            if (outcome.commandLine == null) {
                continue;
            }
            List<String> expected = new ArrayList<>();
            expected.add(outcome.program);
            expected.addAll(outcome.arguments);
            assertEquals(expected, CrtCommandLine.split(outcome.commandLine), record.where());
            if (outcome.program.endsWith(".bat") || outcome.program.endsWith(".cmd")) {
                assertNull(CmdSafety.problem(outcome.commandLine), record.where());
            }
        }
    }

    @Test
    void everyEnvironmentCaseMeetsItsExpectationAndParsesBack() throws IOException {
        List<VectorRecord> records = read("environments.txt", EnvironmentVectors.KEYWORDS);
        assertFalse(records.isEmpty());
        for (VectorRecord record : records) {
            EnvironmentVectors.Outcome outcome = EnvironmentVectors.run(record);
            assertNull(outcome.problem());
            if (outcome.block == null) {
                continue;
            }
            assertTrue(outcome.block.endsWith("\0\0"), record.where());
            Map<String, String> parsed = new LinkedHashMap<>();
            for (Map.Entry<String, String> entry : EnvironmentBlock.parse(outcome.block)) {
                parsed.put(entry.getKey(), entry.getValue());
            }
            assertEquals(outcome.variables, parsed, record.where());
        }
    }

    @Test
    void writesCommandLineCasesInTheDocumentedForm() throws IOException {
        CommandLineVectors vectors = new CommandLineVectors(CHILD, Arrays.asList("args"));
        StringBuilder out = new StringBuilder();
        CommandLineVectors.write(
            vectors.run(record("case c\narg a b\narg \\u00E9\\\\\nend\n", "arg")), out);
        CommandLineVectors.write(vectors.run(record("case r\nprogram x.bat\narg 1%\nreject\nend\n",
                                     "program", "arg", "reject")),
            out);
        String expected = "case c\n"
            + "program quill_child.exe\n"
            + "commandline quill_child.exe args \"a b\" \\u00E9\\\\\n"
            + "arg args\n"
            + "arg a b\n"
            + "arg \\u00E9\\\\\n"
            + "end\n\n"
            + "case r\n"
            + "program x.bat\n"
            + "rejected arguments[1] \"1%\" contains '%', which cmd.exe would act on:"
            + " a batch file cannot receive it safely\n"
            + "end\n\n";
        assertEquals(expected, out.toString());
    }

    @Test
    void writesEnvironmentCasesInTheDocumentedForm() throws IOException {
        StringBuilder out = new StringBuilder();
        EnvironmentVectors.write(
            EnvironmentVectors.run(
                record("case e\nname b\nvalue 2\nname A\nvalue \\u00E9\nend\n", "name", "value")),
            out);
        String expected = "case e\n"
            + "block A=\\u00E9\\u0000b=2\\u0000\\u0000\n"
            + "entry b=2\n"
            + "entry A=\\u00E9\n"
            + "end\n\n";
        assertEquals(expected, out.toString());
    }

    private static List<VectorRecord> read(String name, String... keywords) throws IOException {
        Path directory = Paths.get(System.getProperty("quill.vectors", "tests/vectors"));
        return CrossCheckFiles.read(directory.resolve(name), keywords);
    }

    private static VectorRecord record(String text, String... keywords) throws IOException {
        return VectorFile.read(new StringReader(text), keywords).get(0);
    }
}
