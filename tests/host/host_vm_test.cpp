// The strict host VM: what the library's tests rely on it to hand out, to
// check and to fail.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host_vm.h"

namespace {

using host::Borrow;
using host::HostVm;
using host::JniOp;

bool anyViolationContains(const HostVm &vm, const std::string &text) {
    for (const std::string &line : vm.violations()) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string allViolations(const HostVm &vm) {
    std::string result;
    for (const std::string &line : vm.violations()) {
        result += line + "\n";
    }
    return result;
}

TEST(HostVmStrings, NewStringKeepsEveryUnitIncludingNuls) {
    HostVm vm;
    JNIEnv *env = vm.env();
    const jchar units[] = {'A', '=', '1', 0, 'B', 0xD83D, 0xDE00, 0};
    jstring string = env->NewString(units, 8);
    ASSERT_NE(string, nullptr);
    EXPECT_EQ(env->GetStringLength(string), 8);
    EXPECT_EQ(vm.stringUnits(string), std::u16string(u"A=1\0B\U0001F600\0", 8));
    EXPECT_EQ(env->GetStringLength(env->NewString(nullptr, 0)), 0);
    EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
}

TEST(HostVmStrings, GetStringCharsHandsOutAnUnterminatedCopy) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jstring string = vm.newString(u"abc");

    const jchar *chars = env->GetStringChars(string, nullptr);
    ASSERT_NE(chars, nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(chars), 3), u"abc");
    EXPECT_NE(chars[3], 0) << "a terminator would hide code that relies on one";
    EXPECT_EQ(vm.outstandingBorrows(), 1);

    env->ReleaseStringChars(string, chars);
    EXPECT_EQ(vm.outstandingBorrows(), 0);
    ASSERT_EQ(vm.borrows().size(), 1u);
    Borrow borrow = vm.borrows()[0];
    EXPECT_EQ(borrow.kind, Borrow::Kind::STRING_CHARS);
    EXPECT_EQ(borrow.object, string);
    EXPECT_EQ(borrow.pointer, chars);
    EXPECT_TRUE(borrow.isCopyWasNull);
    EXPECT_TRUE(borrow.released);
    EXPECT_EQ(borrow.releaseCalls, 1);
    EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
}

TEST(HostVmStrings, IsCopyIsAnsweredAndRecorded) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jstring string = vm.newString(u"x");
    jboolean isCopy = JNI_FALSE;
    const jchar *chars = env->GetStringChars(string, &isCopy);
    EXPECT_EQ(isCopy, JNI_TRUE);
    EXPECT_FALSE(vm.borrows()[0].isCopyWasNull);
    env->ReleaseStringChars(string, chars);
}

