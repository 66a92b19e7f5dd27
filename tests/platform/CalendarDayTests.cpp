#include "ScourletCore/platform/CalendarDay.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScopedTimeZone.h"

namespace scourlet {
namespace {

using namespace std::chrono;
using testing::ScopedTimeZone;

system_clock::time_point utc(int y, unsigned m, unsigned d, int h = 0, int min = 0) {
    return sys_days(year(y) / month(m) / day(d)) + hours(h) + minutes(min);
}

TEST(CalendarDayTest, KeyHasFourDigitYearAndTwoDigitMonthAndDay) {
    EXPECT_EQ(CalendarDay(year(2026) / 3 / 7).key(), "2026-03-07");
    EXPECT_EQ(CalendarDay(year(2026) / 12 / 31).key(), "2026-12-31");
    EXPECT_EQ(CalendarDay(year(999) / 1 / 2).key(), "0999-01-02");
}

TEST(CalendarDayTest, LocalDayFollowsTheZoneOfTheMomentOfTheCall) {
    // 04:30 UTC on 8 March is still the evening of the 7th in New York.
    const auto moment = utc(2026, 3, 8, 4, 30);
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(calendarDayKey(moment), "2026-03-08");
    zone.change(testing::kNewYorkTimeZone);
    EXPECT_EQ(calendarDayKey(moment), "2026-03-07");
    zone.change(testing::kTokyoTimeZone);
    EXPECT_EQ(calendarDayKey(utc(2026, 3, 7, 15, 0)), "2026-03-08");
}

TEST(CalendarDayTest, MomentJustBefore1970IsOnTheLastDayOf1969) {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(calendarDayKey(system_clock::time_point(milliseconds(-1))), "1969-12-31");
}

TEST(CalendarDayTest, AddingDaysCrossesMonthsYearsAndLeapDays) {
    EXPECT_EQ(CalendarDay(year(2028) / 3 / 1).addingDays(-1).key(), "2028-02-29");
    EXPECT_EQ(CalendarDay(year(2026) / 12 / 31).addingDays(1).key(), "2027-01-01");
    EXPECT_EQ(CalendarDay(year(2026) / 1 / 1).addingDays(-35).key(), "2025-11-27");
}

TEST(CalendarDayTest, RecentKeysStartTodayAndRunBack) {
    ScopedTimeZone zone("UTC0");
    const auto now = utc(2026, 3, 2, 12);
    EXPECT_EQ(recentCalendarDayKeys(now, 3),
              (std::vector<std::string>{"2026-03-02", "2026-03-01", "2026-02-28"}));
    EXPECT_EQ(recentCalendarDayKeys(now, 1), std::vector<std::string>{"2026-03-02"});
    EXPECT_TRUE(recentCalendarDayKeys(now, 0).empty());
    EXPECT_TRUE(recentCalendarDayKeys(now, -4).empty());
}

// Just after a daylight-saving change, "24 hours ago" is not "yesterday": it
// skips a day in spring and repeats one in autumn.
TEST(CalendarDayTest, RecentKeysAreCalendarDaysAcrossDaylightSavingChanges) {
    ScopedTimeZone zone(testing::kBerlinTimeZone);
    struct Case {
        const char* name;
        system_clock::time_point now;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // 30 March 2026 00:30 CEST; summer time began on the 29th.
        {"spring", utc(2026, 3, 29, 22, 30), {"2026-03-30", "2026-03-29", "2026-03-28"}},
        // 25 October 2026 23:30 CET; summer time ended that morning.
        {"autumn", utc(2026, 10, 25, 22, 30), {"2026-10-25", "2026-10-24", "2026-10-23"}},
        // The first minutes of the 29th, and the last ones of a 23-hour day.
        {"spring day start", utc(2026, 3, 28, 23, 5), {"2026-03-29", "2026-03-28"}},
        {"spring day end", utc(2026, 3, 29, 21, 55), {"2026-03-29", "2026-03-28"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recentCalendarDayKeys(c.now, static_cast<int>(c.expected.size())), c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace scourlet
