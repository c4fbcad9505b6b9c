package com.brennock.process.crosscheck;

import java.io.IOException;
import java.io.Reader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;

/**
 * Turns the cross-check vectors into the command lines and environment blocks that the Java
 * helpers produce, for the Wine test that launches the child with them.
 *
 * <pre>
 * CrossCheckFiles --program PROGRAM [--prefix ARG]...
 *                 --command-lines IN OUT --environments IN OUT
 * </pre>
 *
 * PROGRAM is the program of every command-line case that names none; each ARG goes before every
 * case's own arguments (the child's command that makes it print them). Exits with status 1, writing
 * nothing, when a case is refused that should be accepted or the other way round.
 */
public final class CrossCheckFiles {
    private static final String COMMON_FORMAT =
        "# Generated at build time by com.brennock.process.crosscheck.CrossCheckFiles\n"
        + "# from the vectors in tests/vectors; do not edit.\n"
        + "#\n"
        + "# Each line is a keyword, one space and a value. Values are escaped the way the\n"
        + "# test child prints what it received: a backslash as \\\\, printable ASCII\n"
        + "# (U+0020 to U+007E) as itself, every other UTF-16 unit as \\uXXXX (four\n"
        + "# upper-case hex digits). To decode, read \\\\ as one backslash and \\uXXXX as one\n"
        + "# unit. Lines starting with # and blank lines are comments. Every case starts\n"
        + "# with 'case NAME' and ends with 'end'.\n"
        + "#\n";

    private static final String COMMAND_LINES_FORMAT =
        "# Command lines made by com.brennock.process.CommandLine.build.\n" + COMMON_FORMAT
        + "#   program PROGRAM    the program the command line starts with\n"
        + "#   commandline LINE   the command line to pass to create, as it stands\n"
        + "#   arg TEXT           one line per argument that the child must receive after\n"
        + "#                      its own name (argv[1] onwards), in order\n"
        + "# A case that the helper refuses has, instead of commandline and arg:\n"
        + "#   rejected MESSAGE   the IllegalArgumentException's message: nothing to launch\n"
        + "\n";

    private static final String ENVIRONMENTS_FORMAT =
        "# Environment blocks made by com.brennock.process.EnvironmentBlock.build.\n"
        + COMMON_FORMAT
        + "#   block BLOCK        the block to pass to create, closing NUL included\n"
        + "#   entry NAME=VALUE   one line per variable that the child must see, in the\n"
        + "#                      order the vector lists them (the block is sorted)\n"
        + "# A case that the helper refuses has, instead of block and entry:\n"
        + "#   rejected MESSAGE   the IllegalArgumentException's message: nothing to launch\n"
        + "\n";

    private CrossCheckFiles() {}

    public static void main(String[] args) throws IOException {
        try {
            Options options = Options.parse(args);
            List<String> problems = new ArrayList<>();
            String commandLines = commandLines(options, problems);
            String environments = environments(options, problems);
            if (!problems.isEmpty()) {
                for (String problem : problems) {
                    System.err.println("CrossCheckFiles: " + problem);
                }
                System.exit(1);
            }
            write(options.commandLinesOut, commandLines);
            write(options.environmentsOut, environments);
        } catch (IllegalArgumentException e) {
            System.err.println("CrossCheckFiles: " + e.getMessage());
            System.exit(2);
        }
    }

    private static String commandLines(Options options, List<String> problems) throws IOException {
        StringBuilder out = new StringBuilder(COMMAND_LINES_FORMAT);
        CommandLineVectors vectors = new CommandLineVectors(options.program, options.prefix);
        for (VectorRecord record : read(options.commandLinesIn, CommandLineVectors.KEYWORDS)) {
            CommandLineVectors.Outcome outcome = vectors.run(record);
            addProblem(problems, outcome.problem());
            CommandLineVectors.write(outcome, out);
        }
        return out.toString();
    }

    private static String environments(Options options, List<String> problems) throws IOException {
        StringBuilder out = new StringBuilder(ENVIRONMENTS_FORMAT);
        for (VectorRecord record : read(options.environmentsIn, EnvironmentVectors.KEYWORDS)) {
            EnvironmentVectors.Outcome outcome = EnvironmentVectors.run(record);
            addProblem(problems, outcome.problem());
            EnvironmentVectors.write(outcome, out);
        }
        return out.toString();
    }

    static List<VectorRecord> read(Path path, String... keywords) throws IOException {
        try (Reader reader = Files.newBufferedReader(path, StandardCharsets.US_ASCII)) {
            return VectorFile.read(reader, keywords);
        } catch (IllegalArgumentException e) {
            throw new IllegalArgumentException(path + ": " + e.getMessage(), e);
        }
    }

    private static void addProblem(List<String> problems, String problem) {
        if (problem != null) {
            problems.add(problem);
        }
    }

    private static void write(Path path, String text) throws IOException {
        Path parent = path.toAbsolutePath().getParent();
        if (parent != null) {
            Files.createDirectories(parent);
        }
        Files.write(path, text.getBytes(StandardCharsets.US_ASCII));
    }

    /** The command line's options. */
    private static final class Options {
        String program;
        final List<String> prefix = new ArrayList<>();
        Path commandLinesIn;
        Path commandLinesOut;
        Path environmentsIn;
        Path environmentsOut;

        static Options parse(String[] args) {
            Options options = new Options();
            for (int i = 0; i < args.length; i++) {
                String option = args[i];
                if (option.equals("--program") && i + 1 < args.length) {
                    options.program = args[++i];
                } else if (option.equals("--prefix") && i + 1 < args.length) {
                    options.prefix.add(args[++i]);
                } else if (option.equals("--command-lines") && i + 2 < args.length) {
                    options.commandLinesIn = Paths.get(args[++i]);
                    options.commandLinesOut = Paths.get(args[++i]);
                } else if (option.equals("--environments") && i + 2 < args.length) {
                    options.environmentsIn = Paths.get(args[++i]);
                    options.environmentsOut = Paths.get(args[++i]);
                } else {
                    throw new IllegalArgumentException("unexpected argument: " + option);
                }
            }
            if (options.program == null || options.commandLinesIn == null
                || options.environmentsIn == null) {
                throw new IllegalArgumentException(
                    "usage: --program PROGRAM [--prefix ARG]... --command-lines IN OUT"
                    + " --environments IN OUT");
            }
            return options;
        }
    }
}
