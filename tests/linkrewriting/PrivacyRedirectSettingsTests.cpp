#include "ScourletCore/linkrewriting/PrivacyRedirectSettings.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/linkrewriting/PrivacyRedirectResult.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"

namespace scourlet {
namespace {

using Settings = PrivacyRedirectSettings;

TEST(XRedirectChoiceTest, RawValuesAndExactMatching) {
    ASSERT_EQ(allCases<XRedirectChoice>().size(), 3u);
    EXPECT_EQ(rawValue(allCases<XRedirectChoice>()[0]), "off");
    EXPECT_EQ(rawValue(allCases<XRedirectChoice>()[1]), "nitter");
    EXPECT_EQ(rawValue(allCases<XRedirectChoice>()[2]), "twitterViewer");
    EXPECT_EQ(enumFromRawValue<XRedirectChoice>("twitterViewer"), XRedirectChoice::twitterViewer);
    for (const char* raw : {"Nitter", "twitterviewer", "OFF", " off", ""}) {
        EXPECT_EQ(enumFromRawValue<XRedirectChoice>(raw), std::nullopt) << raw;
    }
}

TEST(PrivacyRedirectSettingsTest, EmptyStoresGiveTheDisabledSettings) {
    InMemoryUserDefaults defaults;
    InMemoryUserDefaults shared;
    const Settings settings(defaults, &shared);
    EXPECT_EQ(settings, Settings::disabled());
    EXPECT_EQ(settings.xRedirectChoice, XRedirectChoice::off);
    EXPECT_EQ(settings.nitterServiceID, "");
    EXPECT_FALSE(settings.nitterAutomatic);
    EXPECT_FALSE(settings.redditRedirectEnabled);
    EXPECT_EQ(settings.redditFrontendBaseURL, "https://safereddit.com");
    EXPECT_FALSE(settings.nitterEnabled());
    EXPECT_FALSE(settings.twitterViewerEnabled());
}

TEST(PrivacyRedirectSettingsTest, StoredChoiceWinsOverTheLegacyFlags) {
    struct Case {
        std::optional<std::string> stored;
        bool legacyNitter;  // in the shared suite
        bool legacyViewer;  // in the standard store
        XRedirectChoice expected;
    };
    const Case cases[] = {
        {std::nullopt, true, true, XRedirectChoice::nitter},
        {std::nullopt, false, true, XRedirectChoice::twitterViewer},
        {std::nullopt, false, false, XRedirectChoice::off},
        {"off", true, true, XRedirectChoice::off},
        {"twitterViewer", true, false, XRedirectChoice::twitterViewer},
        {"Nitter", false, false, XRedirectChoice::off},
        {"bogus", true, false, XRedirectChoice::nitter},
    };
    for (const Case& c : cases) {
        InMemoryUserDefaults defaults;
        InMemoryUserDefaults shared;
        if (c.stored) {
            defaults.setString(Settings::xRedirectChoiceKey, *c.stored);
        }
        shared.setBool(Settings::nitterEnabledKey, c.legacyNitter);
        defaults.setBool(Settings::twitterViewerEnabledKey, c.legacyViewer);
        // The legacy flag in the wrong store is not consulted.
        defaults.setBool(Settings::nitterEnabledKey, true);
        EXPECT_EQ(Settings(defaults, &shared).xRedirectChoice, c.expected)
            << c.stored.value_or("(none)") << " " << c.legacyNitter << c.legacyViewer;
    }
}

TEST(PrivacyRedirectSettingsTest, InstanceSelectionComesFromTheSharedSuite) {
    InMemoryUserDefaults defaults;
    InMemoryUserDefaults shared;
    defaults.setString(Settings::nitterServiceIDKey, "from-defaults");
    defaults.setBool(Settings::nitterAutomaticKey, true);
    shared.setString(Settings::nitterServiceIDKey, "from-shared");
    defaults.setBool(Settings::redditRedirectEnabledKey, true);
    defaults.setString(Settings::redditFrontendBaseURLKey, "   ");
    defaults.setBool(Settings::xRedirectEnabledKey, true);

    const Settings withShared(defaults, &shared);
    EXPECT_EQ(withShared.nitterServiceID, "from-shared");
    EXPECT_FALSE(withShared.nitterAutomatic);
    EXPECT_TRUE(withShared.redditRedirectEnabled);
    EXPECT_EQ(withShared.redditFrontendBaseURL, "   ");
    EXPECT_FALSE(withShared.xRedirectEnabled);

    // Without a shared suite the standard store serves as both.
    const Settings alone(defaults, nullptr);
    EXPECT_EQ(alone.nitterServiceID, "from-defaults");
    EXPECT_TRUE(alone.nitterAutomatic);
    EXPECT_EQ(alone.xRedirectChoice, XRedirectChoice::off);
    defaults.setBool(Settings::nitterEnabledKey, true);
    EXPECT_EQ(Settings(defaults, nullptr).xRedirectChoice, XRedirectChoice::nitter);

    defaults.setString(Settings::redditFrontendBaseURLKey, "");
    EXPECT_EQ(Settings(defaults, nullptr).redditFrontendBaseURL, "");
}

TEST(PrivacyRedirectSettingsTest, MemberwiseConstructorDerivesAMissingChoice) {
    auto make = [](bool viewer, bool nitter, std::optional<XRedirectChoice> choice) {
        return Settings(true, viewer, true, " base ", nitter, "id", true, choice);
    };
    EXPECT_EQ(make(true, true, std::nullopt).xRedirectChoice, XRedirectChoice::nitter);
    EXPECT_EQ(make(true, false, std::nullopt).xRedirectChoice, XRedirectChoice::twitterViewer);
    EXPECT_EQ(make(false, false, std::nullopt).xRedirectChoice, XRedirectChoice::off);
    EXPECT_EQ(make(true, true, XRedirectChoice::off).xRedirectChoice, XRedirectChoice::off);
    const Settings s = make(false, false, XRedirectChoice::twitterViewer);
    EXPECT_FALSE(s.xRedirectEnabled);
    EXPECT_EQ(s.redditFrontendBaseURL, " base ");
    EXPECT_EQ(s.nitterServiceID, "id");
    EXPECT_TRUE(s.nitterAutomatic);
    EXPECT_TRUE(s.redditRedirectEnabled);
}

TEST(PrivacyRedirectSettingsTest, EncodesFiveKeysInOrderAndRoundTrips) {
    const Settings disabled = Settings::disabled();
    EXPECT_EQ(dumpJson(disabled.toJson()),
              R"({"xRedirectChoice":"off","nitterServiceID":"","nitterAutomatic":false,)"
              R"("redditRedirectEnabled":false,"redditFrontendBaseURL":"https://safereddit.com"})");
    Settings changed = disabled;
    changed.xRedirectChoice = XRedirectChoice::nitter;
    changed.nitterServiceID = "alpha";
    changed.redditRedirectEnabled = true;
    changed.xRedirectEnabled = true;  // never written, so it does not survive
    for (const Settings& original : {disabled, changed}) {
        auto decoded = decodeJsonValue(original.toJson(), Settings::fromJson);
        ASSERT_TRUE(decoded.ok());
        Settings expected = original;
        expected.xRedirectEnabled = false;
        EXPECT_EQ(*decoded, expected);
    }
}

TEST(PrivacyRedirectSettingsTest, DecodingDerivesTheChoiceAndChecksTypes) {
    struct Case {
        const char* json;
        std::optional<XRedirectChoice> expected;  // nothing: decoding fails
    };
    const Case cases[] = {
        {R"({})", XRedirectChoice::off},
        {R"({"nitterEnabled":true})", XRedirectChoice::nitter},
        {R"({"twitterViewerEnabled":true})", XRedirectChoice::twitterViewer},
        {R"({"xRedirectChoice":"off","nitterEnabled":true})", XRedirectChoice::off},
        {R"({"xRedirectEnabled":"ignored, never read"})", XRedirectChoice::off},
        {R"({"xRedirectChoice":"Nitter"})", std::nullopt},
        {R"({"xRedirectChoice":1})", std::nullopt},
        {R"({"nitterEnabled":"yes"})", std::nullopt},
        {R"({"redditFrontendBaseURL":false})", std::nullopt},
        {R"([])", std::nullopt},
    };
    for (const Case& c : cases) {
        auto decoded = decodeJson(c.json, Settings::fromJson);
        EXPECT_EQ(decoded.ok(), c.expected.has_value()) << c.json;
        if (decoded.ok() && c.expected) {
            EXPECT_EQ(decoded->xRedirectChoice, *c.expected) << c.json;
            EXPECT_FALSE(decoded->xRedirectEnabled);
        }
    }
    auto empty = decodeJson("{}", Settings::fromJson);
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(*empty, Settings::disabled());
}

TEST(PrivacyRedirectSettingsTest, RetiredSwitchTakesPartInEquality) {
    Settings a = Settings::disabled();
    Settings b = Settings::disabled();
    b.xRedirectEnabled = true;
    EXPECT_NE(a, b);
}

TEST(PrivacyRedirectResultTest, InfoCarriesServiceAndHosts) {
    const PrivacyRedirectResult result{"https://x.com/a", "https://n.example/a",
                                       PrivacyRedirectService::xTwitter, "x.com", "n.example"};
    EXPECT_EQ(result.info(),
              (PrivacyRedirectInfo{PrivacyRedirectService::xTwitter, "x.com", "n.example"}));
}

}  // namespace
}  // namespace scourlet
