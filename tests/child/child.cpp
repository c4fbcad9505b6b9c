// The child program the tests launch: a small interpreter of commands given
// as arguments, run in order, so one launch can combine them:
//
//   quill_child out hello err oops exit 3
//
//   out TEXT    write TEXT and a newline to standard output
//   err TEXT    write TEXT and a newline to standard error
//   echo        copy standard input to standard output until end-of-file
//   sleep MS    sleep MS milliseconds
//   exit CODE   exit now with CODE (decimal, or hex with 0x; may exceed 2^31)
//   cwd         print the current directory
//   env         print the environment block, one entry a line
//   pwd         print the current directory, plainly (UTF-8, for people)
//   getenv NAME print NAME=VALUE plainly, or "NAME is not set"
//   args        print the arguments the C runtime split from the command line
//               (all of them, this program's name included), one a line
//
// Printed texts are escaped so that any UTF-16 string survives as ASCII:
// backslash as \\, printable ASCII as itself, every other unit as \uXXXX.
// With no commands it exits 0.
#include <windows.h>

#include <stdlib.h>
#include <string>

namespace {

void writeTo(DWORD stdHandle, const std::string &text) {
    HANDLE handle = GetStdHandle(stdHandle);
    DWORD written = 0;
    size_t offset = 0;
    while (offset < text.size()) {
        if (!WriteFile(handle, text.data() + offset, static_cast<DWORD>(text.size() - offset),
                       &written, NULL)) {
            ExitProcess(120);
        }
        offset += written;
    }
}

std::string narrow(const wchar_t *text) {
    std::string result;
    for (; *text != 0; ++text) {
        result.push_back(static_cast<char>(*text));
    }
    return result;
}

std::string utf8(const wchar_t *text, size_t length) {
    if (length == 0) {
        return std::string();
    }
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, NULL, 0, NULL, NULL);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, &out[0], bytes, NULL, NULL);
    return out;
}

std::string escape(const wchar_t *text, size_t length) {
    static const char HEX[] = "0123456789ABCDEF";
    std::string result;
    for (size_t i = 0; i < length; ++i) {
        const unsigned unit = static_cast<unsigned short>(text[i]);
        if (unit == '\\') {
            result += "\\\\";
        } else if (unit >= 0x20 && unit < 0x7F) {
            result.push_back(static_cast<char>(unit));
        } else {
            result += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                result.push_back(HEX[(unit >> shift) & 0xF]);
            }
        }
    }
    return result;
}

void echoStdin() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[4096];
    DWORD got = 0;
    // A broken pipe is end-of-file too: the writer has gone.
    while (ReadFile(input, buffer, sizeof buffer, &got, NULL) && got > 0) {
        writeTo(STD_OUTPUT_HANDLE, std::string(buffer, got));
    }
}

void printCurrentDirectory(bool plainly) {
    wchar_t directory[32768];
    const DWORD length = GetCurrentDirectoryW(32768, directory);
    writeTo(STD_OUTPUT_HANDLE,
            (plainly ? utf8(directory, length) : escape(directory, length)) + "\n");
}

void printVariable(const wchar_t *name) {
    std::wstring value(32767, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, &value[0], 32767);
    const std::string text = utf8(name, wcslen(name));
    if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        writeTo(STD_OUTPUT_HANDLE, text + " is not set\n");
    } else {
        writeTo(STD_OUTPUT_HANDLE, text + "=" + utf8(value.c_str(), length) + "\n");
    }
}

void printEnvironment() {
    wchar_t *block = GetEnvironmentStringsW();
    for (const wchar_t *entry = block; *entry != 0; entry += wcslen(entry) + 1) {
        writeTo(STD_OUTPUT_HANDLE, escape(entry, wcslen(entry)) + "\n");
    }
    FreeEnvironmentStringsW(block);
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string command = narrow(argv[i]);
        const wchar_t *operand = i + 1 < argc ? argv[i + 1] : L"";
        if (command == "out" || command == "err") {
            const std::string text = narrow(operand) + "\n";
            writeTo(command == "out" ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE, text);
            ++i;
        } else if (command == "echo") {
            echoStdin();
        } else if (command == "sleep") {
            Sleep(wcstoul(operand, NULL, 10));
            ++i;
        } else if (command == "exit") {
            ExitProcess(wcstoul(operand, NULL, 0));
        } else if (command == "cwd") {
            printCurrentDirectory(false);
        } else if (command == "pwd") {
            printCurrentDirectory(true);
        } else if (command == "getenv") {
            printVariable(operand);
            ++i;
        } else if (command == "env") {
            printEnvironment();
        } else if (command == "args") {
            for (int a = 0; a < argc; ++a) {
                writeTo(STD_OUTPUT_HANDLE, escape(argv[a], wcslen(argv[a])) + "\n");
            }
            return 0;
        } else {
            writeTo(STD_ERROR_HANDLE, "quill_child: unknown command " + command + "\n");
            return 2;
        }
    }
    return 0;
}
