// OperatingSystemVersion: one line that names the running system, for the
// missed-tracker reports and the "About" rows of the programs.
//
// On Linux the line is the distribution's name from os-release
// ("/etc/os-release", else "/usr/lib/os-release": PRETTY_NAME, else NAME and
// VERSION) followed by the kernel release from uname(), for example
// "Debian GNU/Linux 12 (bookworm); kernel 6.1.0-13-amd64". Without os-release
// it is "<system name> <release>" from uname() ("Darwin 23.1.0"). The platform
// itself ("Linux") is not part of the line: reports name it separately.
//
//   std::string line = OperatingSystemVersion::current();   // computed once, cached
//   auto name = OperatingSystemVersion::prettyName(osReleaseText);
//
// Never fails: when nothing is known the line is "unknown". The line holds no
// control characters, is valid UTF-8 and has at most kMaxLength bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace scourlet {

class OperatingSystemVersion {
public:
    OperatingSystemVersion() = delete;

    // Larger os-release files are not read.
    static constexpr std::size_t kMaxOSReleaseBytes = 64 * 1024;
    // Longest line returned, in bytes.
    static constexpr std::size_t kMaxLength = 200;

    // The line of this machine. Read once per process; thread-safe.
    static const std::string& current();

    // The line made from os-release text (nothing when there is none) and
    // what uname() reports. Pure, for tests.
    static std::string describe(std::optional<std::string_view> osReleaseText,
                                std::string_view systemName, std::string_view release);

    // The distribution's name in os-release text: PRETTY_NAME, else NAME and
    // VERSION joined by a space; quotes and escapes removed. Nothing when the
    // text names none (or only blanks).
    static std::optional<std::string> prettyName(std::string_view osReleaseText);
};

}  // namespace scourlet
