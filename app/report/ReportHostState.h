// What the report window shows: a notice while the last cleaned link still
// waits for share-link resolution (it cannot be reported before it is final),
// an empty state when nothing was cleaned, otherwise the report sheet. The
// welcome window and the settings offer "Report Missed Tracker" exactly when
// the sheet would be shown.
//
//   switch (reportHostState(monitor.hasPendingShareLinkResolution(),
//                           monitor.lastCleanedResult().has_value())) { ... }
#pragma once

namespace scourlet::app {

enum class ReportHostState { pendingResolution, noResult, sheet };

constexpr ReportHostState reportHostState(bool pendingResolution, bool hasResult) {
    if (pendingResolution) {
        return ReportHostState::pendingResolution;
    }
    return hasResult ? ReportHostState::sheet : ReportHostState::noResult;
}

constexpr bool canReport(bool pendingResolution, bool hasResult) {
    return reportHostState(pendingResolution, hasResult) == ReportHostState::sheet;
}

}  // namespace scourlet::app
