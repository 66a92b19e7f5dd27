#include "ScourletCore/rules/internal/RawQuery.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace scourlet::internal {
namespace {

constexpr std::nullopt_t N = std::nullopt;

URLComponents url(std::string_view text) {
    auto parsed = URLComponents::parse(text);
    EXPECT_TRUE(parsed.has_value()) << text;
    return parsed.value_or(URLComponents());
}

struct SplitCase {
    std::optional<std::string_view> query;
    std::vector<RawQueryItem> expected;
};

TEST(RawQueryTest, SplitsOnEveryAmpersandAndDecodesWhereItCan) {
    const SplitCase cases[] = {
        {N, {}},
        {"", {}},
        {"a=1", {{"a", "1", "a=1", ""}}},
        // Two "&" in a row and a trailing "&" give empty items that have no value.
        {"a=1&&b=2", {{"a", "1", "a=1", ""}, {"", N, "", "&"}, {"b", "2", "b=2", "&"}}},
        {"a=1&", {{"a", "1", "a=1", ""}, {"", N, "", "&"}}},
        {"&", {{"", N, "", ""}, {"", N, "", "&"}}},
        // "=" at the end is an empty value; no "=" is no value; later "=" belong to the value.
        {"flag&empty=&x=a=b",
         {{"flag", N, "flag", ""}, {"empty", "", "empty=", "&"}, {"x", "a=b", "x=a=b", "&"}}},
        {"=v", {{"", "v", "=v", ""}}},
        // Multi-byte escapes decode; the segment stays as written.
        {"caf%C3%A9=%E2%82%AC", {{"caf\u00e9", "\u20ac", "caf%C3%A9=%E2%82%AC", ""}}},
        {"q=%e6%97%a5", {{"q", "\u65e5", "q=%e6%97%a5", ""}}},
        // An escape that does not decode keeps only its own half undecoded.
        {"bad%zz=ok%20v&k=100%",
         {{"bad%zz", "ok v", "bad%zz=ok%20v", ""}, {"k", "100%", "k=100%", "&"}}},
        {"lone%FF=1", {{"lone%FF", "1", "lone%FF=1", ""}}},
        // "+" is not a space in a URL query.
        {"q=a+b&c%2B=d", {{"q", "a+b", "q=a+b", ""}, {"c+", "d", "c%2B=d", "&"}}},
        // An escaped "&" or "=" does not split.
        {"u=a%26b%3Dc", {{"u", "a&b=c", "u=a%26b%3Dc", ""}}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.query ? std::string(*c.query) : std::string("(none)"));
        EXPECT_EQ(parseRawQuery(c.query), c.expected);
    }
}

// A link from HTML source joins its parameters with "&amp;": the five bytes
// are one separator, also beside plain "&" in the same query, so no name ever
// starts with "amp;" after an "&".
TEST(RawQueryTest, HtmlEscapedAmpersandIsOneSeparator) {
    const SplitCase cases[] = {
        {"utm_source=html&amp;id=2",
         {{"utm_source", "html", "utm_source=html", ""}, {"id", "2", "id=2", "&amp;"}}},
        {"a=1&amp;b=2&c=3",
         {{"a", "1", "a=1", ""}, {"b", "2", "b=2", "&amp;"}, {"c", "3", "c=3", "&"}}},
        {"a=1&amp;&amp;b",
         {{"a", "1", "a=1", ""}, {"", N, "", "&amp;"}, {"b", N, "b", "&amp;"}}},
        {"a=1&amp;", {{"a", "1", "a=1", ""}, {"", N, "", "&amp;"}}},
        // Only the whole escape counts; "amp" alone is a name like any other,
        // and so is "amp;" at the very start, where no "&" stands before it.
        {"a=1&amp=2&amp", {{"a", "1", "a=1", ""}, {"amp", "2", "amp=2", "&"}, {"amp", N, "amp", "&"}}},
        {"a=1&AMP;b=2", {{"a", "1", "a=1", ""}, {"AMP;b", "2", "AMP;b=2", "&"}}},
        {"amp;x=1", {{"amp;x", "1", "amp;x=1", ""}}},
        // An escaped "&" inside a value stays in it.
        {"q=rock%26amp;roll", {{"q", "rock&amp;roll", "q=rock%26amp;roll", ""}}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(std::string(*c.query));
        EXPECT_EQ(parseRawQuery(c.query), c.expected);
    }
}

struct ChallengeCase {
    std::string_view url;
    bool challenged;
};

TEST(RawQueryTest, RedditChallengeNeedsAMarkerOnReddit) {
    const ChallengeCase cases[] = {
        {"https://www.reddit.com/r/x/?js_challenge=1&token=t", true},
        {"https://reddit.com/r/x/?js_challenge=1", true},
        {"https://old.reddit.com/?solution=s&token=t", true},
        {"https://www.reddit.com/?jsc_orig_r=", true},
        {"https://www.reddit.com/?jsc_orig_r", true},
        {"https://WWW.Reddit.COM/?js_challenge=1", true},
        {"https://www.reddit.com/?js_challenge=%31", true},
        {"https://www.reddit.com/?js_challenge=0&token=t", false},
        {"https://www.reddit.com/?js_challenge=1x", false},
        {"https://www.reddit.com/?js_challenge", false},
        {"https://www.reddit.com/?solution=s", false},
        {"https://www.reddit.com/?token=t", false},
        {"https://www.reddit.com/?JS_CHALLENGE=1", false},
        {"https://www.reddit.com/r/x/", false},
        // Only Reddit's own domain counts.
        {"https://notreddit.com/?js_challenge=1", false},
        {"https://reddit.com.example/?js_challenge=1", false},
        {"https://example.com/?js_challenge=1&solution=s&token=t", false},
    };
    const std::set<std::string> all{"solution", "js_challenge", "token", "jsc_orig_r"};
    for (const ChallengeCase& c : cases) {
        SCOPED_TRACE(c.url);
        const URLComponents components = url(c.url);
        const auto items = parseRawQuery(components.percentEncodedQuery());
        EXPECT_EQ(redditChallengeParameters(components, items),
                  c.challenged ? all : std::set<std::string>{});
    }
}

struct HostCase {
    std::string_view url;
    bool expected;
};

TEST(RawQueryTest, GoogleSearchIsTheDotComSearchPathWithAQuery) {
    const HostCase cases[] = {
        {"https://www.google.com/search?q=cats", true},
        {"https://google.com/search?client=safari&q=cats", true},
        {"https://WWW.GOOGLE.COM/search?q=", true},
        {"https://www.google.com/search?q", true},
        {"https://www.google.com/search?%71=cats", true},
        {"https://www.google.com/%73earch?q=cats", true},
        {"https://www.google.com/search?client=safari&amp;q=cats", true},
        // A country domain, another path or no "q" item is no Google search here.
        {"https://www.google.co.uk/search?q=cats", false},
        {"https://www.google.de/search?q=cats", false},
        {"https://www.google.com/search/?q=cats", false},
        {"https://www.google.com/Search?q=cats", false},
        {"https://www.google.com/webhp?q=cats", false},
        {"https://www.google.com/search?Q=cats", false},
        {"https://www.google.com/search?qq=cats&aq=1", false},
        {"https://www.google.com/search", false},
        {"https://notgoogle.com/search?q=cats", false},
        {"https://google.com.evil.example/search?q=cats", false},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(isGoogleSearch(url(c.url)), c.expected);
    }
}

TEST(RawQueryTest, GoogleLocalFragmentNeedsASearchAndAMarker) {
    const HostCase cases[] = {
        {"https://www.google.com/search?q=pizza#lkt=LocalPoiReviews", true},
        {"https://www.google.com/search?q=pizza#lpg=cid:1", true},
        {"https://www.google.com/search?q=pizza#trex=m_t:lcl_akp", true},
        {"https://www.google.com/search?q=pizza#rlfi=hd:;si:;rc_ludocids:123", true},
        {"https://www.google.com/search?q=pizza#fpstate=x&trex_id:abc", true},
        // An escaped "=" reads as itself.
        {"https://www.google.com/search?q=pizza#lkt%3DLocal", true},
        {"https://www.google.com/search?q=pizza#", false},
        {"https://www.google.com/search?q=pizza", false},
        {"https://www.google.com/search?q=pizza#top", false},
        {"https://www.google.com/search?q=pizza#LKT=x", false},
        {"https://www.google.com/search?q=pizza#lkt", false},
        {"https://www.google.co.uk/search?q=pizza#lkt=x", false},
        {"https://www.google.com/maps?q=pizza#lkt=x", false},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(hasGoogleLocalFragment(url(c.url)), c.expected);
    }
}

}  // namespace
}  // namespace scourlet::internal
