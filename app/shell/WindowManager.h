// WindowManager: the application's single windows, one per id, each created on
// first use and kept (hidden when closed) for the life of the process.
//
// A window is plugged in by registering a factory for its id; until then the
// id has no window and hasWindow() answers false, which is how the menu knows
// to leave the items that open it out. Closing windows never ends the program.
// The windows read through assistive technology as windows named by their
// title (WindowAccessibility.h).
//
//   manager.registerWindow(kWelcomeWindowId, [&] { return new WelcomeWindow(state); });
//   manager.showWindow(kWelcomeWindowId);        // creates, shows, raises, activates
//   manager.showSettingsPane(kAdvancedPane);     // stores the pane, then shows "settings"
//
// Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "ScourletCore/platform/UserDefaults.h"

namespace scourlet::app {

class WindowManager final : public QObject {
    Q_OBJECT
public:
    // Makes the window's widget (without a parent: a top-level window). Called
    // at most once per id while the window lives.
    using Factory = std::function<QWidget*()>;

    // `standardDefaults` is where the selected settings pane is stored.
    explicit WindowManager(std::shared_ptr<UserDefaults> standardDefaults,
                           QObject* parent = nullptr);
    ~WindowManager() override;

    // Installs (or replaces) the factory of `id`. A window already made under
    // the old factory is kept.
    void registerWindow(std::string_view id, Factory factory);
    bool hasWindow(std::string_view id) const;

    // Brings the window of `id` forward: made on first use, given its title and
    // default size, shown (restored when minimised), raised and activated. False (and nothing happens)
    // when no factory is registered for `id`.
    bool showWindow(std::string_view id);

    // Stores `pane` as the settings window's selected pane, then shows the
    // settings window. False when no settings window is registered (the pane is
    // stored all the same, for when it is).
    bool showSettingsPane(std::string_view pane);

    // The window of `id` when it was made; null otherwise.
    QWidget* existingWindow(std::string_view id) const;

Q_SIGNALS:
    // A window was brought forward: the application became active.
    void windowShown(const QString& id);

private:
    struct Entry {
        Factory factory;
        QPointer<QWidget> window;
    };

    std::shared_ptr<UserDefaults> standardDefaults_;
    std::map<std::string, Entry, std::less<>> windows_;
};

}  // namespace scourlet::app
