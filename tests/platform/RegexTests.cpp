#include "ScourletCore/platform/Regex.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/PublicRuleSet.h"
#include <nlohmann/json.hpp>

namespace scourlet {
namespace {

using namespace std::chrono_literals;

Regex compiled(std::string_view pattern, RegexOptions options = RegexOptions::none) {
    auto regex = Regex::compile(pattern, options);
    EXPECT_TRUE(regex.has_value()) << "pattern did not compile: " << pattern;
    return regex ? *regex : *Regex::compile("(?!)");
}

TEST(RegexTest, CaseInsensitiveOptionFoldsAsciiAndNonAsciiLetters) {
    struct Case {
        const char* pattern;
        const char* subject;
        bool withOption;
        bool without;
    };
    const Case cases[] = {
        {"utm_source", "UTM_Source", true, false},
        {"^utm_.*$", "Utm_Campaign", true, false},
        {"\u00e9cole", "\u00c9COLE", true, false},  // é / É
        {"\u03c3", "\u03a3", true, false},          // σ / Σ
        {"\u03c3", "\u03c2", true, false},          // σ / final ς
        {"k", "\u212a", true, false},               // KELVIN SIGN
        {"[a-z]+", "ABC", true, false},
        {"abc", "abc", true, true},
        {"abc", "abd", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.subject);
        EXPECT_EQ(compiled(c.pattern, RegexOptions::caseInsensitive).matches(c.subject),
                  c.withOption);
        EXPECT_EQ(compiled(c.pattern).matches(c.subject), c.without);
    }
}

TEST(RegexTest, CaseFoldingIsSimpleNotFull) {
    // ICU folds "ß" to "ss"; PCRE2 folds one character to one character.
    const Regex sharpS = compiled("\u00df", RegexOptions::caseInsensitive);
    EXPECT_FALSE(sharpS.matches("SS"));
    EXPECT_TRUE(sharpS.matches("\u1e9e"));  // capital sharp s
}

TEST(RegexTest, SearchesTheWholeSubjectUnlessThePatternAnchors) {
    struct Case {
        const char* pattern;
        const char* subject;
        bool matches;
    };
    const Case cases[] = {
        {"b", "abc", true},
        {"^b", "abc", false},
        {"b$", "abc", false},
        {"c$", "abc", true},
        // "$" also matches before one final line terminator, of any kind ICU knows.
        {"c$", "abc\n", true},
        {"c$", "abc\r\n", true},
        {"c$", "abc\r", true},
        {"c$", "abc\u2028", true},
        {"c$", "abc\u0085", true},
        {"c$", "abc\n\n", false},
        {"c\\z", "abc\n", false},
        // "." matches no line terminator.
        {"a.c", "a\nc", false},
        {"a.c", "a\rc", false},
        {"a.c", "a\u2029c", false},
        {"a.c", "a\u0085c", false},
        {"a.c", "a\u00e9c", true},
        {"(?s)a.c", "a\nc", true},
        // Without (?m) "^" is the start of the whole text only.
        {"^b", "a\nb", false},
        {"(?m)^b", "a\nb", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " in " + c.subject);
        EXPECT_EQ(compiled(c.pattern).matches(c.subject), c.matches);
    }
}

TEST(RegexTest, FirstMatchReportsByteRangesAndGroupParticipation) {
    const Regex regex = compiled("(a)|b");
    const std::string subject = "xb";
    const auto match = regex.firstMatch(subject);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->range(), (ByteRange{1, 2}));
    EXPECT_EQ(match->numberOfRanges(), 2U);
    EXPECT_TRUE(match->groupParticipated(0));
    EXPECT_FALSE(match->groupParticipated(1));
    EXPECT_FALSE(match->group(1, subject).has_value());
    EXPECT_FALSE(match->groupParticipated(2));  // no such group
    EXPECT_EQ(match->group(0, subject), "b");

    const auto other = regex.firstMatch("ba");
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(other->range(), (ByteRange{0, 1}));  // leftmost, not the first alternative
    EXPECT_FALSE(other->groupParticipated(1));

