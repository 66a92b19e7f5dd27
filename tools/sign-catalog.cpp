// scourlet-sign-catalog: makes Ed25519 signing keys, signs privacy-services
// catalogs (and writes their update manifest) and signs rules releases for the
// rule feed, for publishing.
//
//   scourlet-sign-catalog generate-key <secret-key-file> <key-id>
//   scourlet-sign-catalog sign --key <secret-key-file> --key-id <id> --keyset <keyset.json>
//                              --out <folder> [--manifest] [--maker-host <host>] <catalog.json>
//   scourlet-sign-catalog sign-rules --key <secret-key-file> --key-id <id>
//                              --keyset <rule-feed-keys.json> --version <yyyy.mm.dd.n>
//                              --out <folder> [--channel stable|beta] [--maker-host <host>]
//                              [--min-app-version <version>] [--note <text>]...
//                              [--published-at <yyyy-mm-ddThh:mm:ssZ>]
//                              <data.min.json> <scourlet-supplementary.json>
//
// Secret keys are files holding the base64 text of a 32-byte Ed25519 seed,
// created with mode 0600. They must live outside the source tree: the tool
// refuses any key path inside it, so a key cannot end up committed.
#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"

namespace {

namespace fs = std::filesystem;
using scourlet::PrivacyCatalogManifest;
using scourlet::PrivacyServicesCatalog;

int usage() {
    std::cerr << "usage:\n"
                 "  scourlet-sign-catalog generate-key <secret-key-file> <key-id>\n"
                 "  scourlet-sign-catalog sign --key <secret-key-file> --key-id <id>\n"
                 "      --keyset <keyset.json> --out <folder> [--manifest] [--maker-host <host>]\n"
                 "      <catalog.json>\n"
                 "  scourlet-sign-catalog sign-rules --key <secret-key-file> --key-id <id>\n"
                 "      --keyset <rule-feed-keys.json> --version <yyyy.mm.dd.n> --out <folder>\n"
                 "      [--channel stable|beta] [--maker-host <host>] [--min-app-version <v>]\n"
                 "      [--note <text>]... [--published-at <yyyy-mm-ddThh:mm:ssZ>]\n"
                 "      <data.min.json> <scourlet-supplementary.json>\n";
    return 2;
}

int fail(const std::string& message) {
    std::cerr << "scourlet-sign-catalog: " << message << "\n";
    return 1;
}

std::optional<std::string> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

bool isInsideSourceTree(const fs::path& path) {
    std::error_code ec;
    const fs::path source = fs::weakly_canonical(SCOURLET_SOURCE_DIR, ec);
    const fs::path target = fs::weakly_canonical(fs::absolute(path), ec);
    const auto [sourceEnd, targetIt] =
        std::mismatch(source.begin(), source.end(), target.begin(), target.end());
    return sourceEnd == source.end();
}

std::string base64(const unsigned char* bytes, std::size_t size) {
    std::string out(sodium_base64_ENCODED_LEN(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    out.pop_back();
    return out;
}

struct KeyPair {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    ~KeyPair() { sodium_memzero(secretKey, sizeof secretKey); }
};

bool validKeyID(std::string_view id) {
    return !id.empty() && id.size() <= 64 && !scourlet::containsNonKeyIDCharacter(id);
}

int generateKey(const fs::path& keyFile, const std::string& keyID) {
    if (!validKeyID(keyID)) {
        return fail("a key id has 1 to 64 characters from a-z, 0-9 and \"-\"");
    }
    if (isInsideSourceTree(keyFile)) {
        return fail("refusing to write a secret key inside the source tree: " + keyFile.string());
    }
    KeyPair pair;
    // Draw until the public key passes the strict point test (almost always the first).
    do {
        crypto_sign_keypair(pair.publicKey, pair.secretKey);
    } while (!scourlet::isAcceptedEd25519Point(
        std::string_view(reinterpret_cast<const char*>(pair.publicKey), sizeof pair.publicKey)));
    const std::string seed = base64(pair.secretKey, crypto_sign_SEEDBYTES) + "\n";
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return fail("could not create " + keyFile.string() + " (it must not exist yet)");
    }
    const bool written = ::write(fd, seed.data(), seed.size()) == static_cast<ssize_t>(seed.size());
    ::close(fd);
    if (!written) {
        return fail("could not write " + keyFile.string());
    }
    std::cout << "\"" << keyID << "\":\"" << base64(pair.publicKey, sizeof pair.publicKey)
              << "\"\n";
    return 0;
}

std::optional<std::string> loadSecretKey(const fs::path& keyFile, KeyPair& pair) {
    if (isInsideSourceTree(keyFile)) {
        return "refusing to read a secret key inside the source tree: " + keyFile.string();
    }
    auto text = readFile(keyFile);
    if (!text) {
        return "could not read " + keyFile.string();
    }
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) {
        text->pop_back();
    }
    unsigned char seed[crypto_sign_SEEDBYTES];
    std::size_t length = 0;
    if (sodium_base642bin(seed, sizeof seed, text->data(), text->size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != sizeof seed) {
        sodium_memzero(seed, sizeof seed);
        return keyFile.string() + " does not hold the base64 text of a 32-byte seed";
    }
    crypto_sign_seed_keypair(pair.publicKey, pair.secretKey, seed);
    sodium_memzero(seed, sizeof seed);
    return std::nullopt;
}

// The canonical signature file over `message`: an Ed25519 envelope naming `keyID`.
std::string signedEnvelope(std::string_view message, const KeyPair& pair,
                           const std::string& keyID) {
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), pair.secretKey);
    return PrivacyServicesCatalog::canonical(
        PrivacyServicesCatalog::Envelope{"Ed25519", keyID, base64(signature, sizeof signature)});
}

