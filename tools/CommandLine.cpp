#include "CommandLine.h"

#include <iostream>

namespace scourlet::signtool {

const std::string_view kUsage =
    "usage:\n"
    "  scourlet-sign-catalog generate-key <secret-key-file> <key-id>\n"
    "  scourlet-sign-catalog add-key --key <secret-key-file> --key-id <id>\n"
    "      --keyset <keyset.json>\n"
    "  scourlet-sign-catalog sign --key <secret-key-file> --key-id <id>\n"
    "      --keyset <keyset.json> --out <folder> [--manifest] [--maker-host <host>]\n"
    "      <catalog.json>\n"
    "  scourlet-sign-catalog sign-rules --key <secret-key-file> --key-id <id>\n"
    "      --keyset <rule-feed-keys.json> --version <yyyy.mm.dd.n> --out <folder>\n"
    "      [--channel stable|beta] [--maker-host <host>] [--min-app-version <v>]\n"
    "      [--note <text>]... [--published-at <yyyy-mm-ddThh:mm:ssZ>]\n"
    "      [--allow-old-version] <data.min.json> <scourlet-supplementary.json>\n"
    "\n"
    "generate-key makes a key (and its folder, mode 0700) and prints its keyset\n"
    "entry; add-key adds the public key of a secret key file to a keyset, written\n"
    "as the programs require (one line, no spaces, key ids in order). sign-rules\n"
    "refuses a version below the shipped rules' version unless --allow-old-version.\n";

int usage() {
    std::cerr << kUsage;
    return kUsageError;
}

int fail(const std::string& message) {
    std::cerr << "scourlet-sign-catalog: " << message << "\n";
    return kFailed;
}

bool takeSigningOption(const std::string& arg, const std::string& value, SigningOptions& options) {
    if (arg == "--key") {
        options.keyFile = value;
    } else if (arg == "--key-id") {
        options.keyID = value;
    } else if (arg == "--keyset") {
        options.keysetFile = value;
    } else if (arg == "--out") {
        options.outFolder = value;
    } else if (arg == "--maker-host") {
        options.makerHost = value;
    } else {
        return false;
    }
    return true;
}

}  // namespace scourlet::signtool
