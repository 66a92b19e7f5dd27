// The update section of the settings window: for the app, the rules and the
// privacy-services catalog, what is installed, what the last check found,
// when it last succeeded, and the buttons that start checks and installs.
//
// It draws UpdateAwarenessSection, computed afresh from the update controller
// (its awareness store, desktop checker and catalog updater) and the rules
// updater at every redraw; it keeps no state of its own. Buttons only forward
// to the UpdateSurfaceRouter; the download and release-notes links open
// through openUpdateLink(), on the desktop checker's host only. The toggle
// writes the awareness store, the two pickers the rules updater.
//
// Each control's objectName is its accessibility identifier:
//   "update-setting-automatic-checks"
//   "update-action-checkApp", "update-action-downloadApp", "update-link-releaseNotes"
//   "update-state-app", "update-version-app", "update-timestamp-app"
//   "update-setting-rule-channel" (with "…-stable" and "…-beta"), "update-setting-rule-cadence"
//   "update-action-checkRules", "update-action-installRules", "update-state-rules",
//   "update-rule-changes", "update-version-rules", "update-version-commandGuard",
//   "update-timestamp-rules", "update-rule-commandGuard-note"
//   "update-action-checkCatalog", "update-action-installCatalog", "update-state-catalog",
//   "update-version-catalog", "update-timestamp-catalog"
// Rows that do not apply are hidden, not removed.
//
//   auto* updates = new UpdateAwarenessView(state.updates(), state.rulesUpdater());
//
// The core objects announce before they change: the view redraws one turn of
// the event loop later, once for many announcements. Main thread only, apart
// from the announcements.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include <QLocale>
#include <QString>
#include <QWidget>

#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/ruleupdates/RulesUpdater.h"
#include "ScourletCore/updateawareness/UpdateAwarenessController.h"
#include "ScourletCore/updateawareness/UpdateAwarenessSection.h"
#include "ScourletCore/updateawareness/UpdateSurfaceRouter.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace scourlet::app {

class LinkButton;

// A "Last checked"/"Last updated" time: the locale's abbreviated date and
// short time, in the local time zone ("Jan 15, 2027 at 8:00 AM" in en_US).
QString formatUpdateTime(std::chrono::system_clock::time_point time,
                         const QLocale& locale = QLocale());
// The install time of the rules status line: the locale's short date and
// short time, in the local time zone ("1/15/27 8:00 AM" in en_US).
QString formatStatusTime(std::chrono::system_clock::time_point time,
                         const QLocale& locale = QLocale());

class UpdateAwarenessView final : public QWidget {
    Q_OBJECT
public:
    // `controller` and `rules` are required; without a router the standard
    // one over the same controller and rules updater is used.
    UpdateAwarenessView(std::shared_ptr<UpdateAwarenessController> controller,
                        std::shared_ptr<RulesUpdater> rules,
                        std::optional<UpdateSurfaceRouter> router = std::nullopt,
                        QWidget* parent = nullptr);
    ~UpdateAwarenessView() override;

    // Redraws from the core objects now (the view also does so by itself one
    // turn after any of them announced a change).
    void refresh();

private:
    UpdateAwarenessSection section() const;
    void scheduleRefresh();
    void redraw();
    // Opens the release's download or notes page; whether the launcher started.
    bool openReleaseLink(bool download);
    QPushButton* actionButton(UpdateSurfaceAction action, QWidget* parent);
    void showChanges(const std::string& title, const std::vector<std::string>& changes);

    std::shared_ptr<UpdateAwarenessController> controller_;
    std::shared_ptr<RulesUpdater> rules_;
    UpdateSurfaceRouter router_;

    QCheckBox* automaticChecks_ = nullptr;

    QPushButton* checkApp_ = nullptr;
    LinkButton* downloadApp_ = nullptr;
    QLabel* appStatus_ = nullptr;
    QLabel* appVersion_ = nullptr;
    QLabel* appTimestamp_ = nullptr;
    LinkButton* releaseNotes_ = nullptr;

    QWidget* channel_ = nullptr;
    QButtonGroup* channelButtons_ = nullptr;
    QLabel* channelExplanation_ = nullptr;
    QComboBox* cadence_ = nullptr;
    QPushButton* checkRules_ = nullptr;
    QPushButton* installRules_ = nullptr;
    QLabel* rulesStatus_ = nullptr;
    QWidget* changes_ = nullptr;
    QVBoxLayout* changesLayout_ = nullptr;
    QLabel* rulesVersion_ = nullptr;
    QLabel* commandGuardVersion_ = nullptr;
    QLabel* rulesTimestamp_ = nullptr;
    QLabel* commandGuardNote_ = nullptr;

    QPushButton* checkCatalog_ = nullptr;
    QPushButton* installCatalog_ = nullptr;
    QLabel* catalogStatus_ = nullptr;
    QLabel* catalogVersion_ = nullptr;
    QLabel* catalogTimestamp_ = nullptr;

    std::vector<Connection> subscriptions_;
    std::atomic<bool> refreshPending_{false};
};

}  // namespace scourlet::app
