// Opens an address of the update section (the release notes, the download
// page) in the user's browser, through the application's link opener
// (openLink): the address goes to the desktop as one argument, never through a
// shell command line.
//
// Only an https address on the maker's host is opened, with no user, password
// or port (the same test the release file's addresses passed); anything else
// is refused and nothing is started.
//
//   if (!openUpdateLink(link.url)) { /* not opened: untrusted, or no browser */ }
//
// Main thread only.
#pragma once

#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "app/platform/LinkOpener.h"

namespace scourlet::app {

// True when `open` took the address (openLink(): the launcher started).
// False, and nothing opened, when the address is not trusted or `open` failed.
bool openUpdateLink(std::string_view url, std::string_view makerHost = config::kMakerHost,
                    const LinkOpener& open = openLink);

// Whether openUpdateLink() would hand `url` to the desktop.
bool isOpenableUpdateLink(std::string_view url, std::string_view makerHost = config::kMakerHost);

}  // namespace scourlet::app
