// Settings of the application itself that the core needs: the version and
// build the programs report, the phone app's store page and where
// missed-tracker reports go. Kept in one place so a
// release or a change of mailbox is one edit.
//
//   auto report = MissedTrackerReportBuilder::build(result, platform, osVersion,
//                                                   std::string(config::kAppVersion), ...);
//   std::string to(config::kMissedTrackerReportAddress);
#pragma once

#include <string_view>

namespace scourlet::config {

// --- Version ---------------------------------------------------------------------
// The build may pass the project version as SCOURLET_APP_VERSION (a string
// literal); otherwise the version below is used.

#ifdef SCOURLET_APP_VERSION
inline constexpr std::string_view kAppVersion = SCOURLET_APP_VERSION;
#else
inline constexpr std::string_view kAppVersion = "0.1.0";
#endif

// The build number of this release as decimal digits, from SCOURLET_APP_BUILD
// (the build refuses anything else); "0" when the build passes none.
#ifdef SCOURLET_APP_BUILD
inline constexpr std::string_view kAppBuild = SCOURLET_APP_BUILD;
#else
inline constexpr std::string_view kAppBuild = "0";
#endif

// --- Phone app -----------------------------------------------------------------
// The store page of the companion phone app, which its release record must name
// exactly: "https://" + kIOSAppStoreHost + "/us/app/scourlet/id" + kIOSAppStoreID.

inline constexpr std::string_view kIOSAppStoreHost = "apps.apple.com";
inline constexpr std::string_view kIOSAppStoreID = "6742361590";

// --- Missed-tracker reports ------------------------------------------------------

// The mailbox that missed-tracker reports are addressed to.
inline constexpr std::string_view kMissedTrackerReportAddress = "missed-trackers@morrowgate.com";

// The label of the application-version line in a report body, in the manner of
// the labels around it ("Platform:", "Surface:").
inline constexpr std::string_view kReportAppVersionLabel = "App version:";

}  // namespace scourlet::config
