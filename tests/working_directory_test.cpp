// normalizeWorkingDirectory: the canonical directory form, its fixed letter
// set, and its promise never to read past the first NUL.
#include "internal.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "import_hooks.h"

using namespace std::string_literals;

namespace {

// ---- Notation -------------------------------------------------------------

// Readable, unambiguous form of a UTF-16 string for failure messages: ASCII
// as itself, everything else (tab, NUL, é, U+FFFF) as a \uXXXX escape.
std::string escape(const std::u16string &text) {
    std::string out = "u\"";
    for (char16_t unit : text) {
        if (unit == u'"' || unit == u'\\') {
            out += '\\';
            out += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(unit));
            out += hex;
        }
    }
    return out + "\"";
}

std::u16string upToFirstNul(const jchar *text) {
    std::u16string out;
    for (; *text != 0; ++text) {
        out += static_cast<char16_t>(*text);
    }
    return out;
}

// Runs the function on a copy of `input` plus a terminator and returns the
// result. Everything after the input's first NUL must come back untouched,
// and the result must be the same buffer.
std::u16string normalize(const std::u16string &input) {
    std::vector<jchar> buffer(input.begin(), input.end());
    buffer.push_back(0);
    const std::vector<jchar> before = buffer;
    const size_t firstNul = std::min(input.find(u'\0'), input.size());
    EXPECT_EQ(normalizeWorkingDirectory(buffer.data()), buffer.data());
    EXPECT_TRUE(
        std::equal(buffer.begin() + firstNul + 1, buffer.end(), before.begin() + firstNul + 1))
        << "units after the first NUL changed for " << escape(input);
    return upToFirstNul(buffer.data());
}

// ---- The system's character classification, under the test's control ----

namespace hooks = host::hooks;

// The library's code is linked into this program, so its GetStringTypeW
// calls go through this program's own import table.
class ClassificationHook {
public:
    ClassificationHook() : scope_(GetModuleHandleW(nullptr), {hooks::Api::GET_STRING_TYPE}) {}
    bool installed() const {
        return scope_.hooked() == std::vector<hooks::Api>{hooks::Api::GET_STRING_TYPE};
    }

private:
    hooks::Scope scope_;
};

// Every unit in [first, last] reported as `type`, whatever Wine says.
void reportUnitsAs(char16_t first, char16_t last, WORD type) {
    for (unsigned unit = first; unit <= last; ++unit) {
        hooks::overrideCharType(static_cast<wchar_t>(unit), type);
    }
}

size_t classificationCalls() {
    return hooks::calls(hooks::Api::GET_STRING_TYPE).size();
}

// The types the classification handed back, call after call.
std::vector<WORD> reportedTypes() {
    std::vector<WORD> types;
    for (const hooks::Call &call : hooks::calls(hooks::Api::GET_STRING_TYPE)) {
        for (uintptr_t value : call.values) {
            types.push_back(static_cast<WORD>(value));
        }
    }
    return types;
}

// ---- The table of cases -----------------------------------------------------

struct Case {
    std::u16string input;
    std::u16string expected;
};

// Non-ASCII units by name, so that the table reads like the paths it holds.
#define E_ACUTE u"\u00E9"
#define ZHE u"\u0416"
#define ORD_A u"\u00AA"
#define MICRO u"\u00B5"
#define ORD_O u"\u00BA"
#define TIMES u"\u00D7"
#define DIVIDE u"\u00F7"
#define EM_DASH u"\u2014"
#define FFFF u"\uFFFF"

