#include "CatalogSigning.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

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
        // The keyset and the key were checked above: a field or service rule refuses it.
        return fail(verified.error().isRejected()
                        ? "the catalog " + options.catalogFile.string() +
                              " would be refused by a field or service rule (a version, time, "
                              "review or address out of bounds)"
                        : "the signed catalog does not verify: " + verified.error().message);
    }

    std::error_code ec;
    fs::create_directories(options.outFolder, ec);
    if (auto failed = writeFiles({{options.outFolder / "privacy-services.json", payload},
                                  {options.outFolder / "privacy-services.sig", envelopeText}})) {
        return fail(*failed);
    }
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
        const std::string manifestText = manifest.canonicalJSON();
        if (!PrivacyCatalogManifest::parse(manifestText, options.makerHost)) {
            return fail("the update manifest of " + options.catalogFile.string() +
                        " would be refused (check its version and times)");
        }
        if (auto failed = writeFiles({{options.outFolder / "current.json", manifestText}})) {
            return fail(*failed);
        }
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
    SignOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--manifest") {
            options.manifest = true;
        } else if (hasValue && takeSigningOption(arg, args[i + 1], options)) {
            ++i;
        } else if (!arg.starts_with("--") && options.catalogFile.empty()) {
            options.catalogFile = arg;
        } else {
            return usage();
        }
    }
    if (options.keyFile.empty() || options.keysetFile.empty() || options.outFolder.empty() ||
        options.catalogFile.empty() || !validKeyID(options.keyID)) {
        return usage();
    }
    return sign(options);
}

}  // namespace scourlet::signtool