TEST(HostVmStrings, MisusedCharactersAreViolations) {
    struct Case {
        const char *name;
        std::function<void(HostVm &, jstring, const jchar *)> misuse;
        const char *expected;
    };
    const Case cases[] = {
        {"double release",
         [](HostVm &vm, jstring s, const jchar *c) {
             vm.env()->ReleaseStringChars(s, c);
             vm.env()->ReleaseStringChars(s, c);
         },
         "released twice"},
        {"other string",
         [](HostVm &vm, jstring, const jchar *c) {
             vm.env()->ReleaseStringChars(vm.newString(u"hello"), c);
         },
         "another string"},
        {"unknown pointer",
         [](HostVm &vm, jstring s, const jchar *c) {
             vm.env()->ReleaseStringChars(s, c + 1);
             vm.env()->ReleaseStringChars(s, c);
         },
         "not handed out"},
        {"null pointer",
         [](HostVm &vm, jstring s, const jchar *c) {
             vm.env()->ReleaseStringChars(s, nullptr);
             vm.env()->ReleaseStringChars(s, c);
         },
         "not handed out"},
        {"write past the end",
         [](HostVm &vm, jstring s, const jchar *c) {
             const_cast<jchar *>(c)[5] = 0;
             vm.env()->ReleaseStringChars(s, c);
         },
         "past the last character"},
        {"modified",
         [](HostVm &vm, jstring s, const jchar *c) {
             const_cast<jchar *>(c)[0] = 'X';
             vm.env()->ReleaseStringChars(s, c);
         },
         "modified"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostVm vm;
        jstring string = vm.newString(u"hello");
        const jchar *chars = vm.env()->GetStringChars(string, nullptr);
        c.misuse(vm, string, chars);
        EXPECT_TRUE(anyViolationContains(vm, c.expected)) << allViolations(vm);
    }
}

TEST(HostVmStrings, NullAndForeignArgumentsAreViolations) {
    struct Case {
        const char *name;
        std::function<void(JNIEnv *)> call;
        const char *expected;
    };
    jlong notAnObject = 0;
    const Case cases[] = {
        {"GetStringLength", [](JNIEnv *env) { env->GetStringLength(nullptr); },
         "GetStringLength: NULL"},
        {"GetStringChars",
         [](JNIEnv *env) { EXPECT_EQ(env->GetStringChars(nullptr, nullptr), nullptr); },
         "GetStringChars: NULL"},
        {"GetLongArrayElements",
         [](JNIEnv *env) { EXPECT_EQ(env->GetLongArrayElements(nullptr, nullptr), nullptr); },
         "GetLongArrayElements: NULL"},
        {"GetArrayLength", [](JNIEnv *env) { env->GetArrayLength(nullptr); },
         "GetArrayLength: NULL"},
        {"FindClass", [](JNIEnv *env) { env->FindClass(nullptr); }, "FindClass: NULL"},
        {"ThrowNew", [](JNIEnv *env) { env->ThrowNew(nullptr, "x"); }, "ThrowNew: NULL"},
        {"NewString", [](JNIEnv *env) { env->NewString(nullptr, 3); }, "NewString: NULL"},
        {"foreign pointer",
         [&notAnObject](JNIEnv *env) {
             env->GetStringLength(reinterpret_cast<jstring>(&notAnObject));
         },
         "not a reference this VM handed out"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostVm vm;
        c.call(vm.env());
        EXPECT_TRUE(anyViolationContains(vm, c.expected)) << allViolations(vm);
    }
}

TEST(HostVmStrings, WrongKindIsAViolation) {
    HostVm vm;
    jlongArray array = vm.newLongArray({1});
    vm.env()->GetStringLength(reinterpret_cast<jstring>(array));
    EXPECT_TRUE(anyViolationContains(vm, "got a long[] where a java/lang/String"))
        << allViolations(vm);
}

TEST(HostVmArrays, ReleaseModesDecideWriteBackAndRelease) {
    struct Case {
        jint mode;
        std::vector<jlong> expected;
        bool released;
    };
    const Case cases[] = {
        {0, {7, 2, -1}, true},
        {JNI_COMMIT, {7, 2, -1}, false},
        {JNI_ABORT, {1, 2, -1}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        HostVm vm;
        JNIEnv *env = vm.env();
        jlongArray array = vm.newLongArray({1, 2, -1});
        jlong *elements = env->GetLongArrayElements(array, nullptr);
        ASSERT_NE(elements, nullptr);
        EXPECT_EQ(env->GetArrayLength(array), 3);
        elements[0] = 7;
        EXPECT_EQ(vm.longArrayElements(array)[0], 1) << "elements are a copy until released";

        env->ReleaseLongArrayElements(array, elements, c.mode);

        EXPECT_EQ(vm.longArrayElements(array), c.expected);
        EXPECT_EQ(vm.borrows()[0].released, c.released);
        EXPECT_EQ(vm.borrows()[0].lastReleaseMode, c.mode);
        EXPECT_EQ(vm.outstandingBorrows(), c.released ? 0 : 1);
        EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
    }
}

TEST(HostVmArrays, CommitThenAbortReleasesOnce) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jlongArray array = vm.newLongArray({1});
    jlong *elements = env->GetLongArrayElements(array, nullptr);
    elements[0] = 5;
    env->ReleaseLongArrayElements(array, elements, JNI_COMMIT);
    elements[0] = 6;
    env->ReleaseLongArrayElements(array, elements, JNI_ABORT);
    EXPECT_EQ(vm.longArrayElements(array), std::vector<jlong>{5});
    EXPECT_EQ(vm.outstandingBorrows(), 0);
    EXPECT_EQ(vm.borrows()[0].releaseCalls, 2);
    env->ReleaseLongArrayElements(array, elements, 0);
    EXPECT_TRUE(anyViolationContains(vm, "released twice")) << allViolations(vm);
}

TEST(HostVmArrays, MisusedElementsAreViolations) {
    struct Case {
        const char *name;
        std::function<void(HostVm &, jlongArray, jlong *)> misuse;
        const char *expected;
    };
    const Case cases[] = {
        {"write past the end",
         [](HostVm &vm, jlongArray a, jlong *e) {
             e[2] = 0;
             vm.env()->ReleaseLongArrayElements(a, e, 0);
         },
         "past the last element"},
        {"unknown mode",
         [](HostVm &vm, jlongArray a, jlong *e) { vm.env()->ReleaseLongArrayElements(a, e, 7); },
         "unknown mode 7"},
        {"other array",
         [](HostVm &vm, jlongArray, jlong *e) {
             vm.env()->ReleaseLongArrayElements(vm.newLongArray({0, 0}), e, 0);
         },
         "another array"},
        {"string pointer",
         [](HostVm &vm, jlongArray a, jlong *e) {
             jstring s = vm.newString(u"s");
             const jchar *c = vm.env()->GetStringChars(s, nullptr);
             vm.env()->ReleaseLongArrayElements(
                 a, reinterpret_cast<jlong *>(const_cast<jchar *>(c)), 0);
             vm.env()->ReleaseStringChars(s, c);
             vm.env()->ReleaseLongArrayElements(a, e, 0);
         },
         "not handed out by GetLongArrayElements"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HostVm vm;
        jlongArray array = vm.newLongArray({1, 2});
        jlong *elements = vm.env()->GetLongArrayElements(array, nullptr);
        c.misuse(vm, array, elements);
        EXPECT_TRUE(anyViolationContains(vm, c.expected)) << allViolations(vm);
    }
}

TEST(HostVmArrays, RegionsCopyAndCheckBounds) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jlongArray array = env->NewLongArray(3);
    const jlong values[] = {-1, 42};
    env->SetLongArrayRegion(array, 1, 2, values);
    jlong back[3] = {};
    env->GetLongArrayRegion(array, 0, 3, back);
    EXPECT_EQ(std::vector<jlong>(back, back + 3), (std::vector<jlong>{0, -1, 42}));

    env->GetLongArrayRegion(array, 2, 2, back);
    EXPECT_EQ(vm.exceptionClass(), "java/lang/ArrayIndexOutOfBoundsException");
    EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
}

TEST(HostVmExceptions, ThrowNewKeepsClassAndMessageBytes) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jclass io = env->FindClass("java/io/IOException");
    ASSERT_NE(io, nullptr);
    const char message[] = "CreateProcess error=2, \xC3\xA9 %s 100%";
    EXPECT_EQ(env->ThrowNew(io, message), 0);

    EXPECT_TRUE(vm.exceptionPending());
    EXPECT_EQ(env->ExceptionCheck(), JNI_TRUE);
    EXPECT_NE(env->ExceptionOccurred(), nullptr);
    EXPECT_EQ(vm.exceptionClass(), "java/io/IOException");
    EXPECT_EQ(vm.exceptionMessage(), message);
    EXPECT_TRUE(vm.exceptionHasMessage());

    env->ExceptionClear();
    EXPECT_FALSE(vm.exceptionPending());
    EXPECT_EQ(env->ExceptionOccurred(), nullptr);
    EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
}

TEST(HostVmExceptions, ThrowNewWithoutMessage) {
    HostVm vm;
    vm.env()->ThrowNew(vm.env()->FindClass("java/lang/IllegalArgumentException"), nullptr);
    EXPECT_EQ(vm.exceptionClass(), "java/lang/IllegalArgumentException");
    EXPECT_FALSE(vm.exceptionHasMessage());
}

TEST(HostVmExceptions, UnknownClassLeavesTheVmsOwnError) {
    const char *names[] = {"java/io/NoSuchException", "java.io.IOException", ""};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        HostVm vm;
        EXPECT_EQ(vm.env()->FindClass(name), nullptr);
        EXPECT_EQ(vm.exceptionClass(), "java/lang/NoClassDefFoundError");
        EXPECT_EQ(vm.exceptionMessage(), name);
    }
}

