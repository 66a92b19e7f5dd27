#include "app/report/MissedTrackerReportDraft.h"

#include "ScourletCore/clipboard/MissedTrackerReportBuilder.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet::app {

MissedTrackerReportDraft::MissedTrackerReportDraft(CleanResult result, Environment environment,
                                                   std::shared_ptr<const Clock> clock)
    : result_(std::move(result)), environment_(std::move(environment)), clock_(std::move(clock)) {}

bool MissedTrackerReportDraft::setNote(std::string note) {
    if (graphemeCount(note) > noteLimit) {
        note_ = graphemePrefix(note, noteLimit);
        return true;
    }
    note_ = std::move(note);
    return false;
}

std::string MissedTrackerReportDraft::counterText() const {
    return std::to_string(graphemeCount(note_)) + " / " + std::to_string(noteLimit);
}

MissedTrackerReport MissedTrackerReportDraft::report() const {
    return MissedTrackerReportBuilder::build(
        result_, MissedTrackerReport::currentPlatform(), environment_.osVersion,
        environment_.appVersion, environment_.appBuild, MissedTrackerReport::Surface::clipboard,
        note_, environment_.rulesProviderCount, environment_.rulesLastUpdate, clock_->now());
}

bool MissedTrackerReportDraft::emailAvailable() const {
    return report().mailtoIsSafeLength();
}

}  // namespace scourlet::app
