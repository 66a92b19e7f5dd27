// Thin wrappers over libsodium for the signed catalog and feeds: standard
// base64, SHA-256 and Ed25519 signature checks on byte strings.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

// Initializes libsodium once per process (thread-safe). Returns false when
// the library cannot start; callers then refuse whatever needed it.
bool sodiumReady();

// Standard base64 with "=" padding. Decoding refuses anything else: missing
// padding, characters outside the alphabet, white space, text after the
// padding and (in libsodium) non-zero unused bits in the last character.
std::string base64Encode(std::string_view bytes);
std::optional<std::string> base64Decode(std::string_view text);

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

// Pure Ed25519 (no pre-hash, no context) as in RFC 8032. False for sizes other
// than 64 and 32 bytes, and when libsodium is unavailable.
bool ed25519Verify(std::string_view signature, std::string_view message,
                   std::string_view publicKey);

}  // namespace scourlet::internal
