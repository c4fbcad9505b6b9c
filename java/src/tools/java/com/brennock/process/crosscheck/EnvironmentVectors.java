package com.brennock.process.crosscheck;

import com.brennock.process.EnvironmentBlock;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * Runs the environment vectors through {@link EnvironmentBlock#build}.
 *
 * <p>Input keywords: {@code name} and {@code value}, always in that order, one pair a variable;
 * {@code reject} (the case must be refused). Output records: either {@code block}, the block to
 * pass to {@code create} with its closing NUL, and one {@code entry} line {@code NAME=VALUE} per
 * variable, in the case's order; or {@code rejected} and the refusal's message.
 */
final class EnvironmentVectors {
    static final String[] KEYWORDS = {"name", "value", "reject"};

    /** One case, run. */
    static final class Outcome {
        final VectorRecord record;
        final Map<String, String> variables;
        final String block;
        final String refusal;

        Outcome(VectorRecord record, Map<String, String> variables, String block, String refusal) {
            this.record = record;
            this.variables = variables;
            this.block = block;
            this.refusal = refusal;
        }

        /** Why the outcome contradicts the case's expectation, or null if it does not. */
        String problem() {
            boolean refuse = record.has("reject");
            if (refuse && refusal == null) {
                return record.where() + ": expected a refusal, got a block";
            }
            if (!refuse && refusal != null) {
                return record.where() + ": refused: " + refusal;
            }
            return null;
        }
    }

    private EnvironmentVectors() {}

    static Outcome run(VectorRecord record) {
        Map<String, String> variables = variables(record);
        try {
            return new Outcome(record, variables, EnvironmentBlock.build(variables), null);
        } catch (IllegalArgumentException e) {
            return new Outcome(record, variables, null, e.getMessage());
        }
    }

    static void write(Outcome outcome, StringBuilder out) {
        CommandLineVectors.line(out, "case", outcome.record.name);
        if (outcome.refusal != null) {
            CommandLineVectors.line(out, "rejected", outcome.refusal);
        } else {
            CommandLineVectors.line(out, "block", outcome.block);
            for (Map.Entry<String, String> variable : outcome.variables.entrySet()) {
                CommandLineVectors.line(
                    out, "entry", variable.getKey() + "=" + variable.getValue());
            }
        }
        out.append("end\n\n");
    }

    private static Map<String, String> variables(VectorRecord record) {
        Map<String, String> variables = new LinkedHashMap<>();
        String name = null;
        for (VectorRecord.Field field : record.fields) {
            if (field.keyword.equals("name")) {
                if (name != null) {
                    throw new IllegalArgumentException(
                        "line " + field.lineNumber + ": 'name' without its 'value'");
                }
                name = field.value;
            } else if (field.keyword.equals("value")) {
                if (name == null) {
                    throw new IllegalArgumentException(
                        "line " + field.lineNumber + ": 'value' without a 'name'");
                }
                if (variables.put(name, field.value) != null) {
                    throw new IllegalArgumentException(
                        "line " + field.lineNumber + ": name given twice in " + record.where());
                }
                name = null;
            }
        }
        if (name != null) {
            throw new IllegalArgumentException(record.where() + ": last 'name' has no 'value'");
        }
        return variables;
    }
}
