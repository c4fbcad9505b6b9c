package com.brennock.process.crosscheck;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.StringReader;
import java.util.Arrays;
import java.util.List;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.api.Test;

class VectorFileTest {
    @Test
    void readsRecordsWithCommentsAndEmptyValues() throws IOException {
        String text = "# comment\n"
            + "\n"
            + "case first one\n"
            + "arg a b\n"
            + "arg\n"
            + "arg \n"
            + "# inside\n"
            + "arg x\\\\y\\u0020\n"
            + "end\n"
            + "case second\n"
            + "reject\n"
            + "end\n";
        List<VectorRecord> records = VectorFile.read(new StringReader(text), "arg", "reject");
        assertEquals(2, records.size());
        assertEquals("first one", records.get(0).name);
        assertEquals(Arrays.asList("a b", "", "", "x\\y "), records.get(0).values("arg"));
        assertEquals("second", records.get(1).name);
        assertTrue(records.get(1).has("reject"));
        assertEquals(10, records.get(1).lineNumber);
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|',
        value = {"arg x|line 1: 'arg' outside a case", "case a;arg x|end of file inside case 'a'",
            "case a;case b|line 2: case 'a' has no 'end'",
            "case a;other x;end|line 2: unknown keyword 'other'",
            "case;end|line 1: case without a name",
            "case a;end;case a;end|line 3: case 'a' appears twice",
            "end|line 1: 'end' outside a case", "case a;arg \\q;end|line 2: bad escape"})
    void
    refusesMalformedFilesNamingTheLine(String lines, String message) {
        String text = lines.replace(';', '\n') + "\n";
        IllegalArgumentException e = assertThrows(
            IllegalArgumentException.class, () -> VectorFile.read(new StringReader(text), "arg"));
        assertTrue(e.getMessage().startsWith(message), e.getMessage());
    }
}
