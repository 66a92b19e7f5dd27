// UTC date texts of missed-tracker reports: ISO 8601 internet date-times and
// "yyyy-MM-dd" days, written with ASCII digits whatever the locale.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

using TimePoint = std::chrono::system_clock::time_point;

// "2026-12-09T08:04:45Z": whole seconds, the fraction dropped (toward the past).
std::string internetDateTime(TimePoint time);

// The same with the fraction of the second when there is one
// ("2026-12-09T08:04:45.25Z"), so that a stored time reads back unchanged.
std::string preciseInternetDateTime(TimePoint time);

// Reads "yyyy-MM-ddTHH:mm:ss" with an optional fraction of up to nine digits
// and a final "Z". Nothing for any other text or an invalid date or time.
std::optional<TimePoint> parseInternetDateTime(std::string_view text);

// The UTC calendar day of `time`, "2026-12-09".
std::string utcDayKey(TimePoint time);

}  // namespace scourlet::internal
