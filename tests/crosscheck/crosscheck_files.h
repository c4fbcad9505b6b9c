// The cross-check files that java/ writes at build time: the command lines
// and environment blocks the Java helpers made from tests/vectors, with what
// the child must receive from each.
//
// Each file is lines of a keyword, one space and an escaped value; a record
// runs from 'case NAME' to 'end'; '#' lines and blank lines are comments.
#ifndef QUILL_CROSSCHECK_CROSSCHECK_FILES_H
#define QUILL_CROSSCHECK_CROSSCHECK_FILES_H

#include <string>
#include <vector>

namespace crosscheck {

// One 'keyword value' line of a case.
struct Field {
    int line;
    std::string keyword;
    std::string value;  // still escaped
};

// A case as the file holds it, from 'case NAME' to 'end'.
struct Record {
    int line;
    std::string name;
    std::vector<Field> fields;
};

// The generated files write every keyword with a value, an empty one as
// "arg "; the hand-written vectors in tests/vectors also use bare keywords
// ("arg" for an empty argument, "reject").
enum class Keywords { WITH_VALUES, BARE_ALLOWED };

// Splits a case file into records without judging their fields; what is
// wrong with the file's shape goes to errors.
std::vector<Record> readRecords(const std::string &path, std::vector<std::string> &errors,
                                Keywords keywords = Keywords::WITH_VALUES);

struct CommandLineCase {
    std::string name;  // as the vector names it
    std::string id;    // the name made fit for a test name, unique in its file
    std::u16string program;
    std::u16string commandLine;
    std::vector<std::u16string> args;  // argv[1] onwards
    bool rejected = false;
    std::string rejection;  // the helper's message, still escaped
};

struct EnvironmentCase {
    std::string name;
    std::string id;
    std::u16string block;                 // closing NUL included
    std::vector<std::u16string> entries;  // NAME=VALUE, any order
    bool rejected = false;
    std::string rejection;
};

template <typename Case>
struct CaseFile {
    std::string path;
    std::vector<Case> cases;
    std::vector<std::string> errors;  // "line N: what is wrong"; empty when the file is sound
};

// Read once and kept: the test table and the checks on the file itself see
// the same cases.
const CaseFile<CommandLineCase> &commandLineFile();
const CaseFile<EnvironmentCase> &environmentFile();

// The cases to launch (the ones the helper did not refuse).
std::vector<CommandLineCase> commandLinesToLaunch();
std::vector<EnvironmentCase> environmentsToLaunch();

}  // namespace crosscheck

#endif
