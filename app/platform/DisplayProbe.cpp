#include "app/platform/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace scourlet::app {

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The value after `option` ("-platform", "-display") among the arguments, as
// Qt reads it: the option may also start with "--"; the last one counts.
std::optional<std::string> argumentValue(int argc, char** argv, std::string_view option) {
    std::optional<std::string> value;
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view argument(argv[i]);
        if (argument.starts_with("--")) {
            argument.remove_prefix(1);
        }
        if (argument == option) {
            value = argv[++i];
        }
    }
    return value;
}

// A name from the environment or the command line, quoted, on one line.
std::string quoted(std::string_view name) {
    std::string text = "\"";
    for (const char c : name) {
        text += std::iscntrl(static_cast<unsigned char>(c)) ? '?' : c;
    }
    return text + "\"";
}

// The platform plugins Qt tries, lower-case and without their options.
std::vector<std::string> platformNames(int argc, char** argv) {
    const std::string list =
        argumentValue(argc, argv, "-platform").value_or(environmentValue("QT_QPA_PLATFORM"));
    std::vector<std::string> names;
    std::string_view rest(list);
    while (true) {
        const std::size_t end = rest.find(';');
        std::string name(rest.substr(0, std::min(rest.find(':'), end)));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!name.empty()) {
            names.push_back(std::move(name));
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    if (names.empty()) {
        names.emplace_back("xcb");  // Qt's own choice on Linux without a session type
    }
    return names;
}

std::optional<std::string> x11Problem(int argc, char** argv) {
    const auto given = argumentValue(argc, argv, "-display");
    const std::string display = given.value_or(environmentValue("DISPLAY"));
    if (display.empty()) {
        return std::string("no X display is named (DISPLAY is not set)");
    }
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (opened) {
        return std::nullopt;
    }
    return "the X display " + quoted(display) + (given ? " (-display)" : " (DISPLAY)") +
           " could not be opened";
}

bool acceptsConnection(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

std::optional<std::string> waylandProblem() {
    if (!environmentValue("WAYLAND_SOCKET").empty()) {
        return std::nullopt;  // the compositor handed over a connection already made
    }
    std::string display = environmentValue("WAYLAND_DISPLAY");
    const char* source = " (WAYLAND_DISPLAY)";
    if (display.empty()) {
        display = "wayland-0";  // what the Wayland client library opens then
        source = " (the default: WAYLAND_DISPLAY is not set)";
    }
    const std::string failed =
        "the Wayland display " + quoted(display) + source + " could not be opened";
    std::string socketPath = display;
    if (!display.starts_with('/')) {
        const std::string runtime = environmentValue("XDG_RUNTIME_DIR");
        if (runtime.empty()) {
            return failed + ": XDG_RUNTIME_DIR is not set";
        }
        socketPath = runtime + "/" + display;
    }
    if (acceptsConnection(socketPath)) {
        return std::nullopt;
    }
    return failed;
}

}  // namespace

std::optional<std::string> DisplayProbe::problem(int argc, char** argv) {
    std::optional<std::string> first;
    for (const std::string& name : platformNames(argc, argv)) {
        std::optional<std::string> problem;
        if (name == "xcb") {
            problem = x11Problem(argc, argv);
        } else if (name.starts_with("wayland")) {
            problem = waylandProblem();
        }
        if (!problem) {
            return std::nullopt;
        }
        if (!first) {
            first = std::move(problem);
        }
    }
    return first;
}

}  // namespace scourlet::app
