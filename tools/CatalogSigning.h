// sign: signs a privacy-services catalog for publishing, with its update
// manifest when asked.
//
//   return signCatalogCommand({"sign", "--key", key, "--key-id", id, "--keyset", keys,
//                              "--out", folder, "--manifest", "catalog.json"});
#pragma once

#include <string>
#include <vector>

namespace scourlet::signtool {

// sign --key <file> --key-id <id> --keyset <file> --out <folder> [--manifest]
// [--maker-host <host>] <catalog.json>: writes the canonical
// privacy-services.json and privacy-services.sig (and current.json with
// --manifest) into the folder once they verify as the programs will verify
// them. `args` starts with the command's name; returns the exit status.
int signCatalogCommand(const std::vector<std::string>& args);

}  // namespace scourlet::signtool
