// Standard stream wiring for a new child: each stream gets the caller's
// handle or one end of a new anonymous pipe.
#include "internal.h"

namespace {

// The buffer size suggested for every pipe (Windows treats it as a hint):
// one page of data plus a small margin.
constexpr DWORD PIPE_BUFFER_BYTES = 4096 + 24;

enum Direction { CHILD_READS, CHILD_WRITES };

void setInheritable(HANDLE handle, bool inheritable) {
    // Results ignored: a handle that cannot be flagged shows up as a broken
    // stream in the child, which is where the caller can see it.
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, inheritable ? HANDLE_FLAG_INHERIT : 0);
}

// One stream. *slot is NO_HANDLE to ask for a pipe, anything else is the
// caller's handle. The slot is rewritten only once the stream is decided, so
// the slot of a failed stream keeps the caller's value.
bool wireStream(JNIEnv *env, jlong *slot, Direction direction, HANDLE *childEnd, HANDLE *parentEnd,
                HANDLE *childHandle) {
    if (*slot != NO_HANDLE) {
        *childHandle = handleFromJava(*slot);
        *slot = NO_HANDLE;
    } else {
        // Both ends are born inheritable; the parent's end is cut off right
        // after, so that the child does not hold its own pipe open.
        SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), NULL, TRUE};
        HANDLE readEnd = INVALID_HANDLE_VALUE;
        HANDLE writeEnd = INVALID_HANDLE_VALUE;
        if (!CreatePipe(&readEnd, &writeEnd, &attributes, PIPE_BUFFER_BYTES)) {
            throwLastError(env, "CreatePipe");
            return false;
        }
        *childEnd = direction == CHILD_READS ? readEnd : writeEnd;
        *parentEnd = direction == CHILD_READS ? writeEnd : readEnd;
        setInheritable(*parentEnd, false);
        *childHandle = *childEnd;
        *slot = handleToJava(*parentEnd);
    }
    setInheritable(*childHandle, true);
    return true;
}

}  // namespace

bool wireStandardStreams(JNIEnv *env, jlong *slots, jboolean mergeStderr, StdPipes *pipes,
                         STARTUPINFOW *startup) {
    if (!wireStream(env, &slots[STDIN_SLOT], CHILD_READS, &pipes->inputRead, &pipes->inputWrite,
                    &startup->hStdInput)) {
        return false;
    }
    if (!wireStream(env, &slots[STDOUT_SLOT], CHILD_WRITES, &pipes->outputWrite, &pipes->outputRead,
                    &startup->hStdOutput)) {
        return false;
    }
    if (mergeStderr) {
        // Both streams share the child's output handle; whatever slot 2 held
        // is neither used nor touched.
        startup->hStdError = startup->hStdOutput;
        slots[STDERR_SLOT] = NO_HANDLE;
        setInheritable(startup->hStdError, true);
        return true;
    }
    return wireStream(env, &slots[STDERR_SLOT], CHILD_WRITES, &pipes->errorWrite, &pipes->errorRead,
                      &startup->hStdError);
}