    EXPECT_FALSE(regex.firstMatch("xyz").has_value());
}

TEST(RegexTest, OffsetsAreBytesOfUtf8) {
    const std::string subject = "\u00e9t\u00e9=\U0001F600x";
    const auto match = compiled("=(.)(x)").firstMatch(subject);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->range(), (ByteRange{5, 11}));
    EXPECT_EQ(match->group(1, subject), "\U0001F600");
    EXPECT_EQ(match->group(2, subject), "x");
}

TEST(RegexTest, ReplaceAllExpandsTheTemplate) {
    struct Case {
        const char* pattern;
        const char* subject;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"(\\w+)@(\\w+)", "me@host", "$2 at $1", "host at me"},
        {"(\\w+)@(\\w+)", "me@host you@there", "[$0]", "[me@host] [you@there]"},
        {"(a)", "xay", "\\$1", "x$1y"},
        {"(a)", "xay", "\\\\$1", "x\\ay"},
        {"(a)", "xay", "\\z", "xzy"},
        {"(a)", "xay", "\\\u00e9", "x\u00e9y"},
        {"(a)", "xay", "[$5]", "x[]y"},     // no such group
        {"(a)|b", "ab", "[$1]", "[a][]"},   // group 1 took no part in the second match
        {"(a)", "xay", "[$12]", "x[a2]y"},  // only digits that name an existing group
        {"(a)", "xay", "$x$", "x$x$y"},     // "$" before a non-digit is literal
        {"(a)", "xay", "<\\", "x<y"},       // a trailing backslash escapes nothing
        {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)", "abcdefghijk", "$11$10$1", "kja"},
        {"x*", "axc", "-", "-a--c-"},  // empty matches as ICU finds them
        {"q", "abc", "$0$0", "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.replacement);
        EXPECT_EQ(compiled(c.pattern).replaceAll(c.subject, c.replacement), c.expected);
    }
}

TEST(RegexTest, ReplaceAllLiteralInsertsTheTextAsIs) {
    const Regex regex = compiled("(b)");
    EXPECT_EQ(regex.replaceAllLiteral("abcb", "$1\\"), "a$1\\c$1\\");
    // Removing every match, as raw rules do.
    const Regex ref = compiled(R"(\/ref=[^/?]*)", RegexOptions::caseInsensitive);
    EXPECT_EQ(ref.replaceAllLiteral("https://www.amazon.de/x/dp/B0/ref=sr_1_3/REF=y?th=1", ""),
              "https://www.amazon.de/x/dp/B0?th=1");
}

TEST(RegexTest, AllMatchesAdvancePastEmptyMatchesByWholeCharacters) {
    const std::string subject = "\u00e9x";
    const auto found = compiled("x*").allMatches(subject);
    std::vector<ByteRange> ranges;
    for (const RegexMatch& match : found) {
        ranges.push_back(match.range());
    }
    EXPECT_EQ(ranges, (std::vector<ByteRange>{{0, 0}, {2, 3}, {3, 3}}));

    const auto schemes =
        compiled("(?i)[a-z][a-z0-9+.-]*://").allMatches("see http://a and HTTPS://b");
    ASSERT_EQ(schemes.size(), 2U);
    EXPECT_EQ(schemes[0].range(), (ByteRange{4, 11}));
    EXPECT_EQ(schemes[1].range(), (ByteRange{17, 25}));
}

TEST(RegexTest, EscapedPatternMatchesTheTextLiterally) {
    const std::string metacharacters = "\\^$.|?*+()[]{}-/#";
    for (const char c : metacharacters) {
        const std::string text = std::string("a") + c + "b";
        SCOPED_TRACE(text);
        const Regex regex = compiled("^" + Regex::escapedPattern(text) + "$");
        EXPECT_TRUE(regex.matches(text));
        EXPECT_FALSE(regex.matches("aXb"));
    }
    for (const std::string& text :
         {metacharacters, std::string("\\Q(*a\\E\\u0041\\0101[[x]--[y]]&&"),
          std::string("a b\n\u00e9"), std::string("utm_*"), std::string("\\")}) {
        SCOPED_TRACE(text);
        const auto regex =
            Regex::compile("^" + Regex::escapedPattern(text) + "$", RegexOptions::caseInsensitive);
        ASSERT_TRUE(regex.has_value());
        EXPECT_TRUE(regex->matches(text));
        EXPECT_FALSE(regex->matches(text + "x"));
    }
    EXPECT_EQ(Regex::escapedPattern("a.b"), "a\\.b");
}

