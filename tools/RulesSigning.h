// sign-rules: signs a rules release for the signed rule feed.
//
//   return signRulesCommand({"sign-rules", "--key", key, "--key-id", id, "--keyset", keys,
//                            "--version", "2027.01.15.1", "--out", folder,
//                            "data.min.json", "scourlet-supplementary.json"});
#pragma once

#include <string>
#include <vector>

namespace scourlet::signtool {

// sign-rules --key <file> --key-id <id> --keyset <file> --version <yyyy.mm.dd.n>
// --out <folder> [--channel stable|beta] [--maker-host <host>]
// [--min-app-version <v>] [--note <text>]... [--published-at <time>]
// [--allow-old-version] <data.min.json> <scourlet-supplementary.json>: builds
// and signs the release's manifest, checks the release as the programs will
// and writes the tree to publish. `args` starts with the command's name;
// returns the exit status.
int signRulesCommand(const std::vector<std::string>& args);

}  // namespace scourlet::signtool
