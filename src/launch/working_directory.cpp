// Canonical form of a child's working directory, rewritten in place on the
// library's own copy of the string before it reaches CreateProcessW.
#include "internal.h"

#include <stddef.h>

namespace {

constexpr jchar NUL = 0;
constexpr jchar SLASH = u'/';
constexpr jchar BACKSLASH = u'\\';
constexpr jchar SPACE = u' ';
constexpr jchar COLON = u':';
constexpr jchar FIRST_CLASSIFIED_UNIT = 0x0100;
constexpr jchar NONCHARACTER_FFFF = 0xFFFF;

// The three positions of the rewrite. write never passes read, so the text
// can be rewritten where it lies and never grows; end is where the terminator
// goes when the text ends on something other than a separator.
struct Rewrite {
    jchar *text;
    size_t read;
    size_t write;
    size_t end;
    bool drive;
};

bool isSeparator(jchar unit) {
    return unit == SLASH || unit == BACKSLASH;
}

// Below U+0100 the set is fixed so that the result does not depend on the
// user's locale or code page: Latin letters and the Latin-1 letters, which
// leave out the multiplication and division signs.
bool isLatin1Letter(jchar unit) {
    if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z')) {
        return true;
    }
    return unit >= 0x00C0 && unit != 0x00D7 && unit != 0x00F7;
}

bool isLetter(jchar unit) {
    if (unit < FIRST_CLASSIFIED_UNIT) {
        return isLatin1Letter(unit);
    }
    // Windows versions (and Wine) disagree about how to classify this
    // noncharacter, so it is settled before the system is asked.
    if (unit == NONCHARACTER_FFFF) {
        return false;
    }
    const WCHAR wide = static_cast<WCHAR>(unit);
    WORD type = 0;
    if (!GetStringTypeW(CT_CTYPE1, &wide, 1, &type)) {
        return false;
    }
    return (type & (C1_ALPHA | C1_UPPER | C1_LOWER)) != 0;
}

size_t skipSeparators(const jchar *text, size_t index) {
    while (isSeparator(text[index])) {
        ++index;
    }
    return index;
}

// A drive written behind separators, as in "/C:/x" taken from a file URL,
// still names that drive; left in front of it, the separators would make
// Windows reject the directory.
bool startWithDrive(Rewrite &rw) {
    const size_t first = skipSeparators(rw.text, 0);
    const jchar letter = rw.text[first];
    // The terminator is no letter, so the unit after it is never looked at.
    if (!isLetter(letter) || rw.text[first + 1] != COLON) {
        return false;
    }
    rw.text[0] = letter;
    rw.text[1] = COLON;
    rw.read = first + 2;
    rw.write = 2;
    rw.drive = true;
    return true;
}

void startWithoutDrive(Rewrite &rw) {
    rw.read = 0;
    rw.write = 0;
    rw.drive = false;
    // A network or device path ("\\server\share", "\\?\C:\") needs both of
    // its leading backslashes, while every other run of separators shrinks
    // to one. Writing the first backslash here leaves the second separator
    // to open an ordinary run, which then contributes exactly one more.
    if (isSeparator(rw.text[0]) && isSeparator(rw.text[1])) {
        rw.text[0] = BACKSLASH;
        rw.read = 1;
        rw.write = 1;
    }
}

// Every unit that ends an ordinary run (NUL, '/', '\\') is at most '\\', so
// most units leave the run on one comparison.
bool endsOrdinaryRun(jchar unit) {
    return unit <= BACKSLASH && (unit == NUL || isSeparator(unit));
}

// Copies a run of units that are neither separators nor the terminator: the
// bulk of any directory, so it is kept to one tight loop on locals.
void copyOrdinaryRun(Rewrite &rw) {
    jchar *const text = rw.text;
    // Within a run, read and write move together: one index and the fixed
    // distance between them.
    const size_t gap = rw.read - rw.write;
    size_t read = rw.read;
    size_t end = rw.end;
    jchar unit = text[read];
    // Spaces do not move end, so trailing ones are cut off; inner ones
    // survive because whatever follows them moves end past them.
    if (gap == 0) {
        // Nothing has been dropped yet, so the units already stand where
        // they belong: only scan.
        for (; !endsOrdinaryRun(unit); unit = text[++read]) {
            end = unit == SPACE ? end : read + 1;
        }
    } else {
        for (; !endsOrdinaryRun(unit); unit = text[++read]) {
            text[read - gap] = unit;
            end = unit == SPACE ? end : read - gap + 1;
        }
    }
    rw.read = read;
    rw.write = read - gap;
    rw.end = end;
}

// Collapses a run of separators into one backslash. Returns false when the
// run ends the text.
bool copySeparatorRun(Rewrite &rw) {
    rw.text[rw.write++] = BACKSLASH;
    rw.read = skipSeparators(rw.text, rw.read);
    if (rw.text[rw.read] == NUL) {
        return false;
    }
    rw.end = rw.write;
    return true;
}

// A trailing backslash is noise except where removing it changes the
// directory: "C:\" is the drive's root but "C:" its current directory, "\"
// is the current drive's root, and "\\" would shrink to that root.
bool trailingBackslashIsSignificant(const Rewrite &rw) {
    return (rw.drive && rw.write == 3) || rw.write == 1 ||
           (rw.write == 2 && isSeparator(rw.text[0]));
}

// Spaces before the final run stay: end is not consulted on this path.
void endAfterSeparatorRun(Rewrite &rw) {
    const size_t length = trailingBackslashIsSignificant(rw) ? rw.write : rw.write - 1;
    rw.text[length] = NUL;
}

}  // namespace

jchar *normalizeWorkingDirectory(jchar *path) {
    Rewrite rw{path, 0, 0, 0, false};
    if (!startWithDrive(rw)) {
        startWithoutDrive(rw);
    }
    rw.end = rw.write;
    while (rw.text[rw.read] != NUL) {
        if (!isSeparator(rw.text[rw.read])) {
            copyOrdinaryRun(rw);
        } else if (!copySeparatorRun(rw)) {
            endAfterSeparatorRun(rw);
            return path;
        }
    }
    rw.text[rw.end] = NUL;
    return path;
}
