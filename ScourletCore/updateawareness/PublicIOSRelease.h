// The release record of the companion phone app ("/scourlet/releases/ios.json"
// on the maker's host), read with strict checks.
//
// Nothing fetches or uses it yet; the parser exists so that the record's
// format is fixed in one place when something does.
//
//   auto release = PublicIOSRelease::parse(bytes);
//   if (release) show(release->version, release->url);
//
// Every key is required: {"schema":1,"product":"Scourlet","channel":"app-store",
// "version":"1.4","url":"https://<store host>/us/app/scourlet/id<store id>"}.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/updateawareness/UpdateMetadataError.h"

namespace scourlet {

struct PublicIOSRelease {
    static constexpr std::size_t kMaximumBytes = 16384;
    static constexpr std::string_view kProduct = "Scourlet";
    static constexpr std::string_view kChannel = "app-store";

    std::int64_t schema = 0;
    std::string product;
    std::string channel;
    std::string version;
    std::string url;

    bool operator==(const PublicIOSRelease&) const = default;

    // The store page the record must name:
    // "https://" + storeHost + "/us/app/scourlet/id" + storeID.
    static std::string storePageURL(std::string_view storeHost = config::kIOSAppStoreHost,
                                    std::string_view storeID = config::kIOSAppStoreID);

    // Fails with dataLengthExceedsMaximum over kMaximumBytes (exactly that many
    // pass), decodingFailed when a key is missing or mistyped, and
    // badServerResponse unless the schema is 1, the product and channel are the
    // texts above exactly, the version is valid (UpdateVersion) and the URL is
    // exactly storePageURL() (so no other scheme, host, user, port, query or
    // fragment).
    static Result<PublicIOSRelease, UpdateMetadataError> parse(
        std::string_view bytes, std::string_view storeHost = config::kIOSAppStoreHost,
        std::string_view storeID = config::kIOSAppStoreID);
};

}  // namespace scourlet
