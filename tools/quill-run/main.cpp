// quill-run: runs one command through Quillstead.dll exactly as a Java VM
// would call it, with all three standard streams piped back here.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "environment.h"
#include "host_vm.h"
#include "jvm_control.h"
#include "quillstead_library.h"

namespace {

using quillrun::toUtf8;

// Exit codes of quill-run's own failures, as shells use them.
constexpr int EXIT_CANNOT_RUN = 125;
constexpr int EXIT_NOT_FOUND = 127;
constexpr int EXIT_INTERRUPTED = 130;

constexpr jlong NO_HANDLE = -1;

const char USAGE[] =
    "usage: quill-run [OPTION]... [--] PROGRAM [ARG]...\n"
    "\n"
    "Runs PROGRAM with its arguments through Quillstead.dll, the way a Java VM\n"
    "calls the library: the command line is built from PROGRAM and ARGs so that\n"
    "the child's C runtime splits it back into exactly those arguments, create\n"
    "starts the child with pipes for all three standard streams, and quill-run\n"
    "pumps them while it waits. It exits with the child's exit code.\n"
    "\n"
    "Options:\n"
    "  --dir DIR          the child's working directory (normalised by the library:\n"
    "                     C:/work/ becomes C:\\work)\n"
    "  --env NAME=VALUE   set a variable in the child's environment (repeatable)\n"
    "  --clear-env        start the child's environment empty, then apply --env\n"
    "  --merge-stderr     send the child's standard error to its standard output\n"
    "  --stdin FILE|-     feed FILE, or quill-run's own standard input, to the\n"
    "                     child (default: the child reads end-of-file at once)\n"
    "  --print-env        print quill-run's own environment block, one entry a\n"
    "                     line, as the library's environmentBlock returns it; with\n"
    "                     no PROGRAM, only that\n"
    "  --help             show this text\n"
    "\n"
    "PROGRAM is found as Windows finds the first token of a command line: in\n"
    "quill-run's own directory, the current directory, the system directories\n"
    "and PATH. A .bat or .cmd PROGRAM runs under cmd.exe, and arguments that\n"
    "cmd.exe would act on (quotes, %, !, line breaks) are refused.\n"
    "\n"
    "Exit status: the child's exit code; 130 after Ctrl-C (the child is killed);\n"
    "127 when PROGRAM is not found; 125 when quill-run cannot run it otherwise.\n"
    "Failures print the library's IOException message, for example\n"
    "  quill-run: CreateProcess error=2, File not found.\n";

struct Options {
    bool help = false;
    bool hasDirectory = false;
    std::u16string directory;
    std::vector<quillrun::Variable> variables;
    bool clearEnvironment = false;
    bool mergeStderr = false;
    bool hasStdin = false;
    std::u16string stdinSource;
    bool printEnvironment = false;
    std::u16string program;
    std::vector<std::u16string> arguments;
};

std::u16string units(const wchar_t *text) {
    return std::u16string(reinterpret_cast<const char16_t *>(text));
}

void printError(const std::string &message) {
    fprintf(stderr, "quill-run: %s\n", message.c_str());
    fflush(stderr);
}

// False, after saying why, when the arguments cannot be understood.
bool parseOptions(int argc, wchar_t **argv, Options *options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::u16string arg = units(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == u"--") {
            ++i;
            break;
        } else if (arg == u"--help" || arg == u"-h") {
            options->help = true;
            return true;
        } else if (arg == u"--clear-env") {
            options->clearEnvironment = true;
        } else if (arg == u"--merge-stderr") {
            options->mergeStderr = true;
        } else if (arg == u"--print-env") {
            options->printEnvironment = true;
        } else if ((arg == u"--dir" || arg == u"--env" || arg == u"--stdin") && !hasValue) {
            printError(toUtf8(arg) + " needs a value");
            return false;
        } else if (arg == u"--dir") {
            options->hasDirectory = true;
            options->directory = units(argv[++i]);
        } else if (arg == u"--stdin") {
            options->hasStdin = true;
            options->stdinSource = units(argv[++i]);
        } else if (arg == u"--env") {
            const std::u16string assignment = units(argv[++i]);
            const size_t equals = assignment.find(u'=', 1);
            if (equals == std::u16string::npos) {
                printError("--env needs NAME=VALUE, not \"" + toUtf8(assignment) + "\"");
                return false;
            }
            quillrun::setVariable(options->variables, assignment.substr(0, equals),
                                  assignment.substr(equals + 1));
        } else if (arg.size() > 1 && arg[0] == u'-') {
            printError("unknown option " + toUtf8(arg) + " (see --help)");
            return false;
        } else {
            break;
        }
    }
    if (i < argc) {
        options->program = units(argv[i]);
        for (++i; i < argc; ++i) {
            options->arguments.push_back(units(argv[i]));
        }
    } else if (!options->printEnvironment) {
        printError("no PROGRAM given (see --help)");
        return false;
    }
    return true;
}

