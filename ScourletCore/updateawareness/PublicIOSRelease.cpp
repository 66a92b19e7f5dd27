#include "ScourletCore/updateawareness/PublicIOSRelease.h"

#include <utility>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/updateawareness/UpdateVersion.h"

namespace scourlet {

std::string PublicIOSRelease::storePageURL(std::string_view storeHost, std::string_view storeID) {
    std::string url = "https://";
    url.append(storeHost);
    url.append("/us/app/scourlet/id");
    url.append(storeID);
    return url;
}

Result<PublicIOSRelease, UpdateMetadataError> PublicIOSRelease::parse(std::string_view bytes,
                                                                      std::string_view storeHost,
                                                                      std::string_view storeID) {
    using Kind = UpdateMetadataError::Kind;
    if (bytes.size() > kMaximumBytes) {
        return UpdateMetadataError{
            Kind::dataLengthExceedsMaximum,
            "phone release record over " + std::to_string(kMaximumBytes) + " bytes",
            {}};
    }
    auto decoded = decodeJson(bytes, [](const Json& json) {
        JsonObjectReader object(json, "phone release record");
        return PublicIOSRelease{
            object.required<std::int64_t>("schema"), object.required<std::string>("product"),
            object.required<std::string>("channel"), object.required<std::string>("version"),
            object.required<std::string>("url")};
    });
    if (!decoded) {
        return UpdateMetadataError{Kind::decodingFailed, decoded.error().message, {}};
    }
    PublicIOSRelease release = std::move(*decoded);
    // Equality with the one canonical page rules out every other scheme, host,
    // user, password, port, query and fragment at once.
    if (release.schema != 1 || release.product != kProduct || release.channel != kChannel ||
        !UpdateVersion::isValid(release.version) ||
        release.url != storePageURL(storeHost, storeID)) {
        return UpdateMetadataError{Kind::badServerResponse, "phone release record refused", {}};
    }
    return release;
}

}  // namespace scourlet
