#include "ScourletCore/linkrewriting/internal/CatalogRules.h"

#include <optional>

#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/linkrewriting/internal/SourceHosts.h"
#include "ScourletCore/platform/Regex.h"
#include "ScourletCore/platform/URLComponents.h"

namespace scourlet::internal {

namespace {

const std::optional<Regex>& urlPattern() {
    static const auto pattern =
        Regex::compile(R"(^https://[a-z0-9]+(?:[.-][a-z0-9]+)*(?:/[A-Za-z0-9._~/-]*)?$)");
    return pattern;
}

const std::optional<Regex>& bareOriginPattern() {
    static const auto pattern = Regex::compile(R"(^https://[a-z0-9]+(?:[.-][a-z0-9]+)*/?$)");
    return pattern;
}

}  // namespace

bool passesURLTest(std::string_view text) {
    // Checking the bytes first also keeps "$" from matching before a final
    // line break.
    return !containsNonPrintableASCII(text) && urlPattern() && urlPattern()->matches(text);
}

bool isBareOrigin(std::string_view text) {
    return !containsNonPrintableASCII(text) && bareOriginPattern() &&
           bareOriginPattern()->matches(text);
}

bool passesTextTest(std::string_view text, std::size_t limit, bool emptyAllowed) {
    if (text.size() > limit || containsNonPrintableASCII(text)) {
        return false;
    }
    if (emptyAllowed && text.empty()) {
        return true;
    }
    return text.find_first_not_of(' ') != std::string_view::npos;
}

bool isOfferableService(const PrivacyServicesCatalog::Service& service) {
    if (service.id == "xcancel" || service.state != "active" || service.family != "nitter" ||
        service.shapes.empty() || !isBareOrigin(service.destination)) {
        return false;
    }
    const auto url = URLComponents::parse(service.destination);
    if (!url) {
        return false;
    }
    const auto host = url->host();
    return host && !host->empty() && !isXTwitterSourceHost(*host);
}

std::uint64_t requiredUInt64(const JsonObjectReader& object, std::string_view key) {
    const Json* value = object.find(key);
    if (value == nullptr || value->is_null()) {
        throwDecoding(key, "required key is missing");
    }
    if (value->is_number_unsigned()) {
        return value->get<std::uint64_t>();
    }
    if (value->is_number_integer()) {
        throwDecoding(key, "expected an unsigned integer, found a negative one");
    }
    throwDecoding(key, "expected an unsigned integer");
}

}  // namespace scourlet::internal
