// The library side of the launch benchmark: create, waitForInterruptibly,
// getExitCodeProcess and closeHandle reached through the DLL's exports, the
// way Java's process class calls them, on the host's stand-in VM.
#ifndef QUILL_BENCH_LIBRARY_LAUNCH_H
#define QUILL_BENCH_LIBRARY_LAUNCH_H

#include <memory>
#include <string>

#include "bench.h"
#include "host_vm.h"

namespace bench {

struct LibraryLaunch {
    jlong process;
    jlong input;  // the parent's pipe ends, as create left them in the slots
    jlong output;
    jlong error;
};

class LibraryLauncher {
public:
    LibraryLauncher(const host::QuillsteadApi &api, const std::u16string &commandLine,
                    const std::u16string &directory);

    // Java makes a new slot array for every launch; this is Java's work,
    // done before the clock starts.
    jlongArray newSlots();
    // create; false with the exception's text in error() when it failed.
    bool start(jlongArray slots, LibraryLaunch *launch);
    // waitForInterruptibly, getExitCodeProcess, then closeHandle on the
    // process and the three pipe ends.
    bool reap(const LibraryLaunch &launch, jint *exitCode);
    // closeHandle on all four, without waiting.
    void close(const LibraryLaunch &launch);

    // A fresh VM: the host VM keeps a record of every buffer it ever lent,
    // and looks a returned buffer up in that list, so a long run on one VM
    // slowly charges the library for the stand-in's bookkeeping.
    void renewVm();
    const std::string &error() const { return error_; }

private:
    bool failed(const char *call);

    const host::QuillsteadApi &api_;
    std::u16string commandLineText_;
    std::u16string directoryText_;
    std::unique_ptr<host::HostVm> vm_;
    jclass class_ = nullptr;
    jstring commandLine_ = nullptr;
    jstring directory_ = nullptr;
    std::string error_;
};

}  // namespace bench

#endif
