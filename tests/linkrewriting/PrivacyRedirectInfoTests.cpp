#include "ScourletCore/linkrewriting/PrivacyRedirectInfo.h"

#include <optional>
#include <string_view>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

Result<PrivacyRedirectInfo, DecodingError> decode(const Json& json) {
    return decodeJsonValue(json, [](const Json& j) { return PrivacyRedirectInfo::fromJson(j); });
}

TEST(PrivacyRedirectServiceTest, RawValuesAndExactMatching) {
    ASSERT_EQ(allCases<PrivacyRedirectService>().size(), 2u);
    EXPECT_EQ(allCases<PrivacyRedirectService>()[0], PrivacyRedirectService::xTwitter);
    EXPECT_EQ(allCases<PrivacyRedirectService>()[1], PrivacyRedirectService::reddit);
    EXPECT_EQ(rawValue(PrivacyRedirectService::xTwitter), "xTwitter");
    EXPECT_EQ(rawValue(PrivacyRedirectService::reddit), "reddit");
    EXPECT_EQ(enumFromRawValue<PrivacyRedirectService>("xTwitter"),
              PrivacyRedirectService::xTwitter);
    EXPECT_EQ(enumFromRawValue<PrivacyRedirectService>("reddit"), PrivacyRedirectService::reddit);
    for (std::string_view raw : {"XTwitter", "twitter", "Reddit", "x", ""}) {
        EXPECT_EQ(enumFromRawValue<PrivacyRedirectService>(raw), std::nullopt) << raw;
    }
}

TEST(PrivacyRedirectInfoTest, RoundTripsWithThreeKeys) {
    const PrivacyRedirectInfo info{PrivacyRedirectService::reddit, "www.reddit.com",
                                   "redlib.example"};
    const Json json = info.toJson();
    EXPECT_EQ(json, Json::parse(R"({"service": "reddit", "originalHost": "www.reddit.com",
                                    "frontendHost": "redlib.example"})"));
    auto decoded = decode(json);
    ASSERT_TRUE(decoded.ok()) << decoded.error().message;
    EXPECT_EQ(*decoded, info);
}

TEST(PrivacyRedirectInfoTest, EveryKeyIsRequiredAndTyped) {
    const Json valid = Json::parse(
        R"({"service": "xTwitter", "originalHost": "x.com", "frontendHost": "n.example"})");
    for (const char* key : {"service", "originalHost", "frontendHost"}) {
        Json missing = valid;
        missing.erase(key);
        EXPECT_FALSE(decode(missing).ok()) << "missing " << key;
        Json null = valid;
        null[key] = nullptr;
        EXPECT_FALSE(decode(null).ok()) << "null " << key;
        Json number = valid;
        number[key] = 1;
        EXPECT_FALSE(decode(number).ok()) << "number " << key;
    }
    Json otherService = valid;
    otherService["service"] = "mastodon";
    EXPECT_FALSE(decode(otherService).ok());
    EXPECT_FALSE(decode(Json::array()).ok());
}

TEST(PrivacyRedirectInfoTest, EqualityComparesEveryField) {
    const PrivacyRedirectInfo base{PrivacyRedirectService::xTwitter, "x.com", "n.example"};
    EXPECT_EQ(base, (PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com", "n.example"}));
    EXPECT_NE(base, (PrivacyRedirectInfo{PrivacyRedirectService::reddit, "x.com", "n.example"}));
    EXPECT_NE(base, (PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "X.com", "n.example"}));
    EXPECT_NE(base, (PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com", "m.example"}));
}

}  // namespace
}  // namespace scourlet