TEST(HostVmExceptions, ThrowingANonThrowableIsAViolation) {
    HostVm vm;
    vm.env()->ThrowNew(vm.env()->FindClass("java/lang/String"), "x");
    EXPECT_TRUE(anyViolationContains(vm, "is not a Throwable")) << allViolations(vm);
    EXPECT_FALSE(vm.exceptionPending());
}

TEST(HostVmExceptions, OnlyExceptionSafeCallsAreAllowedWhilePending) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jstring string = vm.newString(u"abc");
    jlongArray array = vm.newLongArray({1, 2, 3});
    const jchar *chars = env->GetStringChars(string, nullptr);
    jlong *elements = env->GetLongArrayElements(array, nullptr);
    jclass io = env->FindClass("java/io/IOException");
    jclass other = env->FindClass("java/lang/IllegalStateException");
    env->ThrowNew(io, "first");

    // What a native method does to unwind: no violation.
    env->ReleaseStringChars(string, chars);
    env->ReleaseLongArrayElements(array, elements, 0);
    env->DeleteLocalRef(io);
    env->ExceptionCheck();
    env->ExceptionOccurred();
    EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);

    struct Case {
        const char *name;
        std::function<void()> call;
    };
    const Case barred[] = {
        {"FindClass", [&] { env->FindClass("java/lang/String"); }},
        {"GetStringLength", [&] { env->GetStringLength(string); }},
        {"GetStringChars",
         [&] { env->ReleaseStringChars(string, env->GetStringChars(string, nullptr)); }},
        {"GetLongArrayElements",
         [&] {
             env->ReleaseLongArrayElements(array, env->GetLongArrayElements(array, nullptr), 0);
         }},
        {"GetArrayLength", [&] { env->GetArrayLength(array); }},
        {"NewString", [&] { env->NewString(nullptr, 0); }},
        {"ThrowNew", [&] { env->ThrowNew(other, "second"); }},
    };
    for (const Case &c : barred) {
        SCOPED_TRACE(c.name);
        size_t before = vm.violations().size();
        c.call();
        ASSERT_GT(vm.violations().size(), before);
        EXPECT_EQ(vm.violations()[before],
                  std::string(c.name) + " called with java/io/IOException pending");
    }
}

