// DesktopClipboardWriter: writes the clipboard through the desktop's own
// clipboard tool, for a program that has no window.
//
// Under Wayland (WAYLAND_DISPLAY set) it runs "wl-copy"; under X11 (DISPLAY
// set), or when wl-copy is not installed but DISPLAY is set, it runs "xclip
// -selection clipboard". The tool is started directly, never through a shell,
// found on PATH, with the text on its standard input, its output and errors
// sent to /dev/null and no other descriptor of this process open in it (so a
// tool that stays behind to serve the clipboard holds none of our pipes). It
// must exit with status 0 within the time limit; otherwise it is killed and
// the write fails.
//
//   DesktopClipboardWriter writer;                     // 3-second limit
//   Result<void> written = writer.writeText("report body");
//
// Blocks the calling thread for at most about the time limit. Writing to a
// tool that quit early never raises SIGPIPE in this process.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "safari-extension/ClipboardWriter.h"

namespace scourlet::nativehost {

class DesktopClipboardWriter final : public ClipboardWriter {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{3000};

    explicit DesktopClipboardWriter(std::chrono::milliseconds timeLimit = kDefaultTimeLimit)
        : timeLimit_(timeLimit) {}

    // Reads WAYLAND_DISPLAY and DISPLAY at each call.
    Result<void> writeText(std::string_view text) override;

    // The commands to try, in order, for these values of WAYLAND_DISPLAY and
    // DISPLAY (nothing or empty: unset). Empty when there is no desktop.
    static std::vector<std::vector<std::string>> commandsFor(
        std::optional<std::string_view> waylandDisplay, std::optional<std::string_view> display);

private:
    std::chrono::milliseconds timeLimit_;
};

}  // namespace scourlet::nativehost
