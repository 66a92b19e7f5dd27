// The tracking-impact rating of one clean result: how many tracking signals
// were removed, which commercial purposes they served, the impact level, the
// confidence, and two texts for the user. Computed on demand by
// TrackingImpactAnalyzer and never stored.
//
//   TrackingImpactReport r = TrackingImpactAnalyzer::analyze(result);
//   show(r.summary);        // "Removed 2 tracking signals tied to campaign analytics."
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ScourletCore/clipboard/TrackingCommercialCategory.h"
#include "ScourletCore/clipboard/TrackingImpactConfidence.h"
#include "ScourletCore/clipboard/TrackingImpactLevel.h"

namespace scourlet {

struct TrackingImpactReport {
    std::int64_t totalSignals = 0;
    // Distinct categories, heaviest first (see TrackingImpactAnalyzer).
    std::vector<TrackingCommercialCategory> categories{};
    TrackingImpactLevel impactLevel = TrackingImpactLevel::negligible;
    TrackingImpactConfidence confidence = TrackingImpactConfidence::low;
    std::string summary{};      // one sentence on what was removed
    std::string explanation{};  // one or two sentences on what such tracking does

    bool operator==(const TrackingImpactReport&) const = default;
};

}  // namespace scourlet
