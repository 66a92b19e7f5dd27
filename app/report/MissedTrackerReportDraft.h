// MissedTrackerReportDraft: the report the user is reviewing, pinned to the
// clean it was opened for, with the user's note.
//
// The report is rebuilt from the same inputs each time it is needed (preview,
// e-mail check, each action), so it always carries the current note and a
// fresh creation time. The note keeps at most 500 characters (grapheme
// clusters, as the report counts them: an emoji is one).
//
//   MissedTrackerReportDraft draft(result, environment, clock);
//   draft.setNote(typed);                    // cut to 500 characters
//   preview(draft.report().bodyText());
//   if (draft.emailAvailable()) openURL(*draft.report().mailtoURL());
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ScourletCore/clipboard/MissedTrackerReport.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/rules/CleanResult.h"

namespace scourlet::app {

class MissedTrackerReportDraft {
public:
    // What the report says about this program and its rules.
    struct Environment {
        std::string osVersion;
        std::string appVersion;
        std::optional<std::string> appBuild;
        // The number of rule providers loaded.
        std::optional<std::int64_t> rulesProviderCount;
        std::optional<MissedTrackerReport::TimePoint> rulesLastUpdate;
    };

    static constexpr std::size_t noteLimit = 500;

    MissedTrackerReportDraft(CleanResult result, Environment environment,
                             std::shared_ptr<const Clock> clock);

    const CleanResult& result() const { return result_; }
    const std::string& note() const { return note_; }
    // Stores `note`, cut to its first 500 characters; true when it was cut.
    bool setNote(std::string note);
    // "<characters> / 500".
    std::string counterText() const;

    // The report as of now.
    MissedTrackerReport report() const;
    // The report's mailto link exists and has at most 8192 characters.
    bool emailAvailable() const;

private:
    CleanResult result_;
    Environment environment_;
    std::shared_ptr<const Clock> clock_;
    std::string note_;
};

}  // namespace scourlet::app
