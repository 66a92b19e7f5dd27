#include "ScourletCore/linkrewriting/PrivacyServicesArchive.h"

namespace scourlet {

namespace {

using Service = PrivacyServicesCatalog::Service;

bool isNitter(const Service& service) {
    return service.family && *service.family == "nitter";
}

}  // namespace

PrivacyServicesArchive::PrivacyServicesArchive(
    const std::optional<PrivacyServicesCatalog::Verified>& verified, std::uint64_t now) {
    if (!verified) {
        return;
    }
    const PrivacyServicesCatalog& catalog = verified->catalog();
    if (catalog.schema != 2 || now < catalog.generated) {
        return;
    }
    for (const Service& service : catalog.services) {
        if (service.reviewed > now || now - service.reviewed > maximumReviewAge) {
            return;
        }
    }
    services = catalog.services;
}

PrivacyServicesArchive PrivacyServicesArchive::fromStore(
    const PrivacyCatalogStore& store, std::chrono::system_clock::time_point date) {
    const auto sinceEpoch = date.time_since_epoch();
    if (sinceEpoch.count() < 0) {
        return PrivacyServicesArchive();
    }
    // Whole seconds, the fraction dropped.
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    return PrivacyServicesArchive(store.current(), static_cast<std::uint64_t>(seconds));
}

PrivacyServicesArchive PrivacyServicesArchive::bundled(std::chrono::system_clock::time_point date) {
    if (date.time_since_epoch().count() < 0) {
        return PrivacyServicesArchive();
    }
    return fromStore(PrivacyCatalogStore(PrivacyCatalogStore::sharedRoot()), date);
}

std::vector<Service> PrivacyServicesArchive::nitterServices() const {
    std::vector<Service> nitter;
    for (const Service& service : services) {
        if (isNitter(service)) {
            nitter.push_back(service);
        }
    }
    return nitter;
}

std::vector<Service> PrivacyServicesArchive::otherServices() const {
    std::vector<Service> others;
    for (const Service& service : services) {
        if (!isNitter(service)) {
            others.push_back(service);
        }
    }
    return others;
}

}  // namespace scourlet
