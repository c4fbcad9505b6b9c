// Calls into the DLL for the launch benchmark. The strings are made once,
// as a Java caller holds its command line and directory as strings already;
// what create then does with them is what is measured.
#include "library_launch.h"

namespace bench {

LibraryLauncher::LibraryLauncher(const host::QuillsteadApi &api, const std::u16string &commandLine,
                                 const std::u16string &directory)
    : api_(api), commandLineText_(commandLine), directoryText_(directory) {
    renewVm();
}

void LibraryLauncher::renewVm() {
    vm_ = std::make_unique<host::HostVm>();
    class_ = vm_->classObject(PROCESS_CLASS);
    commandLine_ = vm_->newString(commandLineText_);
    directory_ = vm_->newString(directoryText_);
}

jlongArray LibraryLauncher::newSlots() {
    return vm_->newLongArray({NO_HANDLE, NO_HANDLE, NO_HANDLE});
}

bool LibraryLauncher::failed(const char *call) {
    if (!vm_->exceptionPending()) {
        return false;
    }
    error_ = std::string(call) + ": " + vm_->exceptionClass() + ": " + vm_->exceptionMessage();
    vm_->clearException();
    return true;
}

bool LibraryLauncher::start(jlongArray slots, LibraryLaunch *launch) {
    JNIEnv *env = vm_->env();
    launch->process = api_.create(env, class_, commandLine_, nullptr, directory_, slots, JNI_FALSE);
    if (failed("create")) {
        return false;
    }
    if (launch->process == 0) {
        error_ = "create returned 0 with no exception pending";
        return false;
    }
    // Java reads the parent's ends back out of the array it passed.
    const std::vector<jlong> ends = vm_->longArrayElements(slots);
    launch->input = ends[0];
    launch->output = ends[1];
    launch->error = ends[2];
    return true;
}

bool LibraryLauncher::reap(const LibraryLaunch &launch, jint *exitCode) {
    JNIEnv *env = vm_->env();
    api_.waitForInterruptibly(env, class_, launch.process);
    if (failed("waitForInterruptibly")) {
        close(launch);
        return false;
    }
    *exitCode = api_.getExitCodeProcess(env, class_, launch.process);
    const bool known = !failed("getExitCodeProcess");
    close(launch);
    return known;
}

void LibraryLauncher::close(const LibraryLaunch &launch) {
    JNIEnv *env = vm_->env();
    api_.closeHandle(env, class_, launch.process);
    api_.closeHandle(env, class_, launch.input);
    api_.closeHandle(env, class_, launch.output);
    api_.closeHandle(env, class_, launch.error);
}

}  // namespace bench
