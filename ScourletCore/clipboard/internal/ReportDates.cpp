#include "ScourletCore/clipboard/internal/ReportDates.h"

#include <cstdint>
#include <cstdio>

#include "ScourletCore/platform/CalendarDay.h"

namespace scourlet::internal {

namespace {

using namespace std::chrono;

struct UtcParts {
    year_month_day date;
    hh_mm_ss<seconds> clock;
    nanoseconds fraction;
};

UtcParts split(TimePoint time) {
    const auto day = floor<days>(time);
    const auto second = floor<seconds>(time);
    return {year_month_day(day), hh_mm_ss<seconds>(second - day),
            duration_cast<nanoseconds>(time - second)};
}

std::string format(const char* pattern, const UtcParts& p) {
    char buffer[64];
    const int length = std::snprintf(
        buffer, sizeof buffer, pattern, static_cast<int>(p.date.year()),
        static_cast<unsigned>(p.date.month()), static_cast<unsigned>(p.date.day()),
        static_cast<int>(p.clock.hours().count()), static_cast<int>(p.clock.minutes().count()),
        static_cast<int>(p.clock.seconds().count()));
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool readDigits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size()) {
        return false;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    out = value;
    return true;
}

}  // namespace

std::string internetDateTime(TimePoint time) {
    return format("%04d-%02u-%02uT%02d:%02d:%02dZ", split(time));
}

std::string preciseInternetDateTime(TimePoint time) {
    const UtcParts parts = split(time);
    std::string text = format("%04d-%02u-%02uT%02d:%02d:%02d", parts);
    if (parts.fraction.count() != 0) {
        char digits[16];
        std::snprintf(digits, sizeof digits, ".%09lld",
                      static_cast<long long>(parts.fraction.count()));
        std::string fraction(digits);
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        text += fraction;
    }
    text += 'Z';
    return text;
}

std::optional<TimePoint> parseInternetDateTime(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (text.size() < 20 || !readDigits(text, 0, 4, y) || text[4] != '-' ||
        !readDigits(text, 5, 2, mo) || text[7] != '-' || !readDigits(text, 8, 2, d) ||
        text[10] != 'T' || !readDigits(text, 11, 2, h) || text[13] != ':' ||
        !readDigits(text, 14, 2, mi) || text[16] != ':' || !readDigits(text, 17, 2, s)) {
        return std::nullopt;
    }
    std::size_t at = 19;
    std::int64_t fraction = 0;
    if (text[at] == '.') {
        ++at;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            if (++digits > 9) {
                return std::nullopt;
            }
            fraction = fraction * 10 + (text[at] - '0');
            ++at;
        }
        if (digits == 0) {
            return std::nullopt;
        }
        for (; digits < 9; ++digits) {
            fraction *= 10;
        }
    }
    if (at + 1 != text.size() || text[at] != 'Z') {
        return std::nullopt;
    }
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                              day(static_cast<unsigned>(d))};
    if (!date.ok() || h > 23 || mi > 59 || s > 59) {
        return std::nullopt;
    }
    // Kept within the range that the clock's nanosecond ticks can hold.
    if (y < 1678 || y > 2261) {
        return std::nullopt;
    }
    const auto point = sys_days(date) + hours(h) + minutes(mi) + seconds(s) + nanoseconds(fraction);
    return time_point_cast<TimePoint::duration>(point);
}

std::string utcDayKey(TimePoint time) {
    return CalendarDay(year_month_day(floor<days>(time))).key();
}

}  // namespace scourlet::internal
