// Rates a clean result for the commercial tracking it removed.
//
// The rating rests on the rule categories that matched: each maps to a
// commercial category with a weight. The score is the sum of the weights plus
// up to 3 for signals beyond one per category; without any category it is the
// number of signals, at most 3. Score bands: 0 or less negligible, 1-2 low,
// 3-5 medium, 6-8 high, 9 or more very high.
//
//   TrackingImpactReport r = TrackingImpactAnalyzer::analyze(result);
//   if (r.impactLevel >= TrackingImpactLevel::high) highlight();
//
// Pure and thread-safe; never fails.
#pragma once

#include <cstdint>

#include "ScourletCore/clipboard/TrackingImpactLevel.h"
#include "ScourletCore/clipboard/TrackingImpactReport.h"
#include "ScourletCore/rules/CleanResult.h"

namespace scourlet {

class TrackingImpactAnalyzer {
public:
    TrackingImpactAnalyzer() = delete;

    // The rating of `result`. Uses its matched categories, its `paramsRemoved`
    // (a negative count counts as 0) and whether its cleaned link differs from
    // the original.
    static TrackingImpactReport analyze(const CleanResult& result);

    // The level of a score, by the bands above.
    static TrackingImpactLevel impactLevel(std::int64_t score);
};

// TrackingImpactAnalyzer::analyze(result): the rating of a result, read where
// the result is at hand.
inline TrackingImpactReport trackingImpactReport(const CleanResult& result) {
    return TrackingImpactAnalyzer::analyze(result);
}

}  // namespace scourlet
