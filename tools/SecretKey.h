// Secret signing keys: files holding the base64 text of a 32-byte Ed25519
// seed, mode 0600, in a folder of mode 0700, never inside the source tree.
//
//   KeyPair pair;
//   if (auto error = loadSecretKey(keyFile, pair)) return fail(*error);
//   const std::string sig = signedEnvelope(message, pair, keyID);
#pragma once

#include <sodium.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet::signtool {

struct KeyPair {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    ~KeyPair() { sodium_memzero(secretKey, sizeof secretKey); }
};

// The standard base64 text of `size` bytes, with padding.
std::string base64(const unsigned char* bytes, std::size_t size);

// Whether `id` may name a key: 1 to 64 characters from a-z, 0-9 and "-".
bool validKeyID(std::string_view id);

// generate-key <secret-key-file> <key-id>: makes a key file (and its missing
// folders, mode 0700) and prints its keyset entry. `args` starts with the
// command's name; returns the exit status.
int generateKeyCommand(const std::vector<std::string>& args);

// Reads the key of `keyFile` into `pair`; why it cannot, naming the file. A
// key file that group or others may read or write is refused, with the
// chmod that fixes it.
std::optional<std::string> loadSecretKey(const std::filesystem::path& keyFile, KeyPair& pair);

// The canonical signature file over `message`: an Ed25519 envelope naming `keyID`.
std::string signedEnvelope(std::string_view message, const KeyPair& pair, const std::string& keyID);

}  // namespace scourlet::signtool
