#include "ScourletCore/rules/internal/RedirectTarget.h"

#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet::internal {

namespace {

bool mustStayEncoded(char32_t scalar) {
    return scalar < 0x20 || (scalar >= 0x7F && scalar <= 0x9F) ||
           (scalar >= 0x200B && scalar <= 0x200F) || (scalar >= 0x202A && scalar <= 0x202E) ||
           (scalar >= 0x2066 && scalar <= 0x2069) || isWhitespaceOrNewline(scalar);
}

void appendEncodedBytes(std::string& out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back('%');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0x0F]);
    }
}

bool hasWebScheme(std::string_view text) {
    auto startsWithIgnoringCase = [text](std::string_view prefix) {
        if (text.size() < prefix.size()) {
            return false;
        }
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            const char c = text[i];
            const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (lower != prefix[i]) {
                return false;
            }
        }
        return true;
    };
    return startsWithIgnoringCase("http://") || startsWithIgnoringCase("https://");
}

}  // namespace

std::optional<std::string> redirectTargetFromCapture(std::string_view captured) {
    const std::optional<std::string> decoded = percentDecode(captured);
    const std::string_view text = decoded ? std::string_view(*decoded) : captured;

    std::string target;
    target.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const DecodedScalar decodedScalar = decodeUtf8At(text, i);
        const std::string_view bytes = text.substr(i, decodedScalar.size);
        i += decodedScalar.size;
        if (decodedScalar.scalar == kInvalidScalar || mustStayEncoded(decodedScalar.scalar)) {
            appendEncodedBytes(target, bytes);
        } else {
            target.append(bytes);
        }
    }
    if (!hasWebScheme(target)) {
        return std::nullopt;
    }
    return target;
}

}  // namespace scourlet::internal
