#include "ScourletCore/platform/PercentEncoding.h"

#include "ScourletCore/platform/Text.h"

#include <cstddef>
#include <cstring>

namespace scourlet {
namespace {

constexpr int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

constexpr char kUpperHex[] = "0123456789ABCDEF";

}  // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t percent = text.find('%', start);
        if (percent == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        out.append(text.substr(start, percent - start));
        if (text.size() - percent < 3) {
            return std::nullopt;
        }
        const int high = hexValue(text[percent + 1]);
        const int low = hexValue(text[percent + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(high * 16 + low));
        start = percent + 3;
    }
    if (!isValidUTF8(out)) {
        return std::nullopt;
    }
    return out;
}

bool hasValidPercentEscapes(std::string_view text) {
    for (std::size_t i = text.find('%'); i != std::string_view::npos; i = text.find('%', i + 3)) {
        if (text.size() - i < 3 || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) {
            return false;
        }
    }
    return true;
}

void appendPercentEncoded(std::string& out, std::string_view text,
                          const PercentEncodeSet& allowed) {
    // Copy allowed runs in one go; most query text needs no escaping at all.
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (allowed.contains(byte)) {
            continue;
        }
        out.append(text.data() + runStart, i - runStart);
        const char escape[3] = {'%', kUpperHex[byte >> 4], kUpperHex[byte & 0x0F]};
        out.append(escape, 3);
        runStart = i + 1;
    }
    out.append(text.data() + runStart, text.size() - runStart);
}

std::string percentEncode(std::string_view text, const PercentEncodeSet& allowed) {
    std::string out;
    out.reserve(text.size());
    appendPercentEncoded(out, text, allowed);
    return out;
}

}  // namespace scourlet
