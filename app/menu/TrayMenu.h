// TrayMenu: the tray icon's pull-down menu, kept up to date from the menu model
// when it opens and whenever the application state changes.
//
// Every row comes from buildMenu(); this class turns rows into QActions and
// carries out what a chosen row asks. A menu the user is looking at is never
// torn down: each row keeps its QAction for as long as it exists (a tray host
// clicks rows by the id Qt derives from it), a changed row is updated in place,
// a row that goes away is hidden and comes back in the same action, and an
// unchanged model touches nothing.
//
// The same action serves two readers that treat text differently. The menu
// widget (XEmbed trays, a left click) draws the row's text with every "&"
// doubled; the action's own text is the form Qt's D-Bus menu export turns into
// the exact row text on a StatusNotifierItem tray (dbusMenuActionText). The
// rows have no access keys. Screen readers get the row's accessibility label
// (or its text) as the name and its help text as the description.
//
// Copy rows write as the clipboard monitor's own write, so the next poll
// leaves the copied text alone. Rows that open a window appear only while the
// window manager has that window. A converted map link goes to the link
// opener (openLink() unless the caller chose another); when nothing could be
// started for it, the menu asks for a message to the user (messageForUser,
// which the tray icon shows) and records nothing.
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
#include "app/platform/LinkOpener.h"

namespace scourlet::app {

class AppState;
class WindowManager;

class TrayMenu final : public QMenu {
    Q_OBJECT
public:
    static constexpr std::string_view kWelcomeAcknowledgedKey = "welcome_help_acknowledged";

    static constexpr std::string_view kMapLinkNotOpenedTitle = "Map link not opened";
    static constexpr std::string_view kMapLinkNotOpenedBody =
        "No program could be started to open it. Opening links needs xdg-open (xdg-utils) "
        "and a browser.";

    TrayMenu(AppState& state, WindowManager& windows, LinkOpener opener = openLink,
             QWidget* parent = nullptr);
    ~TrayMenu() override;

    // Brings the rows up to the current state, in place; does nothing when the
    // rows are those shown.
    void refresh();

    // The shown row with this identifier (its action's objectName), or null.
    QAction* actionFor(std::string_view identifier) const;
    // The row an action of this menu stands for (also a hidden one), or null.
    const MenuItem* rowFor(const QAction* action) const;

Q_SIGNALS:
    // Something the user should learn of outside the menu (a link that did
    // not open); the text holds nothing the user copied.
    void messageForUser(const QString& title, const QString& body);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Row {
        MenuItem item;
        QAction* action = nullptr;
    };

    std::vector<MenuItem> currentRows() const;
    void apply(std::vector<MenuItem> rows);
    void keepOnScreen();
    Row* rowNamed(std::string_view identifier);
    QAction* makeAction(const MenuItem& item);
    void choose(QAction* action);
    void perform(const MenuItem& item);
    void openMapLink();

    AppState& state_;
    WindowManager& windows_;
    LinkOpener opener_;
    // Every row made so far, shown or hidden.
    std::vector<Row> rows_;
    // The rows shown, in order.
    std::vector<MenuItem> shown_;
};

}  // namespace scourlet::app