const Case CASES[] = {
    // Separators, runs and the double-separator start.
    {u""s, u""s},
    {u"/"s, u"\\"s},
    {u"//"s, u"\\\\"s},
    {u"///"s, u"\\\\"s},
    {u"a"s, u"a"s},
    {u"a/"s, u"a"s},
    {u"a/  "s, u"a\\"s},
    {u"//server/share/"s, u"\\\\server\\share"s},
    {u"///server"s, u"\\\\server"s},
    {u"\\\\?\\C:\\x"s, u"\\\\?\\C:\\x"s},
    {u"a//b\\\\c"s, u"a\\b\\c"s},
    {u"\\x\\"s, u"\\x"s},
    {u"/C/"s, u"\\C"s},
    // Drives.
    {u"C:"s, u"C:"s},
    {u"C:/"s, u"C:\\"s},
    {u"C:/foo/"s, u"C:\\foo"s},
    {u"C:foo/"s, u"C:foo"s},
    {u"/C:/x"s, u"C:\\x"s},
    {u"\\\\C:\\"s, u"C:\\"s},
    {u"\\\\?\\C:\\"s, u"\\\\?\\C:"s},
    {u"c:/"s, u"c:\\"s},
    {u"1:\\"s, u"1:"s},
    // Spaces.
    {u"foo  "s, u"foo"s},
    {u"foo \\"s, u"foo "s},
    {u"  "s, u""s},
    {u" leading"s, u" leading"s},
    {u"a\\ b"s, u"a\\ b"s},
    {u"C:\\  "s, u"C:\\"s},
    {u" C:\\"s, u" C:"s},
    {u"/ C:"s, u"\\ C:"s},
    {u" /"s, u" "s},
    {u"C: /"s, u"C: "s},
    {u"a/ /b"s, u"a\\ \\b"s},
    // Letters of the fixed set outside ASCII take the drive rule; the
    // ordinal indicators, the micro sign and the two operators do not.
    {E_ACUTE u":/"s, E_ACUTE u":\\"s},
    {u"/" ZHE u":/"s, ZHE u":\\"s},
    {ORD_A u":/"s, ORD_A u":"s},
    {u"/" ORD_A u":/"s, u"\\" ORD_A u":"s},
    {MICRO u":/"s, MICRO u":"s},
    {ORD_O u":/"s, ORD_O u":"s},
    {u"/" TIMES u":/"s, u"\\" TIMES u":"s},
    {DIVIDE u":/"s, DIVIDE u":"s},
    {EM_DASH u":/"s, EM_DASH u":"s},
    {FFFF u":/"s, FFFF u":"s},
    // A colon anywhere else is an ordinary character.
    {u"ab:/"s, u"ab:"s},
    {u"::/"s, u"::"s},
    {u"C::/"s, u"C::"s},
    {u"/a/C:/"s, u"\\a\\C:"s},
    {u"/:C:/"s, u"\\:C:"s},
    // A tab is not a space.
    {u"a\t/"s, u"a\t"s},
    {u"a/\t"s, u"a\\\t"s},
    {u"foo\t"s, u"foo\t"s},
    // The first NUL ends the text, wherever it stands.
    {u"C:/a\0b/"s, u"C:\\a"s},
    {u"\0//"s, u""s},
    {u"/\0/x"s, u"\\"s},
    {u"C\0:/"s, u"C"s},
    {u"a/\0 b"s, u"a"s},
};

TEST(WorkingDirectory, RewritesEachCaseIntoItsCanonicalForm) {
    for (const Case &c : CASES) {
        EXPECT_EQ(escape(normalize(c.input)), escape(c.expected)) << "input " << escape(c.input);
    }
}

// ---- The letter test ----------------------------------------------------------

bool inFixedLetterSet(char16_t unit) {
    struct Range {
        char16_t first, last;
    };
    const Range LETTERS[] = {{u'A', u'Z'}, {u'a', u'z'}, {0xC0, 0xD6}, {0xD8, 0xF6}, {0xF8, 0xFF}};
    for (const Range &r : LETTERS) {
        if (unit >= r.first && unit <= r.last) {
            return true;
        }
    }
    return false;
}

// "X:/" keeps its backslash exactly when X is a drive letter.
void expectDriveRuleFollowsLetterSet(const char *classifier) {
    for (char16_t unit = 1; unit < 0x100; ++unit) {
        if (unit == u'/' || unit == u'\\') {
            continue;
        }
        const std::u16string input = {unit, u':', u'/'};
        const std::u16string expected =
            inFixedLetterSet(unit) ? std::u16string{unit, u':', u'\\'} : std::u16string{unit, u':'};
        EXPECT_EQ(escape(normalize(input)), escape(expected))
            << "input " << escape(input) << " with " << classifier;
    }
}