TEST(RegexTest, PatternsThatDoNotCompileGiveNothing) {
    const std::string patterns[] = {
        "",
        "(",
        "[a-",
        "a{2,1}",
        "*a",
        "\\",
        "(?<n>a)(?<n>b)",
        "\xff",                       // not UTF-8
        "(*LIMIT_MATCH=1)a",          // PCRE2 verbs are not ICU syntax
        "[[a-c][x-z]]",               // ICU nested set
        "[a-z--[aeiou]]",             // ICU set difference
        "[\\p{L}&&\\p{Lu}]",          // ICU set intersection
        "\\N{LATIN SMALL LETTER E}",  // ICU character name
        "\\u00e",                     // \u needs four hex digits
        "\\0",                        // ICU needs an octal digit after \0
    };
    for (const std::string& pattern : patterns) {
        EXPECT_FALSE(Regex::compile(pattern).has_value()) << pattern;
    }
}

TEST(RegexTest, IcuEscapesCompileWithTheirIcuMeaning) {
    struct Case {
        const char* pattern;
        const char* subject;
        bool matches;
    };
    const Case cases[] = {
        {"^\\u00e9$", "\u00e9", true},
        {"^\\u00E9t\\u00e9$", "\u00e9t\u00e9", true},
        {"^\\x{e9}$", "\u00e9", true},
        {"^\\x{1F600}$", "\U0001F600", true},
        {"^\\xe9$", "\u00e9", true},
        {"^\\U0001F600$", "\U0001F600", true},
        {"^[\\u00e9-\\u00ea]$", "\u00ea", true},
        {"^\\0101$", "A", true},   // three octal digits
        {"^\\0400$", " 0", true},  // at most \0377
        {"^\\Q\\u00e9[\\E$", "\\u00e9[", true},
        {"^[[:alpha:]]+$", "\u00e9a", true},
        {"^[a-z0-9-\\.]+$", "a-.", true},
        {"^\\p{Lu}$", "\u00c9", true},
        {"^\\w+$", "\u00e9\u4e2d", true},
        {"^\\d$", "\u0663", true},  // ARABIC-INDIC DIGIT THREE
        {"\\bb", "a b", true},
        {"a(?#[[x]--[y]])b", "ab", true},  // brackets in a comment open no set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(compiled(c.pattern).matches(c.subject), c.matches);
    }
}

TEST(RegexTest, PatternAndGroupCountAreThoseWritten) {
    const Regex regex = compiled("(a)(?:b)(c)?\\u0041");
    EXPECT_EQ(regex.pattern(), "(a)(?:b)(c)?\\u0041");
    EXPECT_EQ(regex.numberOfCaptureGroups(), 2U);
    EXPECT_EQ(regex.options(), RegexOptions::none);
    const Regex copy = regex;
    EXPECT_EQ(copy.pattern(), regex.pattern());
    EXPECT_TRUE(copy.matches("abA"));
}

TEST(RegexTest, MalformedUtf8SubjectsAreSearchedSafely) {
    const std::string subject = "a\xff\xfe\u00e9b\xc3";
    const auto match = compiled("\u00e9(b)").firstMatch(subject);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->range(), (ByteRange{3, 6}));
    EXPECT_FALSE(compiled("^a.").matches(subject));  // a malformed byte is no character
    EXPECT_EQ(compiled("b").replaceAll(subject, "B"),
              "a\xff\xfe\u00e9"
              "B\xc3");
    EXPECT_EQ(compiled("x*").allMatches("\xff").size(), 2U);
}

