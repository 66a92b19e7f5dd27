#include "ScourletCore/rules/internal/LinkScanning.h"

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet::internal {
namespace {

// The scheme search is written by hand to avoid quadratic work; it must find
// exactly what the plain pattern "(?i)[a-z][a-z0-9+.-]*://" finds.
std::vector<ByteRange> plainPatternMatches(std::string_view text) {
    static const std::optional<Regex> plain = Regex::compile("(?i)[a-z][a-z0-9+.-]*://");
    std::vector<ByteRange> ranges;
    for (const RegexMatch& match : plain->allMatches(text)) {
        ranges.push_back(match.range());
    }
    return ranges;
}

TEST(LinkScanning, SchemeSearchFindsWhatThePlainPatternFinds) {
    const std::string_view texts[] = {
        "",
        "https://a.example/",
        "1http://x 12ab+c.d-e://y",
        "+.-://  -a://  a-://  9://",
        "http://http://https://",
        "HTTP://A/?u=hTTps://b/",
        "x:// x:/ x: // x:/\u00E9/",
        "\u212A://a \u017Ftp://b",  // Kelvin sign and long s fold to k and s
        "caf\u00E9http://a \u00E9://b",
        "\xFFhttp://a \xC3http://b",
    };
    for (const std::string_view text : texts) {
        EXPECT_EQ(allSchemeOccurrences(text), plainPatternMatches(text)) << text;
    }

    // Random texts over the characters that matter to the pattern.
    const std::string_view pieces[] = {"a",  "Z", "0", "+",      ".",      "-",      ":",   "/",
                                       "//", " ", "(", "\u212A", "\u017F", "\u00E9", "\xFF"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 20'000; ++round) {
        std::string text;
        const std::size_t length = random() % 24;
        for (std::size_t i = 0; i < length; ++i) {
            text.append(pieces[random() % std::size(pieces)]);
        }
        ASSERT_EQ(allSchemeOccurrences(text), plainPatternMatches(text)) << text;
        const std::optional<ByteRange> first = findSchemeOccurrence(text);
        const std::vector<ByteRange> all = plainPatternMatches(text);
        ASSERT_EQ(first.has_value(), !all.empty()) << text;
        if (first && all.size() > 1) {
            ASSERT_EQ(findSchemeOccurrence(text, first->second), all[1]) << text;
        }
    }
}

TEST(LinkScanning, LeadBeforeALinkDecodesWholeCharacters) {
    using Kind = LinkLead::Kind;
    struct Case {
        std::string_view text;
        Kind kind;
        bool bracket;
    };
    const Case cases[] = {
        {"h", Kind::textStart, false},
        {" h", Kind::whitespace, false},
        {"\u00A0h", Kind::whitespace, false},
        {"\u3000h", Kind::whitespace, false},
        {"\u200Ah", Kind::whitespace, false},
        {"(h", Kind::opener, true},
        {"[h", Kind::opener, true},
        {"<h", Kind::opener, false},
        {"'h", Kind::opener, false},
        {"\"h", Kind::opener, false},
        {"{h", Kind::refused, false},
        {"\u00E9h", Kind::refused, false},
        {"\xA0h", Kind::refused, false},          // a lone continuation byte is no space
        {"\xEF\xBB\xBFh", Kind::refused, false},  // a byte-order mark is no space
    };
    for (const Case& c : cases) {
        const LinkLead lead = linkLeadBefore(c.text, c.text.size() - 1);
        EXPECT_EQ(lead.kind, c.kind) << c.text;
        EXPECT_EQ(lead.opensBracket, c.bracket) << c.text;
    }
}

}  // namespace
}  // namespace scourlet::internal
