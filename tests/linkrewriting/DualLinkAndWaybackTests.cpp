#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/DualLinkShareBuilder.h"
#include "ScourletCore/linkrewriting/WaybackLinkBuilder.h"

namespace scourlet {
namespace {

CleanResult redirected() {
    CleanResult result;
    result.originalURL = "https://x.com/a/status/1?s=20";
    result.cleanedURL = "https://nitter.example/a/status/1";
    result.cleanedOriginalURL = "https://x.com/a/status/1";
    result.privacyRedirect = PrivacyRedirectInfo{};
    return result;
}

TEST(DualLinkShareBuilder, BothLinksWithAnOptionalContext) {
    const std::string links =
        "Original link: https://x.com/a/status/1\n\nPrivacy link: "
        "https://nitter.example/a/status/1";
    EXPECT_EQ(DualLinkShareBuilder::body(redirected(), std::nullopt), links);
    EXPECT_EQ(DualLinkShareBuilder::body(redirected(), " \n\t"), links);
    EXPECT_EQ(DualLinkShareBuilder::body(redirected(), "  Worth a read\n"),
              "Worth a read\n\n" + links);

    CleanResult noRedirect = redirected();
    noRedirect.privacyRedirect.reset();
    EXPECT_EQ(DualLinkShareBuilder::body(noRedirect, "x"), std::nullopt);
    CleanResult noOriginal = redirected();
    noOriginal.cleanedOriginalURL.reset();
    EXPECT_EQ(DualLinkShareBuilder::body(noOriginal, "x"), std::nullopt);
    CleanResult same = redirected();
    same.cleanedOriginalURL = same.cleanedURL;
    EXPECT_EQ(DualLinkShareBuilder::body(same, "x"), std::nullopt);

    EXPECT_EQ(DualLinkShareBuilder::normalizedContext(std::nullopt), std::nullopt);
    EXPECT_EQ(DualLinkShareBuilder::normalizedContext("\u3000"), std::nullopt);
    EXPECT_EQ(DualLinkShareBuilder::normalizedContext(" a b "), "a b");
}

TEST(WaybackLinkBuilder, LookupOfHttpLinksAsGiven) {
    struct Case {
        const char* link;
        std::optional<std::string> lookup;
    };
    const std::string prefix = "https://web.archive.org/web/*/";
    for (const Case& c : {
             Case{"https://example.com/a?b=1#c", prefix + "https://example.com/a?b=1#c"},
             Case{"  http://example.com/\n", prefix + "http://example.com/"},
             Case{"HTTPS://Example.com/%7Euser", prefix + "HTTPS://Example.com/%7Euser"},
             Case{"ftp://example.com/file", std::nullopt},
             Case{"example.com/a", std::nullopt},
             Case{"/a/b", std::nullopt},
             Case{"https:///a", std::nullopt},
             Case{"https:a", std::nullopt},
             Case{"https://example.com/a b", std::nullopt},
             Case{"https://example.com/caf\u00e9", std::nullopt},
             Case{"", std::nullopt},
         }) {
        EXPECT_EQ(WaybackLinkBuilder::lookupURL(c.link), c.lookup) << c.link;
    }
}

}  // namespace
}  // namespace scourlet
