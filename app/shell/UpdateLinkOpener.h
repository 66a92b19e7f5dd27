// Opens an address of the update section (the release notes, the download
// page) in the user's browser, through the desktop's URL opener: the address
// goes to the desktop as a URL, never through a shell command line.
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

namespace scourlet::app {

// True when the desktop took the address. False, and nothing opened, when the
// address is not trusted or the desktop could not open it.
bool openUpdateLink(std::string_view url, std::string_view makerHost = config::kMakerHost);

// Whether openUpdateLink() would hand `url` to the desktop.
bool isOpenableUpdateLink(std::string_view url, std::string_view makerHost = config::kMakerHost);

}  // namespace scourlet::app
