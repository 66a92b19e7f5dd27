// scourlet-sign-catalog: makes Ed25519 signing keys, signs privacy-services
// catalogs (and writes their update manifest) and signs rules releases for the
// rule feed, for publishing.
//
//   scourlet-sign-catalog generate-key <secret-key-file> <key-id>
//   scourlet-sign-catalog add-key --key <secret-key-file> --key-id <id> --keyset <keyset.json>
//   scourlet-sign-catalog sign --key <secret-key-file> --key-id <id> --keyset <keyset.json>
//                              --out <folder> [--manifest] [--maker-host <host>] <catalog.json>
//   scourlet-sign-catalog sign-rules --key <secret-key-file> --key-id <id>
//                              --keyset <rule-feed-keys.json> --version <yyyy.mm.dd.n>
//                              --out <folder> [--channel stable|beta] [--maker-host <host>]
//                              [--min-app-version <version>] [--note <text>]...
//                              [--published-at <yyyy-mm-ddThh:mm:ssZ>] [--allow-old-version]
//                              <data.min.json> <scourlet-supplementary.json>
//
// Secret keys are files holding the base64 text of a 32-byte Ed25519 seed,
// created with mode 0600 in a folder made with mode 0700 when missing. They
// must live outside the source tree: the tool refuses any key path inside it,
// so a key cannot end up committed.
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

constexpr std::string_view kUsage =
    "usage:\n"
    "  scourlet-sign-catalog generate-key <secret-key-file> <key-id>\n"
    "  scourlet-sign-catalog add-key --key <secret-key-file> --key-id <id>\n"
    "      --keyset <keyset.json>\n"
    "  scourlet-sign-catalog sign --key <secret-key-file> --key-id <id>\n"
    "      --keyset <keyset.json> --out <folder> [--manifest] [--maker-host <host>]\n"
    "      <catalog.json>\n"
    "  scourlet-sign-catalog sign-rules --key <secret-key-file> --key-id <id>\n"
    "      --keyset <rule-feed-keys.json> --version <yyyy.mm.dd.n> --out <folder>\n"
    "      [--channel stable|beta] [--maker-host <host>] [--min-app-version <v>]\n"
    "      [--note <text>]... [--published-at <yyyy-mm-ddThh:mm:ssZ>]\n"
    "      [--allow-old-version] <data.min.json> <scourlet-supplementary.json>\n"
    "\n"
    "generate-key makes a key (and its folder, mode 0700) and prints its keyset\n"
    "entry; add-key adds the public key of a secret key file to a keyset, written\n"
    "as the programs require (one line, no spaces, key ids in order). sign-rules\n"
    "refuses a version below the shipped rules' version unless --allow-old-version.\n";

int usage() {
    std::cerr << kUsage;
    return 2;
}

int fail(const std::string& message) {
    std::cerr << "scourlet-sign-catalog: " << message << "\n";
    return 1;
}

// The text of `path`; nothing, with `error` naming `what`, the file and the
// system's reason, when it cannot be read.
std::optional<std::string> readFile(const fs::path& path, std::string_view what,
                                    std::string& error) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    if (in) {
        buffer << in.rdbuf();
    }
    if (!in || in.bad()) {
        error = "could not read " + std::string(what) + " " + path.string();
        if (errno != 0) {
            error.append(": ").append(std::strerror(errno));
        }
        return std::nullopt;
    }
    return buffer.str();
}

// Writes each file with its bytes, in order; why the first that failed could
// not be written, naming it, if one did.
std::optional<std::string> writeFiles(
    std::initializer_list<std::pair<fs::path, std::string_view>> files) {
    for (const auto& [path, bytes] : files) {
        errno = 0;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            return "could not write " + path.string() +
                   (errno != 0 ? ": " + std::string(std::strerror(errno)) : std::string());
        }
    }
    return std::nullopt;
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

