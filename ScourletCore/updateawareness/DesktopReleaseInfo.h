// The current desktop release as the release file describes it: its version,
// build, date and the addresses of its notes and download pages.
//
// Only DesktopReleasePayload::parse() makes one from outside data, so the
// addresses of a parsed record are https addresses on the maker's host.
//
//   if (info.downloadUrl) openInBrowser(*info.downloadUrl);
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace scourlet {

struct DesktopReleaseInfo {
    std::string currentVersion;                // a valid version
    std::optional<std::int64_t> currentBuild;  // 0 to 2^53 - 1
    std::optional<std::string> releaseDate;    // as the file writes it, not interpreted
    std::optional<std::string> notesUrl;       // the release notes page
    std::optional<std::string> downloadUrl;    // the download page

    bool operator==(const DesktopReleaseInfo&) const = default;
};

}  // namespace scourlet
