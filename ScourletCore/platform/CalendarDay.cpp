#include "ScourletCore/platform/CalendarDay.h"

#include <cassert>
#include <cstdio>
#include <ctime>

namespace scourlet {

CalendarDay::CalendarDay(std::chrono::year_month_day date) : date_(date) {
    assert(date.ok());
}

CalendarDay CalendarDay::local(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    // Floor, not truncation: a moment just before 1970 belongs to 31 December.
    const auto seconds = floor<std::chrono::seconds>(time).time_since_epoch().count();
    const std::time_t whole = static_cast<std::time_t>(seconds);
    // localtime_r, unlike localtime, need not look at the zone again; tzset()
    // makes a change of TZ, or of the system zone file, count from this call on.
    tzset();
    std::tm parts{};
    if (localtime_r(&whole, &parts) != nullptr) {
        const year_month_day date{year(parts.tm_year + 1900),
                                  month(static_cast<unsigned>(parts.tm_mon + 1)),
                                  day(static_cast<unsigned>(parts.tm_mday))};
        if (date.ok()) {
            return CalendarDay(date);
        }
    }
    return CalendarDay(year_month_day(floor<days>(time)));
}

CalendarDay CalendarDay::addingDays(int count) const {
    return CalendarDay(
        std::chrono::year_month_day(std::chrono::sys_days(date_) + std::chrono::days(count)));
}

std::string CalendarDay::key() const {
    char buffer[32];
    const int length =
        std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(date_.year()),
                      static_cast<unsigned>(date_.month()), static_cast<unsigned>(date_.day()));
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string calendarDayKey(std::chrono::system_clock::time_point time) {
    return CalendarDay::local(time).key();
}

std::vector<std::string> recentCalendarDayKeys(std::chrono::system_clock::time_point now,
                                               int days) {
    std::vector<std::string> keys;
    if (days < 1) {
        return keys;
    }
    keys.reserve(static_cast<std::size_t>(days));
    const CalendarDay today = CalendarDay::local(now);
    for (int back = 0; back < days; ++back) {
        keys.push_back(today.addingDays(-back).key());
    }
    return keys;
}

}  // namespace scourlet
