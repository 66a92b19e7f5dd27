#include "ScourletCore/ruleupdates/SignedRuleFeed.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <set>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"
#include "ScourletCore/platform/BoundedDownload.h"
#include "ScourletCore/platform/Crypto.h"
#include "ScourletCore/rules/RulesEngine.h"
#include "ScourletCore/ruleupdates/RuleUpdateChannel.h"

namespace scourlet {

namespace {

using File = RuleUpdateManifest::File;

bool allDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string_view> split(std::string_view text, char separator, bool keepEmpty) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        const std::string_view piece = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (keepEmpty || !piece.empty()) {
            pieces.push_back(piece);
        }
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

// A piece of an application version: its decimal value, the largest value
// when it has more digits than 64 bits hold, and 0 when it is not a number.
std::uint64_t appVersionPiece(std::string_view piece) {
    if (piece.empty() || !allDigits(piece)) {
        return 0;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (error == std::errc::result_out_of_range) {
        return std::numeric_limits<std::uint64_t>::max();
    }
    return value;
}

// The user's line for a transport failure; the transport's own message is
// for logs only.
std::string networkReason(HttpError::Kind kind) {
    switch (kind) {
        case HttpError::Kind::connectTimeout:
        case HttpError::Kind::idleTimeout:
        case HttpError::Kind::totalTimeout:
            return "the rules server did not answer in time";
        case HttpError::Kind::tlsFailure:
            return "the secure connection to the rules server failed";
        case HttpError::Kind::connectionFailed:
            return "the rules server could not be reached";
        case HttpError::Kind::transferFailed:
            return "the connection to the rules server broke off";
        case HttpError::Kind::cancelled:
            return "the download was cancelled";
        case HttpError::Kind::invalidRequest:
        case HttpError::Kind::schemeNotAllowed:
        case HttpError::Kind::badRedirect:
        case HttpError::Kind::tooManyRedirects:
        case HttpError::Kind::bodyTooLarge:
            break;
    }
    return {};
}

bool isLowerHexDigest(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool checkFeedFile(const File& file, std::string_view version, std::string_view host) {
    const std::string_view expectedPath = file.kind == File::Kind::clearurls
                                              ? SignedRuleFeed::kClearURLsFileName
                                              : SignedRuleFeed::kSupplementaryFileName;
    return file.kind != File::Kind::commandGuard && file.path == expectedPath &&
           file.url == SignedRuleFeed::ruleFileURL(version, file.path, host) && file.bytes &&
           *file.bytes >= 1 && *file.bytes <= SignedRuleFeed::kMaxRuleFileBytes &&
           isLowerHexDigest(file.sha256);
}

bool matchesFile(std::string_view data, const std::optional<File>& file) {
    return file && file->bytes && data.size() == static_cast<std::uint64_t>(*file->bytes) &&
           sha256Hex(data) == file->sha256;
}

}  // namespace

RuleUpdateError SignedRuleFeed::rejection() {
    return RuleUpdateError::invalidManifest(std::string(kRejectionText));
}

// --- Locations -------------------------------------------------------------------

std::string SignedRuleFeed::rulesBase(std::string_view host) {
    std::string base = "https://";
    base.append(host);
    base.append("/scourlet/rules/");
    return base;
}

std::string SignedRuleFeed::signatureURL(std::string_view manifestURL) {
    constexpr std::string_view from = "manifest.json";
    constexpr std::string_view to = "manifest.sig";
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = manifestURL.find(from); at != std::string_view::npos;
         at = manifestURL.find(from, start)) {
        out.append(manifestURL.substr(start, at - start));
        out.append(to);
        start = at + from.size();
    }
    out.append(manifestURL.substr(start));
    return out;
}

std::string SignedRuleFeed::ruleFileURL(std::string_view version, std::string_view fileName,
                                        std::string_view host) {
    std::string url = rulesBase(host);
    url.append(version);
    url.push_back('/');
    url.append(fileName);
    return url;
}

bool SignedRuleFeed::isManifestURL(std::string_view url, std::string_view host) {
    return url == manifestURL(RuleUpdateChannel::stable, host) ||
           url == manifestURL(RuleUpdateChannel::beta, host);
}

bool SignedRuleFeed::isAllowedURL(std::string_view url, std::string_view host) {
    for (RuleUpdateChannel channel : allCases<RuleUpdateChannel>()) {
        const std::string manifest = manifestURL(channel, host);
        if (url == manifest || url == signatureURL(manifest)) {
            return true;
        }
    }
    const std::string base = rulesBase(host);
    if (!url.starts_with(base)) {
        return false;
    }
    const auto pieces = split(url.substr(base.size()), '/', true);
    return pieces.size() == 2 && versionComponents(pieces[0]) &&
           (pieces[1] == kClearURLsFileName || pieces[1] == kSupplementaryFileName);
}

// --- Versions ----------------------------------------------------------------------

std::optional<std::vector<std::uint64_t>> SignedRuleFeed::versionComponents(
    std::string_view version) {
    const auto pieces = split(version, '.', true);
    if (pieces.size() != 4) {
        return std::nullopt;
    }
    const std::size_t widths[] = {4, 2, 2};
    std::vector<std::uint64_t> components;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        const bool shaped = i < 3 ? piece.size() == widths[i]
                                  : piece.size() >= 1 && piece.size() <= 6 && piece[0] != '0';
        if (!shaped || !allDigits(piece)) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        std::from_chars(piece.data(), piece.data() + piece.size(), value);
        components.push_back(value);
    }
    return components;
}

int SignedRuleFeed::compareComponents(const std::vector<std::uint64_t>& a,
                                      const std::vector<std::uint64_t>& b) {
    const auto order = a <=> b;  // element by element; a prefix is the lower
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int SignedRuleFeed::compareAppVersions(std::string_view a, std::string_view b) {
    std::vector<std::uint64_t> left;
    std::vector<std::uint64_t> right;
    for (const auto piece : split(a, '.', false)) {
        left.push_back(appVersionPiece(piece));
    }
    for (const auto piece : split(b, '.', false)) {
        right.push_back(appVersionPiece(piece));
    }
    const std::size_t length = std::max(left.size(), right.size());
    left.resize(length, 0);
    right.resize(length, 0);
    return compareComponents(left, right);
}

// --- Network -------------------------------------------------------------------------

Result<std::string, RuleUpdateError> SignedRuleFeed::download(HttpTransport& transport,
                                                              std::string_view url,
                                                              std::int64_t limit,
                                                              std::stop_token stop,
                                                              std::string_view host) {
    if (!isAllowedURL(url, host) || limit < 1 || limit > kMaxRuleFileBytes) {
        return rejection();
    }
    auto body =
        BoundedDownload::fetch(transport, url, static_cast<std::uint64_t>(limit), std::move(stop));
    if (!body) {
        const BoundedDownload::Failure& failure = body.error();
        if (failure.kind == BoundedDownload::Failure::Kind::transport) {
            std::string reason = networkReason(failure.transport.kind);
            if (!reason.empty()) {
                return RuleUpdateError::network(std::move(reason));
            }
        }
        // A redirect, another status or URL, or too many bytes: refused.
        return rejection();
    }
    return std::move(body).value();
}

Result<SignedRuleFeed::VerifiedProof, RuleUpdateError> SignedRuleFeed::fetchProof(
    HttpTransport& transport, std::string_view manifestURL, std::string_view trust,
    std::stop_token stop, std::string_view host, std::string_view appVersion) {
    if (!isManifestURL(manifestURL, host)) {
        return rejection();
    }
    auto manifest = download(transport, manifestURL, kMaxManifestBytes, stop, host);
    if (!manifest) {
        return manifest.error();
    }
    auto signature = download(transport, signatureURL(manifestURL), kMaxSignatureBytes, stop, host);
    if (!signature) {
        return signature.error();
    }
    auto verified = verify(*manifest, *signature, trust, host, appVersion);
    if (!verified) {
        return verified.error();
    }
    return VerifiedProof{Proof{std::move(manifest).value(), std::move(signature).value()},
                         std::move(verified).value()};
}

std::string SignedRuleFeed::bundledTrust(const ResourceBundle* bundle) {
    if (bundle != nullptr) {
        if (auto keys = bundle->dataForResource(kTrustResourceName, "json")) {
            return std::move(*keys);
        }
    }
    return "{}";
}

std::optional<RuleUpdateManifest> SignedRuleFeed::shippedManifest(const ResourceBundle* bundle) {
    if (bundle == nullptr) {
        return std::nullopt;
    }
    const auto bytes = bundle->dataForResource("manifest", "json");
    if (!bytes) {
        return std::nullopt;
    }
    auto manifest = RuleUpdateManifest::decode(*bytes);
    if (!manifest) {
        return std::nullopt;
    }
    return std::move(manifest).value();
}

std::string SignedRuleFeed::minimumVersion(const ResourceBundle* bundle) {
    if (auto shipped = shippedManifest(bundle)) {
        return std::move(shipped->currentVersion);
    }
    return std::string(kHighestVersion);
}

// --- Verification ----------------------------------------------------------------------

Result<RuleUpdateManifest, RuleUpdateError> SignedRuleFeed::verify(std::string_view manifest,
                                                                   std::string_view signature,
                                                                   std::string_view trust,
                                                                   std::string_view host,
                                                                   std::string_view appVersion) {
    if (manifest.size() > kMaxManifestBytes || signature.size() > kMaxSignatureBytes) {
        return rejection();
    }
    // A key set, envelope or key that fails is one more refusal: the user
    // sees the feed rejection, never a parser's text.
    const auto keys = PrivacyServicesCatalog::parseKeyset(trust);
    if (!keys) {
        return rejection();
    }
    const auto envelope = PrivacyServicesCatalog::Envelope::decode(signature);
    if (!envelope || PrivacyServicesCatalog::canonical(*envelope) != signature) {
        return rejection();
    }
    std::string message(kMessageHeader);
    message.append(manifest);
    if (!PrivacyServicesCatalog::checkEnvelope(*envelope, *keys, message)) {
        return rejection();
    }
    return checkedManifest(manifest, host, appVersion);
}

Result<RuleUpdateManifest, RuleUpdateError> SignedRuleFeed::checkedManifest(
    std::string_view bytes, std::string_view host, std::string_view appVersion) {
    if (bytes.empty() || bytes.size() > kMaxManifestBytes) {
        return rejection();
    }
    auto decoded = RuleUpdateManifest::decode(bytes);
    if (!decoded) {
        return rejection();
    }
    RuleUpdateManifest manifest = std::move(decoded).value();
    if (auto valid = manifest.validate(kSupportedSchemaVersion); !valid) {
        return valid.error();
    }
    if (manifest.minAppVersion && compareAppVersions(appVersion, *manifest.minAppVersion) < 0) {
        return RuleUpdateError::incompatibleAppVersion(*manifest.minAppVersion);
    }
    if (manifest.schemaVersion != kSupportedSchemaVersion ||
        !versionComponents(manifest.currentVersion) || manifest.files.size() != 2) {
        return rejection();
    }
    const std::set<std::string_view> paths{manifest.files[0].path, manifest.files[1].path};
    if (paths != std::set<std::string_view>{kClearURLsFileName, kSupplementaryFileName}) {
        return rejection();
    }
    for (const File& file : manifest.files) {
        if (!checkFeedFile(file, manifest.currentVersion, host)) {
            return rejection();
        }
    }
    return manifest;
}

Result<RuleUpdateManifest, RuleUpdateError> SignedRuleFeed::verify(const Record& record,
                                                                   std::string_view trust,
                                                                   std::string_view host,
                                                                   std::string_view appVersion) {
    auto manifest = verify(record.proof.manifest, record.proof.signature, trust, host, appVersion);
    if (!manifest) {
        return manifest;
    }
    if (!matchesFile(record.clear, manifest->clearURLsFile()) ||
        !matchesFile(record.supplementary, manifest->supplementaryFile())) {
        return rejection();
    }
    if (auto valid = RulesEngine::validateRuleBundle(record.clear, record.supplementary); !valid) {
        return valid.error();
    }
    return manifest;
}

}  // namespace scourlet
