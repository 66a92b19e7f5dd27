// CalendarDay: one day of the Gregorian calendar, and the "yyyy-MM-dd" keys
// under which per-day figures are stored (statistics buckets, the clipboard
// monitor's daily count).
//
// A key names a local calendar day: the day that the process's time zone shows
// at a moment. Going back n days is calendar arithmetic on the day itself, never
// "now minus n times 24 hours", which lands on the wrong day next to a
// daylight-saving change.
//
//   std::string key = calendarDayKey(clock.now());            // "2026-03-07"
//   defaults.setInteger("cleanedCount_" + key, count);
//   for (const std::string& day : recentCalendarDayKeys(clock.now(), 7)) { ... }
//
// The time zone is the process's: $TZ when set, else the system's zone. It is
// looked up again on every call, so a change of zone shows from the next call
// on. Tests choose a zone by setting TZ.
#pragma once

#include <chrono>
#include <compare>
#include <string>
#include <vector>

namespace scourlet {

class CalendarDay {
public:
    // `date` must be a valid date (date.ok()); an invalid one is a programming error.
    explicit CalendarDay(std::chrono::year_month_day date);

    // The local calendar day of `time` in the process's current time zone. When
    // the C library cannot convert the moment (a year beyond its range, far
    // outside what a clock yields), the UTC day of `time` is answered instead.
    static CalendarDay local(std::chrono::system_clock::time_point time);

    // The day `days` calendar days later (earlier when negative).
    CalendarDay addingDays(int days) const;

    // "yyyy-MM-dd" with ASCII digits: the year has at least four digits, month
    // and day always two ("2026-03-07").
    std::string key() const;

    std::chrono::year_month_day date() const { return date_; }

    bool operator==(const CalendarDay&) const = default;
    std::strong_ordering operator<=>(const CalendarDay& other) const {
        return std::chrono::sys_days(date_) <=> std::chrono::sys_days(other.date_);
    }

private:
    std::chrono::year_month_day date_;
};

// The key of the local calendar day of `time`: CalendarDay::local(time).key().
std::string calendarDayKey(std::chrono::system_clock::time_point time);

// The keys of the `days` local calendar days that end with the day of `now`:
// today's key first, then each day before it. Empty when `days` is below 1.
std::vector<std::string> recentCalendarDayKeys(std::chrono::system_clock::time_point now, int days);

}  // namespace scourlet
