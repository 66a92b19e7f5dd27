// The names of the settings suites the programs share.
//
// The app-group suite is opened by both the menu-bar application and the
// browser extension host, so the settings both must see (the chosen Nitter
// instance, for one) live there; everything else lives in each program's own
// suite.
//
//   auto shared = FileUserDefaults::suite(kAppGroupSuiteName);   // may be null
#pragma once

#include <string_view>

namespace scourlet {

// Shared by the application and the extension host.
inline constexpr std::string_view kAppGroupSuiteName = "group.com.morrowgate.scourlet";
// The standard settings of the menu-bar application.
inline constexpr std::string_view kApplicationSuiteName = "com.morrowgate.scourlet";
// The standard settings of the browser extension host.
inline constexpr std::string_view kSafariExtensionSuiteName =
    "com.morrowgate.scourlet.safari-extension";
// The standard settings of the command-line tool.
inline constexpr std::string_view kCommandLineSuiteName = "com.morrowgate.scourlet.cli";

}  // namespace scourlet
