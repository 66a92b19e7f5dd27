// The machine-readable appendix of a missed-tracker report: the report's
// fields plus "schemaVersion", as JSON with sorted keys.
#pragma once

#include <nlohmann/json.hpp>

#include "ScourletCore/clipboard/MissedTrackerReport.h"

namespace scourlet::internal {

// An object (keys sorted, as nlohmann::json keeps them) with "schemaVersion"
// and the sixteen report fields under their names: enumerations as raw values,
// dates as whole-second ISO 8601 UTC texts; absent optional fields left out.
nlohmann::json missedTrackerReportPayload(const MissedTrackerReport& report);

}  // namespace scourlet::internal