// What the library throws for a program that is not there carries the
// Windows error 2 (file) or 3 (path) after "error=".
int launchFailureExitCode(const std::string &message) {
    const size_t at = message.find("error=");
    if (message.rfind("CreateProcess", 0) == 0 && at != std::string::npos) {
        const long error = strtol(message.c_str() + at + 6, NULL, 10);
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return EXIT_NOT_FOUND;
        }
    }
    return EXIT_CANNOT_RUN;
}

bool writeAll(HANDLE handle, const char *data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, data, size, &written, NULL)) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies one stream to another until end-of-file or a broken pipe, then
// closes the end it was given, so a child reading its input sees the end.
struct Pump {
    const host::QuillsteadApi *api;
    HANDLE from;
    HANDLE to;
    jlong closeWhenDone;  // the pipe end the library handed out, or NO_HANDLE
    HANDLE thread;
};

DWORD WINAPI pump(void *argument) {
    Pump *p = static_cast<Pump *>(argument);
    char buffer[8192];
    DWORD got = 0;
    while (p->from != INVALID_HANDLE_VALUE &&
           ReadFile(p->from, buffer, sizeof buffer, &got, NULL) && got > 0) {
        if (!writeAll(p->to, buffer, got)) {
            break;
        }
    }
    if (p->closeWhenDone != NO_HANDLE) {
        // Each thread has its own VM, as each Java thread has its JNIEnv.
        host::HostVm vm;
        p->api->closeHandle(vm.env(), NULL, p->closeWhenDone);
    }
    return 0;
}

bool startPump(Pump *p) {
    p->thread = CreateThread(NULL, 0, pump, p, 0, NULL);
    return p->thread != NULL;
}

HANDLE handleOf(jlong value) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

DWORD mainThreadId;
volatile LONG interrupted;

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        InterlockedExchange(&interrupted, 1);
        // What Thread.interrupt() does to a Java thread waiting in the library.
        jvmStubInterrupt(mainThreadId);
        return TRUE;
    }
    return FALSE;
}

void printEnvironment(const std::u16string &snapshot) {
    size_t start = 0;
    while (start < snapshot.size()) {
        size_t end = snapshot.find(u'\0', start);
        if (end == std::u16string::npos) {
            end = snapshot.size();
        }
        printf("%s\n", toUtf8(snapshot.substr(start, end - start)).c_str());
        start = end + 1;
    }
    fflush(stdout);
}

