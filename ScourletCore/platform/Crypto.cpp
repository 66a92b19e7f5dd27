#include "ScourletCore/platform/Crypto.h"

#include <sodium.h>

#include <array>

namespace scourlet {

namespace {
const unsigned char* bytePointer(std::string_view bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.data());
}
}  // namespace

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::string base64Encode(std::string_view bytes) {
    if (!sodiumReady()) {
        return {};
    }
    const std::size_t capacity =
        sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    std::string out(capacity, '\0');
    sodium_bin2base64(out.data(), capacity, bytePointer(bytes), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.resize(capacity - 1);  // the terminating NUL
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (!sodiumReady()) {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3 + 3, '\0');
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(),
                          text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    out.resize(length);
    return out;
}

std::string sha256Hex(std::string_view bytes) {
    sodiumReady();
    std::array<unsigned char, crypto_hash_sha256_BYTES> digest{};
    crypto_hash_sha256(digest.data(), bytePointer(bytes), bytes.size());
    std::string hex(digest.size() * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());  // lower-case
    hex.pop_back();                                                        // the terminating NUL
    return hex;
}

bool ed25519Verify(std::string_view signature, std::string_view message,
                   std::string_view publicKey) {
    if (signature.size() != crypto_sign_BYTES || publicKey.size() != crypto_sign_PUBLICKEYBYTES ||
        !sodiumReady()) {
        return false;
    }
    return crypto_sign_verify_detached(bytePointer(signature), bytePointer(message), message.size(),
                                       bytePointer(publicKey)) == 0;
}

}  // namespace scourlet
