#include "safari-extension/DesktopClipboardWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "safari-extension/internal/SigpipeSuppression.h"

extern char** environ;

namespace scourlet::nativehost {
namespace {

using SteadyClock = std::chrono::steady_clock;

std::optional<std::string_view> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string_view>(value) : std::nullopt;
}

bool isSet(std::optional<std::string_view> value) {
    return value && !value->empty();
}

int millisecondsLeft(SteadyClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_;
};

std::string describeErrno(std::string_view what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

struct RunFailure {
    std::string message;
    bool toolMissing = false;  // not found on PATH
};

// Starts `command` with `inputFd` as its standard input.
Result<pid_t, RunFailure> spawnTool(const std::vector<std::string>& command, int inputFd) {
    FileActions actions;
    posix_spawn_file_actions_adddup2(actions.get(), inputFd, STDIN_FILENO);
    posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    SpawnAttributes attributes;
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#if defined(__APPLE__)
    // Every descriptor not named above is closed in the tool.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
#else
    posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
#endif
    posix_spawnattr_setflags(attributes.get(), flags);
    sigset_t noSignals;
    sigemptyset(&noSignals);
    posix_spawnattr_setsigmask(attributes.get(), &noSignals);
    // The host ignores SIGPIPE; the tool gets the usual handling back.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(attributes.get(), &defaults);

    std::vector<char*> argv;
    for (const auto& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error =
        posix_spawnp(&pid, argv[0], actions.get(), attributes.get(), argv.data(), environ);
    if (error != 0) {
        return RunFailure{describeErrno("could not start " + command[0], error), error == ENOENT};
    }
    return pid;
}

// Writes all of `text` to the tool's input before the deadline.
Result<void> feed(int fd, std::string_view text, SteadyClock::time_point deadline) {
    internal::SigpipeSuppression noSigpipe;
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written > 0) {
            text.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return Error{describeErrno("could not hand the text over", errno)};
        }
        pollfd ready{fd, POLLOUT, 0};
        const int timeout = millisecondsLeft(deadline);
        if (timeout == 0 || (poll(&ready, 1, timeout) == 0)) {
            return Error{"the clipboard tool did not take the text in time"};
        }
    }
    return {};
}

// The tool's exit status, or an error when it had not exited by the deadline
// (it is then killed and reaped).
Result<int> awaitExit(pid_t pid, SteadyClock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return status;
        }
        if (done < 0 && errno != EINTR) {
            return Error{describeErrno("could not wait for the clipboard tool", errno)};
        }
        if (SteadyClock::now() >= deadline) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return Error{"the clipboard tool did not finish in time"};
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

Result<void, RunFailure> runTool(const std::vector<std::string>& command, std::string_view text,
                                 std::chrono::milliseconds timeLimit) {
    const auto deadline = SteadyClock::now() + timeLimit;
    int fds[2];
    if (pipe(fds) != 0) {
        return RunFailure{describeErrno("could not make a pipe", errno)};
    }
    Descriptor readEnd(fds[0]);
    Descriptor writeEnd(fds[1]);
    for (const int fd : fds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    fcntl(writeEnd.get(), F_SETFL, fcntl(writeEnd.get(), F_GETFL) | O_NONBLOCK);

    auto pid = spawnTool(command, readEnd.get());
    if (!pid) {
        return pid.error();
    }
    readEnd.reset();
    auto fed = feed(writeEnd.get(), text, deadline);
    writeEnd.reset();  // end of input: the tool may finish now
    auto status = awaitExit(*pid, deadline);
    if (!status) {
        return RunFailure{status.error().message};
    }
    // The tool's own verdict says most; a tool that exited 0 without taking
    // the whole text did not copy it either.
    if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
        const std::string how = WIFEXITED(*status)
                                    ? "exited with status " + std::to_string(WEXITSTATUS(*status))
                                    : "was ended by a signal";
        return RunFailure{command[0] + " " + how};
    }
    if (!fed) {
        return RunFailure{fed.error().message};
    }
    return {};
}

}  // namespace

std::vector<std::vector<std::string>> DesktopClipboardWriter::commandsFor(
    std::optional<std::string_view> waylandDisplay, std::optional<std::string_view> display) {
    std::vector<std::vector<std::string>> commands;
    if (isSet(waylandDisplay)) {
        commands.push_back({"wl-copy"});
    }
    if (isSet(display)) {
        commands.push_back({"xclip", "-selection", "clipboard"});
    }
    return commands;
}

Result<void> DesktopClipboardWriter::writeText(std::string_view text) {
    const auto commands =
        commandsFor(environmentValue("WAYLAND_DISPLAY"), environmentValue("DISPLAY"));
    if (commands.empty()) {
        return Error{"no desktop session (neither WAYLAND_DISPLAY nor DISPLAY is set)"};
    }
    std::string failures;
    for (const auto& command : commands) {
        auto ran = runTool(command, text, timeLimit_);
        if (ran) {
            return {};
        }
        failures += failures.empty() ? "" : "; ";
        failures += ran.error().message;
        // Only a missing tool lets the next one try: a tool that ran and
        // failed may have changed the clipboard already.
        if (!ran.error().toolMissing) {
            break;
        }
    }
    return Error{failures};
}

}  // namespace scourlet::nativehost
