// CommandLineToolInstaller: puts the `scourlet` command-line tool on the
// user's PATH.
//
// The tool that ships beside the application, and the core's resource bundle
// it needs, are copied into the application's data folder
// ($XDG_DATA_HOME/com.morrowgate.scourlet/CommandLineTool) and linked from
// ~/.local/bin/scourlet. Nothing the user owns is destroyed on the way:
//  - only a symbolic link at the link path is replaced; a regular file there is
//    moved aside under a dated name (the status says where), and a folder there
//    is refused and left untouched;
//  - the new tool and bundle are staged under temporary names and renamed into
//    place, so an installation that fails midway keeps the previous one working;
//  - "installed" means the link resolves to our installed, executable tool, and
//    an installation only reports success once that tool answers --version.
// The status line (a text and a colour) is the only report; install() never throws.
//
//   CommandLineToolInstaller installer(CommandLineToolInstaller::defaultPaths(), clock);
//   installer.refreshStatus();               // isInstalled(), statusMessage()
//   installer.install();                     // statusColor() green or red afterwards
//
// Main thread only; install() runs synchronously.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet::app {

class CommandLineToolInstaller {
public:
    // File name of the tool, beside the application and in every target.
    static constexpr std::string_view commandName = "scourlet";

    enum class StatusColor { secondary, green, red };

    // Where the tool comes from and where it goes.
    struct Paths {
        std::filesystem::path toolSource;        // the shipped executable
        std::filesystem::path rulesSource;       // the core's resource bundle folder
        std::filesystem::path installDirectory;  // receives the tool and the bundle
        std::filesystem::path binDirectory;      // receives the link

        std::filesystem::path installedTool() const { return installDirectory / commandName; }
        std::filesystem::path installedRules() const;
        std::filesystem::path linkPath() const { return binDirectory / commandName; }
    };

    // The places for this process and user: the tool beside the running
    // program, the bundle the core found, the data folder and ~/.local/bin.
    // Nothing when there is no home folder; the missing pieces of the
    // application (tool, bundle) are reported by install(), not here.
    static std::optional<Paths> defaultPaths();

    // Touches no file. `paths` absent: install() fails with the home-folder text.
    CommandLineToolInstaller(std::optional<Paths> paths, std::shared_ptr<const Clock> clock);

    const std::optional<std::string>& statusMessage() const { return statusMessage_; }
    StatusColor statusColor() const { return statusColor_; }
    bool isWorking() const { return isWorking_; }
    bool isInstalled() const { return isInstalled_; }
    // Our own link is there but the tool it leads to no longer runs: the next
    // install() mends it.
    bool needsReinstall() const { return needsReinstall_; }
    const std::optional<Paths>& paths() const { return paths_; }

    // Sets isInstalled(): the link resolves to our installed tool, a regular
    // executable file. When installed the status reads "Installed at <link>."
    // in green. When our own link leads to a tool that no longer runs (or to
    // none) it sets needsReinstall() and says so in red; when another file
    // stands at the link path the status says so; otherwise the status is left
    // as it was.
    void refreshStatus();

    // Installs (see the file comment) and sets the status: "Installed at <link>.
    // If your shell cannot find it, add <bin folder> to your PATH." in green, or
    // "Install failed: <reason>" in red with isInstalled() unchanged.
    void install();

    // The error texts of install().
    static constexpr std::string_view missingHomeText = "Scourlet could not find your home folder.";
    static constexpr std::string_view missingToolText =
        "The bundled scourlet tool is missing. Reinstall Scourlet.";
    static constexpr std::string_view missingRulesText =
        "The bundled Scourlet rules are missing. Reinstall Scourlet.";

private:
    struct Failure {
        std::string text;
    };
    // The installation steps: the note on a file moved aside (empty when none
    // was), or the text of the first failure.
    Result<std::string, Failure> performInstall();
    // The link at the link path names our installed tool, whatever state that is in.
    bool linkPointsAtInstalledTool() const;
    // ...and the tool is a regular executable file.
    bool linkResolvesToInstalledTool() const;

    std::optional<Paths> paths_;
    std::shared_ptr<const Clock> clock_;
    std::optional<std::string> statusMessage_;
    StatusColor statusColor_ = StatusColor::secondary;
    bool isWorking_ = false;
    bool isInstalled_ = false;
    bool needsReinstall_ = false;
};

}  // namespace scourlet::app
