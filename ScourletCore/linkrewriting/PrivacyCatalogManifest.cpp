#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/linkrewriting/internal/CanonicalJson.h"
#include "ScourletCore/linkrewriting/internal/CatalogRules.h"

namespace scourlet {

namespace {

void writeAsset(internal::CanonicalJsonWriter& w, const PrivacyCatalogManifest::Asset& asset) {
    w.beginObject();
    w.key("bytes");
    w.number(asset.bytes);
    w.key("sha256");
    w.string(asset.sha256);
    w.key("url");
    w.string(asset.url);
    w.endObject();
}

bool isLowercaseSha256(std::string_view text) {
    if (text.size() != 64) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

bool isValidAsset(const PrivacyCatalogManifest::Asset& asset, std::int64_t limit,
                  const std::string& expectedURL) {
    return asset.bytes >= 1 && asset.bytes <= limit && isLowercaseSha256(asset.sha256) &&
           asset.url == expectedURL;
}

}  // namespace

PrivacyCatalogManifest::Asset PrivacyCatalogManifest::Asset::fromJson(const Json& json) {
    const JsonObjectReader o(json, "asset");
    return Asset{o.required<std::int64_t>("bytes"), o.required<std::string>("sha256"),
                 o.required<std::string>("url")};
}

PrivacyCatalogManifest PrivacyCatalogManifest::fromJson(const Json& json) {
    const JsonObjectReader o(json, "manifest");
    PrivacyCatalogManifest manifest;
    manifest.schema = internal::requiredUInt64(o, "schema");
    manifest.product = o.required<std::string>("product");
    manifest.kind = o.required<std::string>("kind");
    manifest.version = internal::requiredUInt64(o, "version");
    manifest.generated = internal::requiredUInt64(o, "generated");
    manifest.payload = o.required<Asset>("payload");
    manifest.signature = o.required<Asset>("signature");
    return manifest;
}

std::string PrivacyCatalogManifest::canonicalJSON() const {
    internal::CanonicalJsonWriter w;
    w.beginObject();
    w.key("generated");
    w.number(generated);
    w.key("kind");
    w.string(kind);
    w.key("payload");
    writeAsset(w, payload);
    w.key("product");
    w.string(product);
    w.key("schema");
    w.number(schema);
    w.key("signature");
    writeAsset(w, signature);
    w.key("version");
    w.number(version);
    w.endObject();
    return w.take();
}

std::string PrivacyCatalogManifest::endpoint(std::string_view makerHost) {
    return std::string("https://").append(makerHost).append("/privacy-services/current.json");
}

std::string PrivacyCatalogManifest::expectedAssetURL(std::uint64_t version,
                                                     std::string_view extension,
                                                     std::string_view makerHost) {
    return std::string("https://")
        .append(makerHost)
        .append("/privacy-services/versions/")
        .append(std::to_string(version))
        .append("/privacy-services.")
        .append(extension);
}

Result<PrivacyCatalogManifest, CatalogError> PrivacyCatalogManifest::parse(
    std::string_view data, std::string_view makerHost) {
    const CatalogError invalid(CatalogRejected::invalid);
    if (data.size() > kMaxBytes) {
        return invalid;
    }
    auto decoded = decodeJson(data, [](const Json& json) { return fromJson(json); });
    if (!decoded) {
        return CatalogError(decoded.error());
    }
    const PrivacyCatalogManifest& m = *decoded;
    if (m.canonicalJSON() != data) {
        return invalid;
    }
    if (m.schema != 1 || m.product != "Scourlet" || m.kind != "privacy-services-update" ||
        m.version < 1 || m.version > PrivacyServicesCatalog::kMaxVersion ||
        m.generated < PrivacyServicesCatalog::kEarliestGenerated ||
        m.generated > PrivacyServicesCatalog::kLatestGenerated) {
        return invalid;
    }
    if (!isValidAsset(m.payload, kMaxPayloadBytes,
                      expectedAssetURL(m.version, "json", makerHost)) ||
        !isValidAsset(m.signature, kMaxSignatureBytes,
                      expectedAssetURL(m.version, "sig", makerHost))) {
        return invalid;
    }
    return std::move(decoded).value();
}

}  // namespace scourlet
