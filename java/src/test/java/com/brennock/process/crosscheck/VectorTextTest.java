package com.brennock.process.crosscheck;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.junit.jupiter.params.provider.ValueSource;

class VectorTextTest {
    static Stream<Arguments> texts() {
        return Stream.of(Arguments.of("plain text", "plain text"), Arguments.of("a\\b", "a\\\\b"),
            Arguments.of("\u0000", "\\u0000"), Arguments.of("\t\n", "\\u0009\\u000A"),
            Arguments.of("~ \"", "~ \""), Arguments.of("\u007f", "\\u007F"),
            Arguments.of("\u00e9", "\\u00E9"), Arguments.of("\ud83d\ude00", "\\uD83D\\uDE00"),
            Arguments.of("", ""));
    }

    @ParameterizedTest
    @MethodSource("texts")
    void escapesAsTheChildPrints(String text, String escaped) {
        assertEquals(escaped, VectorText.escape(text));
        assertEquals(text, VectorText.unescape(escaped));
    }

    @Test
    void everyUtf16UnitSurvivesTheRoundTrip() {
        StringBuilder all = new StringBuilder();
        for (int unit = 0; unit <= 0xFFFF; unit++) {
            all.append((char) unit);
        }
        String text = all.toString();
        assertEquals(text, VectorText.unescape(VectorText.escape(text)));
    }

    @Test
    void readsLowerCaseHexAndEscapedPrintables() {
        assertEquals("\u00e9 x", VectorText.unescape("\\u00e9\\u0020x"));
    }

    @ParameterizedTest
    @ValueSource(strings = {"\\", "a\\x", "\\u12", "\\u12G4", "\\u+123", "\u00e9", "a\tb"})
    void refusesMalformedText(String text) {
        assertThrows(IllegalArgumentException.class, () -> VectorText.unescape(text));
    }
}