// Makes the missing folders of `folder`, each with mode 0700: what holds a
// secret key is nobody else's to list. Why one could not be made, if so.
std::optional<std::string> makePrivateFolders(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || fs::is_directory(folder, ec)) {
        return std::nullopt;
    }
    if (auto error = makePrivateFolders(folder.parent_path())) {
        return error;
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return "could not make the folder " + folder.string() + ": " + std::strerror(errno);
    }
    return std::nullopt;
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
    if (auto error = makePrivateFolders(keyFile.parent_path())) {
        return fail(*error);
    }
    const int fd = ::open(keyFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return fail("could not create " + keyFile.string() + ": " +
                    (errno == EEXIST ? "it exists already, and a key is never overwritten"
                                     : std::strerror(errno)));
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
    std::string error;
    auto text = readFile(keyFile, "the secret key", error);
    if (!text) {
        return error;
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

// The keyset text of `keys`: "{}" or "id":"key" entries in id order, joined
// by commas, on one line without spaces or a line break, as the programs
// require.
std::string keysetText(const PrivacyServicesCatalog::Keyset& keys) {
    std::string text = "{";
    for (const auto& [id, key] : keys) {
        text.append(text.size() > 1 ? "," : "").append("\"" + id + "\":\"" + key + "\"");
    }
    return text + "}";
}

// Which keyset rule `text` breaks, for a keyset that parseKeyset() refuses.
std::string keysetRuleBroken(std::string_view text) {
    if (text.size() > PrivacyServicesCatalog::kMaxKeysetBytes) {
        return "it is larger than 4096 bytes";
    }
    // How it is laid out, all at once: jq's output breaks several of these.
    std::string_view body = text;
    std::vector<std::string> layout;
    if (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        layout.emplace_back("ends with a line break");
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
            body.remove_suffix(1);
        }
    }
    if (body.find_first_of("\n\r") != std::string_view::npos) {
        layout.emplace_back("is spread over several lines");
    }
    if (body.find_first_of(" \t") != std::string_view::npos) {
        layout.emplace_back("holds spaces");
    }
    if (!layout.empty()) {
        std::string what = "it";
        for (std::size_t i = 0; i < layout.size(); ++i) {
            what.append(i == 0 ? " " : i + 1 == layout.size() ? " and " : ", ").append(layout[i]);
        }
        return what +
               "; a keyset is one line without spaces or a final line break "
               "(jq -cS . FILE | tr -d '\\n' writes one)";
    }
    if (scourlet::containsNonPrintableASCII(text)) {
        return "it holds a byte that is not printable ASCII";
    }
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') {
        return "it is not one JSON object {...}";
    }
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (static_cast<std::size_t>(std::count(inner.begin(), inner.end(), ',')) >=
        PrivacyServicesCatalog::kMaxKeysetEntries) {
        return "it holds more than 16 keys";
    }
    std::string previous;
    std::size_t start = 0;
    for (int number = 1; start <= inner.size(); ++number) {
        const std::size_t end = std::min(inner.find(',', start), inner.size());
        const std::string_view entry = inner.substr(start, end - start);
        start = end + 1;
        const std::size_t separator = entry.find("\":\"");
        const std::string label =
            "entry " + std::to_string(number) + " (" + std::string(entry) + ")";
        if (entry.size() < 5 || entry.front() != '"' || entry.back() != '"' ||
            separator == std::string_view::npos) {
            return label + " is not \"key-id\":\"base64 key\"";
        }
        const std::string id(entry.substr(1, separator - 1));
        const std::string_view key = entry.substr(separator + 3, entry.size() - separator - 4);
        if (!validKeyID(id)) {
            return label + " has a key id that is not 1 to 64 characters from a-z, 0-9 and \"-\"";
        }
        if (!(previous < id)) {
            return "its key ids are not in ascending order (\"" + id + "\" comes after \"" +
                   previous + "\"; jq -S sorts them)";
        }
        previous = id;
        unsigned char bytes[crypto_sign_PUBLICKEYBYTES];
        std::size_t length = 0;
        const char* parsedEnd = nullptr;
        if (sodium_base642bin(bytes, sizeof bytes, key.data(), key.size(), nullptr, &length,
                              &parsedEnd, sodium_base64_VARIANT_ORIGINAL) != 0 ||
            length != sizeof bytes || parsedEnd != key.data() + key.size() ||
            base64(bytes, sizeof bytes) != key ||
            !scourlet::isAcceptedEd25519Point(
                std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes))) {
            return "the key of \"" + id +
                   "\" is not the base64 text of an accepted 32-byte Ed25519 public key";
        }
    }
    return "it breaks a keyset rule";
}

// The keyset read from `path`, or why it is refused, naming the rule it breaks.
std::optional<PrivacyServicesCatalog::Keyset> readKeyset(const fs::path& path, std::string& error) {
    const auto text = readFile(path, "the keyset", error);
    if (!text) {
        return std::nullopt;
    }
    auto keys = PrivacyServicesCatalog::parseKeyset(*text);
    if (!keys) {
        error = "the keyset " + path.string() + " is refused: " + keysetRuleBroken(*text);
        return std::nullopt;
    }
    return std::move(*keys);
}

