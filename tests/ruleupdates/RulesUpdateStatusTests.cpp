#include "ScourletCore/ruleupdates/RulesUpdateStatus.h"

#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/SecondsTimeText.h"

namespace scourlet {
namespace {

using std::chrono::seconds;
using TimePoint = std::chrono::system_clock::time_point;
using Kind = RulesUpdateStatus::Kind;

RuleUpdateManifest manifestAt(std::string version) {
    RuleUpdateManifest manifest;
    manifest.product = "Scourlet";
    manifest.kind = "rules";
    manifest.schemaVersion = 1;
    manifest.currentVersion = std::move(version);
    return manifest;
}

TEST(RulesUpdateStatusTest, BusyAndDisplayTexts) {
    struct Case {
        RulesUpdateStatus status;
        bool busy;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {RulesUpdateStatus::idle(), false, std::nullopt},
        // One horizontal ellipsis character, not three full stops.
        {RulesUpdateStatus::checkingManifest(), true, "Checking\xE2\x80\xA6"},
        {RulesUpdateStatus::downloading(), true, "Downloading\xE2\x80\xA6"},
        {RulesUpdateStatus::validating(), true, "Validating\xE2\x80\xA6"},
        {RulesUpdateStatus::installing(), true, "Installing\xE2\x80\xA6"},
        // The offered version, not the installed one.
        {RulesUpdateStatus::updateAvailable(manifestAt("2026.03.01.2")), false,
         "Rules update available: 2026.03.01.2"},
        {RulesUpdateStatus::upToDate("2026.03.01.1"), false, "Rules are up to date: 2026.03.01.1"},
        {RulesUpdateStatus::failed("Download failed: timed out"), false,
         "Download failed: timed out"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status.isBusy(), c.busy) << c.text.value_or("idle");
        EXPECT_EQ(c.status.displayText(testing::secondsTimeText), c.text);
    }
    EXPECT_FALSE(RulesUpdateStatus::installed("1", TimePoint{}).isBusy());
}

// The install time is written by the interface's formatter (the user's locale
// lives there), not by a fixed pattern of the core.
TEST(RulesUpdateStatusTest, InstalledTextWritesTheTimeWithTheGivenFormatter) {
    const TimePoint when{seconds(1772352300)};
    const auto status = RulesUpdateStatus::installed("2026.03.01.1", when);
    EXPECT_EQ(status.displayText(testing::secondsTimeText),
              "Installed rules 2026.03.01.1 at @1772352300");

    EXPECT_EQ(RulesUpdateStatus::success(when), RulesUpdateStatus::installed("latest", when));
}

TEST(RulesUpdateStatusTest, EqualityComparesKindAndPayload) {
    EXPECT_EQ(RulesUpdateStatus(), RulesUpdateStatus::idle());
    EXPECT_EQ(RulesUpdateStatus::upToDate("1"), RulesUpdateStatus::upToDate("1"));
    EXPECT_NE(RulesUpdateStatus::upToDate("1"), RulesUpdateStatus::upToDate("2"));
    EXPECT_NE(RulesUpdateStatus::upToDate("1"), RulesUpdateStatus::failed("1"));
    EXPECT_NE(RulesUpdateStatus::installed("1", TimePoint{seconds(1)}),
              RulesUpdateStatus::installed("1", TimePoint{seconds(2)}));
    EXPECT_NE(RulesUpdateStatus::updateAvailable(manifestAt("2")),
              RulesUpdateStatus::updateAvailable(manifestAt("3")));
    EXPECT_EQ(RulesUpdateStatus::updateAvailable(manifestAt("2")).manifest()->currentVersion, "2");
}

}  // namespace
}  // namespace scourlet
