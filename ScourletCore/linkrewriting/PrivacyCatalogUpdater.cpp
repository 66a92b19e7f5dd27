#include "ScourletCore/linkrewriting/PrivacyCatalogUpdater.h"

#include <cassert>
#include <chrono>
#include <utility>

#include "ScourletCore/platform/BoundedDownload.h"
#include "ScourletCore/platform/CurlHttpTransport.h"

namespace scourlet {

namespace {

// Whole seconds since 1970, the fraction dropped; a clock before 1970 counts
// as 0, which every validation refuses.
std::uint64_t wholeSeconds(const Clock& clock) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(clock.now().time_since_epoch()).count();
    return seconds < 0 ? 0 : static_cast<std::uint64_t>(seconds);
}

std::uint64_t versionOf(const std::optional<PrivacyServicesCatalog::Verified>& catalog) {
    return catalog ? catalog->catalog().version : 0;
}

std::shared_ptr<HttpTransport> transportOrShared(std::shared_ptr<HttpTransport> transport) {
    if (transport) {
        return transport;
    }
    // The process-wide transport lives for the whole process; share it
    // without ownership.
    return std::shared_ptr<HttpTransport>(std::shared_ptr<HttpTransport>{},
                                          &CurlHttpTransport::shared());
}

}  // namespace

// What a background check hands to the main queue: the verified candidate
// with the catalog in force read after it, or nothing when anything failed.
struct PrivacyCatalogUpdater::CheckOutcome {
    std::optional<Candidate> candidate;
    std::optional<PrivacyServicesCatalog::Verified> inForce;
};

struct PrivacyCatalogUpdater::InstallOutcome {
    bool succeeded = false;
    std::optional<PrivacyServicesCatalog::Verified> inForce;
};

std::string PrivacyCatalogUpdater::readyToInstall(std::uint64_t version) {
    return "Verified version " + std::to_string(version) + " ready to install";
}

PrivacyCatalogUpdater::PrivacyCatalogUpdater(PrivacyCatalogStore store, Environment environment)
    : store_(std::move(store)), environment_(std::move(environment)) {
    assert(environment_.executor && environment_.mainQueue && environment_.clock &&
           environment_.awareness);
    environment_.transport = transportOrShared(std::move(environment_.transport));
    installed_.set(store_.current());
}

PrivacyCatalogUpdater::~PrivacyCatalogUpdater() {
    stop_.request_stop();
}

void PrivacyCatalogUpdater::check() {
    if (busy_.get()) {
        return;
    }
    busy_.set(true);
    withdrawOffer();
    status_.set(std::string(kChecking));

    environment_.executor->run([store = store_, transport = environment_.transport,
                                clock = environment_.clock, queue = environment_.mainQueue,
                                stop = stop_.get_token(), alive = std::weak_ptr<int>(lifetime_),
                                this] {
        CheckOutcome outcome;
        outcome.candidate = [&]() -> std::optional<Candidate> {
            const std::string& host = store.trust().makerHost;
            auto manifestBytes = BoundedDownload::fetch(
                *transport, PrivacyCatalogManifest::endpoint(host), kManifestCap, stop);
            if (!manifestBytes) {
                return std::nullopt;
            }
            auto manifest = PrivacyCatalogManifest::parse(*manifestBytes, host);
            if (!manifest) {
                return std::nullopt;
            }
            // parse() has bounded both sizes to 1..32768 bytes.
            auto payload =
                BoundedDownload::fetch(*transport, manifest->payload.url,
                                       static_cast<std::uint64_t>(manifest->payload.bytes), stop);
            if (!payload) {
                return std::nullopt;
            }
            auto signature =
                BoundedDownload::fetch(*transport, manifest->signature.url,
                                       static_cast<std::uint64_t>(manifest->signature.bytes), stop);
            if (!signature) {
                return std::nullopt;
            }
            if (!store.validate(*manifest, *payload, *signature, wholeSeconds(*clock))) {
                return std::nullopt;
            }
            return Candidate{std::move(*manifest), std::move(*payload), std::move(*signature)};
        }();
        if (outcome.candidate) {
            // Read here, off the main thread: it reads and verifies from disk.
            outcome.inForce = store.current();
        }
        queue->post([alive, this, outcome = std::move(outcome)]() mutable {
            // Runs on the main thread, where the updater also ends.
            if (!alive.expired()) {
                applyCheck(std::move(outcome));
            }
        });
    });
}

void PrivacyCatalogUpdater::applyCheck(CheckOutcome outcome) {
    if (!outcome.candidate) {
        status_.set(std::string(kRejected));
        busy_.set(false);
        return;
    }
    installed_.set(std::move(outcome.inForce));
    tellAwarenessInstalled();
    const std::uint64_t offered = outcome.candidate->manifest.version;
    environment_.awareness->success(UpdateClass::catalog, std::to_string(offered), std::nullopt);
    if (offered > versionOf(installed_.get())) {
        pending_ = std::move(outcome.candidate);
        availableVersion_.set(offered);
        status_.set(readyToInstall(offered));
    } else {
        status_.set(std::string(kUpToDate));
    }
    busy_.set(false);
}

void PrivacyCatalogUpdater::install() {
    if (busy_.get() || !pending_) {
        return;
    }
    // The offer stays visible until the outcome; busy keeps a check or a
    // second install from starting meanwhile.
    busy_.set(true);
    environment_.executor->run([store = store_, candidate = *pending_, clock = environment_.clock,
                                queue = environment_.mainQueue,
                                alive = std::weak_ptr<int>(lifetime_), this] {
        InstallOutcome outcome;
        outcome.succeeded = store
                                .install(candidate.manifest, candidate.payload, candidate.signature,
                                         wholeSeconds(*clock))
                                .ok();
        if (outcome.succeeded) {
            outcome.inForce = store.current();
        }
        queue->post([alive, this, outcome = std::move(outcome)]() mutable {
            if (!alive.expired()) {
                applyInstall(std::move(outcome));
            }
        });
    });
}

void PrivacyCatalogUpdater::applyInstall(InstallOutcome outcome) {
    if (outcome.succeeded) {
        installed_.set(std::move(outcome.inForce));
        withdrawOffer();
        tellAwarenessInstalled();
        status_.set(std::string(kInstalled));
    } else {
        withdrawOffer();
        status_.set(std::string(kInstallFailed));
    }
    busy_.set(false);
}

void PrivacyCatalogUpdater::withdrawOffer() {
    pending_.reset();
    availableVersion_.set(std::nullopt);
}

void PrivacyCatalogUpdater::tellAwarenessInstalled() {
    environment_.awareness->installed(UpdateClass::catalog,
                                      std::to_string(versionOf(installed_.get())), std::nullopt);
}

}  // namespace scourlet
