// FreedesktopNotificationPoster: desktop notifications over the freedesktop
// notification service (org.freedesktop.Notifications on the session bus),
// with a fallback for desktops without one.
//
// Permission means "something will show the notification": the service is on
// the bus, or a fallback (the tray icon's own message balloon) is set and says
// it can show messages. Every D-Bus call is asynchronous, so a missing or slow
// service never blocks the event loop.
//
//   auto poster = std::make_shared<FreedesktopNotificationPoster>();
//   poster->setFallback([tray](const auto& n) { tray->showMessage(n.title, n.body); return true; });
//
// Main thread only (the permission answer comes on the main thread).
#pragma once

#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QVariant>

#include "ScourletCore/clipboard/NotificationPoster.h"

namespace scourlet::app {

class FreedesktopNotificationPoster final : public QObject, public NotificationPoster {
    Q_OBJECT
public:
    // Shows a notification another way; false when it cannot.
    using Fallback = std::function<bool(const Notification&)>;
    // Whether the fallback can show anything now.
    using FallbackAvailable = std::function<bool()>;

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

    explicit FreedesktopNotificationPoster(QObject* parent = nullptr);

    void setFallback(Fallback fallback, FallbackAvailable available);

    void requestPermission(std::function<void(bool granted)> answer) override;
    void post(const Notification& notification) override;

    // Whether the last permission check found the service on the bus.
    bool serviceAvailable() const { return serviceAvailable_; }

private:
    void askBus(QDBusConnection bus, const char* method,
                std::function<void(const QVariant&)> handle);
    bool fallbackAvailable() const { return fallbackAvailable_ && fallbackAvailable_(); }

    Fallback fallback_;
    FallbackAvailable fallbackAvailable_;
    bool serviceAvailable_ = false;
};

}  // namespace scourlet::app