TEST(HostVmReferences, DeletedReferencesCannotBeUsed) {
    HostVm vm;
    JNIEnv *env = vm.env();
    jstring string = vm.newString(u"abc");
    env->DeleteLocalRef(string);
    env->GetStringLength(string);
    EXPECT_TRUE(anyViolationContains(vm, "used after DeleteLocalRef")) << allViolations(vm);
    env->DeleteLocalRef(string);
    EXPECT_TRUE(anyViolationContains(vm, "deleted twice")) << allViolations(vm);
    env->DeleteLocalRef(nullptr);
    EXPECT_EQ(vm.violations().size(), 2u);
}

TEST(HostVmReferences, EachEnvBelongsToItsOwnVm) {
    HostVm first;
    HostVm second;
    ASSERT_NE(first.env(), second.env());
    first.env()->FindClass("no/Such");
    EXPECT_TRUE(first.exceptionPending());
    EXPECT_FALSE(second.exceptionPending());
    EXPECT_EQ(first.calls(JniOp::FIND_CLASS), 1);
    EXPECT_EQ(second.calls(JniOp::FIND_CLASS), 0);
}

// Runs one call of op against the VM and says whether it produced a result.
bool runOp(HostVm &vm, JniOp op) {
    JNIEnv *env = vm.env();
    switch (op) {
        case JniOp::FIND_CLASS:
            return env->FindClass("java/io/IOException") != nullptr;
        case JniOp::GET_STRING_CHARS: {
            jstring string = vm.newString(u"ab");
            const jchar *chars = env->GetStringChars(string, nullptr);
            if (chars != nullptr) {
                env->ReleaseStringChars(string, chars);
            }
            return chars != nullptr;
        }
        case JniOp::GET_LONG_ARRAY_ELEMENTS: {
            jlongArray array = vm.newLongArray({1});
            jlong *elements = env->GetLongArrayElements(array, nullptr);
            if (elements != nullptr) {
                env->ReleaseLongArrayElements(array, elements, JNI_ABORT);
            }
            return elements != nullptr;
        }
        case JniOp::NEW_STRING: {
            const jchar units[] = {'a'};
            return env->NewString(units, 1) != nullptr;
        }
        case JniOp::COUNT:
            break;
    }
    return false;
}

