// quill-run builds command lines and environment blocks by the Java helpers'
// rules: checked case by case against what the Java side made of the shared
// vectors at build time.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "command_line.h"
#include "crosscheck_files.h"
#include "environment.h"
#include "escaped_text.h"

namespace {

using namespace std::string_literals;

// What the build gave the Java tool: the program of every case that names
// none, and an argument put before every case's own.
const char16_t DEFAULT_PROGRAM[] = u"quill_child.exe";
const char16_t PREFIX_ARGUMENT[] = u"args";

std::u16string unescaped(const std::string &text) {
    std::u16string units;
    std::string error;
    EXPECT_TRUE(crosscheck::unescape(text, units, error)) << error;
    return units;
}

// The source vectors, which keep the inputs of refused cases too.
std::vector<crosscheck::Record> sourceVectors(const char *file) {
    std::vector<std::string> errors;
    std::vector<crosscheck::Record> records = crosscheck::readRecords(
        std::string(QUILL_VECTORS_DIR "/") + file, errors, crosscheck::Keywords::BARE_ALLOWED);
    for (const std::string &error : errors) {
        ADD_FAILURE() << file << ": " << error;
    }
    EXPECT_FALSE(records.empty()) << file;
    return records;
}

bool hasKeyword(const crosscheck::Record &record, const char *keyword) {
    for (const crosscheck::Field &field : record.fields) {
        if (field.keyword == keyword) {
            return true;
        }
    }
    return false;
}

TEST(QuillRunRules, CommandLinesAsTheJavaHelperBuildsThem) {
    std::map<std::string, const crosscheck::CommandLineCase *> javaCases;
    for (const crosscheck::CommandLineCase &c : crosscheck::commandLineFile().cases) {
        javaCases[c.name] = &c;
    }
    int built = 0;
    int refused = 0;
    for (const crosscheck::Record &record : sourceVectors("command_lines.txt")) {
        SCOPED_TRACE("case " + record.name);
        std::u16string program = DEFAULT_PROGRAM;
        std::vector<std::u16string> arguments = {PREFIX_ARGUMENT};
        for (const crosscheck::Field &field : record.fields) {
            if (field.keyword == "program") {
                program = unescaped(field.value);
            } else if (field.keyword == "arg") {
                arguments.push_back(unescaped(field.value));
            }
        }
        const quillrun::CommandLine line = quillrun::buildCommandLine(program, arguments);
        if (hasKeyword(record, "reject")) {
            EXPECT_FALSE(line.ok) << "built " << quillrun::toUtf8(line.line);
            ++refused;
            continue;
        }
        ASSERT_TRUE(javaCases.count(record.name)) << "no Java result for this case";
        const crosscheck::CommandLineCase &java = *javaCases[record.name];
        ASSERT_TRUE(line.ok) << line.error;
        EXPECT_EQ(crosscheck::escape(line.line), crosscheck::escape(java.commandLine));
        ++built;
    }
    EXPECT_GE(built, 10);
    EXPECT_GE(refused, 5);
}

TEST(QuillRunRules, EnvironmentBlocksAsTheJavaHelperBuildsThem) {
    std::map<std::string, const crosscheck::EnvironmentCase *> javaCases;
    for (const crosscheck::EnvironmentCase &c : crosscheck::environmentFile().cases) {
        javaCases[c.name] = &c;
    }
    int built = 0;
    int refused = 0;
    for (const crosscheck::Record &record : sourceVectors("environments.txt")) {
        SCOPED_TRACE("case " + record.name);
        std::vector<quillrun::Variable> variables;
        for (const crosscheck::Field &field : record.fields) {
            if (field.keyword == "name") {
                variables.push_back({unescaped(field.value), u""});
            } else if (field.keyword == "value" && !variables.empty()) {
                variables.back().value = unescaped(field.value);
            }
        }
        const quillrun::EnvironmentBlock block = quillrun::buildEnvironment(variables);
        if (hasKeyword(record, "reject")) {
            EXPECT_FALSE(block.ok) << "built " << crosscheck::escape(block.block);
            ++refused;
            continue;
        }
        ASSERT_TRUE(javaCases.count(record.name)) << "no Java result for this case";
        ASSERT_TRUE(block.ok) << block.error;
        EXPECT_EQ(crosscheck::escape(block.block),
                  crosscheck::escape(javaCases[record.name]->block));
        ++built;
    }
    EXPECT_GE(built, 5);
    EXPECT_GE(refused, 3);
}

TEST(QuillRunRules, SettingAVariableReplacesItsCaseTwin) {
    std::vector<quillrun::Variable> variables =
        quillrun::parseEnvironment(u"=C:=C:\\x\0Path=a\0B=1\0"s);
    quillrun::setVariable(variables, u"PATH", u"b");
    quillrun::setVariable(variables, u"NEW", u"2");
    const quillrun::EnvironmentBlock block = quillrun::buildEnvironment(variables);
    ASSERT_TRUE(block.ok) << block.error;
    EXPECT_EQ(crosscheck::escape(block.block),
              crosscheck::escape(u"=C:=C:\\x\0B=1\0NEW=2\0PATH=b\0\0"s));
}

}  // namespace
