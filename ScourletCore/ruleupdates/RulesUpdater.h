// RulesUpdater: keeps the cleaning rules current from the signed rule feed.
//
// It holds the state the interface shows (the rules and Command Guard
// versions in use, the last install, an update a check found, the status
// line, the chosen channel and cadence, the last automatic check), restores
// it from the application's settings, loads the best verified rules into the
// engine at start, and checks, downloads, verifies and installs rules updates
// by hand or on the chosen cadence. Whatever goes wrong, the rules in use stay
// in use: the last verified installed rules, else the shipped ones.
//
//   auto updater = std::make_shared<RulesUpdater>(engine, defaults, std::nullopt, std::nullopt,
//                                                 RulesUpdater::Environment{...});
//   updater->loadPreferringAppSupport();   // once, right after the engine is made
//   updater->checkForUpdates();            // returns at once; watch updateStatus()
//   if (updater->availableManifest()) updater->installAvailableUpdate();
//
// Threading: used on the main thread only. Downloads, verification, the trial
// compile of new rules and the install into the signed store run on the
// executor; the published state changes, and the new rules are loaded into
// the engine, only on the main queue. A running check or install (a busy
// status) makes another one do nothing. Destroying the updater cancels its
// downloads and drops outcomes still on their way.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/AutomaticRuleUpdateResult.h"
#include "ScourletCore/ruleupdates/RuleUpdateCadence.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"
#include "ScourletCore/ruleupdates/RulesUpdateStatus.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "ScourletCore/updateawareness/RulesUpdaterInterface.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"

namespace scourlet {

class RulesUpdater final : public ObservableObject, public RulesUpdaterInterface {
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // What the updater needs of its surroundings. Every pointer but
    // `transport` must be set.
    struct Environment {
        std::shared_ptr<HttpTransport> transport;      // nothing: CurlHttpTransport::shared()
        std::shared_ptr<BackgroundExecutor> executor;  // downloads, verification, installs
        std::shared_ptr<MainQueue> mainQueue;          // where outcomes are applied
        std::shared_ptr<const Clock> clock;            // the time of an install
        std::shared_ptr<UpdateAwareness> awareness;    // told what is installed and found
        // Where the shipped manifest ("manifest.json") and the trusted keys
        // ("rule-feed-keys.json") are; null: there are none, so nothing
        // installed verifies and the floor is the highest version there is.
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources();
        // The host that serves the feed.
        std::string host = std::string(config::kMakerHost);
        // The running application's version, compared with a manifest's
        // minimum; "" counts as "0.0.0".
        std::string appVersion = std::string(config::kAppVersion);
    };

    // Settings keys, in the store given at construction.
    static constexpr std::string_view kLastUpdateKey = "rulesUpdater_lastUpdateDate";
    static constexpr std::string_view kInstalledVersionKey = "rulesUpdater_installedVersion";
    static constexpr std::string_view kInstalledCommandGuardVersionKey =
        "rulesUpdater_installedCommandGuardVersion";
    static constexpr std::string_view kSelectedChannelKey = "rulesUpdater_selectedChannel";
    static constexpr std::string_view kAutomaticUpdateCadenceKey =
        "rulesUpdater_automaticUpdateCadence";
    static constexpr std::string_view kLastAutomaticCheckKey = "rulesUpdater_lastAutomaticCheckDate";

    // The version floor when the shipped manifest cannot be read: the highest
    // feed version there is, so no installed record is used.
    static constexpr std::string_view kVersionFloorSentinel = "9999.12.31.999999";
    // The legacy rules file is copied only when it is a regular file of at
    // most this size.
    static constexpr std::size_t kLegacyRulesFileCap = 4 * 1024 * 1024;

    // Restores the cadence (unknown: never), the last automatic check, the
    // channel (beta only for exactly "beta") and the last install time from
    // `defaults`, writing nothing back; takes the installed version from the
    // verified installed manifest under the root, else the shipped manifest;
    // and the Command Guard version from the stored key, else the installed
    // Command Guard rules file, else the rules a plain Command Guard loads.
    // `manifestURL` replaces the channel's manifest for checks; it must still
    // be one of the feed's two manifest URLs on the environment's host, or
    // every check is refused. `installedRulesRoot` replaces rulesRootURL()
    // for this updater. Loads nothing into the engine; never fails.
    RulesUpdater(std::shared_ptr<RulesEngine> rulesEngine, std::shared_ptr<UserDefaults> defaults,
                 std::optional<std::string> manifestURL,
                 std::optional<std::filesystem::path> installedRulesRoot, Environment environment);
    ~RulesUpdater() override;

