// LaunchAtLogin: the "Launch at Login" switch of the general settings, over
// the desktop's login items.
//
// The switch shows what the desktop will really do, not only what was last
// asked: refresh() reads the login item's state and writes it to the stored
// "launchAtLogin" flag when the two differ (an entry removed or pointed
// elsewhere outside the program). set() stores the wish and registers or
// unregisters; when that fails, it prints "Failed to set launch at login: "
// and the reason to standard output, goes back to the real state (stored too)
// and keeps a caption saying why, so a failure never looks like success.
//
//   LaunchAtLogin launch(loginItem, standardDefaults);
//   switchWidget->setChecked(launch.refresh());          // the pane was opened
//   switchWidget->setChecked(launch.set(true));          // the user flipped it
//   if (launch.failureCaption()) showRed(*launch.failureCaption());
//
// Main thread only.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/LoginItemService.h"
#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet::app {

// The standard-settings key of the switch.
inline constexpr std::string_view kLaunchAtLoginKey = "launchAtLogin";

class LaunchAtLogin {
public:
    // `log` receives the standard-output line of a failure.
    LaunchAtLogin(std::shared_ptr<LoginItemService> loginItem,
                  std::shared_ptr<UserDefaults> standardDefaults, std::ostream& log);

    // Reads the real state, stores it when the flag differs, clears the
    // failure caption; returns the state.
    bool refresh();

    // Stores `on` and registers (true) or unregisters (false). Returns the
    // switch's state afterwards: `on` on success, else the real state.
    bool set(bool on);

    // What the switch shows: the last state refresh() or set() returned.
    bool isOn() const { return on_; }

    // Why the last set() failed ("Could not turn on launch at login: ..."),
    // until the next refresh() or successful set().
    const std::optional<std::string>& failureCaption() const { return failure_; }

private:
    // The stored flag; false when nothing is stored.
    bool storedFlag() const;
    void store(bool on);

    std::shared_ptr<LoginItemService> loginItem_;
    std::shared_ptr<UserDefaults> defaults_;
    std::ostream& log_;
    bool on_ = false;
    std::optional<std::string> failure_;
};

}  // namespace scourlet::app
