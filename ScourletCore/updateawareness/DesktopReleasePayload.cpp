#include "ScourletCore/updateawareness/DesktopReleasePayload.h"

#include <utility>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/URLComponents.h"
#include "ScourletCore/updateawareness/UpdateVersion.h"

namespace scourlet {

namespace {

std::optional<std::string> optionalAddress(const JsonObjectReader& object, std::string_view key) {
    auto text = object.optional<std::string>(key);
    if (text && !URLComponents::parse(*text)) {
        throwDecoding(key, "not a URL");
    }
    return text;
}

}  // namespace

bool DesktopReleasePayload::isTrustedAddress(const std::optional<std::string>& url,
                                             std::string_view makerHost) {
    if (!url) {
        return true;
    }
    const auto parsed = URLComponents::parse(*url);
    if (!parsed) {
        return false;
    }
    return parsed->scheme() == "https" && parsed->percentEncodedHost() == makerHost &&
           !parsed->percentEncodedUser() && !parsed->percentEncodedPassword() &&
           !parsed->portString();
}

Result<DesktopReleasePayload, UpdateMetadataError> DesktopReleasePayload::parse(
    std::string_view bytes, std::string_view makerHost) {
    using Kind = UpdateMetadataError::Kind;
    if (bytes.size() > kMaximumBytes) {
        return UpdateMetadataError{
            Kind::dataLengthExceedsMaximum,
            "desktop release file over " + std::to_string(kMaximumBytes) + " bytes",
            {}};
    }
    auto decoded = decodeJson(bytes, [](const Json& json) {
        JsonObjectReader object(json, "desktop release file");
        DesktopReleasePayload payload;
        payload.product = object.required<std::string>("product");
        const Json* desktop = object.find("desktop");
        if (desktop == nullptr || desktop->is_null()) {
            throwDecoding("desktop", "required key is missing");
        }
        JsonObjectReader info(*desktop, "desktop");
        payload.desktop.currentVersion = info.required<std::string>("currentVersion");
        payload.desktop.currentBuild = info.optional<std::int64_t>("currentBuild");
        payload.desktop.releaseDate = info.optional<std::string>("releaseDate");
        payload.desktop.notesUrl = optionalAddress(info, "notesUrl");
        payload.desktop.downloadUrl = optionalAddress(info, "downloadUrl");
        return payload;
    });
    if (!decoded) {
        return UpdateMetadataError{Kind::decodingFailed, decoded.error().message, {}};
    }
    DesktopReleasePayload payload = std::move(*decoded);
    const auto& build = payload.desktop.currentBuild;
    const bool accepted = payload.product == kProduct &&
                          UpdateVersion::isValid(payload.desktop.currentVersion) &&
                          (!build || (*build >= 0 && *build <= kLargestBuild)) &&
                          isTrustedAddress(payload.desktop.notesUrl, makerHost) &&
                          isTrustedAddress(payload.desktop.downloadUrl, makerHost);
    if (!accepted) {
        return UpdateMetadataError{Kind::badServerResponse, "desktop release file refused", {}};
    }
    return payload;
}

}  // namespace scourlet
