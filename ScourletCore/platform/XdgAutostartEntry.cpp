#include "ScourletCore/platform/XdgAutostartEntry.h"

#include <cstdlib>
#include <string_view>
#include <system_error>

#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/AtomicFileWrite.h"
#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/DesktopEntry.h"

namespace scourlet {

namespace fs = std::filesystem;

namespace {

// Autostart entries are a few hundred bytes; anything far larger is not ours.
constexpr std::size_t kMaximumEntryBytes = 64 * 1024;

// The absolute folders of a colon-separated list; empty and relative ones are skipped.
std::vector<fs::path> absoluteFolders(std::string_view list) {
    std::vector<fs::path> folders;
    while (true) {
        const std::size_t colon = list.find(':');
        const std::string_view folder = list.substr(0, colon);
        if (!folder.empty() && folder.front() == '/') {
            folders.emplace_back(folder);
        }
        if (colon == std::string_view::npos) {
            break;
        }
        list.remove_prefix(colon + 1);
    }
    return folders;
}

bool somethingAt(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

}  // namespace

XdgAutostartEntry::Locations XdgAutostartEntry::Locations::fromEnvironment() {
    Locations locations;
    if (auto configHome = xdgConfigHome()) {
        locations.userFolder = *configHome / "autostart";
    }
    const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
    std::vector<fs::path> systemConfig =
        absoluteFolders(configDirs != nullptr ? configDirs : std::string_view{});
    if (systemConfig.empty()) {
        systemConfig.emplace_back("/etc/xdg");
    }
    for (const fs::path& folder : systemConfig) {
        locations.systemFolders.push_back(folder / "autostart");
    }
    const char* path = std::getenv("PATH");
    locations.searchPath = absoluteFolders(path != nullptr ? path : std::string_view{});
    return locations;
}

XdgAutostartEntry::XdgAutostartEntry(Identity identity, fs::path program, Locations locations)
    : identity_(std::move(identity)),
      program_(std::move(program)),
      locations_(std::move(locations)) {}

std::optional<fs::path> XdgAutostartEntry::userEntryFile() const {
    if (!locations_.userFolder) {
        return std::nullopt;
    }
    return *locations_.userFolder / identity_.fileName;
}

std::optional<fs::path> XdgAutostartEntry::systemEntryFile() const {
    for (const fs::path& folder : locations_.systemFolders) {
        fs::path file = folder / identity_.fileName;
        if (somethingAt(file)) {
            return file;
        }
    }
    return std::nullopt;
}

std::optional<fs::path> XdgAutostartEntry::effectiveEntryFile() const {
    if (auto user = userEntryFile(); user && somethingAt(*user)) {
        return user;
    }
    return systemEntryFile();
}

bool XdgAutostartEntry::startsThisProgram(const std::string& exec) const {
    const std::optional<std::string> named = DesktopEntry::execProgram(exec);
    if (!named) {
        return false;
    }
    std::optional<fs::path> program;
    if (named->find('/') == std::string::npos) {
        // A bare name is looked up on the search path, as the session would.
        for (const fs::path& folder : locations_.searchPath) {
            if (somethingAt(folder / *named)) {
                program = folder / *named;
                break;
            }
        }
    } else if (named->front() == '/') {
        program = fs::path(*named);
    }
    if (!program) {
        return false;
    }
    std::error_code error;
    const bool same = fs::equivalent(*program, program_, error);
    if (!error) {
        return same;
    }
    return program->lexically_normal() == program_.lexically_normal();
}

bool XdgAutostartEntry::isRegistered() const {
    const std::optional<fs::path> file = effectiveEntryFile();
    if (!file) {
        return false;
    }
    const std::optional<std::string> text = readFileAtMost(*file, kMaximumEntryBytes);
    if (!text) {
        return false;
    }
    const std::optional<DesktopEntry> entry = DesktopEntry::parse(*text);
    if (!entry || entry->isTrue("Hidden") || entry->isFalse("X-GNOME-Autostart-enabled")) {
        return false;
    }
    const std::optional<std::string> exec = entry->value("Exec");
    return exec && startsThisProgram(*exec);
}

Result<void, Error> XdgAutostartEntry::writeUserEntry(const std::string& contents) const {
    if (!locations_.userFolder) {
        return Error{
            "There is no folder for autostart entries: neither XDG_CONFIG_HOME nor HOME "
            "names an absolute path."};
    }
    std::error_code error;
    fs::create_directories(*locations_.userFolder, error);
    if (error) {
        return Error{"Could not create the folder " + locations_.userFolder->string() + ": " +
                     error.message()};
    }
    return writeFileAtomically(*userEntryFile(), contents);
}

Result<void, Error> XdgAutostartEntry::registerLoginItem() {
    if (!program_.is_absolute()) {
        return Error{"The program's path is not absolute: " + program_.string()};
    }
    Result<std::string, Error> exec = DesktopEntry::execValue(program_.string());
    if (!exec) {
        return Error{exec.error().message + " It cannot be started at login."};
    }
    std::string contents = "[Desktop Entry]\nType=Application\n";
    contents += "Name=" + DesktopEntry::escapedString(identity_.name) + "\n";
    contents += "Exec=" + *exec + "\n";
    if (!identity_.iconName.empty()) {
        contents += "Icon=" + DesktopEntry::escapedString(identity_.iconName) + "\n";
    }
    contents += "Terminal=false\nX-GNOME-Autostart-enabled=true\n";
    return writeUserEntry(contents);
}

Result<void, Error> XdgAutostartEntry::unregisterLoginItem() {
    if (systemEntryFile()) {
        // Removing our file would let the system-wide entry start the program.
        return writeUserEntry("[Desktop Entry]\nType=Application\nName=" +
                              DesktopEntry::escapedString(identity_.name) + "\nHidden=true\n");
    }
    const std::optional<fs::path> file = userEntryFile();
    if (!file) {
        return {};
    }
    std::error_code error;
    fs::remove(*file, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        return Error{"Could not remove " + file->string() + ": " + error.message()};
    }
    return {};
}

}  // namespace scourlet
