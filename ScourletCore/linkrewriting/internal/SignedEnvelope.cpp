#include "ScourletCore/linkrewriting/internal/SignedEnvelope.h"

#include <optional>
#include <string>

#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/platform/Regex.h"

namespace scourlet::internal {

namespace {

constexpr CatalogRejected kInvalid = CatalogRejected::invalid;

const std::optional<Regex>& keysetEntryPattern() {
    static const auto pattern =
        Regex::compile(R"re(^"([a-z0-9-]{1,64})":"([A-Za-z0-9+/]{43}=)"$)re");
    return pattern;
}

// The bytes of a base64 text when it decodes to exactly `size` bytes and is
// their one standard encoding (no stray bits in the last character).
std::optional<std::string> exactBase64(std::string_view text, std::size_t size) {
    auto bytes = base64Decode(text);
    if (!bytes || bytes->size() != size || base64Encode(*bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

Result<PrivacyServicesCatalog::Keyset, CatalogRejected> parseKeysetText(std::string_view bytes) {
    if (bytes.size() > PrivacyServicesCatalog::kMaxKeysetBytes ||
        containsNonPrintableASCII(bytes)) {
        return kInvalid;
    }
    if (bytes.empty() || bytes.front() != '{' || bytes.back() != '}') {
        return kInvalid;
    }
    PrivacyServicesCatalog::Keyset keys;
    if (bytes == "{}") {
        return keys;
    }
    const auto& pattern = keysetEntryPattern();
    if (!pattern) {
        return kInvalid;
    }
    const std::string_view inner = bytes.substr(1, bytes.size() - 2);
    // Split at every comma, keeping empty pieces: ",," or a comma before the
    // closing brace leaves an empty piece, which the pattern refuses.
    std::size_t pieces = 1;
    for (const char c : inner) {
        pieces += c == ',' ? 1 : 0;
    }
    if (pieces > PrivacyServicesCatalog::kMaxKeysetEntries) {
        return kInvalid;
    }
    std::string_view previousID;  // the first ID is compared with ""
    std::size_t start = 0;
    while (start <= inner.size()) {
        std::size_t end = inner.find(',', start);
        if (end == std::string_view::npos) {
            end = inner.size();
        }
        const std::string_view piece = inner.substr(start, end - start);
        const auto match = pattern->firstMatch(piece);
        if (!match || match->range() != ByteRange{0, piece.size()}) {
            return kInvalid;
        }
        const std::string_view id = *match->group(1, piece);
        const std::string_view keyText = *match->group(2, piece);
        if (!(previousID < id)) {
            return kInvalid;
        }
        const auto key = exactBase64(keyText, 32);
        if (!key || !isAcceptedEd25519Point(*key)) {
            return kInvalid;
        }
        keys.emplace(std::string(id), std::string(keyText));
        previousID = id;
        start = end + 1;
    }
    return keys;
}

Result<void, CatalogRejected> checkEnvelopeSignature(
    const PrivacyServicesCatalog::Envelope& envelope, const PrivacyServicesCatalog::Keyset& keys,
    std::string_view message) {
    if (envelope.algorithm != "Ed25519") {
        return kInvalid;
    }
    if (envelope.keyID.empty() || envelope.keyID.size() > 64 ||
        containsNonKeyIDCharacter(envelope.keyID)) {
        return kInvalid;
    }
    const auto entry = keys.find(envelope.keyID);
    if (keys.empty() || entry == keys.end()) {
        return kInvalid;
    }
    const auto key = exactBase64(entry->second, 32);
    if (!key) {
        return kInvalid;
    }
    const auto signature = exactBase64(envelope.signature, 64);
    if (!signature) {
        return kInvalid;
    }
    const std::string_view signatureView(*signature);
    if (!isAcceptedEd25519Point(*key) || !isAcceptedEd25519Point(signatureView.substr(0, 32)) ||
        !isCanonicalEd25519Scalar(signatureView.substr(32))) {
        return kInvalid;
    }
    // Any 32 bytes make a public key for libsodium; the acceptance test above
    // already refused what a stricter key constructor would.
    if (!ed25519Verify(*signature, message, *key)) {
        return kInvalid;
    }
    return {};
}

}  // namespace scourlet::internal
