// The read-only list of every reviewed privacy service of the verified
// catalog, with the fixed texts that explain the privacy-services choice.
//
// Unlike Verified::choices(), which answers which services may be offered as
// X/Twitter front-ends, the archive lists every service whatever its state
// and family, split into Nitter-family services and the others, as long as the
// catalog is of the second format and every review is current (one stale
// review empties it).
//
//   auto archive = PrivacyServicesArchive::bundled(std::chrono::system_clock::now());
//   if (!archive.isAvailable()) show(PrivacyServicesArchive::unavailable);
//   for (const auto& service : archive.nitterServices()) list(service);
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace scourlet {

struct PrivacyServicesArchive {
    // In catalog order; empty means unavailable.
    std::vector<PrivacyServicesCatalog::Service> services;

    static constexpr std::uint64_t maximumReviewAge = 7776000;  // 90 days

    static constexpr std::string_view information =
        "The XCancel / Nitter / custom-instance choice uses only active services from the "
        "verified signed catalog. TwitterViewer remains a separate fixed choice.";
    static constexpr std::string_view fallback =
        "Paused, retired, unverified, or shape-incompatible services cannot route or silently "
        "replace either explicit choice.";
    static constexpr std::string_view unavailable =
        "Privacy Services unavailable. The catalog could not be verified, has no archive "
        "metadata, or its review is out of date. X/Twitter links remain on the cleaned "
        "canonical site.";

    PrivacyServicesArchive() = default;

    // Every service of `verified` when it is of the second format, `now`
    // (seconds since 1970 UTC) is not before its production time, and every
    // service was reviewed at or before `now` and at most 90 days before it;
    // no services otherwise.
    PrivacyServicesArchive(const std::optional<PrivacyServicesCatalog::Verified>& verified,
                           std::uint64_t now);

    // The archive of the catalog in force in the shared store at `date`. A
    // date before 1970 gives an empty archive without reading the store.
    static PrivacyServicesArchive bundled(std::chrono::system_clock::time_point date);
    // The same over a given store (for tests and other stores).
    static PrivacyServicesArchive fromStore(const PrivacyCatalogStore& store,
                                            std::chrono::system_clock::time_point date);

    bool isAvailable() const { return !services.empty(); }
    // Services whose family is "nitter", in order.
    std::vector<PrivacyServicesCatalog::Service> nitterServices() const;
    // Services without a family or of another family, in order.
    std::vector<PrivacyServicesCatalog::Service> otherServices() const;
};

}  // namespace scourlet