// The set below U+0100 is the same whatever the system would say about it,
// and the system is not even asked.
TEST(WorkingDirectory, LetterSetBelow0100IsFixed) {
    expectDriveRuleFollowsLetterSet("the system's classification");
    ClassificationHook hook;
    ASSERT_TRUE(hook.installed());
    const WORD LETTER = C1_ALPHA | C1_UPPER | C1_LOWER;
    for (WORD type : {LETTER, WORD{0}}) {
        hooks::reset();
        reportUnitsAs(0x0001, 0x00FF, type);
        expectDriveRuleFollowsLetterSet(type == 0 ? "a system that calls nothing a letter"
                                                  : "a system that calls everything a letter");
        EXPECT_EQ(classificationCalls(), 0u);
    }
}

TEST(WorkingDirectory, SystemClassifiesUnitsFrom0100) {
    struct Unit {
        char16_t unit;
        bool letter;
    };
    const Unit UNITS[] = {
        {0x0100, true},  {0x0153, true},  {0x03C9, true},  {0x0416, true},  {0x0436, true},
        {0x2014, false}, {0x20AC, false}, {0x2030, false}, {0x3000, false}, {0xFF1A, false},
    };
    for (const Unit &u : UNITS) {
        const std::u16string input = {u.unit, u':', u'/'};
        const std::u16string expected =
            u.letter ? std::u16string{u.unit, u':', u'\\'} : std::u16string{u.unit, u':'};
        EXPECT_EQ(escape(normalize(input)), escape(expected));
    }
}

// Any one of the three letter flags makes a letter; no other flag does, and
// nothing does when the classification call fails.
TEST(WorkingDirectory, AnyLetterFlagOfTheClassificationMakesALetter) {
    struct Answer {
        WORD type;
        bool callFails;
        bool letter;
    };
    const WORD NON_LETTER_FLAGS = C1_DIGIT | C1_PUNCT | C1_SPACE | C1_CNTRL | C1_BLANK | C1_XDIGIT;
    const Answer ANSWERS[] = {
        // clang-format off
        {C1_ALPHA,         false, true},
        {C1_UPPER,         false, true},
        {C1_LOWER,         false, true},
        {NON_LETTER_FLAGS, false, false},
        {0,                false, false},
        {C1_ALPHA,         true,  false},
        // clang-format on
    };
    ClassificationHook hook;
    ASSERT_TRUE(hook.installed());
    const std::u16string input = EM_DASH u":/"s;
    for (const Answer &a : ANSWERS) {
        hooks::reset();
        reportUnitsAs(0x2014, 0x2014, a.type);
        if (a.callFails) {
            hooks::failNth(hooks::Api::GET_STRING_TYPE, 1, ERROR_INVALID_PARAMETER);
        }
        const std::u16string expected = a.letter ? EM_DASH u":\\"s : EM_DASH u":"s;
        EXPECT_EQ(escape(normalize(input)), escape(expected))
            << "classification 0x" << std::hex << a.type << (a.callFails ? ", call failed" : "");
        EXPECT_EQ(classificationCalls(), 1u);
    }
}

// Wine calls U+FFFF nothing, so only a system that calls it a letter shows
// that it is kept out of the drive rule, and before the system is asked.
TEST(WorkingDirectory, FFFFIsNeverALetter) {
    ClassificationHook hook;
    ASSERT_TRUE(hook.installed());
    const WORD LETTER = C1_ALPHA | C1_UPPER | C1_LOWER;
    reportUnitsAs(0x2014, 0x2014, LETTER);
    reportUnitsAs(0xFFFF, 0xFFFF, LETTER);
    // The override is in effect: a dash becomes a drive letter.
    ASSERT_EQ(escape(normalize(EM_DASH u":/"s)), escape(EM_DASH u":\\"s));
    const size_t callsBefore = classificationCalls();
    EXPECT_EQ(escape(normalize(FFFF u":/"s)), escape(FFFF u":"s));
    EXPECT_EQ(escape(normalize(u"//" FFFF u":/x"s)), escape(u"\\\\" FFFF u":\\x"s));
    EXPECT_EQ(classificationCalls(), callsBefore);
}