TEST(HostVmFaults, TheKthCallOfAnOperationFailsWithTheVmsError) {
    const JniOp ops[] = {JniOp::FIND_CLASS, JniOp::GET_STRING_CHARS, JniOp::GET_LONG_ARRAY_ELEMENTS,
                         JniOp::NEW_STRING};
    for (JniOp op : ops) {
        SCOPED_TRACE(host::jniOpName(op));
        HostVm vm;
        EXPECT_TRUE(runOp(vm, op));
        vm.failNth(op, 2);
        EXPECT_TRUE(runOp(vm, op));
        EXPECT_FALSE(vm.exceptionPending());
        EXPECT_FALSE(runOp(vm, op));
        EXPECT_EQ(vm.exceptionClass(), "java/lang/OutOfMemoryError");
        vm.clearException();
        EXPECT_TRUE(runOp(vm, op)) << "only the k-th call fails";
        EXPECT_EQ(vm.calls(op), 4);
        EXPECT_EQ(vm.faultsInjected(), 1);
        EXPECT_EQ(vm.outstandingBorrows(), 0);
        EXPECT_TRUE(vm.violations().empty()) << allViolations(vm);
    }
}

TEST(HostVmFaults, DisarmedSwitchFailsNothing) {
    HostVm vm;
    vm.failNth(JniOp::NEW_STRING, 1);
    vm.failNth(JniOp::NEW_STRING, 0);
    EXPECT_TRUE(runOp(vm, JniOp::NEW_STRING));
    EXPECT_EQ(vm.faultsInjected(), 0);
}

TEST(HostVmFaults, AFailurePointSweepReachesEveryFallibleCall) {
    const JniOp sequence[] = {JniOp::GET_STRING_CHARS, JniOp::NEW_STRING, JniOp::FIND_CLASS,
                              JniOp::GET_LONG_ARRAY_ELEMENTS, JniOp::GET_STRING_CHARS};
    HostVm counting;
    for (JniOp op : sequence) {
        runOp(counting, op);
    }
    const int n = counting.fallibleCalls();
    ASSERT_EQ(n, 5);

    for (int point = 1; point <= n; ++point) {
        SCOPED_TRACE("failure point " + std::to_string(point));
        HostVm vm;
        vm.failNthFallible(point);
        for (int i = 0; i < n; ++i) {
            bool produced = runOp(vm, sequence[i]);
            EXPECT_EQ(produced, i + 1 != point);
            vm.clearException();
        }
        EXPECT_EQ(vm.faultsInjected(), 1);
    }
}

}  // namespace
