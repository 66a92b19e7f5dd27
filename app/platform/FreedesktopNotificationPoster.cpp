#include "app/platform/FreedesktopNotificationPoster.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

namespace scourlet::app {

FreedesktopNotificationPoster::FreedesktopNotificationPoster(QObject* parent) : QObject(parent) {}

void FreedesktopNotificationPoster::setFallback(Fallback fallback, FallbackAvailable available) {
    fallback_ = std::move(fallback);
    fallbackAvailable_ = std::move(available);
}

void FreedesktopNotificationPoster::requestPermission(std::function<void(bool granted)> answer) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        serviceAvailable_ = false;
        answer(fallbackAvailable());
        return;
    }
    // Running now, or started by the bus on first use: either will show it.
    askBus(bus, "NameHasOwner", [this, bus, answer = std::move(answer)](const QVariant& owned) {
        if (owned.toBool()) {
            serviceAvailable_ = true;
            answer(true);
            return;
        }
        askBus(bus, "ListActivatableNames", [this, answer](const QVariant& names) {
            serviceAvailable_ = names.toStringList().contains(QString::fromLatin1(kService));
            answer(serviceAvailable_ || fallbackAvailable());
        });
    });
}

void FreedesktopNotificationPoster::askBus(QDBusConnection bus, const char* method,
                                           std::function<void(const QVariant&)> handle) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method);
    if (qstrcmp(method, "NameHasOwner") == 0) {
        ask << QString::fromLatin1(kService);
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [handle = std::move(handle)](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusMessage reply = call->reply();
                const bool answered = reply.type() == QDBusMessage::ReplyMessage &&
                                      !reply.arguments().isEmpty();
                handle(answered ? reply.arguments().constFirst() : QVariant());
            });
}

void FreedesktopNotificationPoster::post(const Notification& notification) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!serviceAvailable_ || !bus.isConnected()) {
        if (fallbackAvailable() && fallback_) {
            fallback_(notification);
        }
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    QVariantMap hints;
    hints.insert("suppress-sound", true);
    hints.insert("desktop-entry", QStringLiteral("com.morrowgate.scourlet"));
    notify << QStringLiteral("Scourlet") << quint32(0) << QStringLiteral("scourlet")
           << QString::fromStdString(notification.title)
           << QString::fromStdString(notification.body) << QStringList() << hints
           << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notification](QDBusPendingCallWatcher* call) {
                const bool failed = call->isError();
                call->deleteLater();
                if (failed && fallbackAvailable() && fallback_) {
                    fallback_(notification);  // the service went away meanwhile
                }
            });
}

}  // namespace scourlet::app
