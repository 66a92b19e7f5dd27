#include "ScourletCore/rules/internal/RedirectTarget.h"

#include "ScourletCore/platform/PercentEncoding.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet::internal {

namespace {

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
    if (!hasWebScheme(text)) {
        return std::nullopt;
    }
    std::optional<URLComponents> target = URLComponents::parseLenient(text);
    if (!target) {
        return std::nullopt;
    }
    return target->string();
}

}  // namespace scourlet::internal
