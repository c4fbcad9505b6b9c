#include "environment.h"

#include <windows.h>

#include <algorithm>

#include "command_line.h"

namespace quillrun {

namespace {

char16_t upper(char16_t c) {
    // One unit at a time, as the Java side's Character.toUpperCase(char).
    wchar_t unit = static_cast<wchar_t>(c);
    CharUpperBuffW(&unit, 1);
    return static_cast<char16_t>(unit);
}

int compareNames(const std::u16string &left, const std::u16string &right) {
    const size_t common = std::min(left.size(), right.size());
    for (size_t i = 0; i < common; ++i) {
        const int a = upper(left[i]);
        const int b = upper(right[i]);
        if (a != b) {
            return a - b;
        }
    }
    return static_cast<int>(left.size()) - static_cast<int>(right.size());
}

std::string describe(const std::u16string &name) {
    return "environment variable \"" + toUtf8(name) + "\"";
}

std::string refusal(const Variable &variable) {
    if (variable.name.empty()) {
        return "environment variable name is empty";
    }
    if (variable.name.find(u'\0') != std::u16string::npos) {
        return describe(variable.name) + ": name contains NUL";
    }
    if (variable.name.find(u'=', 1) != std::u16string::npos) {
        return describe(variable.name) + ": name contains '=' after its first character";
    }
    if (variable.value.find(u'\0') != std::u16string::npos) {
        return describe(variable.name) + ": value contains NUL";
    }
    return "";
}

}  // namespace

std::vector<Variable> parseEnvironment(const std::u16string &snapshot) {
    std::vector<Variable> variables;
    size_t start = 0;
    while (start < snapshot.size()) {
        size_t end = snapshot.find(u'\0', start);
        if (end == std::u16string::npos) {
            end = snapshot.size();
        }
        if (end == start) {
            break;
        }
        const size_t equals = snapshot.find(u'=', start + 1);
        if (equals < end) {
            variables.push_back({snapshot.substr(start, equals - start),
                                 snapshot.substr(equals + 1, end - equals - 1)});
        }
        start = end + 1;
    }
    return variables;
}

void setVariable(std::vector<Variable> &variables, const std::u16string &name,
                 const std::u16string &value) {
    for (Variable &variable : variables) {
        if (compareNames(variable.name, name) == 0) {
            variable = {name, value};
            return;
        }
    }
    variables.push_back({name, value});
}

EnvironmentBlock buildEnvironment(std::vector<Variable> variables) {
    for (const Variable &variable : variables) {
        const std::string why = refusal(variable);
        if (!why.empty()) {
            return {false, u"", why};
        }
    }
    std::stable_sort(variables.begin(), variables.end(), [](const Variable &a, const Variable &b) {
        return compareNames(a.name, b.name) < 0;
    });
    for (size_t i = 1; i < variables.size(); ++i) {
        if (compareNames(variables[i - 1].name, variables[i].name) == 0) {
            return {false, u"",
                    describe(variables[i - 1].name) + " and " + describe(variables[i].name) +
                        " differ only in case"};
        }
    }
    if (variables.empty()) {
        return {true, std::u16string(2, u'\0'), ""};
    }
    std::u16string block;
    for (const Variable &variable : variables) {
        block += variable.name + u'=' + variable.value + u'\0';
    }
    block += u'\0';
    return {true, block, ""};
}

}  // namespace quillrun