// What both signing commands take: the key, the keyset it must be in, where
// the signed files go and the host that serves them.
struct SigningOptions {
    fs::path keyFile;
    std::string keyID;
    fs::path keysetFile;
    fs::path outFolder;
    std::string makerHost{scourlet::config::kMakerHost};
};

// Takes `arg` with its `value` when it is one of the shared options.
bool takeSigningOption(const std::string& arg, const std::string& value, SigningOptions& options) {
    if (arg == "--key") {
        options.keyFile = value;
    } else if (arg == "--key-id") {
        options.keyID = value;
    } else if (arg == "--keyset") {
        options.keysetFile = value;
    } else if (arg == "--out") {
        options.outFolder = value;
    } else if (arg == "--maker-host") {
        options.makerHost = value;
    } else {
        return false;
    }
    return true;
}

struct SignOptions : SigningOptions {
    fs::path catalogFile;
    bool manifest = false;
};

int sign(const SignOptions& options) {
    KeyPair pair;
    if (auto error = loadSecretKey(options.keyFile, pair)) {
        return fail(*error);
    }
    const auto input = readFile(options.catalogFile);
    const auto keyset = readFile(options.keysetFile);
    if (!input || !keyset) {
        return fail("could not read the catalog or the keyset");
    }
    const auto decoded = PrivacyServicesCatalog::decode(*input);
    if (!decoded) {
        return fail("the catalog does not decode: " + decoded.error().message);
    }
    const std::string payload = PrivacyServicesCatalog::canonical(*decoded);
    // A key the record does not know would be dropped silently; refuse instead.
    if (nlohmann::json::parse(*input, nullptr, false) != nlohmann::json::parse(payload)) {
        return fail("the catalog holds keys or null values that the catalog format does not know");
    }

    const std::string envelopeText = signedEnvelope(payload, pair, options.keyID);

    // Publish nothing that the programs would refuse.
    const auto verified =
        PrivacyServicesCatalog::verify(payload, envelopeText, *keyset, std::nullopt);
    if (!verified) {
        return fail(verified.error().isRejected()
                        ? "the signed catalog does not verify (a field rule, the key id or the "
                          "keyset refuses it)"
                        : "the signed catalog does not verify: " + verified.error().message);
    }

    std::error_code ec;
    fs::create_directories(options.outFolder, ec);
    if (!writeFile(options.outFolder / "privacy-services.json", payload) ||
        !writeFile(options.outFolder / "privacy-services.sig", envelopeText)) {
        return fail("could not write into " + options.outFolder.string());
    }
    if (options.manifest) {
        const auto& catalog = verified->catalog();
        PrivacyCatalogManifest manifest;
        manifest.schema = 1;
        manifest.product = "Scourlet";
        manifest.kind = "privacy-services-update";
        manifest.version = catalog.version;
        manifest.generated = catalog.generated;
        auto asset = [&](std::string_view bytes, std::string_view extension) {
            return PrivacyCatalogManifest::Asset{
                static_cast<std::int64_t>(bytes.size()), scourlet::sha256Hex(bytes),
                PrivacyCatalogManifest::expectedAssetURL(catalog.version, extension,
                                                         options.makerHost)};
        };
        manifest.payload = asset(payload, "json");
        manifest.signature = asset(envelopeText, "sig");
        const std::string manifestText = manifest.canonicalJSON();
        if (!PrivacyCatalogManifest::parse(manifestText, options.makerHost)) {
            return fail("the update manifest would be refused (check the version and times)");
        }
        if (!writeFile(options.outFolder / "current.json", manifestText)) {
            return fail("could not write the manifest");
        }
    }

    const auto now =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());
    std::cout << "signed version " << verified->catalog().version << " with key \"" << options.keyID
              << "\": " << verified->choices(now).size() << " services offered now\n";
    if (!verified->fresh(now)) {
        std::cout << "warning: the catalog is not fresh now (produced in the future, or a review "
                     "is older than 90 days); it offers no services\n";
    }
    return 0;
}

