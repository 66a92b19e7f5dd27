// Keeps the privacy-services catalog current from the maker's host: check()
// downloads the signed update manifest, then the catalog and its signature
// that it names, has the store validate them, tells update awareness what it
// found and offers a newer verified catalog; install() then installs that
// offer through the store. The catalog in force changes only through
// install(), and every failure keeps the last verified catalog.
//
//   PrivacyCatalogUpdater updater(PrivacyCatalogStore(PrivacyCatalogStore::sharedRoot()),
//                                 {transport, executor, mainQueue, clock, awareness});
//   updater.check();                                     // returns at once
//   // ... later, on the main queue: status() "Verified version 8 ready to install"
//   if (updater.availableVersion()) updater.install();
//
// Downloads (each one bounded: the manifest at 4096 bytes, the files at the
// sizes the manifest states, no redirect followed), validation and the
// install under the store's lock all run on the executor while busy() holds;
// outcomes are applied on the main queue. The maker's host is the store's
// (PrivacyCatalogStore::Trust::makerHost, the build's host by default).
//
// Used on the main thread only. Destroying the updater cancels its downloads
// and drops outcomes still on their way.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/BackgroundExecutor.h"
#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/MainQueue.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/updateawareness/UpdateAwareness.h"

namespace scourlet {

class PrivacyCatalogUpdater final : public ObservableObject {
public:
    // What the updater needs of its surroundings. Every pointer but
    // `transport` must be set.
    struct Environment {
        std::shared_ptr<HttpTransport> transport;      // nothing: CurlHttpTransport::shared()
        std::shared_ptr<BackgroundExecutor> executor;  // downloads, validation, installs
        std::shared_ptr<MainQueue> mainQueue;          // where outcomes are applied
        std::shared_ptr<const Clock> clock;            // "now" of validation and install
        std::shared_ptr<UpdateAwareness> awareness;    // told of checks and installs
    };

    static constexpr std::uint64_t kManifestCap = 4096;

    static constexpr std::string_view kNotChecked = "Not checked";
    static constexpr std::string_view kChecking = "Checking signed catalog";
    static constexpr std::string_view kRejected =
        "Update rejected or unavailable. Last verified catalog retained.";
    static constexpr std::string_view kUpToDate = "Verified catalog is up to date";
    static constexpr std::string_view kInstallFailed =
        "Install failed. Last verified catalog retained.";
    static constexpr std::string_view kInstalled = "Verified catalog installed";
    // "Verified version <version> ready to install".
    static std::string readyToInstall(std::uint64_t version);

    // Starts "Not checked" with nothing on offer, and reads the catalog in
    // force from the store (installed, else shipped, else nothing).
    PrivacyCatalogUpdater(PrivacyCatalogStore store, Environment environment);
    ~PrivacyCatalogUpdater() override;

    // One-line state for the interface.
    const std::string& status() const { return status_.get(); }
    // The version of the verified candidate on offer; set exactly while one is.
    const std::optional<std::uint64_t>& availableVersion() const { return availableVersion_.get(); }
    // A check or an install is running; check() and install() do nothing then.
    bool busy() const { return busy_.get(); }
    // The verified catalog in force as last read from the store.
    const std::optional<PrivacyServicesCatalog::Verified>& installed() const {
        return installed_.get();
    }
    const PrivacyCatalogStore& store() const { return store_; }

    // Each emits the new value before it becomes visible.
    Signal<std::string>& statusPublisher() const { return status_.publisher(); }
    Signal<std::optional<std::uint64_t>>& availableVersionPublisher() const {
        return availableVersion_.publisher();
    }
    Signal<bool>& busyPublisher() const { return busy_.publisher(); }
    Signal<std::optional<PrivacyServicesCatalog::Verified>>& installedPublisher() const {
        return installed_.publisher();
    }

    // Returns at once. Unless busy: withdraws any offer, shows "Checking signed
    // catalog" and downloads in the background. Then, on the main queue:
    // every failure (download, manifest, files, validation) shows the
    // rejection text and tells awareness nothing; a verified candidate
    // re-reads the catalog in force, tells awareness its version ("0" for
    // none) as installed and the manifest's as found, and is offered when
    // newer, else "Verified catalog is up to date".
    void check();

    // Returns at once. Unless busy or nothing is on offer: installs the offer
    // in the background (waiting there for another install's lock). Then, on
    // the main queue, the offer is withdrawn either way; on success the
    // catalog in force is re-read, awareness told its version and "Verified
    // catalog installed" shown, else "Install failed. Last verified catalog
    // retained.".
    void install();

private:
    struct Candidate {
        PrivacyCatalogManifest manifest;
        std::string payload;
        std::string signature;
    };
    struct CheckOutcome;
    struct InstallOutcome;

    void applyCheck(CheckOutcome outcome);
    void applyInstall(InstallOutcome outcome);
    void withdrawOffer();
    void tellAwarenessInstalled();

    PrivacyCatalogStore store_;
    Environment environment_;
    std::optional<Candidate> pending_;

    Published<std::string> status_{*this, std::string(kNotChecked)};
    Published<std::optional<std::uint64_t>> availableVersion_{*this, std::nullopt};
    Published<bool> busy_{*this, false};
    Published<std::optional<PrivacyServicesCatalog::Verified>> installed_{*this, std::nullopt};

    std::stop_source stop_;
    // Outcomes posted to the main queue run only while this lives.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

}  // namespace scourlet
