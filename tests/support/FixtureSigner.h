// Test fixtures for signed files: Ed25519 keys made with libsodium at test
// time, keysets and signature envelopes over any message (the catalog's or
// the rule feed's), and the privacy-services catalogs and update manifests.
//
// Every text is written here by hand, with the key order spelled out in this
// file rather than taken from the code under test, so a fault in the core's
// canonical encoder shows up as a refused fixture.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/ResourceBundle.h"

namespace scourlet::testing {

// A fresh Ed25519 key pair.
struct FixtureKey {
    std::string id;
    std::string publicKey;  // 32 raw bytes
    std::string secretKey;  // 64 raw bytes (libsodium layout)

    static FixtureKey generate(std::string id);
    std::string publicKeyBase64() const;
    // The 64-byte detached signature of `message`.
    std::string sign(std::string_view message) const;
};

std::string base64Text(std::string_view bytes);
std::string sha256HexOf(std::string_view bytes);

// "{}" or {"id":"key",...} with the entries in the order given.
std::string keysetText(const std::vector<const FixtureKey*>& keys);

// {"algorithm":"Ed25519","keyID":...,"signature":...} over `message`.
std::string envelopeText(std::string_view message, const FixtureKey& key);
std::string envelopeText(std::string_view algorithm, std::string_view keyID,
                         std::string_view signatureBase64);

// The X/Twitter hosts a catalog entry must list, in the order it must list them.
std::vector<std::string> catalogSourceHosts();

struct FixtureService {
    std::optional<std::string> displayName;
    std::optional<std::string> family;
    std::optional<std::string> history;
    std::string destination;
    std::string id;
    std::string operatorURL = "https://operator.example";
    std::string reason = "Listed for testing.";
    std::uint64_t reviewed = 0;
    std::vector<std::string> shapes{"profile", "status"};
    std::vector<std::string> sourceHosts = catalogSourceHosts();
    std::string sourceURL = "https://source.example/list";
    std::string state = "active";

    // A valid entry of the second format: a Nitter instance at
    // "https://<id>.example", reviewed at `reviewed`.
    static FixtureService nitter(std::string id, std::uint64_t reviewed);
    // The single valid entry of the first format.
    static FixtureService xcancelFirstFormat(std::uint64_t reviewed);
};

struct FixtureCatalog {
    bool automaticFailover = false;
    std::uint64_t generated = 0;
    std::string kind = "privacy-services";
    std::string product = "Scourlet";
    std::uint64_t schema = 2;
    std::vector<FixtureService> services;
    std::uint64_t version = 1;

    // Canonical text, written field by field.
    std::string text() const;
};

// A catalog text and its envelope, signed with `key`.
struct SignedFiles {
    std::string payload;
    std::string envelope;
};
SignedFiles signCatalog(const FixtureCatalog& catalog, const FixtureKey& key);

// The fixed times the fixtures use (all within the accepted windows).
inline constexpr std::uint64_t kFixtureGenerated = 1'800'000'000;  // 2027-01-15
inline constexpr std::uint64_t kFixtureReviewed = 1'799'000'000;

// A canonical update manifest for the payload and signature bytes, with the
// URLs of `host`.
struct FixtureManifest {
    std::uint64_t schema = 1;
    std::string product = "Scourlet";
    std::string kind = "privacy-services-update";
    std::uint64_t version = 1;
    std::uint64_t generated = kFixtureGenerated;
    std::int64_t payloadBytes = 0;
    std::string payloadSHA256;
    std::string payloadURL;
    std::int64_t signatureBytes = 0;
    std::string signatureSHA256;
    std::string signatureURL;

    static FixtureManifest describing(std::string_view payload, std::string_view signature,
                                      std::uint64_t version, std::uint64_t generated,
                                      std::string_view host);
    std::string text() const;
};

inline constexpr std::string_view kFixtureHost = "catalog.fixture.example";

// A resource folder of its own, removed with the object: the catalog keyset
// and, optionally, a shipped catalog.
class FixtureBundle {
public:
    explicit FixtureBundle(std::filesystem::path folder);
    void writeKeyset(std::string_view text) const;
    void writeShippedCatalog(std::string_view payload, std::string_view envelope) const;
    ResourceBundle bundle() const { return ResourceBundle(folder_); }
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
};

}  // namespace scourlet::testing
