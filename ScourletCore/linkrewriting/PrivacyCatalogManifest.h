// The small signed-catalog update manifest that announces a new catalog: its
// version and production time, and the two files to download (the catalog
// payload and its signature envelope) with their size and SHA-256.
//
// A manifest is accepted only through parse(): at most 4096 bytes, its own
// canonical JSON form byte for byte, and every field checked, including that
// both file URLs are exactly the maker's versioned paths on the maker's host.
//
//   auto manifest = PrivacyCatalogManifest::parse(bytes);   // maker host of the build
//   if (!manifest) return;   // rejected (no detail) or the decoder's error
//   download(manifest->payload.url, manifest->payload.bytes);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/linkrewriting/CatalogError.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

struct PrivacyCatalogManifest {
    // One downloadable file.
    struct Asset {
        std::int64_t bytes = 0;  // exact length of the file
        std::string sha256;      // 64 lower-case hexadecimal digits
        std::string url;         // absolute https URL

        bool operator==(const Asset&) const = default;
        static Asset fromJson(const Json& json);  // throws DecodingException
    };

    std::uint64_t schema = 0;  // must be 1
    std::string product;       // must be "Scourlet"
    std::string kind;          // must be "privacy-services-update"
    std::uint64_t version = 0;
    std::uint64_t generated = 0;  // seconds since 1970 UTC
    Asset payload;                // the catalog (".json")
    Asset signature;              // its envelope (".sig")

    bool operator==(const PrivacyCatalogManifest&) const = default;

    static constexpr std::size_t kMaxBytes = 4096;
    static constexpr std::int64_t kMaxPayloadBytes = 32768;
    static constexpr std::int64_t kMaxSignatureBytes = 2048;

    // Throws DecodingException when a key is missing or has the wrong type.
    static PrivacyCatalogManifest fromJson(const Json& json);

    // Compact JSON, keys sorted ("bytes", "sha256", "url" inside each asset),
    // "/" unescaped, integers in plain decimal.
    std::string canonicalJSON() const;

    // The manifest in `data` after every check against `makerHost`. Fails with
    // Rejected::invalid on more than 4096 bytes, bytes other than the
    // canonical form, schema other than 1, another product or kind, version
    // outside 1 to 2^53 - 1, generated outside 2026-09-18 to 2100-01-01 (both
    // included), an asset of 0 bytes or more than 32768 (payload) / 2048
    // (signature) bytes, a sha256 that is not 64 lower-case hex digits, or a
    // URL other than expectedAssetURL(); with the decoder's error when the
    // JSON does not decode.
    static Result<PrivacyCatalogManifest, CatalogError> parse(
        std::string_view data, std::string_view makerHost = config::kMakerHost);

    // "https://<host>/privacy-services/current.json".
    static std::string endpoint(std::string_view makerHost = config::kMakerHost);

    // "https://<host>/privacy-services/versions/<version>/privacy-services.<extension>".
    static std::string expectedAssetURL(std::uint64_t version, std::string_view extension,
                                        std::string_view makerHost = config::kMakerHost);
};

}  // namespace scourlet
