#include "ScourletCore/platform/Text.h"

#include <string>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

TEST(TextTest, WhitespaceIsTheUnicodeWhiteSpaceSet) {
    for (const char32_t scalar : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000,
                                  0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000}) {
        EXPECT_TRUE(isWhitespaceOrNewline(scalar)) << std::hex << static_cast<unsigned>(scalar);
    }
    for (const char32_t scalar :
         {0x00,   0x08,   0x0E,   0x1F,   0x21,   0x7F,   0x84,   0xA1,   0x180E, 0x1FFF,
          0x200B, 0x200C, 0x200D, 0x2027, 0x202A, 0x2060, 0x205E, 0x3001, 0xFEFF, 0x10FFFF}) {
        EXPECT_FALSE(isWhitespaceOrNewline(scalar)) << std::hex << static_cast<unsigned>(scalar);
    }
}

TEST(TextTest, TrimmingRemovesWhiteSpaceAndLineBreaksAtBothEnds) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"", ""},
        {"   ", ""},
        {"abc", "abc"},
        {"  a b  ", "a b"},
        {"\r\n\thttps://a.example/\r\n", "https://a.example/"},
        {"\u00a0link\u00a0", "link"},              // no-break space
        {"\u3000link\u3000", "link"},              // ideographic space
        {"\u2028\u2029link\u0085\u1680", "link"},  // separators, next line, ogham
        {"\u2003\u202f\u205flink\u200a", "link"},
        {"\u200blink\u200b", "\u200blink\u200b"},  // zero-width space is not white space
        {"\ufefflink", "\ufefflink"},
        {"a \u0301", "a \u0301"},    // a combining mark is kept with its space
        {" \xff ", "\xff"},          // malformed bytes are not white space
        {"x\xe3\x80", "x\xe3\x80"},  // truncated U+3000 at the end
        {"\u00a0\u00a0", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trimmingWhitespaceAndNewlines(c.input), c.expected) << c.input;
    }
    const std::string text = "  abc ";
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(text);
    EXPECT_EQ(trimmed.data(), text.data() + 2);  // a view, not a copy
}

TEST(TextTest, GraphemeCountCountsUserVisibleCharacters) {
    struct Case {
        std::string text;
        std::size_t count;
    };
    const Case cases[] = {
        {"", 0},
        {"abc", 3},
        {"a\r\nb", 3},  // CR LF is one character
        {"\n\r", 2},
        {"e\u0301", 1},  // combining acute
        {"e\u0301\u0323x", 2},
        {"\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7", 2},  // two flags
        {"\U0001F1E9\U0001F1EA\U0001F1EB", 2},            // a flag and a lone indicator
        {"\U0001F468\u200d\U0001F469\u200d\U0001F467\u200d\U0001F466", 1},  // family (ZWJ)
        {"\U0001F44D\U0001F3FD", 1},                                        // thumbs up, skin tone
        {"1\ufe0f\u20e3", 1},                                               // keycap
        {"\u1100\u1161\u11a8", 1},                                          // Hangul jamo
        {"\u0928\u093f", 1},              // Devanagari spacing mark
        {"\u0915\u094d\u0937", 1},        // conjunct KSSA
        {"\u0915\u094d\u200d\u0937", 1},  // conjunct with a joiner
        {"\u0915\u094d\u200c\u0937", 2},  // a non-joiner breaks it
        {"\u0915\u093f\u0937", 2},
        {"a\U0001F468\u200d\U0001F469b", 3},
        {"\xff\xfe", 2},  // each malformed byte alone
        {"\xff\u0301", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(graphemeCount(c.text), c.count) << c.text;
    }
}

TEST(TextTest, PrefixAndSuffixNeverSplitACharacter) {
    const std::string family = "\U0001F468\u200d\U0001F469\u200d\U0001F467";
    const std::string flag = "\U0001F1E9\U0001F1EA";
    struct Case {
        std::string text;
        std::size_t count;
        std::string prefix;
        std::string suffix;
    };
    const Case cases[] = {
        {"abc", 0, "", ""},
        {"abc", 2, "ab", "bc"},
        {"abc", 10, "abc", "abc"},
        {"ab\u0301c", 2, "ab\u0301", "b\u0301c"},
        {"a\r\nb", 2, "a\r\n", "\r\nb"},
        {family + "x", 1, family, "x"},
        {"\u0915\u094d\u0937\u093e!", 1, "\u0915\u094d\u0937\u093e", "!"},
        {"x" + flag + flag, 2, "x" + flag, flag + flag},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " / " + std::to_string(c.count));
        EXPECT_EQ(graphemePrefix(c.text, c.count), c.prefix);
        EXPECT_EQ(graphemeSuffix(c.text, c.count), c.suffix);
    }

    // Every cut of a mixed text falls on a character boundary.
    const std::string mixed =
        "caf\u00e9 e\u0301 " + family + flag + "\r\n\u1100\u1161\u11a8\u0915\u094d\u0937!\xff";
    const std::size_t total = graphemeCount(mixed);
    for (std::size_t n = 0; n <= total + 1; ++n) {
        const std::string prefix = graphemePrefix(mixed, n);
        ASSERT_EQ(mixed.compare(0, prefix.size(), prefix), 0);
        const std::string rest = mixed.substr(prefix.size());
        EXPECT_EQ(graphemeCount(prefix), std::min(n, total)) << n;
        EXPECT_EQ(graphemeCount(prefix) + graphemeCount(rest), total) << n;
        EXPECT_EQ(graphemeSuffix(mixed, total - std::min(n, total)), rest) << n;
    }
}

