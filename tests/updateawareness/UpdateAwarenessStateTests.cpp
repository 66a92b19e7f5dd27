#include "ScourletCore/updateawareness/UpdateAwarenessState.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace scourlet {
namespace {

using Entry = UpdateAwarenessState::Entry;
constexpr double kNow = 1'800'000'000;
constexpr double kDay = 86400;

UpdateAwarenessState withEntry(UpdateClass cls, Entry entry) {
    UpdateAwarenessState state;
    state.entries[cls] = std::move(entry);
    return state;
}

// --- Queries -----------------------------------------------------------------------

TEST(UpdateAwarenessState, LabelsAndIndicators) {
    UpdateAwarenessState fresh;
    EXPECT_TRUE(fresh.automaticChecks);
    EXPECT_TRUE(fresh.available().empty());
    EXPECT_EQ(fresh.label(UpdateClass::rules), "Rules");
    EXPECT_EQ(fresh.accessibilityLabel(), "Settings");
    EXPECT_EQ(fresh.indicator(false, true), "enabled");
    EXPECT_EQ(fresh.indicator(false, false), "disabled");
    EXPECT_EQ(fresh.indicatorAccessibilityLabel(false, true), "Scourlet");
    EXPECT_EQ(fresh.indicatorAccessibilityLabel(false, false), "Scourlet, cleaning disabled");
    EXPECT_EQ(fresh.indicator(true, false), "warning");
    EXPECT_EQ(fresh.indicatorAccessibilityLabel(true, true), "Scourlet, Command Guard warning");

    UpdateAwarenessState one;
    one.entries[UpdateClass::rules] = Entry{.installedVersion = "2026.1.1.1"};  // nothing found
    one.entries[UpdateClass::app] = Entry{.availableVersion = "1.3", .availableBuild = 41};
    EXPECT_EQ(one.available(), std::vector{UpdateClass::app});
    EXPECT_EQ(one.label(UpdateClass::app), "Scourlet 1.3 (Build 41) available");
    EXPECT_EQ(one.label(UpdateClass::rules), "Rules");
    EXPECT_EQ(one.accessibilityLabel(), "Settings, 1 updates available");
    EXPECT_EQ(one.indicator(false, false), "update");
    EXPECT_EQ(one.indicatorAccessibilityLabel(false, false), "Scourlet, updates available");
    EXPECT_EQ(one.indicator(true, true), "warning");

    UpdateAwarenessState three;
    three.entries[UpdateClass::catalog] = Entry{.availableVersion = "12"};
    three.entries[UpdateClass::rules] = Entry{.availableVersion = "2026.3.7.1"};
    three.entries[UpdateClass::app] = Entry{.availableVersion = "2.0"};
    EXPECT_EQ(three.available(),
              (std::vector{UpdateClass::app, UpdateClass::rules, UpdateClass::catalog}));
    EXPECT_EQ(three.label(UpdateClass::catalog), "Privacy Services catalog 12 available");
    EXPECT_EQ(three.accessibilityLabel(), "Settings, 3 updates available");
}

// --- Changes -----------------------------------------------------------------------

TEST(UpdateAwarenessState, AutomaticCheckAtMostOnceADay) {
    struct Case {
        const char* name;
        std::optional<double> lastAttempt;
        double now;
        bool automaticChecks;
        bool mayStart;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : {
             Case{"never tried", std::nullopt, kNow, true, true},
             Case{"a moment short of a day", kNow - kDay + 1, kNow, true, false},
             Case{"exactly a day", kNow - kDay, kNow, true, true},
             Case{"an hour ahead", kNow + 3600, kNow, true, false},
             Case{"exactly a day ahead", kNow + kDay, kNow, true, false},
             Case{"more than a day ahead is stale", kNow + kDay + 1, kNow, true, true},
             Case{"two days ahead is stale", kNow + 2 * kDay, kNow, true, true},
             Case{"checks off", std::nullopt, kNow, false, false},
             Case{"negative now", std::nullopt, -1, true, false},
             Case{"now not a number", std::nullopt, std::nan(""), true, false},
             Case{"now infinite", std::nullopt, inf, true, false},
             Case{"now beyond the clock", std::nullopt, 1e300, true, false},
         }) {
        UpdateAwarenessState state;
        state.automaticChecks = c.automaticChecks;
        if (c.lastAttempt) {
            state.entries[UpdateClass::app] =
                Entry{.lastAttempt = c.lastAttempt, .installedVersion = "1.0"};
        }
        const UpdateAwarenessState before = state;
        EXPECT_EQ(state.beginAutomatic(UpdateClass::app, c.now), c.mayStart) << c.name;
        if (c.mayStart) {
            EXPECT_EQ(state.entries[UpdateClass::app].lastAttempt, c.now) << c.name;
            EXPECT_EQ(state.entries[UpdateClass::app].installedVersion,
                      c.lastAttempt ? std::optional<std::string>("1.0") : std::nullopt)
                << c.name;
        } else {
            EXPECT_EQ(state, before) << c.name;
        }
    }
}

TEST(UpdateAwarenessState, InstalledVersionDropsTheAvailableOneItCovers) {
    struct Case {
        const char* name;
        UpdateClass cls;
        std::string available;
        std::optional<std::int64_t> availableBuild;
        std::string installed;
        std::optional<std::int64_t> installedBuild;
        bool staysAvailable;
    };
    for (const Case& c : {
             Case{"newer app", UpdateClass::app, "1.3", 41, "1.2", 40, true},
             Case{"older app", UpdateClass::app, "1.2", 99, "1.3", 1, false},
             Case{"same app, greater build", UpdateClass::app, "1.3", 41, "1.3", 40, true},
             Case{"same app, same build", UpdateClass::app, "1.3", 40, "1.3", 40, false},
             Case{"same app, no builds", UpdateClass::app, "1.3", {}, "1.3.0", {}, false},
             Case{"same app, build against none", UpdateClass::app, "1.3", 1, "1.3", {}, true},
             Case{"same app, none against a build", UpdateClass::app, "1.3", {}, "1.3", 1, false},
             Case{"same rules", UpdateClass::rules, "2026.3.7.1", {}, "2026.3.7.1", {}, false},
             Case{"same rules, builds ignored", UpdateClass::rules, "5", 9, "5", 1, false},
             Case{"newer rules", UpdateClass::rules, "2026.3.8.1", {}, "2026.3.7.1", {}, true},
             Case{"same catalog", UpdateClass::catalog, "12", {}, "12", {}, false},
             Case{"available not a version", UpdateClass::catalog, "v12", {}, "13", {}, true},
         }) {
        UpdateAwarenessState state = withEntry(c.cls, Entry{.lastAttempt = kNow,
                                                            .availableVersion = c.available,
                                                            .availableBuild = c.availableBuild});
        state.reconcile(c.cls, c.installed, c.installedBuild);
        const Entry& entry = state.entries[c.cls];
        EXPECT_EQ(entry.installedVersion, c.installed) << c.name;
        EXPECT_EQ(entry.installedBuild, c.installedBuild) << c.name;
        EXPECT_EQ(entry.lastAttempt, kNow) << c.name;
        EXPECT_EQ(entry.availableVersion.has_value(), c.staysAvailable) << c.name;
        EXPECT_EQ(entry.availableBuild.has_value(), c.staysAvailable && c.availableBuild) << c.name;
    }

    // An installed version that is not a version changes nothing at all.
    UpdateAwarenessState state = withEntry(UpdateClass::app, Entry{.installedVersion = "1.0"});
    const UpdateAwarenessState before = state;
    state.reconcile(UpdateClass::app, "1.0a", 3);
    state.reconcile(UpdateClass::rules, "", std::nullopt);
    EXPECT_EQ(state, before);
}

TEST(UpdateAwarenessState, SuccessRecordsWhatWasFoundUnlessItIsAlreadyInstalled) {
    UpdateAwarenessState state =
        withEntry(UpdateClass::app,
                  Entry{.lastAttempt = kNow - 5, .installedVersion = "1.2", .installedBuild = 40});
    state.recordSuccess(UpdateClass::app, "1.3", 41, kNow);
    EXPECT_EQ(state.entries[UpdateClass::app], (Entry{.lastAttempt = kNow - 5,
                                                      .lastSuccess = kNow,
                                                      .availableVersion = "1.3",
                                                      .availableBuild = 41,
                                                      .installedVersion = "1.2",
                                                      .installedBuild = 40}));

    // A later check that finds only what is installed leaves nothing available.
    state.recordSuccess(UpdateClass::app, "1.2", 40, kNow + 10);
    EXPECT_EQ(state.entries[UpdateClass::app].lastSuccess, kNow + 10);
    EXPECT_FALSE(state.entries[UpdateClass::app].availableVersion);
    EXPECT_FALSE(state.entries[UpdateClass::app].availableBuild);

    // Rules: an equal version never counts as available; a success without
    // anything before it creates the entry.
    state.reconcile(UpdateClass::rules, "2026.3.7.1", std::nullopt);
    state.recordSuccess(UpdateClass::rules, "2026.3.7.1", std::nullopt, kNow);
    EXPECT_TRUE(state.available().empty());
    state.recordSuccess(UpdateClass::catalog, "12", std::nullopt, kNow);
    EXPECT_EQ(state.available(), std::vector{UpdateClass::catalog});

    const UpdateAwarenessState before = state;
    state.recordSuccess(UpdateClass::app, "1.4-beta", 50, kNow);
    state.recordSuccess(UpdateClass::app, "1.4", -1, kNow);
    state.recordSuccess(UpdateClass::app, "1.4", 50, std::nan(""));
    state.recordSuccess(UpdateClass::app, "1.4", 50, 1e300);
    EXPECT_EQ(state, before);
}

TEST(UpdateAwarenessState, ClearRuleChannelForgetsOnlyWhatWasFound) {
    UpdateAwarenessState state =
        withEntry(UpdateClass::rules, Entry{.lastAttempt = kNow,
                                            .lastSuccess = kNow,
                                            .availableVersion = "2026.3.8.1",
                                            .availableBuild = 2,
                                            .installedVersion = "2026.3.7.1",
                                            .installedBuild = 1});
    state.entries[UpdateClass::app] = Entry{.availableVersion = "9"};
    state.clearRuleChannel();
    EXPECT_EQ(state.entries[UpdateClass::rules],
              (Entry{.lastAttempt = kNow, .installedVersion = "2026.3.7.1", .installedBuild = 1}));
    EXPECT_EQ(state.entries[UpdateClass::app].availableVersion, "9");

    UpdateAwarenessState noRules = withEntry(UpdateClass::app, Entry{.lastAttempt = kNow});
    const UpdateAwarenessState before = noRules;
    noRules.clearRuleChannel();
    EXPECT_EQ(noRules, before);
}

// --- JSON --------------------------------------------------------------------------

TEST(UpdateAwarenessState, StoredFormAndRoundTrip) {
    UpdateAwarenessState state;
    state.automaticChecks = false;
    state.entries[UpdateClass::rules] =
        Entry{.lastSuccess = 1800000000.5, .installedVersion = "2026.3.7.1"};
    state.entries[UpdateClass::app] = Entry{.lastAttempt = 1800000000,
                                            .availableVersion = "1.3",
                                            .availableBuild = 41,
                                            .installedVersion = "1.2",
                                            .installedBuild = 40};
    state.entries[UpdateClass::catalog] = Entry{};
    EXPECT_EQ(state.encoded(),
              R"({"automaticChecks":false,"entries":["app",{"lastAttempt":1800000000.0,)"
              R"("availableVersion":"1.3","availableBuild":41,"installedVersion":"1.2",)"
              R"("installedBuild":40},"rules",{"lastSuccess":1800000000.5,)"
              R"("installedVersion":"2026.3.7.1"},"catalog",{}]})");
    EXPECT_EQ(UpdateAwarenessState::decode(state.encoded()).value(), state);

    // Pairs in any order; integral times as JSON integers.
    const auto reordered = UpdateAwarenessState::decode(
        R"({"entries":["catalog",{"lastAttempt":5},"app",{}],"automaticChecks":true})");
    ASSERT_TRUE(reordered);
    EXPECT_EQ(reordered->entries.at(UpdateClass::catalog).lastAttempt, 5.0);
    EXPECT_EQ(reordered->entries.size(), 2u);
}

TEST(UpdateAwarenessState, UndecodableStoredForms) {
    for (const char* text : {
             R"({"automaticChecks":true})",
             R"({"entries":[]})",
             R"({"automaticChecks":"true","entries":[]})",
             R"({"automaticChecks":true,"entries":{"app":{}}})",
             R"({"automaticChecks":true,"entries":["app"]})",
             R"({"automaticChecks":true,"entries":[1,{}]})",
             R"({"automaticChecks":true,"entries":["app",{"availableBuild":4.5}]})",
             R"({"automaticChecks":true,"entries":["app",{"installedVersion":12}]})",
             R"({"automaticChecks":true,"entries":["app",{"lastAttempt":"today"}]})",
             R"({"automaticChecks":true,"entries":["app",7]})",
             // A number beyond any double does not even parse.
             R"({"automaticChecks":true,"entries":["app",{"lastAttempt":1e400}]})",
             "[]",
             "",
         }) {
        EXPECT_FALSE(UpdateAwarenessState::decode(text)) << text;
    }
}

TEST(UpdateAwarenessState, ClassesOfANewerBuildAreSkippedNotFatal) {
    const auto decoded = UpdateAwarenessState::decode(
        R"({"automaticChecks":false,"entries":["app",{"installedVersion":"1.2"},)"
        R"("ios",{"availableVersion":"3.0"},"future",17,"rules",{"lastAttempt":1},)"
        R"("rules",{"lastAttempt":2}]})");
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->automaticChecks);
    EXPECT_EQ(decoded->entries.size(), 2u);
    EXPECT_EQ(decoded->entries.at(UpdateClass::app).installedVersion, "1.2");
    EXPECT_EQ(decoded->entries.at(UpdateClass::rules).lastAttempt, 2.0);  // the later pair wins
}

TEST(UpdateAwarenessState, StoredTimesOutsideTheClocksRangeAreIgnored) {
    for (const char* time : {"1e300", "-1e300", "2e10", "-2e10", "1.7976931348623157e308"}) {
        const std::string text =
            std::string(R"({"automaticChecks":true,"entries":["app",{"lastAttempt":)") + time +
            R"(,"lastSuccess":)" + time + R"(,"installedVersion":"1.2"}]})";
        const auto decoded = UpdateAwarenessState::decode(text);
        ASSERT_TRUE(decoded) << time;
        EXPECT_EQ(decoded->entries.at(UpdateClass::app), (Entry{.installedVersion = "1.2"}))
            << time;
    }
    // The far past and future the clock can hold stay.
    const auto near = UpdateAwarenessState::decode(
        R"({"automaticChecks":true,"entries":["app",{"lastAttempt":-9e9,"lastSuccess":9e9}]})");
    ASSERT_TRUE(near);
    EXPECT_EQ(near->entries.at(UpdateClass::app).lastAttempt, -9e9);
    EXPECT_EQ(near->entries.at(UpdateClass::app).lastSuccess, 9e9);
}

}  // namespace
}  // namespace scourlet
