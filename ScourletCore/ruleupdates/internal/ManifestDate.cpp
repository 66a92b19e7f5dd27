#include "ScourletCore/ruleupdates/internal/ManifestDate.h"

#include <cstdio>

namespace scourlet::internal {

namespace {

// The `count` ASCII digits of `text` at `at` as a number, or -1.
int digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool hasAt(std::string_view text, std::size_t at, char c) {
    return at < text.size() && text[at] == c;
}

}  // namespace

std::optional<std::chrono::sys_seconds> parseManifestDate(std::string_view text) {
    using namespace std::chrono;
    // yyyy-MM-ddTHH:mm:ss is 19 characters; the zone follows.
    const int y = digits(text, 0, 4);
    const int mo = digits(text, 5, 2);
    const int d = digits(text, 8, 2);
    const int h = digits(text, 11, 2);
    const int mi = digits(text, 14, 2);
    const int s = digits(text, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || s < 0 || !hasAt(text, 4, '-') ||
        !hasAt(text, 7, '-') || !hasAt(text, 10, 'T') || !hasAt(text, 13, ':') ||
        !hasAt(text, 16, ':')) {
        return std::nullopt;
    }
    const year_month_day day{year{y}, month{static_cast<unsigned>(mo)},
                             std::chrono::day{static_cast<unsigned>(d)}};
    if (!day.ok() || h > 23 || mi > 59 || s > 59) {
        return std::nullopt;
    }
    seconds offset{0};
    const std::string_view zone = text.substr(19);
    if (zone != "Z") {
        const int oh = digits(zone, 1, 2);
        const int om = digits(zone, 4, 2);
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || oh < 0 ||
            om < 0 || oh > 23 || om > 59) {
            return std::nullopt;
        }
        offset = hours{oh} + minutes{om};
        if (zone[0] == '-') {
            offset = -offset;
        }
    }
    // Local time minus its offset from UTC is the instant.
    return sys_days{day} + hours{h} + minutes{mi} + seconds{s} - offset;
}

std::string formatManifestDate(std::chrono::sys_seconds instant) {
    using namespace std::chrono;
    const sys_days dayStart = floor<days>(instant);
    const year_month_day day{dayStart};
    const hh_mm_ss<seconds> time{instant - dayStart};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

}  // namespace scourlet::internal
