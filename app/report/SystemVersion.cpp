#include "app/report/SystemVersion.h"

#include <sys/utsname.h>

#include <map>

#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet::app {

namespace {

constexpr std::size_t kMaxOSReleaseBytes = 64 * 1024;
constexpr std::size_t kMaxLength = 200;

// The value of a KEY=value line, unquoted; os-release quoting is shell-like.
std::string unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
        }
        // Nothing that could break a report line.
        const auto c = static_cast<unsigned char>(value[i]);
        text += (c < 0x20 || c == 0x7F) ? ' ' : value[i];
    }
    return text;
}

}  // namespace

std::string describeSystem(std::optional<std::string_view> osRelease, std::string_view kernelRelease) {
    std::map<std::string, std::string, std::less<>> fields;
    if (osRelease && isValidUTF8(*osRelease)) {
        std::string_view rest = *osRelease;
        while (!rest.empty()) {
            const auto end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            const auto equals = line.find('=');
            if (equals != std::string_view::npos && !line.starts_with('#')) {
                fields.emplace(std::string(line.substr(0, equals)), unquoted(line.substr(equals + 1)));
            }
        }
    }
    std::string name;
    if (auto pretty = fields.find("PRETTY_NAME"); pretty != fields.end() && !pretty->second.empty()) {
        name = pretty->second;
    } else if (auto plain = fields.find("NAME"); plain != fields.end() && !plain->second.empty()) {
        name = plain->second;
        if (auto version = fields.find("VERSION"); version != fields.end() && !version->second.empty()) {
            name += " " + version->second;
        }
    }
    std::string line = name;
    if (!kernelRelease.empty() && isValidUTF8(kernelRelease)) {
        line += (line.empty() ? "kernel " : "; kernel ") + unquoted(kernelRelease);
    }
    if (line.empty()) {
        return "unknown";
    }
    return graphemeCount(line) > kMaxLength ? graphemePrefix(line, kMaxLength) : line;
}

const std::string& systemVersion() {
    static const std::string line = [] {
        auto text = readFileAtMost("/etc/os-release", kMaxOSReleaseBytes);
        if (!text) {
            text = readFileAtMost("/usr/lib/os-release", kMaxOSReleaseBytes);
        }
        struct utsname system {};
        const std::string release = ::uname(&system) == 0 ? system.release : "";
        return describeSystem(text ? std::optional<std::string_view>(*text) : std::nullopt, release);
    }();
    return line;
}

}  // namespace scourlet::app
