// Ties the three update classes together: knows the running version and build,
// owns the desktop update checker and the privacy-services catalog updater,
// holds the rules updater, keeps update awareness in line with what is
// installed, and starts the automatic checks that are due.
//
//   auto controller = std::make_shared<UpdateAwarenessController>(rules, awareness, environment);
//   controller->foreground();   // after start, and each time the tray menu opens
//   controller->checkApp();     // the user's "Check for App Updates"
//
// How the application drives it: a tray process has no "comes to the
// foreground" moment, so the application calls foreground() once after its
// event loop starts and again each time its tray menu opens. That is cheap:
// the app and catalog checks start at most once a day each (the reservation in
// update awareness, taken and stored before a check starts), and only while
// automatic checks are on; the rules updater is asked every time and its own
// cadence decides.
//
// Used on the main thread only; nothing here blocks (checks run in the
// background through the checker and the updaters).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/updateawareness/DesktopUpdateChecker.h"
#include "ScourletCore/updateawareness/RulesUpdaterInterface.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"

namespace scourlet {

class UpdateAwarenessController {
public:
    // What the controller needs of its surroundings. Every pointer but
    // `transport` must be set.
    struct Environment {
        std::shared_ptr<HttpTransport> transport;      // nothing: CurlHttpTransport::shared()
        std::shared_ptr<BackgroundExecutor> executor;  // downloads and installs
        std::shared_ptr<MainQueue> mainQueue;          // where outcomes are applied
        std::shared_ptr<const Clock> clock;            // "now" of the automatic rules run
        // The catalog store; nothing: the store over the shared app-group folder.
        std::optional<PrivacyCatalogStore> catalogStore;
        // The running application's version ("" counts as "0") and its build
        // number as text (read by parseBuild()).
        std::string version = std::string(config::kAppVersion);
        std::string buildText = std::string(config::kAppBuild);
        // The host that serves the desktop release file.
        std::string host = std::string(config::kMakerHost);
    };

    // Builds a new catalog updater and desktop checker (both reporting to
    // `awareness`), keeps `rules`, and reconciles. `rules` may be null (a
    // program without rule updates): the rules entry is then left as it is
    // and nothing asks for a rules run.
    UpdateAwarenessController(std::shared_ptr<RulesUpdaterInterface> rules,
                              std::shared_ptr<UpdateAwareness> awareness, Environment environment);

    const std::shared_ptr<UpdateAwareness>& awareness() const { return awareness_; }
    const std::shared_ptr<RulesUpdaterInterface>& rules() const { return rules_; }
    const std::shared_ptr<PrivacyCatalogUpdater>& catalog() const { return catalog_; }
    const std::shared_ptr<DesktopUpdateChecker>& desktop() const { return desktop_; }
    const std::string& version() const { return version_; }
    std::int64_t build() const { return build_; }

    // Records what is installed: the app's version and build; the rules
    // updater's installed version when it has one (else, or without a rules
    // updater, the rules entry stays as it is); the version of the verified
    // catalog in force in decimal, "0" when there is none. Each is stored.
    void reconcile();

    // reconcile(); then the desktop check when the app's daily reservation is
    // granted; then the rules updater's automatic run, always (when there is a
    // rules updater); then the catalog check when the catalog's daily
    // reservation is granted.
    void foreground();

    // Starts a desktop check now with this version and build: not throttled,
    // no attempt recorded; nothing while one runs.
    void checkApp();

    // A build number from its text: an optional "+" or "-" and ASCII digits;
    // nothing for an empty text, anything else, or a number beyond 64 bits.
    static std::optional<std::int64_t> parseBuildNumber(std::string_view text);
    // parseBuildNumber(), with 0 where it gives nothing ("12a" gives 0).
    static std::int64_t parseBuild(std::string_view text);

private:
    std::shared_ptr<UpdateAwareness> awareness_;
    std::shared_ptr<RulesUpdaterInterface> rules_;
    std::shared_ptr<PrivacyCatalogUpdater> catalog_;
    std::shared_ptr<DesktopUpdateChecker> desktop_;
    std::shared_ptr<const Clock> clock_;
    std::string version_;
    std::int64_t build_ = 0;
};

}  // namespace scourlet
