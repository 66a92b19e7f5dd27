// Keysets: the files of trusted public keys the programs check signatures
// with, one line of "key-id":"base64 key" entries in id order.
//
//   if (auto problem = keysetProblem(keysetFile, keyID, keyFile, pair)) return fail(*problem);
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "SecretKey.h"

namespace scourlet::signtool {

// Why the keyset at `keysetFile` cannot check signatures that `pair` (read
// from `keyFile`) makes under `keyID`, naming the keyset rule it breaks or
// how to add the key; nothing when it can.
std::optional<std::string> keysetProblem(const std::filesystem::path& keysetFile,
                                         const std::string& keyID,
                                         const std::filesystem::path& keyFile, const KeyPair& pair);

// add-key --key <file> --key-id <id> --keyset <file>: adds the public key of
// a secret key file to a keyset (made when missing), written anew as the
// programs require. `args` starts with the command's name; returns the exit
// status.
int addKeyCommand(const std::vector<std::string>& args);

}  // namespace scourlet::signtool
