#include "CommandLine.h"

#include <iostream>
#include <vector>

#include "SecretKey.h"

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

int usageError(const std::string& cause) {
    std::cerr << "scourlet-sign-catalog: " << cause << "\n";
    return usage();
}

int fail(const std::string& message) {
    std::cerr << "scourlet-sign-catalog: " << message << "\n";
    return kFailed;
}

CommandArguments::Known signingArguments(CommandArguments::Known more) {
    more.valued.insert(more.valued.end(),
                       {"--key", "--key-id", "--keyset", "--out", "--maker-host"});
    return more;
}

std::optional<std::string> takeSigningOptions(const CommandArguments& arguments,
                                              std::string_view command, SigningOptions& options) {
    const bool signs = command != "add-key";
    struct Needed {
        std::string_view option;
        std::string_view shape;
    };
    std::vector<Needed> needed = {
        {"--key", "<secret-key-file>"}, {"--key-id", "<id>"}, {"--keyset", "<keyset.json>"}};
    if (signs) {
        needed.push_back({"--out", "<folder>"});
    }
    std::vector<std::string> missing;
    for (const Needed& each : needed) {
        if (!arguments.value(each.option)) {
            missing.push_back(std::string(each.option) + " " + std::string(each.shape));
        }
    }
    if (!missing.empty()) {
        std::string list;
        for (std::size_t i = 0; i < missing.size(); ++i) {
            list.append(i == 0 ? "" : i + 1 == missing.size() ? " and " : ", ").append(missing[i]);
        }
        return std::string(command) + " needs " + list;
    }
    options.keyFile = *arguments.value("--key");
    options.keyID = *arguments.value("--key-id");
    options.keysetFile = *arguments.value("--keyset");
    if (!validKeyID(options.keyID)) {
        return "--key-id \"" + options.keyID +
               "\" is no key id: a key id has 1 to 64 characters from a-z, 0-9 and \"-\"";
    }
    if (signs) {
        options.outFolder = *arguments.value("--out");
        if (auto host = arguments.value("--maker-host")) {
            if (!validHostName(*host)) {
                return "--maker-host \"" + *host +
                       "\" is no host name: give a lower-case host name such as "
                       "updates.example.com, without a scheme, port, path or spaces";
            }
            options.makerHost = *host;
        }
    }
    return std::nullopt;
}

bool validHostName(std::string_view host) {
    bool afterSeparator = true;  // a label must come first
    for (const char c : host) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            afterSeparator = false;
        } else if ((c == '.' || c == '-') && !afterSeparator) {
            afterSeparator = true;
        } else {
            return false;
        }
    }
    return !afterSeparator;
}

}  // namespace scourlet::signtool
