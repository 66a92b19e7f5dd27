// The desktop release file ("/scourlet/releases/desktop.json" on the maker's
// host), read with strict checks before anything of it is believed.
//
//   {"product":"Scourlet","desktop":{"currentVersion":"1.4","currentBuild":52,
//    "releaseDate":"2026-03-01","notesUrl":"https://<host>/scourlet/notes/1.4",
//    "downloadUrl":"https://<host>/scourlet/download"}}
//
//   auto payload = DesktopReleasePayload::parse(bytes);
//   if (!payload) return failed();
//   compare(payload->desktop.currentVersion, ourVersion);
//
// A file with one untrusted address is refused as a whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/updateawareness/DesktopReleaseInfo.h"
#include "ScourletCore/updateawareness/UpdateMetadataError.h"

namespace scourlet {

struct DesktopReleasePayload {
    static constexpr std::size_t kMaximumBytes = 16384;
    static constexpr std::string_view kProduct = "Scourlet";
    // The largest build a release file may name: 2^53 - 1.
    static constexpr std::int64_t kLargestBuild = 9007199254740991;

    std::string product;
    DesktopReleaseInfo desktop;

    bool operator==(const DesktopReleasePayload&) const = default;

    // Fails with dataLengthExceedsMaximum over kMaximumBytes (exactly that many
    // pass); decodingFailed when "product", "desktop" or "currentVersion" is
    // missing, a value has the wrong JSON type (a build must be an integer) or
    // an address does not parse as a URL; badServerResponse unless the product
    // is "Scourlet" exactly, the version is valid (UpdateVersion), the build is
    // absent or within 0 to kLargestBuild, and both addresses are trusted.
    static Result<DesktopReleasePayload, UpdateMetadataError> parse(
        std::string_view bytes, std::string_view makerHost = config::kMakerHost);

    // An absent address is trusted; a present one only with the scheme "https"
    // exactly, the host `makerHost` exactly (no subdomain, no other case) and
    // no user, password or port. Path, query and fragment are not examined. A
    // text that does not parse as a URL is not trusted.
    static bool isTrustedAddress(const std::optional<std::string>& url,
                                 std::string_view makerHost = config::kMakerHost);
};

}  // namespace scourlet