// The letter test looks at the first non-separator unit and at nothing else.
// Each unit is given a classification of its own, so the types handed back
// tell which unit was asked about.
TEST(WorkingDirectory, ClassifiesOnlyTheFirstNonSeparatorUnit) {
    const WORD ZHE_TYPE = C1_PUNCT;
    const WORD DASH_TYPE = C1_DIGIT;
    struct Probe {
        std::u16string input;
        std::vector<WORD> reported;
    };
    const Probe PROBES[] = {
        {ZHE u":/" ZHE u":/" ZHE ZHE u"/"s, {ZHE_TYPE}},
        {u"//" EM_DASH ZHE u":" ZHE u"/"s, {DASH_TYPE}},
        {u"a" ZHE u":/" ZHE u""s, {}},
        {u"///"s, {}},
        {u""s, {}},
    };
    ClassificationHook hook;
    ASSERT_TRUE(hook.installed());
    for (const Probe &p : PROBES) {
        hooks::reset();
        reportUnitsAs(0x0416, 0x0416, ZHE_TYPE);
        reportUnitsAs(0x2014, 0x2014, DASH_TYPE);
        normalize(p.input);
        EXPECT_EQ(reportedTypes(), p.reported) << "input " << escape(p.input);
    }
}

// ---- Property: agreement with a plain model ---------------------------------

// Letters among the generated units: the fixed set below U+0100 and the
// units from U+0100 that are letters for any Windows.
bool modelIsLetter(char16_t unit) {
    if (unit < 0x100) {
        return inFixedLetterSet(unit);
    }
    return unit == 0x0100 || unit == 0x0416 || unit == 0x0153;
}

bool modelIsSeparator(char16_t unit) {
    return unit == u'/' || unit == u'\\';
}

// Which way through the steps the model went, so the test can show that the
// generator reaches each of them.
struct ModelRun {
    std::u16string output;
    bool drive = false;
    bool doubleStart = false;
    bool endedOnSeparators = false;
    bool keptTrailingBackslash = false;
};

// The steps, written as a copy from `in` to a new string: `out.size()` plays
// the write position and `cut` the end position.
ModelRun model(const std::u16string &text) {
    const std::u16string in = text.substr(0, text.find(u'\0'));
    ModelRun run;
    std::u16string &out = run.output;
    size_t s = 0;
    while (s < in.size() && modelIsSeparator(in[s])) {
        ++s;
    }
    size_t r;
    if (s + 1 < in.size() && modelIsLetter(in[s]) && in[s + 1] == u':') {
        out = {in[s], u':'};
        r = s + 2;
        run.drive = true;
    } else if (in.size() >= 2 && modelIsSeparator(in[0]) && modelIsSeparator(in[1])) {
        out = u"\\";
        r = 1;
        run.doubleStart = true;
    } else {
        r = 0;
    }
    size_t cut = out.size();
    while (r < in.size()) {
        if (modelIsSeparator(in[r])) {
            out += u'\\';
            while (r < in.size() && modelIsSeparator(in[r])) {
                ++r;
            }
            if (r == in.size()) {
                const size_t w = out.size();
                run.endedOnSeparators = true;
                run.keptTrailingBackslash =
                    (run.drive && w == 3) || w == 1 || (w == 2 && out[0] == u'\\');
                if (!run.keptTrailingBackslash) {
                    out.pop_back();
                }
                return run;
            }
            cut = out.size();
        } else {
            out += in[r];
            if (in[r] != u' ') {
                cut = out.size();
            }
            ++r;
        }
    }
    out.resize(cut);
    return run;
}

