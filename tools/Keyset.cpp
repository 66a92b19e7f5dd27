#include "Keyset.h"

#include <algorithm>
#include <iostream>
#include <string_view>

#include "CommandArguments.h"
#include "CommandLine.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/platform/AtomicFileWrite.h"
#include "SigningFiles.h"

namespace scourlet::signtool {

namespace fs = std::filesystem;

namespace {

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
    if (containsNonPrintableASCII(text)) {
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
            !isAcceptedEd25519Point(
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
        return kSuccess;
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
    if (auto written = writeFileAtomically(keysetFile, text); !written) {
        return fail("could not replace the keyset " + keysetFile.string() + ": " +
                    written.error().message);
    }
    std::cout << "added \"" << keyID << "\" to " << keysetFile.string() << " (" << keys.size()
              << (keys.size() == 1 ? " key)\n" : " keys)\n");
    return kSuccess;
}

}  // namespace

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

int addKeyCommand(const std::vector<std::string>& args) {
    const auto arguments =
        CommandArguments::read(args, {.valued = {"--key", "--key-id", "--keyset"}});
    if (!arguments) {
        return usageError(arguments.error());
    }
    SigningOptions options;
    if (auto cause = takeSigningOptions(*arguments, "add-key", options)) {
        return usageError(*cause);
    }
    if (!arguments->plain().empty()) {
        return usageError("add-key takes no file besides its options; \"" +
                          arguments->plain().front() + "\" is one too many");
    }
    return addKey(options.keyFile, options.keyID, options.keysetFile);
}

}  // namespace scourlet::signtool
