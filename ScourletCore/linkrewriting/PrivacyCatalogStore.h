// The on-disk store of the installed privacy-services catalog, in the
// app-group folder that the application and the browser extension host share.
//
// current() answers which verified catalog is in force: the installed one when
// its record reads, matches its manifest and verifies again (against the
// shipped catalog, so it can never be older), else the catalog shipped with
// the program. validate() checks a downloaded candidate; install() checks it
// again and replaces the record under an exclusive lock on "install.lock",
// so installs from both programs never interleave. Readers take no lock: the
// record is replaced atomically.
//
//   PrivacyCatalogStore store(PrivacyCatalogStore::sharedRoot());
//   PrivacyRedirector redirector(store.current(), nowSeconds);
//   if (auto r = store.install(manifest, payload, signature, nowSeconds); !r) { /* kept the old one
//   */ }
//
// Without an app-group folder (sharedRoot() gives nothing) current() is the
// shipped catalog and install() fails without creating anything.
//
// A value type holding no state in memory; usable from any thread and from
// several processes at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/linkrewriting/CatalogError.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

class PrivacyCatalogStore {
public:
    // What the store trusts: the resource bundle that holds the catalog keyset
    // "privacy-services-keys.json" (read afresh on every use), the shipped
    // catalog, and the maker's host that manifests must name.
    struct Trust {
        std::optional<ResourceBundle> resources;  // nothing: no keyset, nothing verifies
        std::optional<PrivacyServicesCatalog::Verified> shipped;
        std::string makerHost;

        // The core's resource bundle, PrivacyServicesCatalog::bundled() and the
        // maker's host of the build.
        static Trust standard();
    };

    static constexpr std::string_view kRecordFileName = "installed.json";
    static constexpr std::string_view kLockFileName = "install.lock";
    static constexpr std::size_t kMaxRecordBytes = 52000;
    static constexpr std::string_view kAppGroupIdentifier = "group.com.morrowgate.scourlet";

    // A store over the folder `root` (nothing: no app-group folder) with the
    // standard trust.
    explicit PrivacyCatalogStore(std::optional<std::filesystem::path> root);
    PrivacyCatalogStore(std::optional<std::filesystem::path> root, Trust trust);

    // The folder "PrivacyServices" in the app-group container; nothing when
    // there is no container. Never a made-up path.
    static std::optional<std::filesystem::path> sharedRoot();

    const std::optional<std::filesystem::path>& root() const { return root_; }
    const Trust& trust() const { return trust_; }

    // The verified catalog in force, read from disk on every call; never
    // fails. Nothing installed costs one failed open(). Any problem with the
    // record, the keyset or the verification gives the shipped catalog
    // (itself nothing when none verifies).
    std::optional<PrivacyServicesCatalog::Verified> current() const;

    // Checks a downloaded candidate, `now` being whole seconds since 1970:
    // the manifest (re-encoded and parsed), both files against its sizes and
    // hashes, verification against the catalog now in force, the same version
    // and production time as the manifest, produced no later than `now`, and
    // every service reviewed at most 90 days before `now` and not after it.
    // Fails with Rejected::invalid (also for a missing keyset), or with the
    // decoder's error.
    Result<PrivacyServicesCatalog::Verified, CatalogError> validate(
        const PrivacyCatalogManifest& manifest, std::string_view payload,
        std::string_view signature, std::uint64_t now) const;

    // Creates the folder, takes the install lock (waiting as long as another
    // install holds it), validates as above against what is in force then,
    // and atomically replaces the record. On any failure the installed record
    // is untouched. Fails with a file-system error when there is no root or
    // the folder, lock or file cannot be made, else as validate().
    Result<void, CatalogError> install(const PrivacyCatalogManifest& manifest,
                                       std::string_view payload, std::string_view signature,
                                       std::uint64_t now) const;

    // True when `data` has exactly `asset.bytes` bytes and its SHA-256 in
    // lower-case hex is exactly `asset.sha256`.
    static bool assetMatches(std::string_view data, const PrivacyCatalogManifest::Asset& asset);

private:
    struct Record {
        PrivacyCatalogManifest manifest;
        std::string payload;
        std::string signature;
    };

    std::optional<Record> loadRecord() const;
    std::optional<std::string> keysetText() const;

    std::optional<std::filesystem::path> root_;
    Trust trust_;
};

}  // namespace scourlet
