// The fixed addresses of release metadata on the maker's host, and the one
// download this subsystem makes of them.
//
// Four files live there: the desktop release file, the phone-app release file,
// and the stable and beta rule-feed manifests. fetch() downloads exactly one of
// those four addresses (any other fails before anything is sent) as one
// bounded GET: no redirect followed, no cookie, no cache, status 200 from
// exactly the address asked, and never more than `limit` body bytes.
//
//   auto bytes = UpdateMetadata::fetch(transport, UpdateMetadata::desktopURL(), 16384);
//   if (!bytes) return failed(bytes.error());
//   auto payload = DesktopReleasePayload::parse(*bytes);
//
// Every address builder and fetch() take the host, the build's maker host by
// default, so tests point them at a host of their own.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/updateawareness/UpdateMetadataError.h"

namespace scourlet {

class UpdateMetadata {
public:
    UpdateMetadata() = delete;

    static constexpr std::string_view kDesktopPath = "/scourlet/releases/desktop.json";
    static constexpr std::string_view kIOSPath = "/scourlet/releases/ios.json";
    static constexpr std::string_view kStableRulesManifestPath = "/scourlet/rules/manifest.json";
    static constexpr std::string_view kBetaRulesManifestPath = "/scourlet/rules/beta/manifest.json";

    // "https://" + host + the path above.
    static std::string desktopURL(std::string_view host = config::kMakerHost);
    static std::string iosURL(std::string_view host = config::kMakerHost);
    static std::string stableRulesManifestURL(std::string_view host = config::kMakerHost);
    static std::string betaRulesManifestURL(std::string_view host = config::kMakerHost);

    // True when `url` is, as exact text, one of the four addresses on `host`.
    static bool isMetadataURL(std::string_view url, std::string_view host = config::kMakerHost);

    // The body of `url`. Fails with unsupportedURL (nothing sent) when
    // isMetadataURL() is false; badServerResponse for any status but 200 (a
    // redirect, which is never followed, included) or another final URL;
    // dataLengthExceedsMaximum when the declared length or the body passes
    // `limit` (a body of exactly `limit` bytes passes; a limit of 0 or less
    // refuses any byte); else the transport's error (time-outs: 15 s to
    // connect, 15 s without a byte, 30 s in all). Blocks: run it off the main
    // thread. Safe from several threads at once.
    static Result<std::string, UpdateMetadataError> fetch(
        HttpTransport& transport, std::string_view url, std::int64_t limit,
        std::string_view host = config::kMakerHost, std::stop_token stop = {});
};

}  // namespace scourlet
