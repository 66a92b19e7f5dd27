#include "app/cli-installer/CommandLineToolInstaller.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <system_error>
#include <thread>

#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/ResourceBundle.h"

extern char** environ;

namespace scourlet::app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kInstallFolder = "com.morrowgate.scourlet/CommandLineTool";
constexpr std::chrono::seconds kVersionCheckLimit{5};

bool isExecutableRegularFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string describe(const std::error_code& error, const fs::path& path) {
    return path.string() + ": " + error.message();
}

// A name beside `target` that nothing else uses, for staging a copy.
fs::path stagingName(const fs::path& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    for (;;) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%016llx",
                      static_cast<unsigned long long>(random()));
        fs::path candidate = target.parent_path() / ("." + target.filename().string() + ".tmp-" + suffix);
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) {
            return candidate;
        }
    }
}

// The current time as "20261210-171502" (UTC), for a file moved aside.
std::string datedSuffix(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

// Runs `tool --version` with its output discarded; true when it exits with 0
// within the limit. A tool that hangs is killed.
bool answersVersion(const fs::path& tool) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = tool.string();
    std::string flag = "--version";
    char* arguments[] = {program.data(), flag.data(), nullptr};
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + kVersionCheckLimit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (done < 0) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Removes a staged copy; errors are of no interest any more.
void discard(const fs::path& path) {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

}  // namespace

fs::path CommandLineToolInstaller::Paths::installedRules() const {
    return installDirectory / kResourceBundleName;
}

std::optional<CommandLineToolInstaller::Paths> CommandLineToolInstaller::defaultPaths() {
    const char* home = std::getenv("HOME");
    const auto dataHome = applicationSupportDirectory();
    if (home == nullptr || home[0] != '/' || !dataHome) {
        return std::nullopt;
    }
    Paths paths;
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    paths.toolSource = error ? fs::path(commandName) : program.parent_path() / commandName;
    if (const ResourceBundle* bundle = ResourceBundle::cleanLinkResources()) {
        paths.rulesSource = bundle->path();
    }
    paths.installDirectory = *dataHome / kInstallFolder;
    paths.binDirectory = fs::path(home) / ".local" / "bin";
    return paths;
}

CommandLineToolInstaller::CommandLineToolInstaller(std::optional<Paths> paths,
                                                   std::shared_ptr<const Clock> clock)
    : paths_(std::move(paths)), clock_(std::move(clock)) {}

bool CommandLineToolInstaller::linkPointsAtInstalledTool() const {
    if (!paths_) {
        return false;
    }
    const fs::path link = paths_->linkPath();
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(link, error))) {
        return false;
    }
    // Read, not followed: the tool it names may be gone or broken.
    fs::path target = fs::read_symlink(link, error);
    if (error) {
        return false;
    }
    if (target.is_relative()) {
        target = link.parent_path() / target;
    }
    const fs::path named = fs::weakly_canonical(target, error);
    if (error) {
        return false;
    }
    const fs::path installed = fs::weakly_canonical(paths_->installedTool(), error);
    return !error && named == installed;
}

bool CommandLineToolInstaller::linkResolvesToInstalledTool() const {
    return linkPointsAtInstalledTool() && isExecutableRegularFile(paths_->installedTool());
}

void CommandLineToolInstaller::refreshStatus() {
    isInstalled_ = linkResolvesToInstalledTool();
    needsReinstall_ = false;
    if (isInstalled_) {
        statusMessage_ = "Installed at " + paths_->linkPath().string() + ".";
        statusColor_ = StatusColor::green;
        return;
    }
    // Our own link whose tool no longer runs (its execute bit lost, the copy
    // deleted or replaced by something else): ours to mend, not someone else's.
    if (linkPointsAtInstalledTool()) {
        needsReinstall_ = true;
        statusMessage_ = "The scourlet at " + paths_->linkPath().string() +
                         " no longer runs. Reinstall it to mend it.";
        statusColor_ = StatusColor::red;
        return;
    }
    std::error_code error;
    if (paths_ && fs::exists(fs::symlink_status(paths_->linkPath(), error)) &&
        fs::exists(paths_->linkPath(), error)) {
        statusMessage_ = "Another scourlet is at " + paths_->linkPath().string() + ".";
        statusColor_ = StatusColor::secondary;
    }
}

void CommandLineToolInstaller::install() {
    isWorking_ = true;
    auto outcome = performInstall();
    if (outcome) {
        isInstalled_ = true;
        needsReinstall_ = false;
        statusMessage_ = "Installed at " + paths_->linkPath().string() +
                         ". If your shell cannot find it, add " + paths_->binDirectory.string() +
                         " to your PATH." + *outcome;
        statusColor_ = StatusColor::green;
    } else {
        statusMessage_ = "Install failed: " + outcome.error().text;
        statusColor_ = StatusColor::red;
    }
    isWorking_ = false;
}

