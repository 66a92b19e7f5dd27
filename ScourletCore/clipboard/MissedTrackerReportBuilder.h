// Builds a MissedTrackerReport from a clean result and what the caller knows
// about the program (platform, versions, surface, rules) and the user's note.
//
//   auto report = MissedTrackerReportBuilder::build(result,
//       MissedTrackerReport::currentPlatform(), "Debian 12",
//       std::string(config::kAppVersion), std::nullopt,
//       MissedTrackerReport::Surface::clipboard, note, providerCount, lastUpdate, clock.now());
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ScourletCore/clipboard/MissedTrackerReport.h"
#include "ScourletCore/rules/CleanResult.h"

namespace scourlet {

class MissedTrackerReportBuilder {
public:
    MissedTrackerReportBuilder() = delete;

    // Longest note kept, in user-visible characters.
    static constexpr std::size_t userNoteMaxLength = 500;

    // Never fails. The note is cut to its first 500 characters (not trimmed);
    // the host is the cleaned link's, else the original link's, else absent;
    // `wasModified` tells whether the two links differ as text; the categories
    // are sorted by their raw values; everything else is copied as given, and
    // `now` becomes `createdAt`.
    static MissedTrackerReport build(const CleanResult& result,
                                     MissedTrackerReport::Platform platform, std::string osVersion,
                                     std::string appVersion, std::optional<std::string> appBuild,
                                     MissedTrackerReport::Surface surface,
                                     const std::string& userNote,
                                     std::optional<std::int64_t> rulesProviderCount,
                                     std::optional<MissedTrackerReport::TimePoint> rulesLastUpdate,
                                     MissedTrackerReport::TimePoint now);
};

}  // namespace scourlet
