// Where the desktop update check stands: not run yet, running, up to date, a
// newer release available (with its record), or failed; and the line the
// interface shows for it.
//
//   auto status = DesktopUpdateStatus::available(release);
//   status.displayText();   // "Update available: Scourlet 1.4 (Build 52)."
//   if (status.kind() == DesktopUpdateStatus::Kind::checking) disableButton();
//
// Two statuses are equal when their kinds are, and for `available` their
// release records too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/updateawareness/DesktopReleaseInfo.h"

namespace scourlet {

class DesktopUpdateStatus {
public:
    enum class Kind { idle, checking, upToDate, available, failed };

    static constexpr std::string_view kCheckingText = "Checking...";
    static constexpr std::string_view kUpToDateText = "Scourlet is up to date.";
    static constexpr std::string_view kFailedText = "Could not check for updates. Try again later.";

    // The status before the first check.
    DesktopUpdateStatus() = default;

    static DesktopUpdateStatus idle() { return DesktopUpdateStatus(Kind::idle); }
    static DesktopUpdateStatus checking() { return DesktopUpdateStatus(Kind::checking); }
    static DesktopUpdateStatus upToDate() { return DesktopUpdateStatus(Kind::upToDate); }
    static DesktopUpdateStatus failed() { return DesktopUpdateStatus(Kind::failed); }
    static DesktopUpdateStatus available(DesktopReleaseInfo release);

    Kind kind() const { return kind_; }
    // The newer release; set exactly when kind() is available.
    const std::optional<DesktopReleaseInfo>& release() const { return release_; }

    // Nothing for idle; "Checking...", "Scourlet is up to date.", "Could not
    // check for updates. Try again later."; for available "Update available:
    // Scourlet <version> (Build <build>)." or, without a build, "Update
    // available: Scourlet <version>.".
    std::optional<std::string> displayText() const;

    bool operator==(const DesktopUpdateStatus&) const = default;

private:
    explicit DesktopUpdateStatus(Kind kind) : kind_(kind) {}

    Kind kind_ = Kind::idle;
    std::optional<DesktopReleaseInfo> release_;
};

}  // namespace scourlet
