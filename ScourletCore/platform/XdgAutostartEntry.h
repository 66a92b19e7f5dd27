// XdgAutostartEntry: launch at login on Linux desktops, through the XDG
// autostart folders.
//
// Registering writes "$XDG_CONFIG_HOME/autostart/<file name>" in one atomic
// replace, with "Exec" set to the program's absolute path, quoted and escaped
// (DesktopEntry::execValue), so a path with a space, a quote or "%" stays one
// argument. Unregistering removes that file; when a system-wide entry of the
// same name exists (in a "$XDG_CONFIG_DIRS/autostart" folder) it writes an
// entry with "Hidden=true" instead, which hides the system one. The real state
// is read back from the files: the entry the desktop would use (the user's, or
// else the first system-wide one) is present, not hidden or switched off, and
// its "Exec" starts this very program.
//
//   XdgAutostartEntry autostart({"com.morrowgate.scourlet.desktop", "Scourlet",
//                                "com.morrowgate.scourlet"},
//                               programPath, XdgAutostartEntry::Locations::fromEnvironment());
//   if (auto r = autostart.registerLoginItem(); !r) show(r.error().message);
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/platform/LoginItemService.h"

namespace scourlet {

class XdgAutostartEntry final : public LoginItemService {
public:
    struct Identity {
        std::string fileName;  // "<application id>.desktop"
        std::string name;      // the entry's Name
        std::string iconName;  // the entry's Icon; empty: none
    };

    struct Locations {
        // $XDG_CONFIG_HOME/autostart; nothing when there is no config home.
        std::optional<std::filesystem::path> userFolder;
        // "autostart" in each folder of $XDG_CONFIG_DIRS (/etc/xdg when unset), in order.
        std::vector<std::filesystem::path> systemFolders;
        // $PATH, to find the program of an entry that names it without a folder.
        std::vector<std::filesystem::path> searchPath;

        // From the environment at the time of the call; relative folders are ignored.
        static Locations fromEnvironment();
    };

    // `program` is the running program's absolute path.
    XdgAutostartEntry(Identity identity, std::filesystem::path program, Locations locations);

    bool isRegistered() const override;
    Result<void, Error> registerLoginItem() override;
    Result<void, Error> unregisterLoginItem() override;

    // The user's entry file; nothing when there is no config home.
    std::optional<std::filesystem::path> userEntryFile() const;
    // The entry file the desktop would read: the user's when present, else the
    // first system-wide one; nothing when there is none.
    std::optional<std::filesystem::path> effectiveEntryFile() const;

private:
    std::optional<std::filesystem::path> systemEntryFile() const;
    bool startsThisProgram(const std::string& exec) const;
    Result<void, Error> writeUserEntry(const std::string& contents) const;

    Identity identity_;
    std::filesystem::path program_;
    Locations locations_;
};

}  // namespace scourlet
