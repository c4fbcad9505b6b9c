// JVM_GetThreadInterruptEvent of the jvm.dll stand-in: one manual-reset
// event per thread, as a VM keeps for Thread.interrupt(), plus the checks a
// test uses to prove the library left the event alone.
#include <stdio.h>

#include "jvm_control.h"
#include "stub_internal.h"

extern "C" HANDLE __stdcall JVM_GetThreadInterruptEvent(void);

namespace {

constexpr int MAX_THREADS = 256;

struct ThreadEvent {
    DWORD threadId;
    HANDLE event;
    // A second handle to the same object: it outlives a CloseHandle of the
    // first, so a closed or recycled handle value can be told apart.
    HANDLE shadow;
    bool dead;
};

SRWLOCK tableLock = SRWLOCK_INIT;
ThreadEvent table[MAX_THREADS];
int used = 0;
int eventCalls = 0;

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&tableLock); }
    ~Locked() { ReleaseSRWLockExclusive(&tableLock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

ThreadEvent *find(DWORD threadId) {
    for (int i = 0; i < used; ++i) {
        if (table[i].threadId == threadId) {
            return &table[i];
        }
    }
    return nullptr;
}

ThreadEvent *findOrCreate(DWORD threadId) {
    ThreadEvent *entry = find(threadId);
    if (entry != nullptr) {
        return entry;
    }
    if (used == MAX_THREADS) {
        fprintf(stderr, "jvm.dll stand-in: more than %d threads asked for interrupt events\n",
                MAX_THREADS);
        return nullptr;
    }
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE shadow = nullptr;
    if (event == nullptr || !DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(),
                                             &shadow, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        fprintf(stderr, "jvm.dll stand-in: cannot make an interrupt event (error %lu)\n",
                GetLastError());
        return nullptr;
    }
    table[used] = ThreadEvent{threadId, event, shadow, false};
    return &table[used++];
}

// CompareObjectHandles exists from Windows 10 on; Wine has it in kernelbase.
bool sameObject(HANDLE first, HANDLE second) {
    using Compare = BOOL(WINAPI *)(HANDLE, HANDLE);
    static Compare compare = [] {
        const wchar_t *const MODULES[] = {L"kernelbase.dll", L"kernel32.dll"};
        FARPROC found = nullptr;
        for (const wchar_t *name : MODULES) {
            HMODULE module = GetModuleHandleW(name);
            if (found == nullptr && module != nullptr) {
                found = GetProcAddress(module, "CompareObjectHandles");
            }
        }
        return reinterpret_cast<Compare>(reinterpret_cast<void *>(found));
    }();
    return compare == nullptr || compare(first, second);
}

bool stillIntact(ThreadEvent *entry) {
    DWORD flags = 0;
    if (!entry->dead &&
        (!GetHandleInformation(entry->event, &flags) || !sameObject(entry->event, entry->shadow))) {
        entry->dead = true;
    }
    return !entry->dead;
}

}  // namespace

void resetInterruptEvents() {
    Locked locked;
    for (int i = 0; i < used; ++i) {
        // A handle value the library closed may since name someone else's
        // object: only an intact one is ours to close.
        if (stillIntact(&table[i])) {
            CloseHandle(table[i].event);
        }
        CloseHandle(table[i].shadow);
    }
    used = 0;
    eventCalls = 0;
}

extern "C" HANDLE __stdcall JVM_GetThreadInterruptEvent(void) {
    DWORD threadId = GetCurrentThreadId();
    Locked locked;
    eventCalls++;
    ThreadEvent *entry = findOrCreate(threadId);
    return entry == nullptr ? nullptr : entry->event;
}

extern "C" int jvmStubInterruptEventCalls(void) {
    Locked locked;
    return eventCalls;
}

extern "C" HANDLE jvmStubInterruptEvent(DWORD threadId) {
    Locked locked;
    ThreadEvent *entry = findOrCreate(threadId);
    return entry == nullptr ? nullptr : entry->event;
}

extern "C" BOOL jvmStubInterrupt(DWORD threadId) {
    Locked locked;
    ThreadEvent *entry = findOrCreate(threadId);
    return entry != nullptr && stillIntact(entry) && SetEvent(entry->event);
}

extern "C" BOOL jvmStubClearInterrupt(DWORD threadId) {
    Locked locked;
    ThreadEvent *entry = findOrCreate(threadId);
    return entry != nullptr && stillIntact(entry) && ResetEvent(entry->event);
}

extern "C" int jvmStubInterruptEventState(DWORD threadId) {
    Locked locked;
    ThreadEvent *entry = find(threadId);
    if (entry == nullptr) {
        return JVM_EVENT_NONE;
    }
    if (!stillIntact(entry)) {
        return JVM_EVENT_CLOSED;
    }
    return WaitForSingleObject(entry->event, 0) == WAIT_OBJECT_0 ? JVM_EVENT_SIGNALLED
                                                                 : JVM_EVENT_CLEAR;
}