// Why the keyset at `keysetFile` cannot check signatures that `pair` (read
// from `keyFile`) makes under `keyID`; nothing when it can.
std::optional<std::string> keysetProblem(const fs::path& keysetFile, const std::string& keyID,
                                         const fs::path& keyFile, const KeyPair& pair) {
    std::string error;
    const auto keys = readKeyset(keysetFile, error);
    if (!keys) {
        return error;
    }
    const auto found = keys->find(keyID);
    if (found == keys->end()) {
        std::string held;
        for (const auto& [id, key] : *keys) {
            held.append(held.empty() ? "" : ", ").append(id);
        }
        return "the keyset " + keysetFile.string() + " holds no key id \"" + keyID +
               "\" (it holds " + (held.empty() ? "none" : held) +
               "); add the key with: scourlet-sign-catalog add-key --key " + keyFile.string() +
               " --key-id " + keyID + " --keyset " + keysetFile.string();
    }
    if (found->second != base64(pair.publicKey, sizeof pair.publicKey)) {
        return "the key \"" + keyID + "\" in the keyset " + keysetFile.string() +
               " is not the public key of " + keyFile.string();
    }
    return std::nullopt;
}

// Adds the public key of `keyFile` to the keyset at `keysetFile` under
// `keyID`, writing the keyset anew as the programs require. A keyset file
// that does not exist yet is made.
int addKey(const fs::path& keyFile, const std::string& keyID, const fs::path& keysetFile) {
    KeyPair pair;
    if (auto error = loadSecretKey(keyFile, pair)) {
        return fail(*error);
    }
    PrivacyServicesCatalog::Keyset keys;
    std::error_code ec;
    if (fs::exists(keysetFile, ec)) {
        std::string error;
        auto read = readKeyset(keysetFile, error);
        if (!read) {
            return fail(error);
        }
        keys = std::move(*read);
    }
    const std::string publicKey = base64(pair.publicKey, sizeof pair.publicKey);
    if (const auto found = keys.find(keyID); found != keys.end()) {
        if (found->second != publicKey) {
            return fail("the keyset " + keysetFile.string() + " holds another key as \"" + keyID +
                        "\"; a key id names one key for good");
        }
        std::cout << "the keyset " << keysetFile.string() << " already holds \"" << keyID << "\"\n";
        return 0;
    }
    if (keys.size() >= PrivacyServicesCatalog::kMaxKeysetEntries) {
        return fail("the keyset " + keysetFile.string() + " holds 16 keys, the most it may");
    }
    keys.emplace(keyID, publicKey);
    const std::string text = keysetText(keys);
    if (!PrivacyServicesCatalog::parseKeyset(text)) {
        return fail("the keyset would be refused: " + keysetRuleBroken(text));
    }
    // Written beside it and moved over it, so that a failed write leaves the old one.
    const fs::path written = keysetFile.string() + ".new";
    if (auto error = writeFiles({{written, text}})) {
        fs::remove(written, ec);
        return fail(*error);
    }
    fs::rename(written, keysetFile, ec);
    if (ec) {
        fs::remove(written, ec);
        return fail("could not replace " + keysetFile.string() + ": " + ec.message());
    }
    std::cout << "added \"" << keyID << "\" to " << keysetFile.string() << " (" << keys.size()
              << (keys.size() == 1 ? " key)\n" : " keys)\n");
    return 0;
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
    std::string error;
    const auto input = readFile(options.catalogFile, "the catalog", error);
    if (!input) {
        return fail(error);
    }
    if (auto problem = keysetProblem(options.keysetFile, options.keyID, options.keyFile, pair)) {
        return fail(*problem);
    }
    const auto keyset = readFile(options.keysetFile, "the keyset", error);
    if (!keyset) {
        return fail(error);
    }
    const auto decoded = PrivacyServicesCatalog::decode(*input);
    if (!decoded) {
        return fail("the catalog " + options.catalogFile.string() +
                    " does not decode: " + decoded.error().message);
    }
    const std::string payload = PrivacyServicesCatalog::canonical(*decoded);
    // A key the record does not know would be dropped silently; refuse instead.
    if (nlohmann::json::parse(*input, nullptr, false) != nlohmann::json::parse(payload)) {
        return fail("the catalog " + options.catalogFile.string() +
                    " holds keys or null values that the catalog format does not know");
    }

    const std::string envelopeText = signedEnvelope(payload, pair, options.keyID);

    // Publish nothing that the programs would refuse.
    const auto verified =
        PrivacyServicesCatalog::verify(payload, envelopeText, *keyset, std::nullopt);
    if (!verified) {
        // The keyset and the key were checked above: a field or service rule refuses it.
        return fail(verified.error().isRejected()
                        ? "the catalog " + options.catalogFile.string() +
                              " would be refused by a field or service rule (a version, time, "
                              "review or address out of bounds)"
                        : "the signed catalog does not verify: " + verified.error().message);
    }

    std::error_code ec;
    fs::create_directories(options.outFolder, ec);
    if (auto failed = writeFiles({{options.outFolder / "privacy-services.json", payload},
                                  {options.outFolder / "privacy-services.sig", envelopeText}})) {
        return fail(*failed);
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
            return fail("the update manifest of " + options.catalogFile.string() +
                        " would be refused (check its version and times)");
        }
        if (auto failed = writeFiles({{options.outFolder / "current.json", manifestText}})) {
            return fail(*failed);
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
    bool allowOldVersion = false;
    fs::path clearFile;
    fs::path supplementaryFile;
};

// The manifest of the rules shipped with the programs: its version is the
// floor below which they use no release.
const fs::path kShippedManifest =
    fs::path(SCOURLET_SOURCE_DIR) / "ScourletCore" / "Resources" / "manifest.json";

// Why `version` would not be used by programs that ship the rules of the
// source tree (it is older than theirs), or why that could not be checked.
std::optional<std::string> belowShippedVersion(const std::string& version) {
    using scourlet::SignedRuleFeed;
    std::string error;
    const auto text = readFile(kShippedManifest, "the shipped rules' manifest", error);
    if (!text) {
        return error;
    }
    const auto shipped = scourlet::RuleUpdateManifest::decode(*text);
    const auto floor =
        shipped ? SignedRuleFeed::versionComponents(shipped->currentVersion) : std::nullopt;
    if (!floor) {
        return "the shipped rules' manifest " + kShippedManifest.string() +
               " holds no rules version";
    }
    if (*SignedRuleFeed::versionComponents(version) < *floor) {
        return "version " + version + " is below " + shipped->currentVersion +
               ", the version of the shipped rules (" + kShippedManifest.string() +
               "), and the programs use no release below it";
    }
    return std::nullopt;
}

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
    if (auto below = belowShippedVersion(options.version)) {
        if (!options.allowOldVersion) {
            return fail(*below + "; pass --allow-old-version to sign it anyway");
        }
        std::cerr << "scourlet-sign-catalog: warning: " << *below << "\n";
    }
    KeyPair pair;
    if (auto error = loadSecretKey(options.keyFile, pair)) {
        return fail(*error);
    }
    if (auto problem = keysetProblem(options.keysetFile, options.keyID, options.keyFile, pair)) {
        return fail(*problem);
    }
    std::string error;
    const auto keyset = readFile(options.keysetFile, "the keyset", error);
    const auto clear = keyset ? readFile(options.clearFile, "the rule file", error) : std::nullopt;
    const auto supplementary =
        clear ? readFile(options.supplementaryFile, "the supplementary rule file", error)
              : std::nullopt;
    if (!supplementary) {
        return fail(error);
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
        // The keyset and the key were checked above: the rule files refuse it.
        return fail("the signed release would be refused: " + verified.error().errorDescription() +
                    " (check the rule files " + options.clearFile.string() + " and " +
                    options.supplementaryFile.string() + ")");
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
    if (auto failed =
            writeFiles({{manifestFile, manifestText},
                        {manifestFile.parent_path() / "manifest.sig", envelopeText},
                        {filesFolder / SignedRuleFeed::kClearURLsFileName, *clear},
                        {filesFolder / SignedRuleFeed::kSupplementaryFileName, *supplementary}})) {
        return fail(*failed);
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
        } else if (arg == "--allow-old-version") {
            options.allowOldVersion = true;
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
    if (std::find_if(args.begin(), args.end(), [](const std::string& arg) {
            return arg == "--help" || arg == "-h";
        }) != args.end()) {
        std::cout << kUsage;
        return std::cout.flush() ? 0 : 1;
    }
    if (args.size() == 3 && args[0] == "generate-key") {
        return generateKey(args[1], args[2]);
    }
    if (!args.empty() && args[0] == "add-key") {
        SigningOptions options;
        for (std::size_t i = 1; i < args.size(); i += 2) {
            if (i + 1 >= args.size() || !takeSigningOption(args[i], args[i + 1], options)) {
                return usage();
            }
        }
        if (options.keyFile.empty() || options.keysetFile.empty() || !validKeyID(options.keyID)) {
            return usage();
        }
        return addKey(options.keyFile, options.keyID, options.keysetFile);
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