Result<std::string, CommandLineToolInstaller::Failure> CommandLineToolInstaller::performInstall() {
    if (!paths_) {
        return Failure{std::string(missingHomeText)};
    }
    const Paths& paths = *paths_;
    if (!isExecutableRegularFile(paths.toolSource)) {
        return Failure{std::string(missingToolText)};
    }
    std::error_code error;
    if (paths.rulesSource.empty() || !fs::is_directory(paths.rulesSource, error)) {
        return Failure{std::string(missingRulesText)};
    }
    // A folder where the link goes is the user's: refuse before touching anything.
    const fs::path link = paths.linkPath();
    const fs::file_status linkStatus = fs::symlink_status(link, error);
    if (fs::is_directory(linkStatus)) {
        return Failure{link.string() + " is a folder; Scourlet leaves it alone."};
    }

    for (const fs::path& folder : {paths.installDirectory, paths.binDirectory}) {
        fs::create_directories(folder, error);
        if (error) {
            return Failure{describe(error, folder)};
        }
    }

    // Stage both copies; until both are complete the previous install is untouched.
    const fs::path tool = paths.installedTool();
    const fs::path rules = paths.installedRules();
    const bool toolIsSource = fs::equivalent(paths.toolSource, tool, error) && !error;
    error.clear();
    const bool rulesAreSource = fs::equivalent(paths.rulesSource, rules, error) && !error;
    error.clear();
    fs::path stagedTool;
    if (!toolIsSource) {
        stagedTool = stagingName(tool);
        fs::copy_file(paths.toolSource, stagedTool, error);
        if (!error) {
            fs::permissions(stagedTool, fs::perms(0755), fs::perm_options::replace, error);
        }
        if (error) {
            discard(stagedTool);
            return Failure{describe(error, tool)};
        }
    }
    fs::path stagedRules;
    if (!rulesAreSource) {
        stagedRules = stagingName(rules);
        fs::copy(paths.rulesSource, stagedRules, fs::copy_options::recursive, error);
        if (error) {
            discard(stagedTool);
            discard(stagedRules);
            return Failure{describe(error, rules)};
        }
    }

    // Put them in place: a file renames over the old one; a folder cannot, so
    // the old bundle steps aside first and comes back if the swap fails.
    if (!stagedTool.empty()) {
        fs::rename(stagedTool, tool, error);
        if (error) {
            discard(stagedTool);
            discard(stagedRules);
            return Failure{describe(error, tool)};
        }
    }
    if (!stagedRules.empty()) {
        const fs::path previousRules = stagingName(rules);
        std::error_code ignored;
        const bool hadRules = fs::exists(fs::symlink_status(rules, ignored));
        if (hadRules) {
            fs::rename(rules, previousRules, error);
        }
        if (!error) {
            fs::rename(stagedRules, rules, error);
            if (error && hadRules) {
                fs::rename(previousRules, rules, ignored);
            }
        }
        if (error) {
            discard(stagedRules);
            return Failure{describe(error, rules)};
        }
        discard(previousRules);
    }
    fs::permissions(tool, fs::perms(0755), fs::perm_options::replace, error);
    if (error) {
        return Failure{describe(error, tool)};
    }

    // The link: a regular file of the user's is kept under a dated name; an
    // old link is replaced in one rename.
    std::string note;
    if (fs::exists(linkStatus) && !fs::is_symlink(linkStatus)) {
        const std::string base = link.filename().string() + ".replaced-" + datedSuffix(clock_->now());
        fs::path aside = link.parent_path() / base;
        std::error_code ignored;
        for (int n = 2; fs::exists(fs::symlink_status(aside, ignored)); ++n) {
            aside = link.parent_path() / (base + "-" + std::to_string(n));
        }
        fs::rename(link, aside, error);
        if (error) {
            return Failure{describe(error, link)};
        }
        note = " The file that was there is kept as " + aside.string() + ".";
    }
    const fs::path stagedLink = stagingName(link);
    fs::create_symlink(fs::absolute(tool), stagedLink, error);
    if (!error) {
        fs::rename(stagedLink, link, error);
    }
    if (error) {
        discard(stagedLink);
        return Failure{describe(error, link)};
    }

    if (!linkResolvesToInstalledTool() || !answersVersion(link)) {
        return Failure{"the installed scourlet tool at " + tool.string() +
                       " did not run (scourlet --version failed)."};
    }
    return note;
}

}  // namespace scourlet::app
