// The whole clean with the rule files we ship, on links people really copy.
#include <gtest/gtest.h>

#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "ScourletCore/rules/URLCleaner.h"

namespace scourlet {
namespace {

TEST(URLCleanerWithShippedRules, CleansCommonLinksAndKeepsWhatMatters) {
    auto engine = std::make_shared<RulesEngine>(std::make_shared<InMemoryUserDefaults>());
    engine->loadBundledRules();
    ASSERT_FALSE(engine->compiledProviders().empty());
    URLCleaner cleaner(engine, nullptr, nullptr, "macOSClipboard",
                       PrivacyRedirectSettings::disabled());

    const std::pair<std::string_view, std::string_view> cases[] = {
        {"https://www.amazon.com/Some-Product/dp/B0123ABCD/ref=sr_1_3?crid=2X&keywords=usb+cable"
         "&qid=1700000000&sprefix=usb%2Caps%2C200&sr=8-3&th=1",
         "https://www.amazon.com/Some-Product/dp/B0123ABCD?th=1"},
        {"https://www.youtube.com/watch?v=dQw4w9WgXcQ&si=abcDEF123&t=42",
         "https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=42"},
        {"https://www.google.com/url?q=https://example.org/page%3Fid%3D1&sa=D&source=editors"
         "&ust=1700000000&usg=AOvVaw",
         "https://example.org/page?id=1"},
        {"https://l.facebook.com/l.php?u=https%3A%2F%2Fexample.org%2Farticle%3Ffbclid%3DIwAR123"
         "&h=AT0abc",
         "https://example.org/article"},
        {"https://open.spotify.com/track/4uLU6hMCjMI75M1A2tKUQC?si=a1b2c3d4e5",
         "https://open.spotify.com/track/4uLU6hMCjMI75M1A2tKUQC"},
        {"https://example.com/article?utm_source=newsletter&utm_medium=email&id=42",
         "https://example.com/article?id=42"},
        {"https://www.reddit.com/r/cpp/comments/abc/title/?share_id=xyz&utm_content=1",
         "https://www.reddit.com/r/cpp/comments/abc/title/"},
        {"https://www.bing.com/search?q=test&form=QBLH&sp=-1&pq=test&cvid=ABC",
         "https://www.bing.com/search?q=test"},
        {"https://github.com/org/repo/tree/main?ref=main",
         "https://github.com/org/repo/tree/main?ref=main"},
    };
    for (const auto& [input, expected] : cases) {
        const auto outcome = cleaner.cleanWithOutcome(input);
        const std::string cleaned =
            outcome.cleanedResult() ? outcome.cleanedResult()->cleanedURL : std::string(input);
        EXPECT_EQ(cleaned, expected) << input;
    }
}

}  // namespace
}  // namespace scourlet
