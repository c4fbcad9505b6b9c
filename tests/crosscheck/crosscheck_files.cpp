#include "crosscheck_files.h"

#include <fstream>
#include <set>
#include <utility>

#include "escaped_text.h"

namespace crosscheck {

namespace {

void addError(std::vector<std::string> &errors, int line, const std::string &what) {
    errors.push_back("line " + std::to_string(line) + ": " + what);
}

std::u16string decode(const Field &field, std::vector<std::string> &errors) {
    std::u16string units;
    std::string error;
    if (!unescape(field.value, units, error)) {
        addError(errors, field.line, field.keyword + ": " + error);
    }
    return units;
}

// A test name may hold only letters, digits and underscores, and must be
// unique: a repeated name gets a numbered suffix here and an error.
std::string makeId(const Record &record, std::set<std::string> &used,
                   std::vector<std::string> &errors) {
    std::string id;
    for (char c : record.name) {
        const bool keep =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        id.push_back(keep ? c : '_');
    }
    if (id.empty()) {
        addError(errors, record.line, "case without a name");
        id = "unnamed";
    }
    const std::string base = id;
    for (int n = 2; !used.insert(id).second; ++n) {
        addError(errors, record.line, "case name " + record.name + " repeats an earlier one");
        id = base + "_" + std::to_string(n);
    }
    return id;
}

// One value the record must hold exactly once.
bool takeOnce(const Field &field, bool &seen, std::vector<std::string> &errors) {
    if (seen) {
        addError(errors, field.line, "second '" + field.keyword + "' in one case");
        return false;
    }
    seen = true;
    return true;
}

// A launch case and a refused case are distinct shapes: not both, not neither.
void checkShape(const Record &record, bool launchable, bool rejected, bool hasExpectations,
                std::vector<std::string> &errors) {
    if (launchable == rejected) {
        addError(errors, record.line,
                 "case " + record.name + " needs exactly one of its launch value and 'rejected'");
    }
    if (rejected && hasExpectations) {
        addError(errors, record.line, "refused case " + record.name + " lists what to expect");
    }
}

CommandLineCase toCommandLineCase(const Record &record, std::set<std::string> &used,
                                  std::vector<std::string> &errors) {
    CommandLineCase result;
    result.name = record.name;
    result.id = makeId(record, used, errors);
    bool hasProgram = false;
    bool hasLine = false;
    for (const Field &field : record.fields) {
        if (field.keyword == "program") {
            if (takeOnce(field, hasProgram, errors)) {
                result.program = decode(field, errors);
            }
        } else if (field.keyword == "commandline") {
            if (takeOnce(field, hasLine, errors)) {
                result.commandLine = decode(field, errors);
            }
        } else if (field.keyword == "arg") {
            result.args.push_back(decode(field, errors));
        } else if (field.keyword == "rejected") {
            if (takeOnce(field, result.rejected, errors)) {
                result.rejection = field.value;
            }
        } else {
            addError(errors, field.line, "unknown keyword '" + field.keyword + "'");
        }
    }
    if (!hasProgram) {
        addError(errors, record.line, "case " + record.name + " has no program");
    }
    checkShape(record, hasLine, result.rejected, !result.args.empty(), errors);
    return result;
}

EnvironmentCase toEnvironmentCase(const Record &record, std::set<std::string> &used,
                                  std::vector<std::string> &errors) {
    EnvironmentCase result;
    result.name = record.name;
    result.id = makeId(record, used, errors);
    bool hasBlock = false;
    for (const Field &field : record.fields) {
        if (field.keyword == "block") {
            if (takeOnce(field, hasBlock, errors)) {
                result.block = decode(field, errors);
            }
        } else if (field.keyword == "entry") {
            result.entries.push_back(decode(field, errors));
        } else if (field.keyword == "rejected") {
            if (takeOnce(field, result.rejected, errors)) {
                result.rejection = field.value;
            }
        } else {
            addError(errors, field.line, "unknown keyword '" + field.keyword + "'");
        }
    }
    checkShape(record, hasBlock, result.rejected, !result.entries.empty(), errors);
    return result;
}

template <typename Case, typename Convert>
CaseFile<Case> readCaseFile(const char *path, Convert convert) {
    CaseFile<Case> file;
    file.path = path;
    std::set<std::string> used;
    for (const Record &record : readRecords(file.path, file.errors)) {
        file.cases.push_back(convert(record, used, file.errors));
    }
    return file;
}

template <typename Case>
std::vector<Case> launchCases(const CaseFile<Case> &file) {
    std::vector<Case> cases;
    for (const Case &c : file.cases) {
        if (!c.rejected) {
            cases.push_back(c);
        }
    }
    return cases;
}

}  // namespace

std::vector<Record> readRecords(const std::string &path, std::vector<std::string> &errors,
                                Keywords keywords) {
    std::vector<Record> records;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back("cannot open " + path);
        return records;
    }
    bool open = false;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text[0] == '#') {
            continue;
        }
        const size_t space = text.find(' ');
        const std::string keyword = text.substr(0, space);
        const std::string value = space == std::string::npos ? "" : text.substr(space + 1);
        if (keyword == "case") {
            if (open) {
                addError(errors, line, "case inside case " + records.back().name);
            }
            records.push_back(Record{line, value, {}});
            open = true;
        } else if (keyword == "end" && space == std::string::npos) {
            if (!open) {
                addError(errors, line, "end outside a case");
            }
            open = false;
        } else if (!open) {
            addError(errors, line, "'" + keyword + "' outside a case");
        } else if (space == std::string::npos && keywords == Keywords::WITH_VALUES) {
            addError(errors, line, "'" + keyword + "' without its space and value");
        } else {
            records.back().fields.push_back(Field{line, keyword, value});
        }
    }
    if (open) {
        addError(errors, line, "case " + records.back().name + " has no end");
    }
    return records;
}

const CaseFile<CommandLineCase> &commandLineFile() {
    static const CaseFile<CommandLineCase> file =
        readCaseFile<CommandLineCase>(QUILL_CROSSCHECK_COMMAND_LINES, toCommandLineCase);
    return file;
}

const CaseFile<EnvironmentCase> &environmentFile() {
    static const CaseFile<EnvironmentCase> file =
        readCaseFile<EnvironmentCase>(QUILL_CROSSCHECK_ENVIRONMENTS, toEnvironmentCase);
    return file;
}

std::vector<CommandLineCase> commandLinesToLaunch() {
    return launchCases(commandLineFile());
}

std::vector<EnvironmentCase> environmentsToLaunch() {
    return launchCases(environmentFile());
}

}  // namespace crosscheck