TEST(RegexTest, MatchEverythingPatternsAnswerAsTheirSearchWould) {
    // ".*" is answered without a search; "(?:.*)" means the same and is searched.
    for (const std::string subject : {"", "abc", "\n", "a\nb", "\xff\xfe", "\u2028x"}) {
        const bool searched = compiled("(?:.*)").matches(subject);
        EXPECT_TRUE(searched);
        for (const char* pattern : {".*", ".*?"}) {
            const Regex regex = compiled(pattern, RegexOptions::caseInsensitive);
            EXPECT_EQ(regex.matches(subject), searched) << pattern;
            EXPECT_EQ(regex.test(subject), RegexAnswer::match) << pattern;
        }
    }
}

using Clock = std::chrono::steady_clock;

TEST(RegexTest, CatastrophicBacktrackingGivesUpQuickly) {
    const std::string subject = std::string(30000, 'a') + "b";
    const auto started = Clock::now();
    EXPECT_FALSE(compiled("^(a+)+$").matches(subject));
    EXPECT_FALSE(compiled("(a+)+$").firstMatch(subject).has_value());
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
}

TEST(RegexTest, ManyCostlyStartPositionsStayWithinTheTimeBudget) {
    // Each start position stays below the step limit of one attempt, but all of
    // them together would take many seconds.
    std::string subject;
    while (subject.size() < 20000) {
        subject += std::string(150, 'a') + "b";
    }
    subject += "c";
    const Regex regex = compiled("(a|x)*(a|x)*(a|x)*c");
    const auto started = Clock::now();
    const bool found = regex.matches(subject);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
    EXPECT_FALSE(found);  // the limit counts as no match
}

TEST(RegexTest, ReplaceAllKeepsTheRestWhenALimitIsHit) {
    const std::string subject = "b" + std::string(30000, 'a') + "b";
    const std::string result = compiled("b|(a+)+c").replaceAll(subject, "X");
    EXPECT_EQ(result, "X" + std::string(30000, 'a') + "b");
}

TEST(RegexTest, TimeBudgetBoundsManySearchesTogetherAndNests) {
    const Regex hostile = compiled("^(a+)+$");
    const Regex plain = compiled("b");
    const std::string subject = std::string(40, 'a') + "!";
    EXPECT_EQ(plain.test("abc"), RegexAnswer::match);
    EXPECT_EQ(plain.test("xyz"), RegexAnswer::noMatch);
    EXPECT_EQ(hostile.test(subject), RegexAnswer::undecided);
    {
        const RegexTimeBudget outer(std::chrono::milliseconds(30));
        const auto started = std::chrono::steady_clock::now();
        while (!outer.exhausted() && std::chrono::steady_clock::now() - started < 5s) {
            EXPECT_NE(hostile.test(subject), RegexAnswer::match);
        }
        EXPECT_TRUE(outer.exhausted());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
        // Once used up, every search is undecided at once, also in a nested budget.
        EXPECT_EQ(plain.test("abc"), RegexAnswer::undecided);
        const RegexTimeBudget inner(std::chrono::hours(1));
        EXPECT_TRUE(inner.exhausted());
        EXPECT_FALSE(plain.matches("abc"));
    }
    // After the budget, searches are free again.
    EXPECT_EQ(plain.test("abc"), RegexAnswer::match);
    {
        const RegexTimeBudget outer(std::chrono::hours(1));
        {
            const RegexTimeBudget inner(std::chrono::milliseconds(0));
            std::this_thread::sleep_for(1ms);
            // The clock is read every few searches: within a few, the budget is found used up.
            int searches = 0;
            while (plain.test("abc") != RegexAnswer::undecided && ++searches < 64) {
            }
            EXPECT_LT(searches, 64);
            EXPECT_TRUE(inner.exhausted());
        }
        // An inner budget used up before the outer one leaves the outer one be.
        EXPECT_FALSE(outer.exhausted());
        EXPECT_EQ(plain.test("abc"), RegexAnswer::match);
    }
}

