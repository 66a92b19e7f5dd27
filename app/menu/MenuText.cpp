#include "app/menu/MenuText.h"

#include <cstdio>

#include "ScourletCore/platform/Text.h"

namespace scourlet::app {

namespace {

// Decodes one well-formed UTF-8 sequence at `text[i]`; returns its scalar and
// length, or length 1 and no scalar for a byte that starts none.
struct Decoded {
    char32_t scalar = 0;
    std::size_t length = 1;
    bool valid = false;
};

Decoded decodeAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    std::size_t length = 0;
    char32_t scalar = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, scalar = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, scalar = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, scalar = lead & 0x07, minimum = 0x10000;
    } else {
        return {};
    }
    if (i + length > text.size()) {
        return {};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) {
            return {};
        }
        scalar = (scalar << 6) | (byte(k) & 0x3F);
    }
    if (scalar < minimum || scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
        return {};
    }
    return {scalar, length, true};
}

bool isControlOrLineBreak(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Characters that change the direction of the text around them without being
// seen: embeddings and overrides, isolates, and the direction marks.
bool isBidiControl(char32_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E ||
           c == 0x200F || c == 0x061C;
}

}  // namespace

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const Decoded d = decodeAt(text, i);
        if (d.valid && isControlOrLineBreak(d.scalar)) {
            // CR LF is one line break, shown as one space.
            if (d.scalar == U'\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += ' ';
        } else if (d.valid && isBidiControl(d.scalar)) {
            char token[16];
            std::snprintf(token, sizeof token, "U+%04X", static_cast<unsigned>(d.scalar));
            out += "\u27E8";
            out += token;
            out += "\u27E9";
        } else {
            out.append(text.substr(i, d.length));
        }
        i += d.length;
    }
    return out;
}

std::string truncated(std::string_view text, std::size_t limit) {
    if (graphemeCount(text) <= limit) {
        return std::string(text);
    }
    return graphemePrefix(text, limit) + std::string(kEllipsis);
}

std::string menuText(std::string_view text, std::optional<std::size_t> limit) {
    std::string visible = visibleText(text);
    return limit ? truncated(visible, *limit) : visible;
}

std::string withLiteralAmpersands(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (char c : text) {
        out += c;
        if (c == '&') {
            out += '&';
        }
    }
    return out;
}

std::string dbusMenuActionText(std::string_view text) {
    const std::size_t ampersand = text.find('&');
    const std::size_t underscore = text.find('_');
    // The export leaves alone a text whose first "&" ends it.
    const bool exportSpendsAmpersand =
        ampersand != std::string_view::npos && ampersand + 1 < text.size();
    const bool pairUnderscore = exportSpendsAmpersand && underscore < ampersand;
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            // The export turns this "&" into the "_" that completes the pair.
            out += (pairUnderscore && i == underscore) ? "&_" : "__";
            continue;
        }
        out += c;
        if (exportSpendsAmpersand && !pairUnderscore && i == ampersand) {
            out += '&';
        }
    }
    return out;
}

}  // namespace scourlet::app