    // ---- Start-up ------------------------------------------------------------

    // Loads the best verified installed record (active, else previous, never
    // one below the shipped version) into the engine, else the shipped rules,
    // and sets installedVersion() to the version now loaded (the shipped
    // manifest's, or nothing without one). Blocks on file reads and
    // verification; call once at start.
    void loadPreferringAppSupport();

    // ---- Published state -----------------------------------------------------
    // Every setter announces the new value before it is stored, also an equal one.

    const std::optional<TimePoint>& lastUpdateDate() const { return lastUpdateDate_.get(); }
    void setLastUpdateDate(std::optional<TimePoint> date) { lastUpdateDate_.set(date); }
    Signal<std::optional<TimePoint>>& lastUpdateDatePublisher() const {
        return lastUpdateDate_.publisher();
    }

    std::optional<std::string> installedVersion() const override { return installedVersion_.get(); }
    void setInstalledVersion(std::optional<std::string> version) {
        installedVersion_.set(std::move(version));
    }
    Signal<std::optional<std::string>>& installedVersionPublisher() const {
        return installedVersion_.publisher();
    }

    const std::optional<std::string>& installedCommandGuardVersion() const {
        return installedCommandGuardVersion_.get();
    }
    void setInstalledCommandGuardVersion(std::optional<std::string> version) {
        installedCommandGuardVersion_.set(std::move(version));
    }
    // The application rebuilds Command Guard when this announces another version.
    Signal<std::optional<std::string>>& installedCommandGuardVersionPublisher() const {
        return installedCommandGuardVersion_.publisher();
    }

    const std::optional<RuleUpdateManifest>& availableManifest() const {
        return availableManifest_.get();
    }
    void setAvailableManifest(std::optional<RuleUpdateManifest> manifest) {
        availableManifest_.set(std::move(manifest));
    }
    Signal<std::optional<RuleUpdateManifest>>& availableManifestPublisher() const {
        return availableManifest_.publisher();
    }

    const RulesUpdateStatus& updateStatus() const { return updateStatus_.get(); }
    void setUpdateStatus(RulesUpdateStatus status) { updateStatus_.set(std::move(status)); }
    Signal<RulesUpdateStatus>& updateStatusPublisher() const { return updateStatus_.publisher(); }

    // Set only by the automatic run.
    const std::optional<TimePoint>& lastAutomaticCheckDate() const {
        return lastAutomaticCheckDate_.get();
    }
    Signal<std::optional<TimePoint>>& lastAutomaticCheckDatePublisher() const {
        return lastAutomaticCheckDate_.publisher();
    }

    RuleUpdateCadence automaticUpdateCadence() const { return automaticUpdateCadence_.get(); }
    // Stores the raw value under kAutomaticUpdateCadenceKey; nothing else.
    void setAutomaticUpdateCadence(RuleUpdateCadence cadence);
    Signal<RuleUpdateCadence>& automaticUpdateCadencePublisher() const {
        return automaticUpdateCadence_.publisher();
    }

    RuleUpdateChannel selectedChannel() const { return selectedChannel_.get(); }
    // Stores the raw value under kSelectedChannelKey, has update awareness
    // forget what the previous channel offered, drops the available manifest
    // and turns an "update available" status into idle (any other status
    // stays). All of it also for the channel already selected.
    void setSelectedChannel(RuleUpdateChannel channel);
    Signal<RuleUpdateChannel>& selectedChannelPublisher() const {
        return selectedChannel_.publisher();
    }

    // ---- Check, install and automatic runs -------------------------------------

    // Returns at once. Unless busy: shows "Checking…", drops any available
    // update, fetches and verifies the selected channel's signed manifest in
    // the background, then on the main queue tells update awareness the
    // installed and the found version and shows "update available" (with the
    // manifest available for install) when the found version is newer, else
    // "up to date". A switch of channel meanwhile ends it idle. Failures show
    // their text ("Could not check for rule updates: ..." for a failed fetch).
    void checkForUpdates() override;

    // Returns at once. Unless busy or nothing is available: verifies the
    // checked manifest again, downloads both rule files (each capped at its
    // stated size, then checked by size and SHA-256), compiles them in a
    // scratch engine and installs them into the signed store, showing
    // "Downloading…", "Validating…" and "Installing…" meanwhile; then on the
    // main queue loads them into the engine, records the version and time
    // (also in the settings and update awareness) and shows "Installed
    // rules ...". A failure shows its text and keeps the available update, so
    // the install can be tried again.
    void installAvailableUpdate() override;

