// AppState: the one object of the tray application that owns the core.
//
// It builds every long-lived core object once, in a fixed order, over the
// platform pieces it is handed (settings stores, clipboard, timers, main
// queue, notification poster), asks for notification permission and starts
// the clipboard monitor. Views receive these objects from here and never make
// their own.
//
// Core objects announce a change before they make it, and some announce while
// holding a lock; a view that read or called back at once would see the old
// value or deadlock. So AppState turns every announcement of the monitor, the
// exception store, the last-clean recorder, the update-awareness store and the
// rules updater into one changed() signal, emitted on a later turn of the
// event loop, coalesced: many announcements between two turns give one
// changed(). The update-awareness store writes itself on every activation,
// mostly with what it already holds; only a write that changes its state
// counts.
//
//   AppState state(std::move(services));              // monitor running from here on
//   connect(&state, &AppState::changed, menu, &TrayMenu::refresh);
//   state.applicationBecameActive();                  // tray menu opened, window shown
//
// The update controller is driven from here too: its foreground() runs on the
// first turn of the event loop and on every activation (each time the tray
// menu opens or a window comes forward); its own daily limits keep that cheap.
//
// Main thread only, apart from the announcements, which may come from any thread.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/NotificationManager.h"
#include "ScourletCore/clipboard/NotificationPoster.h"
#include "ScourletCore/clipboard/Pasteboard.h"
#include "ScourletCore/clipboard/StatsTracker.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/MonotonicClock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/TimerScheduler.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/DomainExceptionStore.h"
#include "ScourletCore/rules/LastCleanRecorder.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"

namespace scourlet::app {

class AppState final : public QObject {
    Q_OBJECT
public:
    // What the application runs on; chosen once, by the program's start (or a test).
    struct Services {
        std::shared_ptr<UserDefaults> standardDefaults;  // required
        std::shared_ptr<UserDefaults> appGroupDefaults;  // may be null: no shared suite
        std::shared_ptr<Pasteboard> pasteboard;          // required
        std::shared_ptr<TimerScheduler> timers;          // required
        std::shared_ptr<MainQueue> mainQueue;            // required
        std::shared_ptr<BackgroundExecutor> executor;    // required
        std::shared_ptr<NotificationPoster> poster;      // may be null: no notifications
        std::shared_ptr<const Clock> clock;              // required
        std::shared_ptr<const MonotonicClock> monotonicClock;  // required
        // Where the shipped rules are; null: the core's usual lookup.
        const ResourceBundle* bundle = nullptr;
        // Empty: the monitor's defaults (network resolver, installed Command Guard rules).
        ClipboardMonitor::ResolveShareLink resolveShareLink{};
        ClipboardMonitor::CommandGuardLoader loadCommandGuard{};
        // Rule, catalog and app updates: the transport (null: the network),
        // the host of the feed, the catalog and the release file, the folder
        // of installed rules (nothing: the default one in Application Support)
        // and the catalog store (nothing: the one in the shared app-group
        // folder).
        std::shared_ptr<HttpTransport> transport;
        std::string makerHost = std::string(config::kMakerHost);
        std::optional<std::filesystem::path> installedRulesRoot;
        std::optional<PrivacyCatalogStore> catalogStore;
    };

    // The surface under which clipboard cleans are recorded.
    static constexpr std::string_view kClipboardSurface = "macOSClipboard";

    explicit AppState(Services services, QObject* parent = nullptr);
    ~AppState() override;

    const std::shared_ptr<RulesEngine>& rulesEngine() const { return rulesEngine_; }
    // The rules updater: it loaded the engine's rules at start (the verified
    // installed ones, else the shipped ones) and checks for rule updates.
    const std::shared_ptr<RulesUpdater>& rulesUpdater() const { return rulesUpdater_; }
    const std::shared_ptr<StatsTracker>& statsTracker() const { return statsTracker_; }
    const std::shared_ptr<NotificationManager>& notificationManager() const {
        return notificationManager_;
    }
    const std::shared_ptr<ClipboardMonitor>& monitor() const { return monitor_; }
    const std::shared_ptr<DomainExceptionStore>& exceptionStore() const { return exceptionStore_; }
    const std::shared_ptr<LastCleanRecorder>& lastCleanRecorder() const {
        return lastCleanRecorder_;
    }
    // The update-awareness store the tray label and the update rows read.
    const std::shared_ptr<UpdateAwareness>& updateAwareness() const { return updateAwareness_; }
    // The update controller: the desktop checker and the catalog updater it
    // owns report to updateAwareness().
    const std::shared_ptr<UpdateAwarenessController>& updates() const { return updates_; }
    const std::shared_ptr<UserDefaults>& standardDefaults() const { return standardDefaults_; }
    const std::shared_ptr<UserDefaults>& appGroupDefaults() const { return appGroupDefaults_; }
    // The clipboard the monitor watches.
    const std::shared_ptr<Pasteboard>& pasteboard() const { return pasteboard_; }

    // The application came to the front: the tray menu opened or a window was
    // shown. Runs every foreground hook, in the order they were added.
    void applicationBecameActive();
    // Work to run on every activation and once on the first turn of the event
    // loop after start (the update checks hook in here).
    void addForegroundHook(std::function<void()> hook);

    // Stops polling the clipboard; what is shown stays. Used when quitting.
    void stopMonitoring();

Q_SIGNALS:
    // Something the tray label, the menu or an open window shows has changed.
    // Emitted on a later turn of the event loop than the change itself.
    void changed();

private:
    void announceChange();
    void emitChanged();

    std::shared_ptr<UserDefaults> standardDefaults_;
    std::shared_ptr<UserDefaults> appGroupDefaults_;
    std::shared_ptr<Pasteboard> pasteboard_;
    std::shared_ptr<RulesEngine> rulesEngine_;
    std::shared_ptr<RulesUpdater> rulesUpdater_;
    std::shared_ptr<StatsTracker> statsTracker_;
    std::shared_ptr<NotificationManager> notificationManager_;
    std::shared_ptr<DomainExceptionStore> exceptionStore_;
    std::shared_ptr<LastCleanRecorder> lastCleanRecorder_;
    std::shared_ptr<ClipboardMonitor> monitor_;
    std::shared_ptr<UpdateAwareness> updateAwareness_;
    std::shared_ptr<UpdateAwarenessController> updates_;

    std::vector<std::function<void()>> foregroundHooks_;
    std::vector<Connection> subscriptions_;
    std::atomic<bool> changePending_{false};
};

}  // namespace scourlet::app
