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
// so a key cannot end up committed, and a key file that anyone but its owner
// may read or write is refused.
#include <sodium.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "CatalogSigning.h"
#include "CommandLine.h"
#include "Keyset.h"
#include "RulesSigning.h"
#include "SecretKey.h"

namespace {

using namespace scourlet::signtool;

struct Command {
    std::string_view name;
    int (*run)(const std::vector<std::string>& args);
};

constexpr Command kCommands[] = {
    {"generate-key", generateKeyCommand},
    {"add-key", addKeyCommand},
    {"sign", signCatalogCommand},
    {"sign-rules", signRulesCommand},
};

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
        return std::cout.flush() ? kSuccess : kFailed;
    }
    if (args.empty()) {
        return usage();
    }
    for (const Command& command : kCommands) {
        if (args[0] == command.name) {
            return command.run(args);
        }
    }
    std::cerr << "scourlet-sign-catalog: unknown command \"" << args[0] << "\"\n";
    return usage();
}
