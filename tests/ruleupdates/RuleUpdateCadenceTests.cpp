#include "ScourletCore/ruleupdates/RuleUpdateCadence.h"

#include <chrono>
#include <optional>

#include <gtest/gtest.h>

#include "ScourletCore/ruleupdates/AutomaticRuleUpdatePlan.h"
#include "ScourletCore/ruleupdates/AutomaticRuleUpdateResult.h"
#include "ScourletCore/ruleupdates/RuleUpdateBackgroundSchedule.h"

namespace scourlet {
namespace {

using std::chrono::seconds;
using TimePoint = std::chrono::system_clock::time_point;

const TimePoint kNow = TimePoint(seconds(1'780'000'000));
constexpr seconds kDay{86400};

TEST(RuleUpdateCadenceTest, RawValuesAreExact) {
    EXPECT_EQ(enumFromRawValue<RuleUpdateCadence>("weekly"), RuleUpdateCadence::weekly);
    EXPECT_EQ(enumFromRawValue<RuleUpdateCadence>("Weekly"), std::nullopt);
    EXPECT_EQ(enumFromRawValue<RuleUpdateCadence>("hourly"), std::nullopt);
    const auto all = allCases<RuleUpdateCadence>();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0], RuleUpdateCadence::never);
    EXPECT_EQ(all[3], RuleUpdateCadence::monthly);
    EXPECT_EQ(displayName(RuleUpdateCadence::monthly), "Monthly");
    EXPECT_EQ(interval(RuleUpdateCadence::monthly), 30 * kDay);  // not a calendar month
}

TEST(RuleUpdateCadenceTest, DueTestAndEarliestBackgroundStart) {
    struct Case {
        const char* name;
        RuleUpdateCadence cadence;
        std::optional<TimePoint> lastCheck;
        bool due;
        std::optional<TimePoint> earliest;
    };
    const Case cases[] = {
        {"never, no check", RuleUpdateCadence::never, std::nullopt, false, std::nullopt},
        {"never, old check", RuleUpdateCadence::never, kNow - 400 * kDay, false, std::nullopt},
        {"daily, no check", RuleUpdateCadence::daily, std::nullopt, true, kNow},
        {"daily, exactly a day", RuleUpdateCadence::daily, kNow - kDay, true, kNow},
        {"daily, a second short", RuleUpdateCadence::daily, kNow - kDay + seconds(1), false,
         kNow + seconds(1)},
        {"weekly, eight days ago", RuleUpdateCadence::weekly, kNow - 8 * kDay, true, kNow},
        {"weekly, two days ago", RuleUpdateCadence::weekly, kNow - 2 * kDay, false,
         kNow - 2 * kDay + seconds(604800)},
        {"monthly, 29 days ago", RuleUpdateCadence::monthly, kNow - 29 * kDay, false,
         kNow + kDay},
        {"monthly, 30 days ago", RuleUpdateCadence::monthly, kNow - 30 * kDay, true, kNow},
        // The clock was set back.
        {"daily, check in the future", RuleUpdateCadence::daily, kNow + seconds(10), false,
         kNow + seconds(10) + kDay},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isDue(c.cadence, c.lastCheck, kNow), c.due) << c.name;
        EXPECT_EQ(RuleUpdateBackgroundSchedule::earliestBeginDate(c.cadence, c.lastCheck, kNow),
                  c.earliest)
            << c.name;
    }
}

TEST(RuleUpdateCadenceTest, PlanAndBackgroundOutcome) {
    using Action = AutomaticRuleUpdateAction;
    EXPECT_TRUE(AutomaticRuleUpdatePlan::actions(false, false).empty());
    // An available update alone never starts an install.
    EXPECT_TRUE(AutomaticRuleUpdatePlan::actions(false, true).empty());
    EXPECT_EQ(AutomaticRuleUpdatePlan::actions(true, false), std::vector<Action>{Action::check});
    EXPECT_EQ(AutomaticRuleUpdatePlan::actions(true, true),
              (std::vector<Action>{Action::check, Action::install}));

    EXPECT_TRUE(backgroundTaskSucceeded(AutomaticRuleUpdateResult::notDue));
    EXPECT_TRUE(backgroundTaskSucceeded(AutomaticRuleUpdateResult::busy));
    EXPECT_TRUE(backgroundTaskSucceeded(AutomaticRuleUpdateResult::succeeded));
    EXPECT_FALSE(backgroundTaskSucceeded(AutomaticRuleUpdateResult::failed));
    EXPECT_FALSE(backgroundTaskSucceeded(AutomaticRuleUpdateResult::cancelled));
}

}  // namespace
}  // namespace scourlet
