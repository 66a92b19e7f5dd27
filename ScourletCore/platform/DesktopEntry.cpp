#include "ScourletCore/platform/DesktopEntry.h"

#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";

std::string_view trimmedSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Undoes the string escapes. A backslash before any other character is kept
// with it: "\"" and "\$" belong to the Exec quoting, which is undone later.
std::string unescapedString(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[i + 1]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                out += value[i];
                out += value[i + 1];
                break;
        }
        ++i;
    }
    return out;
}

bool hasControlCharacter(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<DesktopEntry> DesktopEntry::parse(std::string_view text) {
    DesktopEntry entry;
    bool inGroup = false;
    bool sawGroup = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const std::string_view trimmed = trimmedSpaces(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        if (trimmed.front() == '[') {
            inGroup = trimmed == kGroup;
            sawGroup = sawGroup || inGroup;
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimmedSpaces(line.substr(0, equals));
        // Only the spaces after "=" are dropped; trailing ones are part of the value.
        std::string_view value = line.substr(equals + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
            value.remove_prefix(1);
        }
        if (!key.empty() && entry.values_.find(key) == entry.values_.end()) {
            entry.values_.emplace(std::string(key), unescapedString(value));
        }
    }
    if (!sawGroup) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> DesktopEntry::value(std::string_view key) const {
    auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string DesktopEntry::escapedString(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (value[i]) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += value[i];
                break;
        }
    }
    return out;
}

Result<std::string, Error> DesktopEntry::execValue(std::string_view programPath) {
    if (programPath.empty()) {
        return Error{"The program has no path."};
    }
    if (!isValidUTF8(programPath)) {
        return Error{"The program's path is not valid UTF-8."};
    }
    if (hasControlCharacter(programPath)) {
        return Error{"The program's path holds a control character."};
    }
    std::string quoted = "\"";
    for (char c : programPath) {
        switch (c) {
            case '"':
            case '`':
            case '$':
            case '\\':
                quoted += '\\';
                quoted += c;
                break;
            case '%':
                quoted += "%%";
                break;
            default:
                quoted += c;
                break;
        }
    }
    quoted += '"';
    return escapedString(quoted);
}

std::optional<std::string> DesktopEntry::execProgram(std::string_view exec) {
    while (!exec.empty() && (exec.front() == ' ' || exec.front() == '\t')) {
        exec.remove_prefix(1);
    }
    if (exec.empty()) {
        return std::nullopt;
    }
    std::string argument;
    if (exec.front() == '"') {
        bool closed = false;
        for (std::size_t i = 1; i < exec.size(); ++i) {
            const char c = exec[i];
            if (c == '\\' && i + 1 < exec.size() &&
                std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                argument += exec[++i];
            } else if (c == '"') {
                closed = true;
                break;
            } else {
                argument += c;
            }
        }
        if (!closed) {
            return std::nullopt;
        }
    } else {
        const std::size_t end = exec.find_first_of(" \t");
        argument = std::string(exec.substr(0, end));
    }
    std::string program;
    program.reserve(argument.size());
    for (std::size_t i = 0; i < argument.size(); ++i) {
        program += argument[i];
        if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%') {
            ++i;
        }
    }
    if (program.empty()) {
        return std::nullopt;
    }
    return program;
}

}  // namespace scourlet