struct SignRulesOptions : SigningOptions {
    std::string version;
    scourlet::RuleUpdateChannel channel = scourlet::RuleUpdateChannel::stable;
    std::optional<std::string> minAppVersion;
    std::vector<std::string> notes;
    std::optional<std::string> publishedAt;
    fs::path clearFile;
    fs::path supplementaryFile;
};

// Signs a rules release: builds its manifest for the maker's host, signs the
// header "Scourlet rule-manifest v1\n" followed by the manifest bytes, checks
// the whole release as the programs will, and writes the tree to publish at
// https://<host>/scourlet/rules/: the channel's manifest.json and manifest.sig
// ("beta/" for the beta channel) and <version>/ with both rule files.
int signRules(const SignRulesOptions& options) {
    using scourlet::RuleUpdateManifest;
    using scourlet::SignedRuleFeed;
    if (!SignedRuleFeed::versionComponents(options.version)) {
        return fail("the version must look like 2026.03.01.1 (date and a serial from 1)");
    }
    KeyPair pair;
    if (auto error = loadSecretKey(options.keyFile, pair)) {
        return fail(*error);
    }
    const auto keyset = readFile(options.keysetFile);
    const auto clear = readFile(options.clearFile);
    const auto supplementary = readFile(options.supplementaryFile);
    if (!keyset || !clear || !supplementary) {
        return fail("could not read the keyset or a rule file");
    }

    RuleUpdateManifest manifest;
    manifest.product = "Scourlet";
    manifest.kind = "rules";
    manifest.schemaVersion = SignedRuleFeed::kSupportedSchemaVersion;
    manifest.currentVersion = options.version;
    if (options.publishedAt) {
        // Parsed through a whole manifest, the one reader of these dates.
        nlohmann::ordered_json probe = nlohmann::ordered_json::parse(manifest.encoded());
        probe["publishedAt"] = *options.publishedAt;
        probe["files"] = nlohmann::ordered_json::array();
        const auto parsed = RuleUpdateManifest::decode(probe.dump());
        if (!parsed) {
            return fail("--published-at must look like 2026-03-01T08:00:00Z");
        }
        manifest.publishedAt = parsed->publishedAt;
    } else {
        manifest.publishedAt =
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
    manifest.minAppVersion = options.minAppVersion;
    manifest.notes = options.notes;
    auto file = [&](RuleUpdateManifest::File::Kind kind, std::string_view name,
                    const std::string& bytes) {
        return RuleUpdateManifest::File{
            kind, std::string(name),
            SignedRuleFeed::ruleFileURL(options.version, name, options.makerHost),
            scourlet::sha256Hex(bytes), static_cast<std::int64_t>(bytes.size())};
    };
    manifest.files = {
        file(RuleUpdateManifest::File::Kind::clearurls, SignedRuleFeed::kClearURLsFileName, *clear),
        file(RuleUpdateManifest::File::Kind::scourletSupplementary,
             SignedRuleFeed::kSupplementaryFileName, *supplementary)};
    const std::string manifestText = manifest.encoded();

    std::string message(SignedRuleFeed::kMessageHeader);
    message += manifestText;
    const std::string envelopeText = signedEnvelope(message, pair, options.keyID);

    // Publish nothing that the programs would refuse. An application at
    // exactly the minimum version must accept it.
    const SignedRuleFeed::Record record{{manifestText, envelopeText}, *clear, *supplementary};
    const std::string appVersion =
        options.minAppVersion.value_or(std::string(scourlet::config::kAppVersion));
    const auto verified = SignedRuleFeed::verify(record, *keyset, options.makerHost, appVersion);
    if (!verified) {
        return fail("the signed release would be refused: " + verified.error().errorDescription() +
                    " (check the key id, the keyset, the sizes and the rule files)");
    }

    // The channel's manifest path below the rules base: "manifest.json" or
    // "beta/manifest.json"; the signature goes beside it.
    const std::string manifestURL = scourlet::manifestURL(options.channel, options.makerHost);
    const fs::path manifestFile =
        options.outFolder / manifestURL.substr(SignedRuleFeed::rulesBase(options.makerHost).size());
    const fs::path filesFolder = options.outFolder / options.version;
    std::error_code ec;
    fs::create_directories(manifestFile.parent_path(), ec);
    fs::create_directories(filesFolder, ec);
    if (!writeFile(manifestFile, manifestText) ||
        !writeFile(manifestFile.parent_path() / "manifest.sig", envelopeText) ||
        !writeFile(filesFolder / SignedRuleFeed::kClearURLsFileName, *clear) ||
        !writeFile(filesFolder / SignedRuleFeed::kSupplementaryFileName, *supplementary)) {
        return fail("could not write into " + options.outFolder.string());
    }
    std::cout << "signed rules " << options.version << " for the " << scourlet::id(options.channel)
              << " channel with key \"" << options.keyID << "\"; publish "
              << options.outFolder.string() << " at "
              << SignedRuleFeed::rulesBase(options.makerHost) << "\n";
    return 0;
}

int signRulesCommand(const std::vector<std::string>& args) {
    SignRulesOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (hasValue && takeSigningOption(arg, args[i + 1], options)) {
            ++i;
        } else if (arg == "--version" && hasValue) {
            options.version = args[++i];
        } else if (arg == "--channel" && hasValue) {
            const auto channel = scourlet::enumFromRawValue<scourlet::RuleUpdateChannel>(args[++i]);
            if (!channel) {
                return usage();
            }
            options.channel = *channel;
        } else if (arg == "--min-app-version" && hasValue) {
            options.minAppVersion = args[++i];
        } else if (arg == "--note" && hasValue) {
            options.notes.push_back(args[++i]);
        } else if (arg == "--published-at" && hasValue) {
            options.publishedAt = args[++i];
        } else if (!arg.starts_with("--")) {
            files.push_back(arg);
        } else {
            return usage();
        }
    }
    if (files.size() != 2 || options.keyFile.empty() || options.keysetFile.empty() ||
        options.outFolder.empty() || options.version.empty() || !validKeyID(options.keyID)) {
        return usage();
    }
    options.clearFile = files[0];
    options.supplementaryFile = files[1];
    return signRules(options);
}

}  // namespace

int main(int argc, char** argv) {
    if (sodium_init() < 0) {
        return fail("libsodium could not start");
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "generate-key") {
        return generateKey(args[1], args[2]);
    }
    if (!args.empty() && args[0] == "sign-rules") {
        return signRulesCommand(args);
    }
    if (args.empty() || args[0] != "sign") {
        return usage();
    }
    SignOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--manifest") {
            options.manifest = true;
        } else if (hasValue && takeSigningOption(arg, args[i + 1], options)) {
            ++i;
        } else if (!arg.starts_with("--") && options.catalogFile.empty()) {
            options.catalogFile = arg;
        } else {
            return usage();
        }
    }
    if (options.keyFile.empty() || options.keysetFile.empty() || options.outFolder.empty() ||
        options.catalogFile.empty() || !validKeyID(options.keyID)) {
        return usage();
    }
    return sign(options);
}