    // Returns at once; runs performAutomaticUpdateIfDueNow() for `now` and
    // drops its result.
    void performAutomaticUpdateIfDue(TimePoint now) override;

    // The automatic run: notDue when the cadence is not due at `now`; busy
    // while a check or install runs (nothing changes then); otherwise stores
    // `now` as the last automatic check, checks, and installs when the check
    // found an update. `done` gets the result on the main queue (at once for
    // notDue and busy): failed when the check or install failed, cancelled
    // when `cancel` was requested by the end of a step, else succeeded.
    void performAutomaticUpdateIfDueNow(TimePoint now,
                                        std::function<void(AutomaticRuleUpdateResult)> done,
                                        std::stop_token cancel = {});

    // ---- Where installed rules live ---------------------------------------------

    // <Application Support>/com.morrowgate.scourlet/rules, and its "active" and
    // "previous" folders; nothing without an Application Support folder.
    static std::optional<std::filesystem::path> rulesRootURL();
    static std::optional<std::filesystem::path> defaultActiveRulesDirectoryURL();
    static std::optional<std::filesystem::path> defaultPreviousRulesDirectoryURL();
    // This updater's root (rulesRootURL() unless another was given), and its
    // "active" and "previous" folders.
    const std::optional<std::filesystem::path>& installedRulesRootURL() const {
        return installedRulesRoot_;
    }
    std::optional<std::filesystem::path> activeRulesDirectoryURL() const;
    std::optional<std::filesystem::path> previousRulesDirectoryURL() const;

    // <Application Support>/com.morrowgate.scourlet/data.min.json. When no
    // file is there but the older product folder "com.quenby.scourlet" holds
    // one, that file is first copied here (a regular file of at most
    // kLegacyRulesFileCap bytes, never through a link, written atomically); a
    // copy that fails prints "RulesUpdater: legacy rules migration skipped — "
    // with the reason and is tried again on the next call. Nothing without an
    // Application Support folder.
    static std::optional<std::filesystem::path> appSupportRulesURL();

    // The verified manifest of the rules installed under the root's record in
    // use (its signature checked, its files not), or nothing. Reads the disk
    // every time.
    std::optional<RuleUpdateManifest> activeManifest() const;
    // The same under rulesRootURL(), with the shipped manifest and keys of
    // `bundle` and the feed of `host`.
    static std::optional<RuleUpdateManifest> defaultActiveManifest(
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources(),
        std::string_view host = config::kMakerHost);

private:
    struct CheckOutcome;
    struct InstallOutcome;

    void startCheck(std::function<void(bool)> done);
    void applyCheck(CheckOutcome outcome, RuleUpdateChannel channelAtStart,
                    const std::function<void(bool)>& done);
    void startInstall(std::function<void()> done);
    void applyInstall(InstallOutcome outcome, const std::function<void()>& done);
    // Posts work to the main queue, where it runs only while the updater
    // lives. Made on the main thread, called from the background.
    using MainPoster = std::function<void(std::function<void()>)>;
    MainPoster mainPoster() const;

    std::shared_ptr<RulesEngine> rulesEngine_;
    std::shared_ptr<UserDefaults> defaults_;
    std::optional<std::string> manifestURLOverride_;
    std::optional<std::filesystem::path> installedRulesRoot_;
    Environment environment_;
    std::optional<SignedRuleFeed::Proof> pendingProof_;

    Published<std::optional<TimePoint>> lastUpdateDate_{*this, std::nullopt};
    Published<std::optional<std::string>> installedVersion_{*this, std::nullopt};
    Published<std::optional<std::string>> installedCommandGuardVersion_{*this, std::nullopt};
    Published<std::optional<RuleUpdateManifest>> availableManifest_{*this, std::nullopt};
    Published<RulesUpdateStatus> updateStatus_{*this, RulesUpdateStatus::idle()};
    Published<std::optional<TimePoint>> lastAutomaticCheckDate_{*this, std::nullopt};
    Published<RuleUpdateCadence> automaticUpdateCadence_{*this, RuleUpdateCadence::never};
    Published<RuleUpdateChannel> selectedChannel_{*this, RuleUpdateChannel::stable};

    std::stop_source stop_;
    // Outcomes posted to the main queue run only while this lives.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace scourlet