TEST(TextTest, LowercasedMapsEveryScalar) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {"HTTPS://A.Example/Path", "https://a.example/path"},
        {"\u00c9COLE", "\u00e9cole"},
        {"\u0130stanbul", "i\u0307stanbul"},           // keeps the dot as a combining mark
        {"\u03a3\u0391\u03a3", "\u03c3\u03b1\u03c3"},  // no final-sigma rule
        {"\u01c5", "\u01c6"},                          // title-case digraph
        {"\u1e9e", "\u00df"},                          // capital sharp s
        {"\uff21\uff22", "\uff41\uff42"},              // full-width letters
        {"\U00010400", "\U00010428"},                  // Deseret, four bytes
        {"A\xff"
         "B\xc3",
         "a\xff"
         "b\xc3"},  // malformed bytes kept
        {"\u4e2d\u6587", "\u4e2d\u6587"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lowercased(c.input), c.expected) << c.input;
    }
    EXPECT_EQ(asciiLowercased("\u00c9A-Z"), "\u00c9a-z");
}

TEST(TextTest, ValidUtf8) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ascii text that is longer than eight bytes", true},
        {"\u00e9\u4e2d\U0001F600", true},
        {"\xff", false},
        {"\xc0\x80", false},          // overlong NUL
        {"\xe0\x80\xaf", false},      // overlong "/"
        {"\xed\xa0\x80", false},      // surrogate
        {"\xf4\x90\x80\x80", false},  // above U+10FFFF
        {"\xe2\x82", false},          // truncated
        {"\x80", false},              // lone continuation
        {std::string(20, 'a') + "\x80", false},
        {std::string(20, 'a') + "\u00e9" + std::string(9, 'b'), true},
        {std::string("a\0b", 3), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUTF8(c.text), c.valid) << c.text;
    }
}

TEST(TextTest, CanonicalEquivalenceComparesComposedForms) {
    struct Case {
        std::string a;
        std::string b;
        bool equivalent;
    };
    const Case cases[] = {
        {"", "", true},
        {"abc", "abc", true},
        {"abc", "abd", false},
        {"\u00e9", "e\u0301", true},
        {"caf\u00e9", "cafe", false},
        {"\u00c5", "\u212b", true},                // Å and ANGSTROM SIGN
        {"q\u0307\u0323", "q\u0323\u0307", true},  // marks in either order
        {"\u01c4", "D\u017d", false},              // compatibility only, not canonical
        {"\u00e9", "\u00e8", false},
        {std::string("a\0e\u0301", 5), std::string("a\0\u00e9", 4), true},  // NUL inside
        {"\xff", "\xff", true},
        {"\xff"
         "e\u0301",
         "\xff\u00e9", false},  // malformed: bytes decide
    };
    for (const Case& c : cases) {
        EXPECT_EQ(canonicallyEquivalent(c.a, c.b), c.equivalent) << c.a << " / " << c.b;
        EXPECT_EQ(canonicallyEquivalent(c.b, c.a), c.equivalent) << c.b << " / " << c.a;
    }
}

}  // namespace
}  // namespace scourlet
