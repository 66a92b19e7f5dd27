#include "support/FixtureSigner.h"

#include <sodium.h>

#include <stdexcept>

#include "support/TempDir.h"

namespace scourlet::testing {

namespace {

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

void ensureSodium() {
    if (sodium_init() < 0) {
        throw std::runtime_error("libsodium did not start");
    }
}

// Fixture texts hold plain ASCII; only the two characters JSON always
// escapes are handled.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string stringArray(const std::vector<std::string>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += (i == 0 ? "" : ",") + jsonString(values[i]);
    }
    return out + "]";
}

std::string serviceText(const FixtureService& s) {
    std::string out = "{\"destination\":" + jsonString(s.destination);
    if (s.displayName) {
        out += ",\"displayName\":" + jsonString(*s.displayName);
    }
    if (s.family) {
        out += ",\"family\":" + jsonString(*s.family);
    }
    if (s.history) {
        out += ",\"history\":" + jsonString(*s.history);
    }
    out += ",\"id\":" + jsonString(s.id);
    out += ",\"operatorURL\":" + jsonString(s.operatorURL);
    out += ",\"reason\":" + jsonString(s.reason);
    out += ",\"reviewed\":" + std::to_string(s.reviewed);
    out += ",\"shapes\":" + stringArray(s.shapes);
    out += ",\"sourceHosts\":" + stringArray(s.sourceHosts);
    out += ",\"sourceURL\":" + jsonString(s.sourceURL);
    out += ",\"state\":" + jsonString(s.state);
    return out + "}";
}

std::string assetText(std::int64_t bytes, const std::string& sha256, const std::string& url) {
    return "{\"bytes\":" + std::to_string(bytes) + ",\"sha256\":" + jsonString(sha256) +
           ",\"url\":" + jsonString(url) + "}";
}

}  // namespace

FixtureKey FixtureKey::generate(std::string id) {
    ensureSodium();
    FixtureKey key;
    key.id = std::move(id);
    key.publicKey.resize(crypto_sign_PUBLICKEYBYTES);
    key.secretKey.resize(crypto_sign_SECRETKEYBYTES);
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(key.publicKey.data()),
                        reinterpret_cast<unsigned char*>(key.secretKey.data()));
    return key;
}

std::string FixtureKey::publicKeyBase64() const {
    return base64Text(publicKey);
}

std::string FixtureKey::sign(std::string_view message) const {
    std::string signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         bytesOf(message), message.size(), bytesOf(secretKey));
    return signature;
}

std::string base64Text(std::string_view bytes) {
    ensureSodium();
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytesOf(bytes), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

std::string sha256HexOf(std::string_view bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, bytesOf(bytes), bytes.size());
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : digest) {
        hex.push_back(kHex[byte >> 4]);
        hex.push_back(kHex[byte & 15]);
    }
    return hex;
}

std::string keysetText(const std::vector<const FixtureKey*>& keys) {
    std::string out = "{";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        out += (i == 0 ? "" : ",") + jsonString(keys[i]->id) + ":" +
               jsonString(keys[i]->publicKeyBase64());
    }
    return out + "}";
}

std::string envelopeText(std::string_view algorithm, std::string_view keyID,
                         std::string_view signatureBase64) {
    return "{\"algorithm\":" + jsonString(algorithm) + ",\"keyID\":" + jsonString(keyID) +
           ",\"signature\":" + jsonString(signatureBase64) + "}";
}

std::string envelopeText(std::string_view message, const FixtureKey& key) {
    return envelopeText("Ed25519", key.id, base64Text(key.sign(message)));
}

std::vector<std::string> catalogSourceHosts() {
    return {"mobile.twitter.com", "twitter.com", "www.twitter.com", "www.x.com", "x.com"};
}

FixtureService FixtureService::nitter(std::string id, std::uint64_t reviewed) {
    FixtureService service;
    service.displayName = "Instance " + id;
    service.family = "nitter";
    service.history = "";
    service.destination = "https://" + id + ".example";
    service.id = std::move(id);
    service.reviewed = reviewed;
    return service;
}

FixtureService FixtureService::xcancelFirstFormat(std::uint64_t reviewed) {
    FixtureService service;
    service.destination = "https://xcancel.com";
    service.id = "xcancel";
    service.reviewed = reviewed;
    service.shapes = {"status"};
    return service;
}

std::string FixtureCatalog::text() const {
    std::string out = "{\"automaticFailover\":" + std::string(automaticFailover ? "true" : "false");
    out += ",\"generated\":" + std::to_string(generated);
    out += ",\"kind\":" + jsonString(kind);
    out += ",\"product\":" + jsonString(product);
    out += ",\"schema\":" + std::to_string(schema);
    out += ",\"services\":[";
    for (std::size_t i = 0; i < services.size(); ++i) {
        out += (i == 0 ? "" : ",") + serviceText(services[i]);
    }
    out += "],\"version\":" + std::to_string(version);
    return out + "}";
}

SignedFiles signCatalog(const FixtureCatalog& catalog, const FixtureKey& key) {
    SignedFiles files;
    files.payload = catalog.text();
    files.envelope = envelopeText(files.payload, key);
    return files;
}

FixtureManifest FixtureManifest::describing(std::string_view payload, std::string_view signature,
                                            std::uint64_t version, std::uint64_t generated,
                                            std::string_view host) {
    FixtureManifest m;
    m.version = version;
    m.generated = generated;
    const std::string base = "https://" + std::string(host) + "/privacy-services/versions/" +
                             std::to_string(version) + "/privacy-services.";
    m.payloadBytes = static_cast<std::int64_t>(payload.size());
    m.payloadSHA256 = sha256HexOf(payload);
    m.payloadURL = base + "json";
    m.signatureBytes = static_cast<std::int64_t>(signature.size());
    m.signatureSHA256 = sha256HexOf(signature);
    m.signatureURL = base + "sig";
    return m;
}

std::string FixtureManifest::text() const {
    return "{\"generated\":" + std::to_string(generated) + ",\"kind\":" + jsonString(kind) +
           ",\"payload\":" + assetText(payloadBytes, payloadSHA256, payloadURL) +
           ",\"product\":" + jsonString(product) + ",\"schema\":" + std::to_string(schema) +
           ",\"signature\":" + assetText(signatureBytes, signatureSHA256, signatureURL) +
           ",\"version\":" + std::to_string(version) + "}";
}

FixtureBundle::FixtureBundle(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
}

void FixtureBundle::writeKeyset(std::string_view text) const {
    writeFile(folder_ / "privacy-services-keys.json", text);
}

void FixtureBundle::writeShippedCatalog(std::string_view payload, std::string_view envelope) const {
    writeFile(folder_ / "privacy-services.json", payload);
    writeFile(folder_ / "privacy-services.sig", envelope);
}

}  // namespace scourlet::testing
