// The byte-level primitives behind every signed file the program accepts
// (the privacy-services catalog and the rule feed): standard base64, SHA-256
// and the Ed25519 signature check, over libsodium.
//
//   auto bytes = base64Decode(text);                 // nothing unless exact base64
//   bool same = sha256Hex(file) == expectedDigest;   // 64 lower-case hex digits
//   bool valid = ed25519Verify(signature, message, publicKey);
//
// Pure functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet {

// Initializes libsodium once per process (thread-safe). Returns false when
// the library cannot start; the functions below then refuse (base64Decode and
// ed25519Verify) or give "" (base64Encode).
bool sodiumReady();

// Standard base64 with "=" padding. Decoding refuses anything else: missing
// padding, characters outside the alphabet, white space, text after the
// padding and non-zero unused bits in the last character.
std::string base64Encode(std::string_view bytes);
std::optional<std::string> base64Decode(std::string_view text);

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256Hex(std::string_view bytes);

// Pure Ed25519 (no pre-hash, no context) as in RFC 8032. False for sizes other
// than 64 and 32 bytes, and when libsodium is unavailable. Callers that must
// refuse weak keys and non-canonical signatures check those first.
bool ed25519Verify(std::string_view signature, std::string_view message,
                   std::string_view publicKey);

}  // namespace scourlet
