#include "ScourletCore/platform/PercentEncoding.h"

#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

struct DecodeCase {
    std::string_view input;
    std::optional<std::string> expected;
};

TEST(PercentDecodeTest, DecodesEscapesAndKeepsEverythingElse) {
    const DecodeCase cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a+b", "a+b"},  // "+" means a space only in form bodies
        {"%2B", "+"},
        {"%20", " "},
        {"%25", "%"},
        {"%2525", "%25"},  // decoded once, not repeatedly
        {"%41%62c", "Abc"},
        {"caf%C3%A9", "caf\xC3\xA9"},
        {"caf%c3%a9", "caf\xC3\xA9"},  // lower-case hex digits too
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"caf\xC3\xA9%21", "caf\xC3\xA9!"},  // literal UTF-8 passes through
        {"%00", std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(percentDecode(c.input), c.expected) << c.input;
    }
}

TEST(PercentDecodeTest, FailsOnBadEscapesAndInvalidUtf8) {
    const std::string_view cases[] = {
        "%",             // alone
        "100%",          // at the end
        "%4",            // one digit at the end
        "%4g",           // second digit not hex
        "%zz",           //
        "a%%41",         // "%" followed by "%"
        "%FF",           // never valid in UTF-8
        "%C0%AF",        // overlong "/"
        "%E0%80%AF",     // overlong, three bytes
        "%ED%A0%80",     // surrogate half
        "%F4%90%80%80",  // past U+10FFFF
        "%C3",           // truncated sequence
        "%E2%82",        //
        "%C3%28",        // bad continuation byte
        "\xFF",          // invalid literal byte
    };
    for (const auto input : cases) {
        EXPECT_EQ(percentDecode(input), std::nullopt) << input;
    }
}

TEST(PercentDecodeTest, ValidEscapeSyntaxIsCheckedApartFromUtf8) {
    EXPECT_TRUE(hasValidPercentEscapes(""));
    EXPECT_TRUE(hasValidPercentEscapes("a%FFb%2f"));
    EXPECT_FALSE(hasValidPercentEscapes("a%F"));
    EXPECT_FALSE(hasValidPercentEscapes("%x1"));
    EXPECT_FALSE(hasValidPercentEscapes("%41%"));
}

struct EncodeCase {
    std::string_view input;
    const PercentEncodeSet& set;
    std::string_view expected;
};

TEST(PercentEncodeTest, EscapesBytesOutsideTheSetWithUpperCaseHex) {
    using S = PercentEncodeSet;
    const EncodeCase cases[] = {
        {"", S::urlQueryItemAllowed, ""},
        {"a&b=c", S::urlQueryItemAllowed, "a%26b%3Dc"},
        {"a+b", S::urlQueryItemAllowed, "a+b"},
        {"a b#c", S::urlQueryItemAllowed, "a%20b%23c"},
        {"?/:@!$'()*,;~", S::urlQueryItemAllowed, "?/:@!$'()*,;~"},
        {"caf\xC3\xA9", S::urlQueryItemAllowed, "caf%C3%A9"},
        {"100%", S::urlQueryItemAllowed, "100%25"},
        {"%41", S::urlQueryItemAllowed, "%2541"},  // escapes are escaped again
        {"a&b=c", S::urlQueryAllowed, "a&b=c"},
        {"/a;b?c", S::urlPathAllowed, "/a%3Bb%3Fc"},
        {"/a:b@c", S::urlPathAllowed, "/a:b@c"},
        {"[::1]", S::urlHostAllowed, "[::1]"},
        {"a/b", S::urlHostAllowed, "a%2Fb"},
        {"u:s@r", S::urlUserAllowed, "u%3As%40r"},
        {"p:w/d", S::urlPasswordAllowed, "p%3Aw%2Fd"},
        {"a?b/c#", S::urlFragmentAllowed, "a?b/c%23"},
        {"a-b_c", S::alphanumerics, "a%2Db%5Fc"},
        {std::string_view("\x00\x7F\xFF", 3), S::urlQueryAllowed, "%00%7F%FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(percentEncode(c.input, c.set), c.expected) << c.input;
    }
}

TEST(PercentEncodeTest, DecodingUndoesEncodingForEverySet) {
    using S = PercentEncodeSet;
    const PercentEncodeSet* sets[] = {&S::alphanumerics,       &S::urlQueryAllowed,
                                      &S::urlQueryItemAllowed, &S::urlPathAllowed,
                                      &S::urlHostAllowed,      &S::urlFragmentAllowed,
                                      &S::urlUserAllowed,      &S::urlPasswordAllowed};
    const std::string_view texts[] = {
        "plain",
        "a b+c&d=e#f?g/h",
        "100% sure",
        "%zz",
        "na\xC3\xAFve \xE2\x82\xAC \xF0\x9F\x98\x80",
        "\"<>\\^`{|}",
    };
    for (const auto* set : sets) {
        for (const auto text : texts) {
            EXPECT_EQ(percentDecode(percentEncode(text, *set)), std::string(text)) << text;
        }
    }
}

TEST(PercentEncodeSetTest, BuildsSetsByUnionAndRemoval) {
    constexpr PercentEncodeSet ab{"ab"};
    constexpr PercentEncodeSet bc{"bc"};
    static_assert((ab | bc) == PercentEncodeSet{"abc"});
    static_assert(ab.adding("z") == PercentEncodeSet{"abz"});
    static_assert(ab.removing("bx") == PercentEncodeSet{"a"});
    // Bytes above ASCII never join a set, so they are always escaped.
    static_assert(!PercentEncodeSet{"\xC3\xA9"}.contains('\xC3'));
    static_assert(PercentEncodeSet{"\xC3\xA9"} == PercentEncodeSet{});

    // The places where the predefined sets differ from one another.
    using S = PercentEncodeSet;
    EXPECT_TRUE(S::urlQueryAllowed.contains('&'));
    EXPECT_FALSE(S::urlQueryItemAllowed.contains('&'));
    EXPECT_FALSE(S::urlQueryItemAllowed.contains('='));
    EXPECT_TRUE(S::urlQueryItemAllowed.contains('+'));
    EXPECT_TRUE(S::urlQueryAllowed.contains(';'));
    EXPECT_FALSE(S::urlPathAllowed.contains(';'));
    EXPECT_FALSE(S::urlPathAllowed.contains('?'));
    EXPECT_TRUE(S::urlHostAllowed.contains('['));
    EXPECT_FALSE(S::urlHostAllowed.contains('/'));
    EXPECT_FALSE(S::urlUserAllowed.contains(':'));
    EXPECT_FALSE(S::urlPasswordAllowed.contains('@'));
    for (const auto* set : {&S::urlQueryAllowed, &S::urlPathAllowed, &S::urlHostAllowed,
                            &S::urlFragmentAllowed, &S::urlUserAllowed}) {
        EXPECT_FALSE(set->contains('%'));
        EXPECT_FALSE(set->contains('#'));
        EXPECT_FALSE(set->contains(' '));
    }
}

}  // namespace
}  // namespace scourlet