TEST(RegexTest, LongSubjectsWithinTheLimitsStillMatch) {
    // One attempt that walks a group once per byte of a clipboard-sized text.
    const std::string subject = std::string(65536, 'a') + "x";
    EXPECT_TRUE(compiled("^(a|b)*x").matches(subject));
    EXPECT_TRUE(compiled("^.*?(?:y|x)").matches(subject));
    EXPECT_EQ(compiled("a").replaceAllLiteral(subject, "").size(), 1U);
}

TEST(RegexTest, OneRegexMatchesFromSeveralThreadsAtOnce) {
    const Regex regex = compiled(R"(^https?:\/\/(?:[a-z0-9-]+\.)*?example\.com\/(\w+))",
                                 RegexOptions::caseInsensitive);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&regex, &wrong, t] {
            const std::string word = "path" + std::to_string(t);
            const std::string subject = "https://www.EXAMPLE.com/" + word + "?q=1";
            for (int i = 0; i < 2000; ++i) {
                const auto match = regex.firstMatch(subject);
                if (!match || match->group(1, subject) != word || regex.matches("http://x.org/")) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

// The public ClearURLs rules are written for ICU; every one of them must
// compile the way the rules engine compiles it.
TEST(RegexTest, EveryPatternOfThePublicClearUrlsRulesCompiles) {
    const auto publicRules = testing::publicRuleSet();
    if (!publicRules) {
        GTEST_SKIP() << testing::kPublicRuleSetMissing;
    }
    const std::string& text = *publicRules;
    const nlohmann::json data = nlohmann::json::parse(text, nullptr, false);
    ASSERT_FALSE(data.is_discarded());

    std::size_t compiledCount = 0;
    std::vector<std::string> refused;
    auto check = [&](const std::string& provider, const std::string& field,
                     const std::string& pattern) {
        if (Regex::compile(pattern, RegexOptions::caseInsensitive)) {
            ++compiledCount;
        } else {
            refused.push_back(provider + "." + field + ": " + pattern);
        }
    };
    for (const auto& [name, provider] : data.at("providers").items()) {
        check(name, "urlPattern", provider.value("urlPattern", ""));
        for (const char* field : {"exceptions", "rawRules", "redirections"}) {
            for (const auto& pattern : provider.value(field, nlohmann::json::array())) {
                check(name, field, pattern.get<std::string>());
            }
        }
        for (const char* field : {"rules", "referralMarketing"}) {
            for (const auto& pattern : provider.value(field, nlohmann::json::array())) {
                check(name, field, "^" + pattern.get<std::string>() + "$");
                check(name, field, pattern.get<std::string>());
            }
        }
    }
    std::string list;
    for (const std::string& entry : refused) {
        list += entry + "\n";
    }
    EXPECT_TRUE(refused.empty()) << "PCRE2 refused:\n" << list;
    EXPECT_GT(compiledCount, 1000U);
}

TEST(RegexTest, ClearUrlsStylePatternsBehaveAsWritten) {
    const Regex amazon = compiled(R"(^https?:\/\/(?:[a-z0-9-]+\.)*?amazon(?:\.[a-z]{2,}){1,})",
                                  RegexOptions::caseInsensitive);
    EXPECT_TRUE(amazon.matches("https://www.amazon.co.uk/dp/B0"));
    EXPECT_FALSE(amazon.matches("https://amazonia.example/"));

    const Regex redirect = compiled(
        R"(^https?:\/\/(?:[a-z0-9-]+\.)*?google(?:\.[a-z]{2,}){1,}\/url\?.*?(?:url|q)=(https?[^&]+))",
        RegexOptions::caseInsensitive);
    const std::string link = "https://www.google.com/url?sa=t&url=https%3A%2F%2Fa.example%2F&usg=x";
    const auto match = redirect.firstMatch(link);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->group(1, link), "https%3A%2F%2Fa.example%2F");

    // A rule with a top-level alternation wrapped as "^" + rule + "$".
    const Regex alternation = compiled("^a|b$", RegexOptions::caseInsensitive);
    EXPECT_TRUE(alternation.matches("axx"));
    EXPECT_TRUE(alternation.matches("xxb"));
    EXPECT_FALSE(alternation.matches("xax"));
}

}  // namespace
}  // namespace scourlet
