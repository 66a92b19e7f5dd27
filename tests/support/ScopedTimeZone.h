#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "support/ScopedEnvironment.h"

namespace scourlet::testing {

// POSIX rule strings, so the tests need no time-zone database: central Europe
// (summer time from the last Sunday of March to the last Sunday of October),
// the US east coast (second Sunday of March to first Sunday of November) and
// Japan (no summer time).
inline constexpr const char* kBerlinTimeZone = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr const char* kNewYorkTimeZone = "EST5EDT,M3.2.0,M11.1.0";
inline constexpr const char* kTokyoTimeZone = "JST-9";

// Makes `zone` the process's local time zone for one scope (TZ, then tzset()),
// and puts the previous zone back afterwards. Not thread-safe.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone) { change(zone); }
    ~ScopedTimeZone() {
        environment_.reset();  // restores TZ
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    // Switches to another zone within the same scope.
    void change(const std::string& zone) {
        environment_.emplace();
        environment_->set("TZ", zone);
        tzset();
    }

private:
    std::optional<ScopedEnvironment> environment_;
};

}  // namespace scourlet::testing
