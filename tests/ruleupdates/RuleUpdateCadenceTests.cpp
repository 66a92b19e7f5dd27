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

// Stored dates may lie anywhere the clock reaches, and the distance between
// two of them need not fit the clock's own duration.
TEST(RuleUpdateCadenceTest, DatesFarFromNowNeitherOverflowNorStopUpdates) {
    constexpr TimePoint kEarliest = TimePoint::min();
    constexpr TimePoint kLatest = TimePoint::max();
    const TimePoint year1732(seconds(-7'500'000'000));
    const TimePoint year2250(seconds(8'800'000'000));
    struct Case {
        const char* name;
        std::optional<TimePoint> lastCheck;
        TimePoint now;
        bool due;
        TimePoint earliest;
    };
    const Case cases[] = {
        {"checked in 1732", year1732, kNow, true, kNow},
        {"checked at the clock's first moment", kEarliest, kNow, true, kNow},
        {"first moment, now the last", kEarliest, kLatest, true, kLatest},
        {"first moment, now the same", kEarliest, kEarliest, false, kEarliest + kDay},
        {"checked in 2250", year2250, kNow, false, year2250 + kDay},
        {"checked at the clock's last moment", kLatest, kNow, false, kLatest},
        {"last moment, now 1732", kLatest, year1732, false, kLatest},
        {"a day before the last moment, now the last", kLatest - kDay, kLatest, true, kLatest},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isDue(RuleUpdateCadence::daily, c.lastCheck, c.now), c.due) << c.name;
        EXPECT_EQ(RuleUpdateBackgroundSchedule::earliestBeginDate(RuleUpdateCadence::daily,
                                                                  c.lastCheck, c.now),
                  c.earliest)
            << c.name;
        EXPECT_FALSE(isDue(RuleUpdateCadence::never, c.lastCheck, c.now)) << c.name;
    }
    // Monthly is the longest interval.
    EXPECT_TRUE(isDue(RuleUpdateCadence::monthly, year1732, kNow));
    EXPECT_FALSE(isDue(RuleUpdateCadence::monthly, kLatest - kDay, kLatest));
    EXPECT_EQ(RuleUpdateBackgroundSchedule::earliestBeginDate(RuleUpdateCadence::monthly,
                                                              kLatest - kDay, kNow),
              kLatest);
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
