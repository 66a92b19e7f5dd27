// The signed rule feed: the only road by which downloaded rules enter the
// program.
//
// For each channel the maker's host serves a manifest (RuleUpdateManifest)
// and a detached signature file, one Ed25519 envelope over the 26-byte header
// "Scourlet rule-manifest v1\n" followed by the manifest bytes. The manifest
// names exactly two rule files, "data.min.json" and
// "scourlet-supplementary.json", each with its URL, byte count and SHA-256, so
// the signature covers the rule files through it.
//
// Everything here fails closed: every refusal that names no other error is
// the one feed rejection error, RuleUpdateError::invalidManifest with
// "Signed rule feed rejected or unavailable; bundled or last verified rules
// retained.", which tells a prober nothing about which check failed. Three
// errors keep their own texts: the manifest's structural validation, an
// application too old for the rules (incompatibleAppVersion) and rules that do
// not compile (invalidRules). A transport failure is RuleUpdateError::network
// with a short text for the user. Nothing here writes to disk or touches the
// live rules.
//
//   auto fetched = SignedRuleFeed::fetchProof(transport, manifestURL(channel),
//                                             SignedRuleFeed::bundledTrust());
//   if (!fetched) return show(fetched.error().errorDescription());
//   const auto& manifest = fetched->manifest;
//   auto clear = SignedRuleFeed::download(transport, manifest.clearURLsFile()->url,
//                                         *manifest.clearURLsFile()->bytes);
//
// The host of every URL is a parameter that defaults to the build's maker
// host (tests aim it at a local server); the application version that
// `minAppVersion` is compared with defaults to the build's version.
// Downloads block: run them off the main thread. Everything is safe from any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/config/AppConfiguration.h"
#include "ScourletCore/config/BuildSettings.h"
#include "ScourletCore/platform/HttpTransport.h"
#include "ScourletCore/platform/ResourceBundle.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/ruleupdates/RuleUpdateError.h"
#include "ScourletCore/ruleupdates/RuleUpdateManifest.h"

namespace scourlet {

struct SignedRuleFeed {
    SignedRuleFeed() = delete;

    // A manifest and its signature file, byte for byte as downloaded.
    struct Proof {
        std::string manifest;
        std::string signature;
        bool operator==(const Proof&) const = default;
    };

    // A proof as fetched and the manifest its verification returned.
    struct VerifiedProof {
        Proof proof;
        RuleUpdateManifest manifest;
    };

    // A complete release as downloaded: the proof and both rule files.
    struct Record {
        Proof proof;
        std::string clear;          // "data.min.json"
        std::string supplementary;  // "scourlet-supplementary.json"
        bool operator==(const Record&) const = default;
    };

    // The on-disk store of verified records (SignedRuleStore.h).
    struct State;
    struct Store;

    // --- Fixed texts and limits ---------------------------------------------
    static constexpr std::string_view kMessageHeader = "Scourlet rule-manifest v1\n";
    static constexpr std::string_view kRejectionText =
        "Signed rule feed rejected or unavailable; bundled or last verified rules retained.";
    static constexpr std::string_view kClearURLsFileName = "data.min.json";
    static constexpr std::string_view kSupplementaryFileName = "scourlet-supplementary.json";
    static constexpr std::string_view kTrustResourceName = "rule-feed-keys";
    // The highest feed version there is: the floor when no shipped manifest reads.
    static constexpr std::string_view kHighestVersion = "9999.12.31.999999";

    static constexpr std::size_t kMaxManifestBytes = 65536;
    static constexpr std::size_t kMaxSignatureBytes = 2048;
    static constexpr std::int64_t kMaxRuleFileBytes = 4194304;
    static constexpr std::int64_t kSupportedSchemaVersion = 1;

    // The feed rejection error.
    static RuleUpdateError rejection();

    // --- Locations ----------------------------------------------------------
    // "https://<host>/scourlet/rules/".
    static std::string rulesBase(std::string_view host = config::kMakerHost);

    // The manifest URL with every "manifest.json" replaced by "manifest.sig".
    static std::string signatureURL(std::string_view manifestURL);

    // rulesBase + version + "/" + fileName.
    static std::string ruleFileURL(std::string_view version, std::string_view fileName,
                                   std::string_view host = config::kMakerHost);

    // True when `url` is exactly the stable or beta manifest URL of `host`.
    static bool isManifestURL(std::string_view url, std::string_view host = config::kMakerHost);

    // True when `url` is exactly one of the four manifest and signature URLs
    // of `host`, or rulesBase + a feed version + "/" + one of the two rule file
    // names. Anything else (another scheme, host or file, a query, a fragment,
    // an extra or empty segment) is refused.
    static bool isAllowedURL(std::string_view url, std::string_view host = config::kMakerHost);

