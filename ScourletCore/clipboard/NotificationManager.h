// NotificationManager: tells the user what happened to the clipboard through
// desktop notifications: a link was cleaned, or a risky terminal command was
// copied (and perhaps neutralized).
//
// It decides what to post; a NotificationPoster delivers. Two switches in the
// settings store turn clean notifications and Command Guard notifications on
// and off; both are on while their keys are absent. Nothing is posted until a
// poster is installed and has answered the permission request positively.
//
//   NotificationManager notifications(defaults, poster, mainQueue);
//   notifications.requestPermission();                 // once, at start
//   notifications.sendCleanNotification(result);       // after each clean
//   notifications.sendCommandWarningNotification(risk, /*neutralized=*/true);
//
// Used on the main thread. The permission answer may arrive on any thread; it
// is carried to the main queue before `authorized` changes. Nothing here
// reports a failure: a notification that cannot be shown is dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ScourletCore/clipboard/CommandRiskResult.h"
#include "ScourletCore/clipboard/NotificationPoster.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/rules/CleanResult.h"

namespace scourlet {

class NotificationManager final : public ObservableObject {
public:
    static constexpr std::string_view kEnabledKey = "notifications_enabled";
    static constexpr std::string_view kCommandWarningsEnabledKey =
        "notifications_command_warnings_enabled";

    static constexpr std::string_view kCleanTitle = "URL Cleaned";
    static constexpr std::string_view kCommandCopiedTitle = "Risky command copied";
    static constexpr std::string_view kCommandNeutralizedTitle = "Risky command neutralized";

    // Reads both switches (true when absent) without writing them back.
    // `poster` may be null when the desktop offers no notification service:
    // then nothing is ever requested or posted. `mainQueue` runs the
    // permission answer; it must outlive every pending answer.
    NotificationManager(std::shared_ptr<UserDefaults> defaults,
                        std::shared_ptr<NotificationPoster> poster,
                        std::shared_ptr<MainQueue> mainQueue);

    // Whether clean notifications are posted. The setter publishes, then
    // stores the value under kEnabledKey, on every assignment.
    bool isEnabled() const { return isEnabled_.get(); }
    void setIsEnabled(bool enabled);
    Signal<bool>& isEnabledPublisher() const { return isEnabled_.publisher(); }

    // Whether Command Guard notifications are posted; stored under
    // kCommandWarningsEnabledKey like isEnabled.
    bool areCommandWarningsEnabled() const { return areCommandWarningsEnabled_.get(); }
    void setAreCommandWarningsEnabled(bool enabled);
    Signal<bool>& areCommandWarningsEnabledPublisher() const {
        return areCommandWarningsEnabled_.publisher();
    }

    // The last permission answer; false until one arrives, at every start.
    bool authorized() const { return authorized_.get(); }
    Signal<bool>& authorizedPublisher() const { return authorized_.publisher(); }

    // True when a poster is installed and its service answered the permission
    // request positively.
    bool canPostNotifications() const { return poster_ != nullptr && authorized(); }

    // Asks the poster for permission; the answer becomes `authorized` on the
    // main queue (dropped when the manager is gone by then). Does nothing
    // without a poster. May be called any number of times.
    void requestPermission();

    // Posts "URL Cleaned" with notificationBody(result), when isEnabled and
    // canPostNotifications(); otherwise does nothing.
    void sendCleanNotification(const CleanResult& result);

    // Posts "Risky command copied" (or "Risky command neutralized") with the
    // primary finding's summary, when areCommandWarningsEnabled and
    // canPostNotifications(); isEnabled does not matter.
    void sendCommandWarningNotification(const CommandRiskResult& result, bool neutralized = false);

    // The body of a clean notification: the resolved share link when the
    // network resolved one, else the removed trackers, else the privacy rewrite.
    static std::string notificationBody(const CleanResult& result);

    // The body of a Command Guard notification.
    static std::string commandWarningBody(const CommandRiskResult& result, bool neutralized);

private:
    void post(std::string_view title, std::string body);

    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<NotificationPoster> poster_;
    std::shared_ptr<MainQueue> mainQueue_;
    // Watched weakly by pending permission answers, so an answer that arrives
    // after the manager is gone is dropped.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);

    Published<bool> isEnabled_;
    Published<bool> areCommandWarningsEnabled_;
    Published<bool> authorized_{*this, false};
};

}  // namespace scourlet
