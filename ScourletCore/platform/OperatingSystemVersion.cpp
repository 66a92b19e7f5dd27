#include "ScourletCore/platform/OperatingSystemVersion.h"

#include <sys/utsname.h>

#include <map>

#include "ScourletCore/platform/BoundedFileRead.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet {
namespace {

bool isKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// One os-release value: the shell-style quoting of the format undone
// ("..." with backslash escapes, '...' literal, bare words with escapes).
std::string unquote(std::string_view raw) {
    std::string value;
    enum class Quote { none, single, double_ } quote = Quote::none;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == Quote::single) {
            if (c == '\'') {
                quote = Quote::none;
            } else {
                value += c;
            }
        } else if (c == '\\' && i + 1 < raw.size()) {
            value += raw[++i];
        } else if (quote == Quote::double_ && c == '"') {
            quote = Quote::none;
        } else if (quote == Quote::none && c == '"') {
            quote = Quote::double_;
        } else if (quote == Quote::none && c == '\'') {
            quote = Quote::single;
        } else {
            value += c;
        }
    }
    return value;
}

std::map<std::string, std::string, std::less<>> parseOSRelease(std::string_view text) {
    std::map<std::string, std::string, std::less<>> values;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = trimmingWhitespaceAndNewlines(line);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == 0 ||
            equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, equals);
        bool validKey = true;
        for (const char c : key) {
            validKey = validKey && isKeyCharacter(c);
        }
        if (validKey) {
            values.insert_or_assign(std::string(key), unquote(line.substr(equals + 1)));
        }
    }
    return values;
}

// Control characters become spaces, runs of spaces one space; the ends are
// trimmed. Text that is not UTF-8 gives an empty string.
std::string tidy(std::string_view text) {
    if (!isValidUTF8(text)) {
        return {};
    }
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool blank = byte < 0x20 || byte == 0x7f || c == ' ';
        if (blank) {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// Cut to at most `limit` bytes without splitting a UTF-8 sequence.
void truncateUTF8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
}

}  // namespace

std::optional<std::string> OperatingSystemVersion::prettyName(std::string_view osReleaseText) {
    const auto values = parseOSRelease(osReleaseText);
    const auto tidied = [&](std::string_view key) {
        const auto it = values.find(key);
        return it == values.end() ? std::string() : tidy(it->second);
    };
    if (std::string pretty = tidied("PRETTY_NAME"); !pretty.empty()) {
        return pretty;
    }
    std::string name = tidied("NAME");
    if (name.empty()) {
        return std::nullopt;
    }
    if (const std::string version = tidied("VERSION"); !version.empty()) {
        name += ' ';
        name += version;
    }
    return name;
}

std::string OperatingSystemVersion::describe(std::optional<std::string_view> osReleaseText,
                                             std::string_view systemName,
                                             std::string_view release) {
    const std::string kernel = tidy(release);
    std::string line;
    if (auto name = osReleaseText ? prettyName(*osReleaseText) : std::nullopt) {
        line = std::move(*name);
        if (!kernel.empty()) {
            line += "; kernel ";
            line += kernel;
        }
    } else {
        line = tidy(systemName);
        if (!kernel.empty()) {
            line += line.empty() ? "" : " ";
            line += kernel;
        }
    }
    truncateUTF8(line, kMaxLength);
    return line.empty() ? std::string("unknown") : line;
}

const std::string& OperatingSystemVersion::current() {
    static const std::string line = [] {
        std::optional<std::string> osRelease;
        for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
            osRelease = readFileAtMost(path, kMaxOSReleaseBytes);
            if (osRelease) {
                break;
            }
        }
        struct utsname names {};
        const bool named = uname(&names) == 0;
        return describe(osRelease ? std::optional<std::string_view>(*osRelease) : std::nullopt,
                        named ? names.sysname : "", named ? names.release : "");
    }();
    return line;
}

}  // namespace scourlet