// The input the child reads: none (it sees end-of-file at once), quill-run's
// own standard input, or a file.
bool openStdinSource(const Options &options, HANDLE *source) {
    *source = INVALID_HANDLE_VALUE;
    if (!options.hasStdin) {
        return true;
    }
    if (options.stdinSource == u"-") {
        *source = GetStdHandle(STD_INPUT_HANDLE);
        return true;
    }
    *source = CreateFileW(reinterpret_cast<const wchar_t *>(options.stdinSource.c_str()),
                          GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (*source == INVALID_HANDLE_VALUE) {
        printError("cannot open " + toUtf8(options.stdinSource) + " (error " +
                   std::to_string(GetLastError()) + ")");
        return false;
    }
    return true;
}

int run(const Options &options) {
    host::QuillsteadLibrary library;
    if (!library.load()) {
        printError(library.error());
        return EXIT_CANNOT_RUN;
    }
    const host::QuillsteadApi &api = library.api();
    host::HostVm vm;
    JNIEnv *env = vm.env();

    std::u16string snapshot;
    if (options.printEnvironment || (!options.variables.empty() && !options.clearEnvironment)) {
        jstring block = api.environmentBlock(env, NULL);
        if (block == NULL) {
            printError(vm.exceptionMessage());
            return EXIT_CANNOT_RUN;
        }
        snapshot = vm.stringUnits(block);
    }
    if (options.printEnvironment) {
        printEnvironment(snapshot);
        if (options.program.empty()) {
            return 0;
        }
    }

    const quillrun::CommandLine commandLine =
        quillrun::buildCommandLine(options.program, options.arguments);
    if (!commandLine.ok) {
        printError(commandLine.error);
        return EXIT_CANNOT_RUN;
    }
    jstring envBlock = NULL;
    if (options.clearEnvironment || !options.variables.empty()) {
        std::vector<quillrun::Variable> variables;
        if (!options.clearEnvironment) {
            variables = quillrun::parseEnvironment(snapshot);
        }
        for (const quillrun::Variable &variable : options.variables) {
            quillrun::setVariable(variables, variable.name, variable.value);
        }
        const quillrun::EnvironmentBlock block = quillrun::buildEnvironment(variables);
        if (!block.ok) {
            printError(block.error);
            return EXIT_CANNOT_RUN;
        }
        envBlock = vm.newString(block.block);
    }
    HANDLE stdinSource = INVALID_HANDLE_VALUE;
    if (!openStdinSource(options, &stdinSource)) {
        return EXIT_CANNOT_RUN;
    }

    jlongArray slots = vm.newLongArray({NO_HANDLE, NO_HANDLE, NO_HANDLE});
    const jlong process = api.create(env, NULL, vm.newString(commandLine.line), envBlock,
                                     options.hasDirectory ? vm.newString(options.directory) : NULL,
                                     slots, options.mergeStderr ? JNI_TRUE : JNI_FALSE);
    if (vm.exceptionPending()) {
        const std::string message = vm.exceptionMessage();
        printError(message);
        return launchFailureExitCode(message);
    }
    const std::vector<jlong> ends = vm.longArrayElements(slots);

    Pump input = {&api, stdinSource, handleOf(ends[0]), ends[0], NULL};
    Pump output = {&api, handleOf(ends[1]), GetStdHandle(STD_OUTPUT_HANDLE), ends[1], NULL};
    Pump error = {&api, handleOf(ends[2]), GetStdHandle(STD_ERROR_HANDLE), ends[2], NULL};
    if (!startPump(&input) || !startPump(&output) || (ends[2] != NO_HANDLE && !startPump(&error))) {
        printError("cannot start a thread");
        api.terminateProcess(env, NULL, process);
        return EXIT_CANNOT_RUN;
    }

    api.waitForInterruptibly(env, NULL, process);
    if (vm.exceptionPending()) {
        printError(vm.exceptionMessage());
        api.terminateProcess(env, NULL, process);
        return EXIT_CANNOT_RUN;
    }
    if (interrupted) {
        api.terminateProcess(env, NULL, process);
        // A grandchild may still hold the pipes; do not wait for it.
        HANDLE pumps[2] = {output.thread, error.thread != NULL ? error.thread : output.thread};
        WaitForMultipleObjects(2, pumps, TRUE, 2000);
        printError("interrupted; the child was killed");
        return EXIT_INTERRUPTED;
    }
    const jint exitCode = api.getExitCodeProcess(env, NULL, process);
    if (vm.exceptionPending()) {
        printError(vm.exceptionMessage());
        return EXIT_CANNOT_RUN;
    }
    // All output has arrived once the child (and whatever inherited its
    // ends) has gone; the input pump may still be blocked reading, and is
    // left behind.
    WaitForSingleObject(output.thread, INFINITE);
    if (error.thread != NULL) {
        WaitForSingleObject(error.thread, INFINITE);
    }
    api.closeHandle(env, NULL, process);
    return exitCode;
}

}  // namespace

int wmain(int argc, wchar_t **argv) {
    // Lines end as the child's own output does (it passes through byte for
    // byte), not with the C runtime's CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        return EXIT_CANNOT_RUN;
    }
    if (options.help) {
        fputs(USAGE, stdout);
        return 0;
    }
    mainThreadId = GetCurrentThreadId();
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    const int code = run(options);
    fflush(stdout);
    fflush(stderr);
    // ExitProcess, not a return: the input pump may be blocked in a read.
    ExitProcess(static_cast<UINT>(code));
}
