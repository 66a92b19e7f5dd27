#include "ScourletCore/rules/PastePayloadSelector.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

TEST(PastePayloadSelector, PicksTheFormThatHoldsAllOthers) {
    struct Case {
        std::vector<std::string> forms;
        std::optional<std::string> chosen;
    };
    const Case cases[] = {
        {{}, std::nullopt},
        {{"abc"}, "abc"},
        {{"abc", "abc"}, "abc"},
        {{"abc", "def"}, std::nullopt},
        {{"Look: https://a.example/?q=1", "https://a.example/?q=1"},
         "Look: https://a.example/?q=1"},
        {{"https://a.example/?q=1", "Look: https://a.example/?q=1"},
         "Look: https://a.example/?q=1"},
        // A single distinct form is taken untested, even one no block admits.
        {{"a\u200Bb", "a\u200Bb"}, "a\u200Bb"},
        // Repeats collapse before the test: "abc" is inside "abcd".
        {{"abc", "abc", "abcd"}, "abcd"},
        // The link of a bare URL form, found in prose that does not contain
        // the form's text as written (the URL form has a trailing newline).
        {{"see https://a.example/x and more", "https://a.example/x\n"},
         "see https://a.example/x and more"},
        // Each holds the other: no telling which is meant.
        {{" https://a.example/x", "https://a.example/x"}, std::nullopt},
        // A link form that is not bare (two links) must be contained as text.
        {{"https://a.example/ https://b.example/ more", "https://a.example/\nhttps://b.example/"},
         std::nullopt},
        {{"x https://a.example/ y", "https://b.example/"}, std::nullopt},
        {{"", "abc"}, "abc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PastePayloadSelector::select(c.forms), c.chosen)
            << (c.forms.empty() ? std::string("<empty>") : c.forms.front());
    }
}

TEST(PastePayloadSelector, CandidateKnowsItsLinksAndWhetherItIsBare) {
    struct Case {
        std::string_view value;
        std::vector<std::string> urls;
        bool bare;
    };
    const Case cases[] = {
        {"https://a.example/x", {"https://a.example/x"}, true},
        {" \u00A0https://a.example/x\r\n", {"https://a.example/x"}, true},
        {"see https://a.example/x", {"https://a.example/x"}, false},
        {"https://a.example/ https://b.example/",
         {"https://a.example/", "https://b.example/"},
         false},
        {"https://a.example/\u200B", {}, false},  // refused text: no links
        {"plain", {}, false},
    };
    for (const Case& c : cases) {
        const PastePayloadSelector::Candidate candidate =
            PastePayloadSelector::Candidate::from(c.value);
        EXPECT_EQ(candidate.value, c.value);
        EXPECT_EQ(candidate.urls, c.urls) << c.value;
        EXPECT_EQ(candidate.isBareURL, c.bare) << c.value;
    }
}

// Forms built so that a naive substring search compares nearly the whole
// needle at every position of the haystack.
TEST(PastePayloadSelector, LargeRepetitiveFormsAreComparedInLinearTime) {
    const std::string haystack(65'536, 'a');
    std::string needle(32'768, 'a');
    needle.back() = 'b';
    EXPECT_EQ(PastePayloadSelector::select({haystack, needle}), std::nullopt);

    std::string inside = haystack;
    inside.replace(40'000, needle.size(), needle);
    EXPECT_EQ(PastePayloadSelector::select({needle, inside}), inside);
}

}  // namespace
}  // namespace scourlet
