// The escaped form in which the cross-check files hold their values and the
// child prints what it received: a backslash as \\, printable ASCII as
// itself, every other UTF-16 unit as \uXXXX (upper-case hex).
#ifndef QUILL_CROSSCHECK_ESCAPED_TEXT_H
#define QUILL_CROSSCHECK_ESCAPED_TEXT_H

#include <string>

namespace crosscheck {

// Decodes text into UTF-16 units. False, with error saying where, for a
// stray backslash, a short or lower-case \u escape, or a byte that the
// escaped form never holds as itself.
bool unescape(const std::string &text, std::u16string &units, std::string &error);

// The escaped form of units, for comparisons that print readably.
std::string escape(const std::u16string &units);

}  // namespace crosscheck

#endif
