package com.brennock.process.crosscheck;

import com.brennock.process.CommandLine;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Runs the argument-list vectors through {@link CommandLine#build}.
 *
 * <p>Input keywords: {@code program} (at most one; the default program otherwise), {@code arg}
 * (any number, in order; the argument prefix is put before them), {@code reject} (the case must be
 * refused). Output records: {@code program}, then either {@code commandline} and the {@code arg}
 * lines the child must print for its arguments after the program name, or {@code rejected} and the
 * refusal's message.
 */
final class CommandLineVectors {
    static final String[] KEYWORDS = {"program", "arg", "reject"};

    /** One case, run. */
    static final class Outcome {
        final VectorRecord record;
        final String program;
        final List<String> arguments;
        final String commandLine;
        final String refusal;

        Outcome(VectorRecord record, String program, List<String> arguments, String commandLine,
            String refusal) {
            this.record = record;
            this.program = program;
            this.arguments = Collections.unmodifiableList(arguments);
            this.commandLine = commandLine;
            this.refusal = refusal;
        }

        /** Why the outcome contradicts the case's expectation, or null if it does not. */
        String problem() {
            boolean refuse = record.has("reject");
            if (refuse && refusal == null) {
                return record.where() + ": expected a refusal, got " + commandLine;
            }
            if (!refuse && refusal != null) {
                return record.where() + ": refused: " + refusal;
            }
            return null;
        }
    }

    private final String defaultProgram;
    private final List<String> argumentPrefix;

    CommandLineVectors(String defaultProgram, List<String> argumentPrefix) {
        this.defaultProgram = defaultProgram;
        this.argumentPrefix = new ArrayList<>(argumentPrefix);
    }

    Outcome run(VectorRecord record) {
        String program = record.single("program", defaultProgram);
        List<String> arguments = new ArrayList<>(argumentPrefix);
        arguments.addAll(record.values("arg"));
        try {
            String line = CommandLine.build(program, arguments);
            return new Outcome(record, program, arguments, line, null);
        } catch (IllegalArgumentException e) {
            return new Outcome(record, program, arguments, null, e.getMessage());
        }
    }

    static void write(Outcome outcome, StringBuilder out) {
        line(out, "case", outcome.record.name);
        line(out, "program", outcome.program);
        if (outcome.refusal != null) {
            line(out, "rejected", outcome.refusal);
        } else {
            line(out, "commandline", outcome.commandLine);
            for (String argument : outcome.arguments) {
                line(out, "arg", argument);
            }
        }
        out.append("end\n\n");
    }

    static void line(StringBuilder out, String keyword, String value) {
        out.append(keyword).append(' ').append(VectorText.escape(value)).append('\n');
    }
}