// Two pages, the second inaccessible: text placed to end at the boundary
// crashes the program the moment anything reads past its terminator.
class GuardedBuffer {
public:
    GuardedBuffer() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize_ = info.dwPageSize;
        base_ = static_cast<BYTE *>(
            VirtualAlloc(nullptr, 2 * pageSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        guarded_ = base_ != nullptr &&
                   VirtualProtect(base_ + pageSize_, pageSize_, PAGE_NOACCESS, &old) != 0;
    }
    ~GuardedBuffer() {
        if (base_ != nullptr) {
            VirtualFree(base_, 0, MEM_RELEASE);
        }
    }
    GuardedBuffer(const GuardedBuffer &) = delete;
    GuardedBuffer &operator=(const GuardedBuffer &) = delete;

    bool guarded() const {
        MEMORY_BASIC_INFORMATION guard;
        return guarded_ && VirtualQuery(base_ + pageSize_, &guard, sizeof guard) != 0 &&
               guard.Protect == PAGE_NOACCESS;
    }

    // Copies `text` and a terminator so that the terminator is the last unit
    // before the inaccessible page.
    jchar *place(const std::u16string &text) {
        jchar *end = reinterpret_cast<jchar *>(base_ + pageSize_);
        jchar *start = end - (text.size() + 1);
        std::copy(text.begin(), text.end(), start);
        end[-1] = 0;
        return start;
    }

private:
    DWORD pageSize_ = 0;
    BYTE *base_ = nullptr;
    bool guarded_ = false;
};

// The input being rewritten, named on stderr if the rewrite touches the
// guard page: the crash report alone would not say which input it was.
std::u16string currentInput;

LONG WINAPI nameInputOnAccessViolation(EXCEPTION_POINTERS *exception) {
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION) {
        fprintf(stderr, "access violation while rewriting %s\n", escape(currentInput).c_str());
        fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

class InputNamedOnCrash {
public:
    InputNamedOnCrash() : handler_(AddVectoredExceptionHandler(1, nameInputOnAccessViolation)) {}
    ~InputNamedOnCrash() { RemoveVectoredExceptionHandler(handler_); }
    InputNamedOnCrash(const InputNamedOnCrash &) = delete;
    InputNamedOnCrash &operator=(const InputNamedOnCrash &) = delete;

private:
    void *handler_;
};

const char16_t ALPHABET[] = {
    u'/',   u'\\',  u' ',   u'\t',  u':',   u'a',   u'C',   0x00E9, 0x0416,
    0x00AA, 0x00B5, 0x00BA, 0xFFFF, 0x0100, 0x0153, 0x2014, 0x0000,
};
// Separators and colons are drawn more often, so that drives, network
// starts and trailing runs are common.
const char16_t FAVOURED[] = {u'/', u'\\', u':', u' '};

std::u16string generate(std::mt19937 &random) {
    const size_t length = random() % 13;
    std::u16string text;
    for (size_t i = 0; i < length; ++i) {
        if (random() % 3 == 0) {
            text += FAVOURED[random() % (sizeof FAVOURED / sizeof FAVOURED[0])];
        } else {
            text += ALPHABET[random() % (sizeof ALPHABET / sizeof ALPHABET[0])];
        }
    }
    return text;
}

TEST(WorkingDirectory, AgreesWithPlainModelAndStaysWithinTheText) {
    GuardedBuffer buffer;
    ASSERT_TRUE(buffer.guarded());
    InputNamedOnCrash nameOnCrash;
    std::mt19937 random(20240611u);
    int drives = 0, doubleStarts = 0, kept = 0, dropped = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::u16string input = generate(random);
        const ModelRun expected = model(input);
        currentInput = input;
        jchar *text = buffer.place(input);
        ASSERT_EQ(normalizeWorkingDirectory(text), text);
        const std::u16string actual = upToFirstNul(text);
        ASSERT_EQ(escape(actual), escape(expected.output)) << "input " << escape(input);
        const size_t firstNul = std::min(input.find(u'\0'), input.size());
        ASSERT_EQ(escape(std::u16string(text + firstNul, text + input.size() + 1)),
                  escape((input + u'\0').substr(firstNul)))
            << "units from the first NUL on changed for " << escape(input);
        drives += expected.drive;
        doubleStarts += expected.doubleStart;
        kept += expected.endedOnSeparators && expected.keptTrailingBackslash;
        dropped += expected.endedOnSeparators && !expected.keptTrailingBackslash;
    }
    EXPECT_GT(drives, 100);
    EXPECT_GT(doubleStarts, 100);
    EXPECT_GT(kept, 100);
    EXPECT_GT(dropped, 100);
}

}  // namespace
