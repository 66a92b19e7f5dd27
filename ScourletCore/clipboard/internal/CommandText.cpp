#include "ScourletCore/clipboard/internal/CommandText.h"

#include "ScourletCore/platform/Text.h"

namespace scourlet::internal {

namespace {

// Length of the continuation (backslash or backtick, then CR LF or LF) at `pos`.
std::size_t continuationLengthAt(std::string_view text, std::size_t pos) {
    const char c = text[pos];
    if (c != '\\' && c != '`') {
        return 0;
    }
    if (pos + 1 < text.size() && text[pos + 1] == '\n') {
        return 2;
    }
    if (pos + 2 < text.size() && text[pos + 1] == '\r' && text[pos + 2] == '\n') {
        return 3;
    }
    return 0;
}

}  // namespace

std::string_view normalizeCommand(std::string_view text, std::string& storage) {
    // Every continuation starts with a backslash or a backtick before a line
    // feed, so a text without a line feed (every copied link) is only trimmed.
    // One left-to-right pass gives the same text as replacing the four forms
    // one after another: a replacement space never forms a new continuation.
    std::size_t pos = text.find('\n');
    if (pos == std::string_view::npos) {
        return trimmingWhitespaceAndNewlines(text);
    }
    std::size_t copied = 0;
    bool joined = false;
    for (pos = 0; pos < text.size(); ++pos) {
        const std::size_t length = continuationLengthAt(text, pos);
        if (length == 0) {
            continue;
        }
        if (!joined) {
            storage.clear();
            storage.reserve(text.size());
            joined = true;
        }
        storage.append(text.substr(copied, pos - copied));
        storage.push_back(' ');
        pos += length - 1;
        copied = pos + 1;
    }
    if (!joined) {
        return trimmingWhitespaceAndNewlines(text);
    }
    storage.append(text.substr(copied));
    return trimmingWhitespaceAndNewlines(storage);
}

std::size_t lineBreakLengthAt(std::string_view text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    switch (byte) {
        case '\n':
        case '\v':
        case '\f':
            return 1;
        case '\r':
            return (pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        case 0xC2:  // U+0085 NEXT LINE
            return (pos + 1 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x85) ? 2
                                                                                                : 0;
        case 0xE2:  // U+2028 LINE SEPARATOR, U+2029 PARAGRAPH SEPARATOR
            if (pos + 2 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x80) {
                const auto last = static_cast<unsigned char>(text[pos + 2]);
                return (last == 0xA8 || last == 0xA9) ? 3 : 0;
            }
            return 0;
        default:
            return 0;
    }
}

std::size_t terminalControlLengthAt(std::string_view text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x20) {
        return (byte == '\t' || lineBreakLengthAt(text, pos) != 0) ? 0 : 1;
    }
    if (byte == 0x7F) {
        return 1;
    }
    if (byte == 0xC2 && pos + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[pos + 1]);
        return (next >= 0x80 && next <= 0x9F && next != 0x85) ? 2 : 0;
    }
    return 0;
}

bool containsTerminalControl(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (terminalControlLengthAt(text, pos) != 0) {
            return true;
        }
    }
    return false;
}

void appendWithVisibleControls(std::string& out, std::string_view line) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    std::size_t copied = 0;
    for (std::size_t pos = 0; pos < line.size(); ++pos) {
        const std::size_t length = terminalControlLengthAt(line, pos);
        if (length == 0) {
            continue;
        }
        out.append(line.substr(copied, pos - copied));
        const auto byte = static_cast<unsigned char>(line[pos]);
        if (length == 2) {
            const auto code = static_cast<unsigned char>(line[pos + 1]);
            out.append("<U+00").push_back(kHexDigits[code >> 4]);
            out.push_back(kHexDigits[code & 0xF]);
            out.push_back('>');
        } else {
            out.push_back('^');
            out.push_back(byte == 0x7F ? '?' : static_cast<char>(byte + 0x40));
        }
        pos += length - 1;
        copied = pos + 1;
    }
    out.append(line.substr(copied));
}

bool isNeutralizedCopy(std::string_view text) {
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(text);
    if (!trimmed.starts_with(kNeutralizedHeaderFirstLine) || containsTerminalControl(text)) {
        return false;
    }
    return forEachLine(trimmed,
                       [](std::string_view line) { return line.empty() || line.front() == '#'; });
}

}  // namespace scourlet::internal
