// TrayIcon: the application's icon in the desktop's system tray, with the
// tray menu, redrawn whenever the application state changes. What the menu
// has to tell the user (a link it could not open) shows as the icon's message.
//
// Where the desktop has no system tray (some desktops, a bare X server) the
// icon cannot be shown; the application goes on cleaning, and available()
// tells the start-up code to say so.
//
//   TrayIcon tray(state, menu);
//   tray.show();
//
// Main thread only.
#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include "app/shell/TrayLabel.h"

namespace scourlet::app {

class AppState;
class TrayMenu;

class TrayIcon final : public QObject {
    Q_OBJECT
public:
    TrayIcon(AppState& state, TrayMenu& menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    void show();
    // Whether the desktop offers a system tray now.
    static bool available();
    // Shows a message balloon from the icon; false when the tray cannot.
    bool showMessage(const QString& title, const QString& body);

    // What the icon shows now.
    const TrayLabel& label() const { return label_; }
    QSystemTrayIcon& systemTrayIcon() { return icon_; }

    // Redraws the icon and tooltip from the state.
    void refresh();

private:
    AppState& state_;
    QSystemTrayIcon icon_;
    TrayLabel label_;
};

}  // namespace scourlet::app
