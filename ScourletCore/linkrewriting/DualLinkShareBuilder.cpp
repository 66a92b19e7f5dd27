#include "ScourletCore/linkrewriting/DualLinkShareBuilder.h"

#include "ScourletCore/platform/Text.h"

namespace scourlet {

std::optional<std::string> DualLinkShareBuilder::normalizedContext(
    std::optional<std::string_view> context) {
    if (!context) {
        return std::nullopt;
    }
    const std::string_view trimmed = trimmingWhitespaceAndNewlines(*context);
    if (trimmed.empty()) {
        return std::nullopt;
    }
    return std::string(trimmed);
}

std::optional<std::string> DualLinkShareBuilder::body(const CleanResult& result,
                                                      std::optional<std::string_view> context) {
    if (!result.privacyRedirect || !result.cleanedOriginalURL ||
        *result.cleanedOriginalURL == result.cleanedURL) {
        return std::nullopt;
    }
    std::string text;
    if (const std::optional<std::string> shown = normalizedContext(context)) {
        text = *shown + "\n\n";
    }
    text +=
        "Original link: " + *result.cleanedOriginalURL + "\n\nPrivacy link: " + result.cleanedURL;
    return text;
}

}  // namespace scourlet
