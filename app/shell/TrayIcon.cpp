#include "app/shell/TrayIcon.h"

#include "app/menu/TrayMenu.h"
#include "app/shell/AppState.h"
#include "app/shell/TrayIconRenderer.h"

namespace scourlet::app {

TrayIcon::TrayIcon(AppState& state, TrayMenu& menu, QObject* parent)
    : QObject(parent), state_(state) {
    icon_.setObjectName(QStringLiteral("tray-icon"));
    icon_.setContextMenu(&menu);
    connect(&state_, &AppState::changed, this, &TrayIcon::refresh);
    connect(&menu, &TrayMenu::messageForUser, this,
            [this](const QString& title, const QString& body) { showMessage(title, body); });
    // A left click opens the same menu as a right click.
    connect(&icon_, &QSystemTrayIcon::activated, this, [&menu](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            menu.popup(QCursor::pos());
        }
    });
    refresh();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show() {
    icon_.show();
}

bool TrayIcon::available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::showMessage(const QString& title, const QString& body) {
    if (!available() || !icon_.isVisible() || !QSystemTrayIcon::supportsMessages()) {
        return false;
    }
    icon_.showMessage(title, body, QSystemTrayIcon::NoIcon);
    return true;
}

void TrayIcon::refresh() {
    const ClipboardMonitor& monitor = *state_.monitor();
    TrayLabel next = trayLabel(state_.updateAwareness()->state(),
                               monitor.lastCommandRisk().has_value(), monitor.isEnabled());
    if (next == label_ && !icon_.icon().isNull()) {
        return;
    }
    label_ = std::move(next);
    std::optional<std::string_view> badge;
    if (label_.badgeSymbolName) {
        badge = *label_.badgeSymbolName;
    }
    icon_.setIcon(renderTrayIcon(label_.symbolName, badge));
    icon_.setToolTip(QString::fromStdString(label_.accessibilityLabel));
}

}  // namespace scourlet::app
