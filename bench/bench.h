// What every benchmark shares: the library as a VM loads it, the child
// program, and the report that collects the figures.
#ifndef QUILL_BENCH_BENCH_H
#define QUILL_BENCH_BENCH_H

#include <windows.h>

#include <string>

#include "quillstead_library.h"
#include "report.h"

namespace bench {

constexpr jlong NO_HANDLE = -1;

// The Java class create and its siblings are declared in.
constexpr char PROCESS_CLASS[] = "com/brennock/process/WindowsProcessImpl";
constexpr char ENVIRONMENT_CLASS[] = "com/brennock/process/WindowsProcessEnvironment";

struct Context {
    host::QuillsteadLibrary library;
    std::wstring programDirectory;  // ends in '\'
};

// quill_child.exe by its full path, quoted, followed by its commands.
std::wstring childCommandLine(const Context &context, const std::wstring &commands);

inline std::u16string toUtf16(const std::wstring &text) {
    return std::u16string(text.begin(), text.end());
}

inline HANDLE handleFromJava(jlong value) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

void runLaunchOverhead(Context &context, Report &report);
void runDirectoryNormalisation(Report &report);
void runEnvironmentSnapshot(Context &context, Report &report);
void runConcurrentLaunches(Context &context, Report &report);

}  // namespace bench

#endif