    // --- Versions -----------------------------------------------------------
    // The four numbers of a feed version ("2025.03.01.12": four digits, two,
    // two and a serial of 1 to 6 digits without a leading zero), or nothing.
    static std::optional<std::vector<std::uint64_t>> versionComponents(std::string_view version);

    // Compares two component lists element by element; a list that is a
    // prefix of the other is the lower. Negative, zero or positive.
    static int compareComponents(const std::vector<std::uint64_t>& a,
                                 const std::vector<std::uint64_t>& b);

    // Compares application versions: dot-separated pieces, empty pieces
    // dropped, each piece its decimal value (0 when not a number, the largest
    // 64-bit value when it is too long), the shorter list padded with zeros.
    // So "1.2" equals "1.2.0" and "1.9" is below "1.10".
    static int compareAppVersions(std::string_view a, std::string_view b);

    // --- Network ------------------------------------------------------------
    // The body of `url`, capped at `limit` bytes, without following any
    // redirect and only from status 200 at exactly that URL. A URL that
    // isAllowedURL() refuses or a limit outside 1 to 4194304 is the rejection
    // without any traffic; a redirect or other status, another final URL, a
    // declared length or a body above the limit are the rejection; a transport
    // failure (time-out, TLS, connection) is RuleUpdateError::network with a
    // short text for the user. A short body is not refused here.
    static Result<std::string, RuleUpdateError> download(
        HttpTransport& transport, std::string_view url, std::int64_t limit,
        std::stop_token stop = {}, std::string_view host = config::kMakerHost);

    // Downloads the manifest at `manifestURL` (at most 65536 bytes) and then
    // its signature file (at most 2048 bytes), and verifies them with the key
    // set `trust`, returning both with the verified manifest. A URL other than
    // a manifest URL of `host` is the rejection without traffic. Errors as
    // download() and verify().
    static Result<VerifiedProof, RuleUpdateError> fetchProof(
        HttpTransport& transport, std::string_view manifestURL, std::string_view trust,
        std::stop_token stop = {}, std::string_view host = config::kMakerHost,
        std::string_view appVersion = config::kAppVersion);

    // The key set shipped in `bundle` ("rule-feed-keys.json"), or "{}" (no
    // key: every verification fails) when it is missing or unreadable.
    static std::string bundledTrust(
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources());

    // The rules manifest shipped in `bundle` ("manifest.json"), decoded but not
    // signature-checked (it is part of the program); nothing when it is missing
    // or does not decode.
    static std::optional<RuleUpdateManifest> shippedManifest(
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources());

    // The version floor of every install and load: the shipped manifest's
    // `currentVersion`, or kHighestVersion when there is no shipped manifest
    // (then only the shipped rules are ever used).
    static std::string minimumVersion(
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources());

    // --- Verification -------------------------------------------------------
    // Checks a signature file against the key set `trust` over the header and
    // `manifest`, then returns checkedManifest(manifest). The signature file
    // must be the canonical envelope byte for byte ({"algorithm":"Ed25519",
    // "keyID":...,"signature":...}, no white space, nothing after it); the key
    // set must parse; the signature must be strict base64 of 64 bytes whose R
    // is an accepted point and S a canonical scalar, valid for the named key.
    // Every failure is the rejection, except those checkedManifest() names.
    static Result<RuleUpdateManifest, RuleUpdateError> verify(
        std::string_view manifest, std::string_view signature, std::string_view trust,
        std::string_view host = config::kMakerHost,
        std::string_view appVersion = config::kAppVersion);

    // The manifest after every check the feed makes, in this order: 1 to
    // 65536 bytes and decodes (else the rejection); validate(1) (its error);
    // `minAppVersion` not above `appVersion` (incompatibleAppVersion); then,
    // each failure the rejection: schema 1, a feed version, exactly two files
    // named "data.min.json" (kind clearurls) and "scourlet-supplementary.json"
    // (kind scourlet-supplementary), each at ruleFileURL(currentVersion, path,
    // host), with 1 to 4194304 bytes and 64 lower-case hex digits of SHA-256.
    // Call it only on bytes whose signature holds.
    static Result<RuleUpdateManifest, RuleUpdateError> checkedManifest(
        std::string_view bytes, std::string_view host = config::kMakerHost,
        std::string_view appVersion = config::kAppVersion);

    // Verifies a whole record: its proof as above, then each rule file's
    // length and SHA-256 against the manifest (else the rejection), then that
    // the rules decode and compile (RulesEngine::validateRuleBundle, its
    // invalidRules error). Returns the record's manifest.
    static Result<RuleUpdateManifest, RuleUpdateError> verify(
        const Record& record, std::string_view trust, std::string_view host = config::kMakerHost,
        std::string_view appVersion = config::kAppVersion);
};

}  // namespace scourlet
