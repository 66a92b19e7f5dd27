// MenuItem: one row of the tray menu as the model describes it, before any
// widget exists.
//
// The texts are final plain text (controls and bidi characters made visible,
// cut where the row asks for it); only the escapes of "&" and "_" that a menu
// or a tray's D-Bus menu needs are left to the widget. `command` says what
// choosing the row does; `payload` carries what that command needs (the exact
// text to copy).
#pragma once

#include <string>

namespace scourlet::app {

enum class MenuCommand {
    none,                     // a text row or a separator
    toggleAutoClean,          // switch cleaning of copied links
    toggleAutoResolve,        // switch automatic share-link resolution
    cleanNow,                 // clean what the clipboard holds now
    openSettings,             // bring the settings window forward (on the pane in `payload`, if any)
    openReport,               // bring the missed-tracker report window forward
    openWelcome,              // mark the welcome help seen, bring its window forward
    copyText,                 // put `payload` on the clipboard as the monitor's own write
    clearCommandWarning,      // forget the last risky command
    resolveShareLink,         // resolve the pending share link over the network
    openMapLink,              // open the converted map link
    restoreOriginal,          // put the original of the last clean back
    disableCleaningForSite,   // add the last clean's host to the site exceptions
    showUpdate,               // open the settings where the update of `payload` (a class) is
    quit,                     // end the application
};

struct MenuItem {
    enum class Kind {
        action,     // a button
        toggle,     // a switch with a check mark
        text,       // information that cannot be chosen
        separator,
    };

    Kind kind = Kind::action;
    MenuCommand command = MenuCommand::none;
    std::string text{};
    std::string toolTip{};
    std::string accessibleName{};
    // Stable name for tests and accessibility tools (the widget's objectName).
    std::string identifier{};
    std::string payload{};
    bool enabled = true;
    bool checked = false;

    bool operator==(const MenuItem&) const = default;
};

}  // namespace scourlet::app
