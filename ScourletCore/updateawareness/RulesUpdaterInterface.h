// What update awareness needs of the rules updater: the version it installed,
// its automatic run, and the check and install that the update actions start.
//
// The rules updater implements it; the update controller and the update
// actions hold it, so they can be tested with a recording stand-in.
//
//   controller = std::make_shared<UpdateAwarenessController>(rulesUpdater, awareness, env);
//   rules->performAutomaticUpdateIfDue(clock.now());   // its own cadence decides
//
// Every operation is called on the main thread and returns at once; the work
// it starts runs in the background.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace scourlet {

class RulesUpdaterInterface {
public:
    virtual ~RulesUpdaterInterface() = default;

    // The version of the rules the updater installed; nothing when it has
    // installed none.
    virtual std::optional<std::string> installedVersion() const = 0;

    // Runs the automatic update for `now`; whether anything is checked or
    // installed is the updater's own setting and cadence.
    virtual void performAutomaticUpdateIfDue(std::chrono::system_clock::time_point now) = 0;

    // Checks the selected channel for an update.
    virtual void checkForUpdates() = 0;

    // Installs the update the last check found.
    virtual void installAvailableUpdate() = 0;
};

}  // namespace scourlet
