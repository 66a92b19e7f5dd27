// The date texts of rule update manifests: RFC 3339 internet date-times with
// whole seconds and a zone, "2026-03-01T08:00:00Z" or
// "2026-03-01T09:30:00+01:30". A fraction of a second is refused.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

// The instant of "yyyy-MM-ddTHH:mm:ss" followed by "Z" or "+HH:MM"/"-HH:MM";
// nothing for any other text, a fraction, or a date or time that does not exist.
std::optional<std::chrono::sys_seconds> parseManifestDate(std::string_view text);

// The instant in UTC, "yyyy-MM-ddTHH:mm:ssZ" (years 0 to 9999).
std::string formatManifestDate(std::chrono::sys_seconds instant);

}  // namespace scourlet::internal
