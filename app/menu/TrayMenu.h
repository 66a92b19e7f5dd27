// TrayMenu: the tray icon's pull-down menu, rebuilt from the menu model each
// time it opens and whenever the application state changes.
//
// Every row comes from buildMenu(); this class only turns rows into QActions
// (plain text, "&" shown literally, tooltips escaped) and carries out what a
// chosen row asks. Copy rows write as the clipboard monitor's own write, so
// the next poll leaves the copied text alone. Rows that open a window appear
// only while the window manager has that window.
//
//   TrayMenu menu(state, windows);
//   tray.setContextMenu(&menu);
//
// Main thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QMenu>

#include "app/menu/MenuItem.h"

namespace scourlet::app {

class AppState;
class WindowManager;

class TrayMenu final : public QMenu {
    Q_OBJECT
public:
    static constexpr std::string_view kWelcomeAcknowledgedKey = "welcome_help_acknowledged";

    TrayMenu(AppState& state, WindowManager& windows, QWidget* parent = nullptr);
    ~TrayMenu() override;

    // Replaces the actions with the rows of the current state. The old actions
    // are deleted on a later turn, never while one of them is being triggered.
    void rebuild();

    // The action with this row identifier (its objectName), or null.
    QAction* actionFor(std::string_view identifier) const;

private:
    void perform(const MenuItem& item);
    void openMapLink();
    QAction* makeAction(const MenuItem& item);

    AppState& state_;
    WindowManager& windows_;
};

}  // namespace scourlet::app
