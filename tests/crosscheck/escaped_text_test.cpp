// The decoder both sides of every comparison go through: a fault here that
// hit the vector and the child alike could hide a real difference.
#include <gtest/gtest.h>

#include <string>

#include "escaped_text.h"

namespace {

using namespace std::string_literals;

struct Decoded {
    const char *text;
    std::u16string units;
};

class EscapedTextDecodes : public ::testing::TestWithParam<Decoded> {};

TEST_P(EscapedTextDecodes, AndEncodesBack) {
    std::u16string units;
    std::string error;

    ASSERT_TRUE(crosscheck::unescape(GetParam().text, units, error)) << error;

    EXPECT_EQ(units, GetParam().units);
    EXPECT_EQ(crosscheck::escape(units), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, EscapedTextDecodes,
                         ::testing::Values(Decoded{"", u""}, Decoded{"a b~", u"a b~"},
                                           Decoded{"C:\\\\x\\\\", u"C:\\x\\"},
                                           Decoded{"\\u0000\\u0009\\u007F", u"\0\t\x7F"s},
                                           Decoded{"\\uD83D\\uDE00\\u00E9", u"\xD83D\xDE00\x00E9"},
                                           Decoded{"\\\\u0041", u"\\u0041"}));

class EscapedTextRefuses : public ::testing::TestWithParam<const char *> {};

TEST_P(EscapedTextRefuses, WithAnError) {
    std::u16string units;
    std::string error;

    EXPECT_FALSE(crosscheck::unescape(GetParam(), units, error));
    EXPECT_FALSE(error.empty());
}

// The child and the Java tool never write these, so either side writing one is a fault.
INSTANTIATE_TEST_SUITE_P(Texts, EscapedTextRefuses,
                         ::testing::Values("a\\", "\\x", "\\u12", "\\u12G4", "\\u00e9", "tab\there",
                                           "cr\r", "\xC3\xA9"));

}  // namespace
