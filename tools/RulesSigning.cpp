#include "RulesSigning.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "CommandArguments.h"
#include "CommandLine.h"
#include "Keyset.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/rules/UncompiledPattern.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"
#include "ScourletCore/ruleupdates/SignedRuleFeed.h"
#include "ScourletCore/updateawareness/UpdateVersion.h"
#include "SecretKey.h"
#include "SigningFiles.h"

namespace scourlet::signtool {

namespace fs = std::filesystem;

namespace {

struct SignRulesOptions : SigningOptions {
    std::string version;
    RuleUpdateChannel channel = RuleUpdateChannel::stable;
    std::optional<std::string> minAppVersion;
    std::vector<std::string> notes;
    std::optional<std::string> publishedAt;
    bool allowOldVersion = false;
    fs::path clearFile;
    fs::path supplementaryFile;
};

// The manifest of the rules shipped with the programs: its version is the
// floor below which they use no release.
const fs::path kShippedManifest =
    fs::path(SCOURLET_SOURCE_DIR) / "ScourletCore" / "Resources" / "manifest.json";

// Why `version` would not be used by programs that ship the rules of the
// source tree (it is older than theirs), or why that could not be checked.
std::optional<std::string> belowShippedVersion(const std::string& version) {
    std::string error;
    const auto text = readFile(kShippedManifest, "the shipped rules' manifest", error);
    if (!text) {
        return error;
    }
    const auto shipped = RuleUpdateManifest::decode(*text);
    const auto floor =
        shipped ? SignedRuleFeed::versionComponents(shipped->currentVersion) : std::nullopt;
    if (!floor) {
        return "the shipped rules' manifest " + kShippedManifest.string() +
               " holds no rules version";
    }
    if (*SignedRuleFeed::versionComponents(version) < *floor) {
        return "version " + version + " is below " + shipped->currentVersion +
               ", the version of the shipped rules (" + kShippedManifest.string() +
               "), and the programs use no release below it";
    }
    return std::nullopt;
}

// Why `version` is no feed version or does not begin with a day of the
// calendar; nothing when it is a good one.
std::optional<std::string> versionProblem(const std::string& version) {
    const auto components = SignedRuleFeed::versionComponents(version);
    if (!components) {
        return "the version must look like 2026.03.01.1 (date and a serial from 1)";
    }
    namespace chrono = std::chrono;
    const chrono::year_month_day date{chrono::year(static_cast<int>((*components)[0])),
                                      chrono::month(static_cast<unsigned>((*components)[1])),
                                      chrono::day(static_cast<unsigned>((*components)[2]))};
    if (!date.ok()) {
        return "the version " + version +
               " does not begin with a real date: " + version.substr(0, 10) +
               " is no day of the calendar";
    }
    return std::nullopt;
}

// Why the rule files of `version` are not written into `folder`, which holds
// that release already with other bytes in the files `differing`.
std::string alreadyReleased(const std::string& version, const fs::path& folder,
                            const std::vector<std::string_view>& differing) {
    std::string names;
    for (std::size_t i = 0; i < differing.size(); ++i) {
        names.append(i == 0 ? "" : " and ").append(differing[i]);
    }
    const auto components = SignedRuleFeed::versionComponents(version);
    const std::string next =
        version.substr(0, version.rfind('.') + 1) + std::to_string((*components)[3] + 1);
    return "the folder " + folder.string() + " already holds release " + version +
           " with another " + names +
           "; the programs refuse a version published again with other bytes, so sign these "
           "rule files as a new version" +
           (SignedRuleFeed::versionComponents(next) ? " (such as " + next + ")" : std::string());
}

// Why the programs would not clean with the rule files as written: one line
// for each pattern they would leave out without a word, naming its file and
// provider; or why a file is no providers file. Nothing when all compile.
std::optional<std::string> rulesProblem(const SignRulesOptions& options, const std::string& clear,
                                        const std::string& supplementary) {
    const struct {
        std::string_view what;
        const fs::path& path;
        const std::string& bytes;
    } files[] = {{"the rule file", options.clearFile, clear},
                 {"the supplementary rule file", options.supplementaryFile, supplementary}};
    std::string lines;
    std::size_t count = 0;
    for (const auto& file : files) {
        const auto lost = uncompiledPatterns(file.bytes);
        if (!lost) {
            return std::string(file.what) + " " + file.path.string() +
                   " is not a providers file: " + lost.error().message;
        }
        for (const UncompiledPattern& each : *lost) {
            lines.append("\n  ")
                .append(file.path.string() + ": provider \"" + each.provider + "\": ")
                .append(each.field + " \"" + each.pattern + "\"")
                .append(each.field == "urlPattern" ? " (and with it the whole provider)" : "");
            ++count;
        }
    }
    if (count == 0) {
        return std::nullopt;
    }
    const std::string counted =
        count == 1 ? std::string("1 pattern of the rule files does not compile")
                   : std::to_string(count) + " patterns of the rule files do not compile";
    return counted + "; the programs would silently clean without " +
           (count == 1 ? "it:" : "them:") + lines;
}

// Signs a rules release: builds its manifest for the maker's host, signs the
// header "Scourlet rule-manifest v1\n" followed by the manifest bytes, checks
// the whole release as the programs will, and writes the tree to publish at
// https://<host>/scourlet/rules/: the channel's manifest.json and manifest.sig
// ("beta/" for the beta channel) and <version>/ with both rule files.
int signRules(const SignRulesOptions& options) {
    if (auto problem = versionProblem(options.version)) {
        return fail(*problem);
    }
    if (auto below = belowShippedVersion(options.version)) {
        if (!options.allowOldVersion) {
            return fail(*below + "; pass --allow-old-version to sign it anyway");
        }
        std::cerr << "scourlet-sign-catalog: warning: " << *below << "\n";
    }
    KeyPair pair;
    if (auto error = loadSecretKey(options.keyFile, pair)) {
        return fail(*error);
    }
    if (auto problem = keysetProblem(options.keysetFile, options.keyID, options.keyFile, pair)) {
        return fail(*problem);
    }
    std::string error;
    const auto keyset = readFile(options.keysetFile, "the keyset", error);
    const auto clear = keyset ? readFile(options.clearFile, "the rule file", error) : std::nullopt;
    const auto supplementary =
        clear ? readFile(options.supplementaryFile, "the supplementary rule file", error)
              : std::nullopt;
    if (!supplementary) {
        return fail(error);
    }
    if (auto problem = rulesProblem(options, *clear, *supplementary)) {
        return fail(*problem);
    }

    RuleUpdateManifest manifest;
    manifest.product = "Scourlet";
    manifest.kind = "rules";
    manifest.schemaVersion = SignedRuleFeed::kSupportedSchemaVersion;
    manifest.currentVersion = options.version;
    if (options.publishedAt) {
        // Parsed through a whole manifest, the one reader of these dates.
        nlohmann::ordered_json probe = nlohmann::ordered_json::parse(manifest.encoded());
        probe["publishedAt"] = *options.publishedAt;
        probe["files"] = nlohmann::ordered_json::array();
        const auto parsed = RuleUpdateManifest::decode(probe.dump());
        if (!parsed) {
            return fail("--published-at must look like 2026-03-01T08:00:00Z");
        }
        manifest.publishedAt = parsed->publishedAt;
    } else {
        manifest.publishedAt =
            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
    manifest.minAppVersion = options.minAppVersion;
    manifest.notes = options.notes;
    auto file = [&](RuleUpdateManifest::File::Kind kind, std::string_view name,
                    const std::string& bytes) {
        return RuleUpdateManifest::File{
            kind, std::string(name),
            SignedRuleFeed::ruleFileURL(options.version, name, options.makerHost), sha256Hex(bytes),
            static_cast<std::int64_t>(bytes.size())};
    };
    manifest.files = {
        file(RuleUpdateManifest::File::Kind::clearurls, SignedRuleFeed::kClearURLsFileName, *clear),
        file(RuleUpdateManifest::File::Kind::scourletSupplementary,
             SignedRuleFeed::kSupplementaryFileName, *supplementary)};
    const std::string manifestText = manifest.encoded();

    std::string message(SignedRuleFeed::kMessageHeader);
    message += manifestText;
    const std::string envelopeText = signedEnvelope(message, pair, options.keyID);

    // Publish nothing that the programs would refuse. An application at
    // exactly the minimum version must accept it.
    const SignedRuleFeed::Record record{{manifestText, envelopeText}, *clear, *supplementary};
    const std::string appVersion = options.minAppVersion.value_or(std::string(config::kAppVersion));
    const auto verified = SignedRuleFeed::verify(record, *keyset, options.makerHost, appVersion);
    if (!verified) {
        // The keyset and the key were checked above: the rule files refuse it.
        return fail("the signed release would be refused: " + verified.error().errorDescription() +
                    " (check the rule files " + options.clearFile.string() + " and " +
                    options.supplementaryFile.string() + ")");
    }

    // The channel's manifest path below the rules base: "manifest.json" or
    // "beta/manifest.json"; the signature goes beside it.
    const std::string manifestURL = scourlet::manifestURL(options.channel, options.makerHost);
    const fs::path manifestFile =
        options.outFolder / manifestURL.substr(SignedRuleFeed::rulesBase(options.makerHost).size());
    const fs::path filesFolder = options.outFolder / options.version;
    const struct {
        std::string_view name;
        const std::string& bytes;
    } ruleFiles[] = {{SignedRuleFeed::kClearURLsFileName, *clear},
                     {SignedRuleFeed::kSupplementaryFileName, *supplementary}};
    std::vector<OutputFile> outputs;
    std::vector<std::string_view> differing;
    for (const auto& ruleFile : ruleFiles) {
        const fs::path path = filesFolder / ruleFile.name;
        if (std::error_code ec; !fs::exists(path, ec)) {
            outputs.push_back({path, ruleFile.bytes});
            continue;
        }
        const auto released = readFile(path, "the released rule file", error);
        if (!released) {
            return fail(error);
        }
        if (*released != ruleFile.bytes) {
            differing.push_back(ruleFile.name);
        }
        // The same bytes again change nothing, and are left as they are.
    }
    if (!differing.empty()) {
        return fail(alreadyReleased(options.version, filesFolder, differing));
    }

    // The rule files go in first, then the signature and last the manifest
    // that names them: until the manifest is moved in, the channel still
    // offers the previous release whole, and a failure leaves it so.
    auto madeForManifest = makeFolders(manifestFile.parent_path());
    if (!madeForManifest) {
        return fail(madeForManifest.error());
    }
    auto madeForFiles = makeFolders(filesFolder);
    if (!madeForFiles) {
        removeFolders(*madeForManifest);
        return fail(madeForFiles.error());
    }
    outputs.push_back({manifestFile.parent_path() / "manifest.sig", envelopeText});
    outputs.push_back({manifestFile, manifestText});
    if (auto failed = writeFilesTogether(outputs)) {
        removeFolders(*madeForFiles);
        removeFolders(*madeForManifest);
        return fail(*failed);
    }
    std::cout << "signed rules " << options.version << " for the " << id(options.channel)
              << " channel with key \"" << options.keyID << "\"; publish "
              << options.outFolder.string() << " at "
              << SignedRuleFeed::rulesBase(options.makerHost) << "\n";
    return kSuccess;
}

}  // namespace

int signRulesCommand(const std::vector<std::string>& args) {
    const auto arguments = CommandArguments::read(
        args, signingArguments(
                  {.valued = {"--version", "--channel", "--min-app-version", "--published-at"},
                   .repeatable = {"--note"},
                   .flags = {"--allow-old-version"}}));
    if (!arguments) {
        return usageError(arguments.error());
    }
    SignRulesOptions options;
    if (auto cause = takeSigningOptions(*arguments, "sign-rules", options)) {
        return usageError(*cause);
    }
    const auto version = arguments->value("--version");
    if (!version) {
        return usageError("sign-rules needs --version <yyyy.mm.dd.n>");
    }
    options.version = *version;
    if (auto channel = arguments->value("--channel")) {
        const auto known = enumFromRawValue<RuleUpdateChannel>(*channel);
        if (!known) {
            return usageError("unknown channel \"" + *channel +
                              "\": --channel takes stable or beta");
        }
        options.channel = *known;
    }
    options.minAppVersion = arguments->value("--min-app-version");
    if (options.minAppVersion && !UpdateVersion::isValid(*options.minAppVersion)) {
        return usageError("--min-app-version \"" + *options.minAppVersion +
                          "\" is no version: give 1 to 6 numbers joined by dots, such as 1.2");
    }
    options.notes = arguments->values("--note");
    options.publishedAt = arguments->value("--published-at");
    options.allowOldVersion = arguments->has("--allow-old-version");
    const auto& files = arguments->plain();
    if (files.size() != 2) {
        return usageError(
            "sign-rules takes two rule files, data.min.json and "
            "scourlet-supplementary.json in that order; it was given " +
            std::to_string(files.size()));
    }
    options.clearFile = files[0];
    options.supplementaryFile = files[1];
    return signRules(options);
}

}  // namespace scourlet::signtool
