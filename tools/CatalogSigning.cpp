#include "CatalogSigning.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "CommandArguments.h"
#include "CommandLine.h"
#include "Keyset.h"
#include "ScourletCore/linkrewriting/PrivacyCatalogManifest.h"
#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/Crypto.h"
#include "SecretKey.h"
#include "SigningFiles.h"

namespace scourlet::signtool {

namespace fs = std::filesystem;

namespace {

struct SignOptions : SigningOptions {
    fs::path catalogFile;
    bool manifest = false;
};

int sign(const SignOptions& options) {
    KeyPair pair;
    if (auto error = loadSecretKey(options.keyFile, pair)) {
        return fail(*error);
    }
    std::string error;
    const auto input = readFile(options.catalogFile, "the catalog", error);
    if (!input) {
        return fail(error);
    }
    if (auto problem = keysetProblem(options.keysetFile, options.keyID, options.keyFile, pair)) {
        return fail(*problem);
    }
    const auto keyset = readFile(options.keysetFile, "the keyset", error);
    if (!keyset) {
        return fail(error);
    }
    const auto decoded = PrivacyServicesCatalog::decode(*input);
    if (!decoded) {
        return fail("the catalog " + options.catalogFile.string() +
                    " does not decode: " + decoded.error().message);
    }
    const std::string payload = PrivacyServicesCatalog::canonical(*decoded);
    // A key the record does not know would be dropped silently; refuse instead.
    if (nlohmann::json::parse(*input, nullptr, false) != nlohmann::json::parse(payload)) {
        return fail("the catalog " + options.catalogFile.string() +
                    " holds keys or null values that the catalog format does not know");
    }

    const std::string envelopeText = signedEnvelope(payload, pair, options.keyID);

    // Publish nothing that the programs would refuse.
    const auto verified =
        PrivacyServicesCatalog::verify(payload, envelopeText, *keyset, std::nullopt);
    if (!verified) {
        // The keyset and the key were checked above, so a rule of the format
        // refuses it; the programs would not say which, but the core can.
        const auto rule = verified.error().isRejected()
                              ? PrivacyServicesCatalog::brokenRule(payload)
                              : std::nullopt;
        return fail(
            rule ? "the catalog " + options.catalogFile.string() + " would be refused: " + *rule
                 : "the signed catalog " + options.catalogFile.string() +
                       " does not verify with the keyset " + options.keysetFile.string() +
                       (verified.error().message.empty() ? std::string()
                                                         : ": " + verified.error().message));
    }

    std::string manifestText;
    if (options.manifest) {
        const auto& catalog = verified->catalog();
        PrivacyCatalogManifest manifest;
        manifest.schema = 1;
        manifest.product = "Scourlet";
        manifest.kind = "privacy-services-update";
        manifest.version = catalog.version;
        manifest.generated = catalog.generated;
        auto asset = [&](std::string_view bytes, std::string_view extension) {
            return PrivacyCatalogManifest::Asset{
                static_cast<std::int64_t>(bytes.size()), sha256Hex(bytes),
                PrivacyCatalogManifest::expectedAssetURL(catalog.version, extension,
                                                         options.makerHost)};
        };
        manifest.payload = asset(payload, "json");
        manifest.signature = asset(envelopeText, "sig");
        manifestText = manifest.canonicalJSON();
        if (!PrivacyCatalogManifest::parse(manifestText, options.makerHost)) {
            return fail("the update manifest of " + options.catalogFile.string() +
                        " would be refused (check its version and times)");
        }
    }

    // The catalog and its signature are moved in before the manifest that
    // announces them; a failure leaves the files of the last signing whole.
    auto made = makeFolders(options.outFolder);
    if (!made) {
        return fail(made.error());
    }
    std::vector<OutputFile> outputs = {{options.outFolder / "privacy-services.json", payload},
                                       {options.outFolder / "privacy-services.sig", envelopeText}};
    if (options.manifest) {
        outputs.push_back({options.outFolder / "current.json", manifestText});
    }
    if (auto failed = writeFilesTogether(outputs)) {
        removeFolders(*made);
        return fail(*failed);
    }

    const auto now =
        static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count());
    std::cout << "signed version " << verified->catalog().version << " with key \"" << options.keyID
              << "\": " << verified->choices(now).size() << " services offered now\n";
    if (!verified->fresh(now)) {
        std::cout << "warning: the catalog is not fresh now (produced in the future, or a review "
                     "is older than 90 days); it offers no services\n";
    }
    return kSuccess;
}

}  // namespace

int signCatalogCommand(const std::vector<std::string>& args) {
    const auto arguments =
        CommandArguments::read(args, signingArguments({.flags = {"--manifest"}}));
    if (!arguments) {
        return usageError(arguments.error());
    }
    SignOptions options;
    if (auto cause = takeSigningOptions(*arguments, "sign", options)) {
        return usageError(*cause);
    }
    const auto& files = arguments->plain();
    if (files.empty()) {
        return usageError("sign needs the catalog file to sign");
    }
    if (files.size() > 1) {
        return usageError("sign takes one catalog file; \"" + files[1] + "\" is one too many");
    }
    options.catalogFile = files.front();
    options.manifest = arguments->has("--manifest");
    return sign(options);
}

}  // namespace scourlet::signtool
