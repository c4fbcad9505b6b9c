#include "command_line.h"

#include <windows.h>

namespace quillrun {

namespace {

// An argument with any of these is quoted; * and ? too, so that runtimes
// that expand wildcards leave it alone.
const std::u16string QUOTE_TRIGGERS = u" \t\n\v\"*?";
// A program name is split by Windows itself, not by the C runtime.
const std::u16string PROGRAM_QUOTE_TRIGGERS = u" \t";
// cmd.exe would expand or end the line at these, whatever the quoting.
const std::u16string BATCH_UNSAFE = u"\"%!";
// cmd.exe splits or redirects at these unless they are quoted.
const std::u16string BATCH_QUOTE_TRIGGERS = u" \t\u00A0&|<>^(),;=*?";

bool containsAny(const std::u16string &text, const std::u16string &characters) {
    return text.find_first_of(characters) != std::u16string::npos;
}

bool isControl(char16_t c) {
    return c <= 0x1F || (c >= 0x7F && c <= 0x9F);
}

std::string printable(const std::u16string &text) {
    std::string out = "\"";
    for (char16_t c : text) {
        if (isControl(c)) {
            char escaped[8];
            wsprintfA(escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += toUtf8(std::u16string(1, c));
        }
    }
    return out + "\"";
}

// Empty when the text may be passed; otherwise why not.
std::string refusal(const std::string &what, const std::u16string &text, bool batch) {
    if (text.find(u'\0') != std::u16string::npos) {
        return what + " " + printable(text) + " contains NUL, which ends a command line";
    }
    if (!batch) {
        return "";
    }
    for (char16_t c : text) {
        if (BATCH_UNSAFE.find(c) != std::u16string::npos || (c != u'\t' && isControl(c))) {
            return what + " " + printable(text) +
                   " contains a character that cmd.exe would act on: a batch file cannot"
                   " receive it safely";
        }
    }
    return "";
}

void appendQuoted(std::u16string &line, const std::u16string &argument) {
    line += u'"';
    size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only in front of a quote: there they are doubled,
        // and one more escapes the quote itself.
        line.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        line += c;
        backslashes = 0;
    }
    // The closing quote follows: trailing backslashes are doubled to stay literal.
    line.append(2 * backslashes, u'\\');
    line += u'"';
}

}  // namespace

bool isBatchFile(const std::u16string &program) {
    size_t end = program.size();
    while (end > 0 && (program[end - 1] == u'.' || program[end - 1] == u' ')) {
        --end;
    }
    if (end < 4) {
        return false;
    }
    std::u16string extension = program.substr(end - 4, 4);
    for (char16_t &c : extension) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return extension == u".bat" || extension == u".cmd";
}

CommandLine buildCommandLine(const std::u16string &program,
                             const std::vector<std::u16string> &arguments) {
    const bool batch = isBatchFile(program);
    if (program.empty()) {
        return {false, u"", "program is empty"};
    }
    if (program.find(u'"') != std::u16string::npos) {
        return {false, u"",
                "program " + printable(program) + " contains '\"', which no file name has"};
    }
    std::string why = refusal("program", program, batch);
    if (!why.empty()) {
        return {false, u"", why};
    }

    std::u16string line;
    const bool quoteProgram = containsAny(program, PROGRAM_QUOTE_TRIGGERS) ||
                              (batch && containsAny(program, BATCH_QUOTE_TRIGGERS));
    line = quoteProgram ? u"\"" + program + u"\"" : program;

    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string &argument = arguments[i];
        why = refusal("arguments[" + std::to_string(i) + "]", argument, batch);
        if (!why.empty()) {
            return {false, u"", why};
        }
        line += u' ';
        if (argument.empty() || containsAny(argument, QUOTE_TRIGGERS) ||
            (batch && containsAny(argument, BATCH_QUOTE_TRIGGERS))) {
            appendQuoted(line, argument);
        } else {
            line += argument;
        }
    }
    return {true, line, ""};
}

std::string toUtf8(const std::u16string &text) {
    if (text.empty()) {
        return std::string();
    }
    const wchar_t *units = reinterpret_cast<const wchar_t *>(text.data());
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, units, size, NULL, 0, NULL, NULL);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units, size, &out[0], bytes, NULL, NULL);
    return out;
}

}  // namespace quillrun
