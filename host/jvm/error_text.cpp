// JVM_GetLastErrorString of the jvm.dll stand-in, and the switches that
// decide what it answers.
#include <string.h>

#include "jvm_control.h"
#include "stub_internal.h"

extern "C" int __stdcall JVM_GetLastErrorString(char *buf, int len);

namespace {

enum class Answer { SYSTEM_TEXT, GIVEN_TEXT, ZERO, MINUS_ONE };

// Room for texts longer than any caller's buffer, so tests can check cutting.
constexpr size_t TEXT_CAPACITY = 1024;

struct ErrorTextState {
    Answer answer = Answer::SYSTEM_TEXT;
    char text[TEXT_CAPACITY] = {};
    bool resultIsLength = true;
    int givenResult = 0;
    bool clobber = false;
    DWORD clobberValue = 0;
    int calls = 0;
    int lastLength = 0;
    DWORD lastErrorOnEntry = 0;
};

SRWLOCK stateLock = SRWLOCK_INIT;
ErrorTextState state;

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&stateLock); }
    ~Locked() { ReleaseSRWLockExclusive(&stateLock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

// Like a VM's own copy: never more than len - 1 bytes, always terminated.
int copyText(char *buf, int len, const char *text, size_t textLength) {
    if (buf == nullptr || len <= 0) {
        return 0;
    }
    size_t n = textLength < static_cast<size_t>(len - 1) ? textLength : len - 1;
    memcpy(buf, text, n);
    buf[n] = '\0';
    return static_cast<int>(n);
}

// A real VM reports no text when the thread has no error recorded, and
// FormatMessage's texts end in CR/LF, which a VM trims.
int systemText(DWORD error, char *buf, int len) {
    if (error == 0) {
        return 0;
    }
    char message[TEXT_CAPACITY];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, message, sizeof message, nullptr);
    while (n > 0 && (message[n - 1] == '\r' || message[n - 1] == '\n')) {
        --n;
    }
    return n == 0 ? 0 : copyText(buf, len, message, n);
}

int givenText(char *buf, int len) {
    int copied = copyText(buf, len, state.text, strlen(state.text));
    return state.resultIsLength ? copied : state.givenResult;
}

void setAnswer(Answer answer, const char *text, bool resultIsLength, int result) {
    Locked locked;
    state.answer = answer;
    state.text[0] = '\0';
    if (text != nullptr) {
        strncpy(state.text, text, TEXT_CAPACITY - 1);
        state.text[TEXT_CAPACITY - 1] = '\0';
    }
    state.resultIsLength = resultIsLength;
    state.givenResult = result;
}

}  // namespace

void resetErrorText() {
    Locked locked;
    state = ErrorTextState();
}

extern "C" int __stdcall JVM_GetLastErrorString(char *buf, int len) {
    // Read before anything else can disturb it.
    DWORD error = GetLastError();
    Locked locked;
    if (state.clobber) {
        SetLastError(state.clobberValue);
    }
    state.calls++;
    state.lastLength = len;
    state.lastErrorOnEntry = error;
    switch (state.answer) {
        case Answer::SYSTEM_TEXT:
            return systemText(error, buf, len);
        case Answer::GIVEN_TEXT:
            return givenText(buf, len);
        case Answer::ZERO:
            return 0;
        case Answer::MINUS_ONE:
            return -1;
    }
    return 0;
}

extern "C" void jvmStubAnswerSystemText(void) {
    setAnswer(Answer::SYSTEM_TEXT, nullptr, true, 0);
}

extern "C" void jvmStubAnswerText(const char *text) {
    setAnswer(Answer::GIVEN_TEXT, text, true, 0);
}

extern "C" void jvmStubAnswerTextWithResult(const char *text, int result) {
    setAnswer(Answer::GIVEN_TEXT, text, false, result);
}

extern "C" void jvmStubAnswerZero(void) {
    setAnswer(Answer::ZERO, nullptr, true, 0);
}

extern "C" void jvmStubAnswerMinusOne(void) {
    setAnswer(Answer::MINUS_ONE, nullptr, true, 0);
}

extern "C" void jvmStubClobberLastError(BOOL enabled, DWORD value) {
    Locked locked;
    state.clobber = enabled != FALSE;
    state.clobberValue = value;
}

extern "C" int jvmStubErrorTextCalls(void) {
    Locked locked;
    return state.calls;
}

extern "C" int jvmStubLastErrorTextLength(void) {
    Locked locked;
    return state.lastLength;
}

extern "C" DWORD jvmStubLastErrorOnEntry(void) {
    Locked locked;
    return state.lastErrorOnEntry;
}
