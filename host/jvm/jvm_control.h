/* Control of the jvm.dll stand-in, for tests.
 *
 * The stand-in exports the two functions the library imports from a Java
 * VM's own library (by their decorated names) and these plain cdecl
 * functions, through which a test decides how the VM answers and checks what
 * the library did with what it was given. Its state is process-wide: a test
 * calls jvmStubReset() first. */
#ifndef QUILL_HOST_JVM_CONTROL_H
#define QUILL_HOST_JVM_CONTROL_H

#include <windows.h>

#ifdef QUILL_JVM_STUB_BUILD
#define JVM_STUB_API
#else
#define JVM_STUB_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the defaults: system error text, no clobbering, counters zero, and
 * every thread's interrupt event closed and forgotten. */
JVM_STUB_API void jvmStubReset(void);

/* How JVM_GetLastErrorString answers. */

/* The text of the calling thread's last error as FormatMessageA gives it,
 * trailing CR/LF removed; the result is its length. An error number of 0 or
 * one without a system text gets the result 0. This is the default. */
JVM_STUB_API void jvmStubAnswerSystemText(void);

/* Copies text (NUL-terminated, cut to fit the caller's length) and returns
 * its length as copied. */
JVM_STUB_API void jvmStubAnswerText(const char *text);

/* Copies text like jvmStubAnswerText but returns result, whatever it is. */
JVM_STUB_API void jvmStubAnswerTextWithResult(const char *text, int result);

/* Returns 0 and leaves the buffer untouched. */
JVM_STUB_API void jvmStubAnswerZero(void);

/* Returns -1 and leaves the buffer untouched. */
JVM_STUB_API void jvmStubAnswerMinusOne(void);

/* When enabled, JVM_GetLastErrorString calls SetLastError(value) as soon as
 * it has read the error number, so a caller that reads GetLastError() only
 * after asking the VM reads value instead of its own error. */
JVM_STUB_API void jvmStubClobberLastError(BOOL enabled, DWORD value);

/* Calls of JVM_GetLastErrorString since the last reset. */
JVM_STUB_API int jvmStubErrorTextCalls(void);

/* The length argument and the thread's last-error value on entry, of the
 * latest call (0 when there was none). */
JVM_STUB_API int jvmStubLastErrorTextLength(void);
JVM_STUB_API DWORD jvmStubLastErrorOnEntry(void);

/* Interrupt events: one manual-reset event per thread, made on first use. */

/* Calls of JVM_GetThreadInterruptEvent since the last reset. */
JVM_STUB_API int jvmStubInterruptEventCalls(void);

/* The event of the thread with that id, made now if it has none yet; it is
 * the handle JVM_GetThreadInterruptEvent returns on that thread. */
JVM_STUB_API HANDLE jvmStubInterruptEvent(DWORD threadId);

/* Signals the thread's event, as an interrupt of that Java thread does. */
JVM_STUB_API BOOL jvmStubInterrupt(DWORD threadId);

/* Returns the thread's event to unsignalled. */
JVM_STUB_API BOOL jvmStubClearInterrupt(DWORD threadId);

enum {
    JVM_EVENT_NONE = 0,     /* the thread has no event yet */
    JVM_EVENT_CLOSED = 1,   /* the handle was closed (or now names another object) */
    JVM_EVENT_CLEAR = 2,    /* intact, not signalled */
    JVM_EVENT_SIGNALLED = 3 /* intact, signalled */
};

/* What became of the thread's event: lets a test prove that the library
 * neither closed nor reset the handle it was given. */
JVM_STUB_API int jvmStubInterruptEventState(DWORD threadId);

#ifdef __cplusplus
}
#endif

#endif
