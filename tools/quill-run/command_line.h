// Command lines for CreateProcessW from a program and its arguments, by the
// same rules as com.brennock.process.CommandLine on the Java side: the child's
// C runtime splits the line back into exactly those arguments, and a batch
// file, which cmd.exe parses by other rules, is refused any argument that
// cmd.exe would act on.
#ifndef QUILL_RUN_COMMAND_LINE_H
#define QUILL_RUN_COMMAND_LINE_H

#include <string>
#include <vector>

namespace quillrun {

struct CommandLine {
    bool ok;
    std::u16string line;  // when ok
    std::string error;    // when not: why the arguments cannot be passed
};

CommandLine buildCommandLine(const std::u16string &program,
                             const std::vector<std::u16string> &arguments);

// True for a program cmd.exe runs: a .bat or .cmd name, trailing dots and
// spaces ignored as Windows ignores them.
bool isBatchFile(const std::u16string &program);

// UTF-8 for messages and output.
std::string toUtf8(const std::u16string &text);

}  // namespace quillrun

#endif
