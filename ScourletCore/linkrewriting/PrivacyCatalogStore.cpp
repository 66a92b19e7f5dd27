#include "ScourletCore/linkrewriting/PrivacyCatalogStore.h"

#include "ScourletCore/platform/BoundedFileRead.h"

#include <system_error>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/linkrewriting/internal/CanonicalJson.h"
#include "ScourletCore/platform/AppDirectories.h"
#include "ScourletCore/platform/AtomicFileWrite.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/platform/ExclusiveFileLock.h"

namespace scourlet {

namespace {

using Verified = PrivacyServicesCatalog::Verified;

CatalogError invalid() {
    return CatalogError(CatalogRejected::invalid);
}

// The record is ours alone, so its key order does not matter; it is written
// compact with sorted keys all the same.
std::string encodeRecord(const PrivacyCatalogManifest& manifest, std::string_view payload,
                         std::string_view signature) {
    internal::CanonicalJsonWriter w;
    w.beginObject();
    w.key("manifest");
    w.canonicalValue(manifest.canonicalJSON());
    w.key("payload");
    w.string(base64Encode(payload));
    w.key("signature");
    w.string(base64Encode(signature));
    w.endObject();
    return w.take();
}

}  // namespace

PrivacyCatalogStore::Trust PrivacyCatalogStore::Trust::standard() {
    Trust trust;
    if (const ResourceBundle* bundle = ResourceBundle::cleanLinkResources()) {
        trust.resources = *bundle;
    }
    trust.shipped = PrivacyServicesCatalog::bundled();
    trust.makerHost.assign(config::kMakerHost);
    return trust;
}

PrivacyCatalogStore::PrivacyCatalogStore(std::optional<std::filesystem::path> root)
    : PrivacyCatalogStore(std::move(root), Trust::standard()) {}

PrivacyCatalogStore::PrivacyCatalogStore(std::optional<std::filesystem::path> root, Trust trust)
    : root_(std::move(root)), trust_(std::move(trust)) {}

std::optional<std::filesystem::path> PrivacyCatalogStore::sharedRoot() {
    auto container = appGroupContainer(kAppGroupIdentifier);
    if (!container) {
        return std::nullopt;
    }
    return *container / "PrivacyServices";
}

bool PrivacyCatalogStore::assetMatches(std::string_view data,
                                       const PrivacyCatalogManifest::Asset& asset) {
    return asset.bytes >= 0 && data.size() == static_cast<std::uint64_t>(asset.bytes) &&
           sha256Hex(data) == asset.sha256;
}

std::optional<std::string> PrivacyCatalogStore::keysetText() const {
    if (!trust_.resources) {
        return std::nullopt;
    }
    return trust_.resources->dataForResource("privacy-services-keys", "json");
}

std::optional<PrivacyCatalogStore::Record> PrivacyCatalogStore::loadRecord() const {
    if (!root_) {
        return std::nullopt;
    }
    const auto text =
        readFileAtMost(*root_ / kRecordFileName, kMaxRecordBytes, SymlinkPolicy::refuse);
    if (!text) {
        return std::nullopt;
    }
    auto record = decodeJson(*text, [](const Json& json) {
        const JsonObjectReader o(json, "record");
        const auto payload = base64Decode(o.required<std::string>("payload"));
        const auto signature = base64Decode(o.required<std::string>("signature"));
        if (!payload || !signature) {
            throwDecoding("record", "payload or signature is not base64");
        }
        return Record{o.required<PrivacyCatalogManifest>("manifest"), *payload, *signature};
    });
    if (!record) {
        return std::nullopt;
    }
    // The stored manifest need not be canonical, but its canonical form must
    // pass every manifest check again.
    if (!PrivacyCatalogManifest::parse(record->manifest.canonicalJSON(), trust_.makerHost)) {
        return std::nullopt;
    }
    return std::move(record).value();
}

std::optional<Verified> PrivacyCatalogStore::current() const {
    const auto record = loadRecord();
    if (!record) {
        return trust_.shipped;
    }
    const auto keys = keysetText();
    if (!keys || !assetMatches(record->payload, record->manifest.payload) ||
        !assetMatches(record->signature, record->manifest.signature)) {
        return trust_.shipped;
    }
    auto verified =
        PrivacyServicesCatalog::verify(record->payload, record->signature, *keys, trust_.shipped);
    if (!verified || verified->catalog().version != record->manifest.version ||
        verified->catalog().generated != record->manifest.generated) {
        return trust_.shipped;
    }
    return std::move(verified).value();
}

Result<Verified, CatalogError> PrivacyCatalogStore::validate(const PrivacyCatalogManifest& manifest,
                                                             std::string_view payload,
                                                             std::string_view signature,
                                                             std::uint64_t now) const {
    if (auto parsed = PrivacyCatalogManifest::parse(manifest.canonicalJSON(), trust_.makerHost);
        !parsed) {
        return parsed.error();
    }
    if (!assetMatches(payload, manifest.payload) || !assetMatches(signature, manifest.signature)) {
        return invalid();
    }
    const auto keys = keysetText();
    if (!keys) {
        return invalid();
    }
    auto verified = PrivacyServicesCatalog::verify(payload, signature, *keys, current());
    if (!verified) {
        return verified.error();
    }
    const PrivacyServicesCatalog& catalog = verified->catalog();
    if (catalog.version != manifest.version || catalog.generated != manifest.generated ||
        catalog.generated > now) {
        return invalid();
    }
    for (const auto& service : catalog.services) {
        if (service.reviewed > now ||
            now - service.reviewed > PrivacyServicesCatalog::kReviewWindow) {
            return invalid();
        }
    }
    return verified;
}

Result<void, CatalogError> PrivacyCatalogStore::install(const PrivacyCatalogManifest& manifest,
                                                        std::string_view payload,
                                                        std::string_view signature,
                                                        std::uint64_t now) const {
    if (!root_) {
        return CatalogError::fileSystem("No app-group folder is available for the catalog store");
    }
    std::error_code ec;
    std::filesystem::create_directories(*root_, ec);
    if (ec) {
        return CatalogError::fileSystem("Could not create " + root_->string() + ": " +
                                        ec.message());
    }
    const auto lock = ExclusiveFileLock::acquire(*root_ / kLockFileName);
    if (!lock) {
        return CatalogError::fileSystem(lock.error().message);
    }
    // Validated under the lock, so a concurrent install is seen as the
    // catalog in force and cannot be rolled back.
    if (auto validated = validate(manifest, payload, signature, now); !validated) {
        return validated.error();
    }
    if (auto written = writeFileAtomically(*root_ / kRecordFileName,
                                           encodeRecord(manifest, payload, signature));
        !written) {
        return CatalogError::fileSystem(written.error().message);
    }
    return {};
}

}  // namespace scourlet
