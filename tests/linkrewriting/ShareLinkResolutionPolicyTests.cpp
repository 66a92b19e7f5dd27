#include "ScourletCore/linkrewriting/ShareLinkResolutionPolicy.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/ResolvedShareLink.h"
#include "ScourletCore/linkrewriting/ShareLinkResolutionError.h"

namespace scourlet {
namespace {

using Policy = ShareLinkResolutionPolicy;
using Service = ShareLinkService;

TEST(ShareLinkResolutionPolicyTest, HttpsComponentsAcceptsOnlyPlainHttpsAddresses) {
    struct Case {
        std::string link;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"https://www.instagram.com/share/AbC", true},
        {"HTTPS://a.co/d/x", true},
        {"https://a.co", true},
        {"http://www.instagram.com/share/AbC", false},
        {"ftp://a.co/d/x", false},
        {"//a.co/d/x", false},
        {"https:/d/x", false},  // no host
        {"https://user@a.co/d/x", false},
        {"https://@a.co/d/x", false},  // an empty user name is still one
        {"https://user:pw@a.co/d/x", false},
        {"https://a.co:443/d/x", false},
        {"https://a.co:/d/x", false},
        {"https://a.co/d/x y", false},
        {" https://a.co/d/x", false},
        {"https://a.co/d/x\n", false},
        {"https://a.co/d/x\t", false},
        {"https://a.co/d/x\u00a0", false},  // no-break space
        {"https://a.co/d/x\u3000", false},  // ideographic space
        {"https://a.co\\d\\x", false},
        {"https://a.co/d/x?q=\\", false},
        {"https://a.co/d/<x>", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Policy::httpsComponents(c.link).has_value(), c.accepted) << c.link;
    }
    EXPECT_EQ(Policy::httpsComponents("https://a.co/d/x?y#z")->string(), "https://a.co/d/x?y#z");
}

TEST(ShareLinkResolutionPolicyTest, ServiceRecognisesEachShareLinkShape) {
    const std::string id64(64, 'a');
    struct Case {
        std::string link;
        std::optional<Service> service;
    };
    const std::vector<Case> cases = {
        // Amazon short links: exactly /d/ and an identifier, nothing after it.
        {"https://a.co/d/Abc_-9", Service::amazon},
        {"HTTPS://A.CO/d/abc", Service::amazon},
        {"https://a.co/D/abc", std::nullopt},
        {"https://a.co/d/" + id64, Service::amazon},
        {"https://a.co/d/", std::nullopt},
        {"https://a.co/d/" + id64 + "b", std::nullopt},
        {"https://a.co/d/Abc?x=1", std::nullopt},
        {"https://a.co/d/Abc?", std::nullopt},
        {"https://a.co/d/Abc#f", std::nullopt},
        {"https://a.co/d/Abc/", std::nullopt},
        {"https://a.co/d/A.c", std::nullopt},
        {"https://a.co/d/A%41", std::nullopt},
        {"https://a.co/xyz", std::nullopt},
        {"https://a.co/share/AbC", std::nullopt},  // the short-link host is Amazon or nothing
        {"https://www.a.co/d/Abc", std::nullopt},
        {"http://a.co/d/Abc", std::nullopt},
        // Instagram and Threads share links.
        {"https://www.instagram.com/share/AbC", Service::instagram},
        {"https://instagram.com/share/AbC/", Service::instagram},
        {"https://INSTAGRAM.com/share/AbC?igsh=1#top", Service::instagram},
        {"https://www.threads.net/share/AbC/", Service::threads},
        {"https://threads.com/share/AbC", Service::threads},
        {"https://www.instagram.com/share", std::nullopt},
        {"https://www.instagram.com/share/a/b", std::nullopt},
        {"https://www.instagram.com/p/AbC", std::nullopt},
        {"https://www.www.instagram.com/share/AbC", std::nullopt},
        {"https://m.instagram.com/share/AbC", std::nullopt},
        {"https://instagram.com.evil.test/share/AbC", std::nullopt},
        {"http://www.instagram.com/share/AbC", std::nullopt},
        {"https://me@www.instagram.com/share/AbC", std::nullopt},
        {"https://www.instagram.com:443/share/AbC", std::nullopt},
        {"https://www.instagram.com/share/A bC", std::nullopt},
        {"https://www.instagram.com/share/AbC\\", std::nullopt},
        {"https://www.threads.org/share/AbC", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Policy::service(c.link), c.service) << c.link;
    }
}

// Every link on the short-link host waits for the network, even shapes that
// have no service; other links only when they have one.
TEST(ShareLinkResolutionPolicyTest, NeedsResolution) {
    struct Case {
        std::string link;
        bool needed;
    };
    const std::vector<Case> cases = {
        {"https://a.co/xyz", true},
        {"https://a.co", true},
        {"https://A.Co?x=1", true},
        {"https://a.co#f", true},
        {"https://a.co/d/Abc?x=1", true},
        {"https://a.co/d/Abc", true},
        {"https://a.com/xyz", false},
        {"https://a.co.evil.test/d/Abc", false},
        {"https://a.co:8443/xyz", false},
        {"https://a.co/x y", false},
        {"http://a.co/d/Abc", false},
        {"https://www.instagram.com/share/AbC", true},
        {"https://www.threads.net/share/AbC", true},
        {"https://www.instagram.com/p/AbC", false},
        {"https://example.com/share/AbC", false},
        {"not a link", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Policy::needsResolution(c.link), c.needed) << c.link;
    }
}

TEST(ShareLinkResolutionPolicyTest, ValidatedCanonicalURLAcceptsOnlyTheServicesPostShapes) {
    const std::string instagram = "https://www.instagram.com/share/AbC";
    const std::string threads = "https://www.threads.net/share/AbC/";
    const std::string amazon = "https://a.co/d/Abc";
    struct Case {
        std::string input;
        std::string candidate;
        std::optional<std::string> canonical;
    };
    const std::vector<Case> cases = {
        {instagram, "https://www.instagram.com/reel/XYZ/?igsh=1",
         "https://www.instagram.com/reel/XYZ/?igsh=1"},
        {instagram, "https://instagram.com/p/XYZ#c", "https://instagram.com/p/XYZ#c"},
        {instagram, "https://www.instagram.com/tv/XYZ/extra",
         "https://www.instagram.com/tv/XYZ/extra"},
        {instagram, "https://www.instagram.com/stories/x", std::nullopt},
        {instagram, "https://www.instagram.com/reel/", std::nullopt},
        {instagram, "https://www.threads.net/@a/post/XYZ", std::nullopt},
        {instagram, "http://www.instagram.com/p/XYZ", std::nullopt},
        {instagram, "https://www.instagram.com:443/p/XYZ", std::nullopt},
        {threads, "https://www.threads.net/@NAME/post/ABC",
         "https://www.threads.net/@NAME/post/ABC"},
        {threads, "https://threads.com/@NAME/post/ABC?x=1",
         "https://threads.com/@NAME/post/ABC?x=1"},
        {threads, "https://www.threads.net/NAME/post/ABC", std::nullopt},
        {threads, "https://www.threads.net/@NAME/posts/ABC", std::nullopt},
        {threads, "https://www.threads.net/@NAME/post", std::nullopt},
        {threads, "https://www.instagram.com/p/ABC", std::nullopt},
        {amazon, "https://www.amazon.com/dp/B0ABCDEFGH?ref=x",
         "https://www.amazon.com/dp/B0ABCDEFGH"},
        {amazon, "https://WWW.AMAZON.COM/dp/B0ABCDEFGH", "https://www.amazon.com/dp/B0ABCDEFGH"},
        {amazon, "https://www.amazon.com/dp/b0abcdefgh", std::nullopt},
        {amazon, "https://amazon.com/dp/B0ABCDEFGH", std::nullopt},
        {amazon, "https://www.amazon.com/Some-Title/dp/B0ABCDEFGH", std::nullopt},
        {amazon, "https://www.amazon.com/dp/B0ABCDEFGH/", std::nullopt},
        {amazon, "https://www.amazon.com/dp/B0ABCDEFG", std::nullopt},
        {amazon, "https://www.amazon.com/dp/B0ABCDEFGH#reviews", std::nullopt},
        {amazon, "https://www.amazon.co.uk/dp/B0ABCDEFGH", std::nullopt},
        // The input must itself be a share link.
        {"https://a.co/xyz", "https://www.amazon.com/dp/B0ABCDEFGH", std::nullopt},
        {"https://www.instagram.com/p/AbC", "https://www.instagram.com/p/AbC", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Policy::validatedCanonicalURL(c.input, c.candidate), c.canonical)
            << c.input << " -> " << c.candidate;
    }
}

TEST(ShareLinkResolutionPolicyTest, AllowedRedirectHost) {
    struct Case {
        std::optional<std::string> host;
        Service service;
        bool allowed;
    };
    const std::vector<Case> cases = {
        {"www.instagram.com", Service::instagram, true},
        {"Instagram.COM", Service::instagram, true},
        {"l.instagram.com", Service::instagram, false},
        {"www.threads.net", Service::instagram, false},
        {"", Service::instagram, false},
        {std::nullopt, Service::instagram, false},
        {"www.threads.net", Service::threads, true},
        {"threads.com", Service::threads, true},
        {"www.instagram.com", Service::threads, false},
        {"www.amazon.com", Service::amazon, true},
        {"WWW.Amazon.com", Service::amazon, true},
        {"amazon.com", Service::amazon, false},
        {"smile.amazon.com", Service::amazon, false},
        {"a.co", Service::amazon, false},
        {std::nullopt, Service::amazon, false},
    };
    for (const auto& c : cases) {
        const auto host = c.host ? std::optional<std::string_view>(*c.host) : std::nullopt;
        EXPECT_EQ(Policy::allowedRedirectHost(host, c.service), c.allowed)
            << c.host.value_or("(none)") << " for " << rawValue(c.service);
    }
}

TEST(ShareLinkServiceTest, RawValuesAndJson) {
    EXPECT_EQ(rawValue(Service::instagram), "instagram");
    EXPECT_EQ(rawValue(Service::threads), "threads");
    EXPECT_EQ(rawValue(Service::amazon), "amazon");
    for (const Service service : allCases<ShareLinkService>()) {
        EXPECT_EQ(enumFromRawValue<ShareLinkService>(rawValue(service)), service);
        EXPECT_EQ(JsonValue<Service>::decode(toJson(service), "service"), service);
    }
    EXPECT_EQ(enumFromRawValue<ShareLinkService>("Amazon"), std::nullopt);
    EXPECT_EQ(enumFromRawValue<ShareLinkService>(""), std::nullopt);
    EXPECT_THROW(JsonValue<Service>::decode(Json("tiktok"), "service"), DecodingException);
    EXPECT_THROW(JsonValue<Service>::decode(Json(1), "service"), DecodingException);
}

TEST(ShareLinkResolutionErrorTest, DescriptionsAreTheUsersMessages) {
    EXPECT_EQ(errorDescription(ShareLinkResolutionError::unsupported),
              "This is not a supported share link.");
    EXPECT_EQ(errorDescription(ShareLinkResolutionError::unsafeRedirect),
              "The link tried to leave the expected service, so Scourlet stopped.");
    EXPECT_EQ(errorDescription(ShareLinkResolutionError::noCanonicalDestination),
              "The service did not return a canonical post link.");
    EXPECT_EQ(errorDescription(ShareLinkResolutionError::requestFailed),
              "The share link could not be resolved. The current locally processed link was "
              "kept.");
}

}  // namespace
}  // namespace scourlet
