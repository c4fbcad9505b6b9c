// Environment blocks for create, by the same rules as
// com.brennock.process.EnvironmentBlock on the Java side.
#ifndef QUILL_RUN_ENVIRONMENT_H
#define QUILL_RUN_ENVIRONMENT_H

#include <string>
#include <vector>

namespace quillrun {

struct Variable {
    std::u16string name;
    std::u16string value;
};

// The entries of a snapshot as environmentBlock returns it (entries each
// ending in NUL, no closing NUL). Entries whose name begins with '=' are kept;
// an entry with no '=' after its first unit is skipped, as no lookup finds it.
std::vector<Variable> parseEnvironment(const std::u16string &snapshot);

// Sets name to value, replacing a variable whose name differs only in case.
void setVariable(std::vector<Variable> &variables, const std::u16string &name,
                 const std::u16string &value);

struct EnvironmentBlock {
    bool ok;
    std::u16string block;  // when ok: sorted entries, each with its NUL, and the closing NUL
    std::string error;     // when not: which variable cannot be passed, and why
};

// Sorted as Windows expects a block to be: by name, case-insensitively
// (ordinal after upper-casing each unit).
EnvironmentBlock buildEnvironment(std::vector<Variable> variables);

}  // namespace quillrun

#endif
