// The "Settings" pane of the settings window: introduction, launch at login,
// cleaning, Command Guard, notifications, support and about (see
// GeneralSettingsContent for what each shows and when it is enabled).
//
// Switches write through the monitor's and the notification manager's setters,
// which store the values themselves; turning a notification switch on asks for
// permission again. A switch acts on each change of its state, whether a click,
// a key or an accessibility action made it; refresh() shows stored values with
// the switches' signals blocked, so showing a value acts on nothing. Both
// objects announce before they change, so their announcements only queue one
// refresh for a later turn of the event loop.
// Each time the pane is shown it reads the real launch-at-login state.
//
//   auto* pane = new GeneralSettingsPane(monitor, notifications, launchAtLogin,
//                                        {openWindow, copyAsUser}, parent);
//
// Main thread only.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string_view>

#include <QWidget>

#include "ScourletCore/clipboard/ClipboardMonitor.h"
#include "ScourletCore/clipboard/NotificationManager.h"
#include "ScourletCore/platform/Observable.h"
#include "app/settings/LaunchAtLogin.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace scourlet::app {

class GeneralSettingsPane final : public QWidget {
    Q_OBJECT
public:
    struct Actions {
        // Opens the application's window of that id ("welcome", "report").
        std::function<void(std::string_view windowId)> openWindow;
        // Clears the clipboard and puts the text there as if the user had
        // copied it (the monitor's next poll handles it).
        std::function<void(std::string_view text)> copyAsUser;
    };

    GeneralSettingsPane(std::shared_ptr<ClipboardMonitor> monitor,
                        std::shared_ptr<NotificationManager> notifications,
                        std::shared_ptr<LaunchAtLogin> launchAtLogin, Actions actions,
                        QWidget* parent = nullptr);
    ~GeneralSettingsPane() override;

    // Shows the current values of the monitor, the notification manager and
    // the launch-at-login switch.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void queueRefresh();

    std::shared_ptr<ClipboardMonitor> monitor_;
    std::shared_ptr<NotificationManager> notifications_;
    std::shared_ptr<LaunchAtLogin> launchAtLogin_;
    Actions actions_;

    QPushButton* welcomeReport_ = nullptr;
    QCheckBox* launch_ = nullptr;
    QLabel* launchFailure_ = nullptr;
    QCheckBox* autoClean_ = nullptr;
    QCheckBox* autoResolve_ = nullptr;
    QCheckBox* commandGuard_ = nullptr;
    QLabel* thresholdTitle_ = nullptr;
    QPushButton* thresholdSegments_[2] = {nullptr, nullptr};
    QCheckBox* neutralize_ = nullptr;
    QLabel* rulesVersion_ = nullptr;
    QCheckBox* cleanNotifications_ = nullptr;
    QCheckBox* commandNotifications_ = nullptr;
    QPushButton* supportReport_ = nullptr;
    QLabel* supportCaption_ = nullptr;

    std::atomic<bool> refreshQueued_{false};
    Connection monitorSubscription_;
    Connection notificationsSubscription_;
};

}  // namespace scourlet::app
