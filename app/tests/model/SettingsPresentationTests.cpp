#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/platform/InMemoryUserDefaults.h"
#include "app/settings/CommandRiskPresentation.h"
#include "app/settings/DisplayedText.h"
#include "app/settings/LastCleanDetail.h"
#include "app/settings/SettingsPane.h"
#include "app/settings/StatsPresentation.h"
#include "support/ManualClock.h"

namespace scourlet::app {
namespace {

TEST(SettingsPaneTest, StoredValueChoosesThePaneExactly) {
    struct Case {
        std::optional<std::string> stored;
        SettingsPane pane;
    };
    const Case cases[] = {
        {std::nullopt, SettingsPane::status},
        {"Status", SettingsPane::status},
        {"status", SettingsPane::status},
        {"Privacy Redirects", SettingsPane::privacyRedirects},
        {"privacy redirects", SettingsPane::status},
        {"Stats", SettingsPane::stats},
        {"Exceptions", SettingsPane::exceptions},
        {"Advanced", SettingsPane::advanced},
        {" Advanced", SettingsPane::status},
        {"", SettingsPane::status},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(paneFromStored(c.stored), c.pane) << c.stored.value_or("<none>");
    }
    EXPECT_EQ(tabWidth(SettingsPane::privacyRedirects), 160);
    EXPECT_EQ(tabWidth(SettingsPane::rules), 96);
    EXPECT_EQ(tabWidth(SettingsPane::advanced), 118);
}

TEST(DisplayedTextTest, KeepsLinesAndShowsWhatIsHidden) {
    struct Case {
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"https://example.com/?a=1&b=2", "https://example.com/?a=1&b=2"},
        {"<b>x</b>", "<b>x</b>"},
        {"line one\nline two\tend", "line one\nline two\tend"},
        {"rm -rf /\r#", "rm -rf /\u27E8U+000D\u27E9#"},
        {"echo \xE2\x80\xAE" "cba", "echo \u27E8U+202E\u27E9cba"},
        {"a\xE2\x81\xA6" "b\xE2\x81\xA9", "a\u27E8U+2066\u27E9b\u27E8U+2069\u27E9"},
        {"zero\xE2\x80\x8Bwidth", "zero\u27E8U+200B\u27E9width"},
        {"\xEF\xBB\xBF" "bom", "\u27E8U+FEFF\u27E9bom"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(displayedText(c.text), c.shown) << c.text;
    }
}

CommandRiskFinding finding(std::string id, std::string matched) {
    CommandRiskFinding f;
    f.id = std::move(id);
    f.summary = "Summary of " + f.id;
    f.explanation = "Why " + f.id;
    f.matchedText = std::move(matched);
    return f;
}

TEST(CommandRiskPresentationTest, SeverityFindingsAndPlainText) {
    struct Case {
        CommandRiskSeverity severity;
        const char* title;
        const char* symbol;
        CommandRiskPresentation::Tint tint;
    };
    const Case cases[] = {
        {CommandRiskSeverity::danger, "Danger", "exclamationmark.triangle.fill",
         CommandRiskPresentation::Tint::red},
        {CommandRiskSeverity::warning, "Warning", "exclamationmark.triangle",
         CommandRiskPresentation::Tint::orange},
        {CommandRiskSeverity::info, "Warning", "exclamationmark.triangle",
         CommandRiskPresentation::Tint::orange},
    };
    for (const Case& c : cases) {
        CommandRiskResult result;
        result.severity = c.severity;
        result.rulesVersion = "2026.12.1";
        const auto shown = CommandRiskPresentation::from(result);
        EXPECT_EQ(shown.severityTitle, c.title);
        EXPECT_EQ(shown.symbolName, c.symbol);
        EXPECT_EQ(shown.tint, c.tint);
        EXPECT_EQ(shown.rulesCaption, "Rules 2026.12.1");
        EXPECT_TRUE(shown.findings.empty());
    }

    CommandRiskResult result;
    result.command = "curl x | sh\n# \xE2\x80\xAE";
    // Order is the result's, not by severity; an empty match has no line.
    result.findings = {finding("b-low", ""), finding("a-high", "| sh")};
    const auto shown = CommandRiskPresentation::from(result);
    EXPECT_EQ(shown.command, "curl x | sh\n# \u27E8U+202E\u27E9");
    ASSERT_EQ(shown.findings.size(), 2u);
    EXPECT_EQ(shown.findings[0].id, "b-low");
    EXPECT_FALSE(shown.findings[0].matchedText.has_value());
    EXPECT_EQ(shown.findings[1].matchedText, "| sh");
}

TEST(LastCleanDetailTest, WhatIsShownForAClean) {
    CleanResult plain{.originalURL = "https://example.com/a", .cleanedURL = "https://example.com/a"};
    const auto simple = LastCleanDetail::from(plain, false);
    EXPECT_EQ(simple.cleanedLabel, "Cleaned");
    EXPECT_EQ(simple.copyButtonTitle, "Copy Clean Link");
    EXPECT_FALSE(simple.removedParameters);
    EXPECT_FALSE(simple.privacyRewrite);
    EXPECT_TRUE(simple.impact.has_value());
    EXPECT_TRUE(simple.waybackLink.has_value());

    CleanResult tracked{.originalURL = "https://shop.example/p?utm_source=x&gclid=1",
                        .cleanedURL = "https://shop.example/p",
                        .paramsRemoved = 2,
                        .removedQueryParameters = {"utm_source", "gclid"},
                        .matchedCategories = {RuleCategoryType::analytics, RuleCategoryType::advertising}};
    tracked.privacyRedirect = PrivacyRedirectInfo{};
    tracked.privacyRedirect->originalHost = "x.com";
    tracked.privacyRedirect->frontendHost = "nitter.example.org";
    const auto full = LastCleanDetail::from(tracked, false);
    EXPECT_EQ(full.removedParameters, "utm_source, gclid");
    EXPECT_EQ(full.privacyRewrite, "x.com \u2192 nitter.example.org");
    ASSERT_TRUE(full.impact.has_value());
    EXPECT_FALSE(full.impact->categories.empty());
    EXPECT_EQ(full.impact->confidence.rfind("Confidence: ", 0), 0u);

    const auto pending = LastCleanDetail::from(tracked, true);
    EXPECT_EQ(pending.cleanedLabel, "Current URL (not resolved)");
    EXPECT_EQ(pending.copyButtonTitle, "Copy Current Link");
    EXPECT_FALSE(pending.impact.has_value());
}

TEST(LastCleanDetailTest, WaybackLinkOnlyForWebLinks) {
    struct Case {
        const char* cleaned;
        bool wayback;
    };
    const Case cases[] = {
        {"  https://example.com/a \n", true},
        {"HTTPS://example.com/a", true},
        {"mailto:someone@example.com", false},
        {"ftp://example.com/file", false},
    };
    for (const Case& c : cases) {
        CleanResult result{.originalURL = c.cleaned, .cleanedURL = c.cleaned};
        const auto detail = LastCleanDetail::from(result, false);
        EXPECT_EQ(detail.waybackLink.has_value(), c.wayback) << c.cleaned;
        // The copy action copies the link exactly as it is.
        EXPECT_EQ(detail.copyText, c.cleaned);
    }
}

TEST(StatsPresentationTest, EveryCategoryAndCardInOrder) {
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    auto clock = std::make_shared<testing::ManualClock>();
    StatsTracker tracker(defaults, clock);
    const auto empty = StatsPresentation::from(tracker.snapshot(StatsWindow::today), StatsWindow::today);
    EXPECT_EQ(empty.cleanedLabel, "URLs cleaned today");
    EXPECT_EQ(empty.warningsLabel, "Command warnings today");
    ASSERT_EQ(empty.categories.size(), allCases<RuleCategoryType>().size());
    for (const auto& row : empty.categories) {
        EXPECT_EQ(row.countText, "0 params stripped") << row.name;
    }
    ASSERT_EQ(empty.impact.size(), 5u);
    EXPECT_EQ(empty.impact.front().first, "Negligible");
    EXPECT_EQ(empty.impact.back().first, "Very High");
    ASSERT_EQ(empty.confidence.size(), 3u);
    EXPECT_EQ(empty.confidence.front().first, "High");
    EXPECT_EQ(empty.confidence.back().first, "Low");
    EXPECT_EQ(empty.commandGuard.back().first, "Neutralized");

    struct Case {
        StatsWindow window;
        const char* cleaned;
        const char* warnings;
    };
    const Case cases[] = {
        {StatsWindow::sevenDays, "URLs cleaned in the last 7 days", "Command warnings in the last 7 days"},
        {StatsWindow::thirtyDays, "URLs cleaned in the last 30 days", "Command warnings in the last 30 days"},
        {StatsWindow::allTime, "Total URLs cleaned", "Total command warnings"},
    };
    for (const Case& c : cases) {
        const auto shown = StatsPresentation::from(StatsSnapshot{}, c.window);
        EXPECT_EQ(shown.cleanedLabel, c.cleaned);
        EXPECT_EQ(shown.warningsLabel, c.warnings);
    }

    StatsSnapshot counted;
    counted.totalCleaned = 3;
    counted.categoryStats[RuleCategoryType::analytics] = 7;
    counted.commandSeverityStats[CommandRiskSeverity::danger] = 2;
    counted.neutralizedCommands = 1;
    const auto shown = StatsPresentation::from(counted, StatsWindow::allTime);
    EXPECT_EQ(shown.totalCleaned, 3);
    EXPECT_EQ(shown.categories.front().countText, "7 params stripped");
    EXPECT_EQ(shown.commandGuard[0], (std::pair<std::string, std::int64_t>{"Danger", 2}));
    EXPECT_EQ(shown.commandGuard[3], (std::pair<std::string, std::int64_t>{"Neutralized", 1}));
}

}  // namespace
}  // namespace scourlet::app
