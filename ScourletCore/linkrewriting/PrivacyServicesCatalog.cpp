#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

#include <algorithm>
#include <array>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/linkrewriting/internal/CanonicalJson.h"
#include "ScourletCore/linkrewriting/internal/CatalogRules.h"
#include "ScourletCore/linkrewriting/internal/SignedEnvelope.h"
#include "ScourletCore/linkrewriting/internal/SourceHosts.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

using Service = PrivacyServicesCatalog::Service;

CatalogError invalid() {
    return CatalogError(CatalogRejected::invalid);
}

constexpr std::array<std::string_view, 3> kFamilies = {"nitter", "bird-makeup", "other"};
constexpr std::array<std::string_view, 3> kStates = {"active", "paused", "retired"};

template <std::size_t N>
bool isOneOf(std::string_view value, const std::array<std::string_view, N>& allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

bool hasExactlyTheSourceHosts(const Service& service) {
    return service.sourceHosts == internal::xTwitterSourceHosts();
}

bool reviewedInWindow(const Service& service, std::uint64_t generated) {
    return service.reviewed >= PrivacyServicesCatalog::kEarliestGenerated &&
           service.reviewed <= generated;
}

// The single entry of a first-format catalog: the fixed XCancel viewer.
bool isValidFirstFormatService(const Service& service, std::uint64_t generated) {
    if (service.displayName || service.family || service.history) {
        return false;
    }
    if (service.id != "xcancel" || !isOneOf(service.state, kStates)) {
        return false;
    }
    if (trimmingWhitespaceAndNewlines(service.reason).empty() ||
        containsNonPrintableASCII(service.reason)) {
        return false;
    }
    return reviewedInWindow(service, generated) &&
           service.shapes == std::vector<std::string>{"status"} &&
           hasExactlyTheSourceHosts(service) && service.destination == config::kXCancelBaseURL &&
           internal::passesURLTest(service.operatorURL) &&
           internal::passesURLTest(service.sourceURL);
}

bool isEmptyOrURL(std::string_view text) {
    return text.empty() || (text.size() <= 512 && internal::passesURLTest(text));
}

bool hasSortedDistinctKnownShapes(const std::vector<std::string>& shapes) {
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i] != "profile" && shapes[i] != "status") {
            return false;
        }
        if (i > 0 && !(shapes[i - 1] < shapes[i])) {
            return false;
        }
    }
    return true;
}

bool isValidSecondFormatService(const Service& service, std::uint64_t generated) {
    if (service.id.empty() || service.id.size() > 64 || containsNonKeyIDCharacter(service.id)) {
        return false;
    }
    if (!service.displayName || !internal::passesTextTest(*service.displayName, 80, false)) {
        return false;
    }
    if (!service.family || !isOneOf(*service.family, kFamilies)) {
        return false;
    }
    if (!service.history || !internal::passesTextTest(*service.history, 1024, true)) {
        return false;
    }
    if (!internal::passesTextTest(service.reason, 512, false) || !isOneOf(service.state, kStates)) {
        return false;
    }
    return reviewedInWindow(service, generated) && hasSortedDistinctKnownShapes(service.shapes) &&
           hasExactlyTheSourceHosts(service) && isEmptyOrURL(service.destination) &&
           isEmptyOrURL(service.operatorURL) && service.sourceURL.size() <= 512 &&
           internal::passesURLTest(service.sourceURL);
}

bool hasValidServices(const PrivacyServicesCatalog& catalog) {
    if (catalog.schema == 1) {
        return catalog.services.size() == 1 &&
               isValidFirstFormatService(catalog.services.front(), catalog.generated);
    }
    std::string_view previousID;  // the first id is compared with ""
    for (const Service& service : catalog.services) {
        if (!(previousID < service.id) || !isValidSecondFormatService(service, catalog.generated)) {
            return false;
        }
        previousID = service.id;
    }
    return true;
}

std::string_view withoutOneTrailingSlash(std::string_view url) {
    if (!url.empty() && url.back() == '/') {
        url.remove_suffix(1);
    }
    return url;
}

const Service* findService(const PrivacyServicesCatalog& catalog, std::string_view id) {
    for (const Service& service : catalog.services) {
        if (service.id == id) {
            return &service;
        }
    }
    return nullptr;
}

// A catalog may only move forward from the one accepted before it.
bool respectsRollbackRule(const PrivacyServicesCatalog& next, std::string_view nextBytes,
                          const PrivacyServicesCatalog::Verified& previous) {
    const PrivacyServicesCatalog& old = previous.catalog();
    if (next.schema < old.schema || next.version < old.version || next.generated < old.generated) {
        return false;
    }
    if (next.version == old.version && nextBytes != previous.bytes()) {
        return false;
    }
    for (const Service& oldService : old.services) {
        const Service* kept = findService(next, oldService.id);
        if (kept == nullptr || kept->reviewed < oldService.reviewed) {
            return false;
        }
        if (old.schema == 2 && withoutOneTrailingSlash(kept->destination) !=
                                   withoutOneTrailingSlash(oldService.destination)) {
            return false;
        }
    }
    return true;
}

void writeService(internal::CanonicalJsonWriter& w, const Service& service) {
    w.beginObject();
    w.key("destination");
    w.string(service.destination);
    if (service.displayName) {
        w.key("displayName");
        w.string(*service.displayName);
    }
    if (service.family) {
        w.key("family");
        w.string(*service.family);
    }
    if (service.history) {
        w.key("history");
        w.string(*service.history);
    }
    w.key("id");
    w.string(service.id);
    w.key("operatorURL");
    w.string(service.operatorURL);
    w.key("reason");
    w.string(service.reason);
    w.key("reviewed");
    w.number(service.reviewed);
    w.key("shapes");
    w.beginArray();
    for (const auto& shape : service.shapes) {
        w.string(shape);
    }
    w.endArray();
    w.key("sourceHosts");
    w.beginArray();
    for (const auto& host : service.sourceHosts) {
        w.string(host);
    }
    w.endArray();
    w.key("sourceURL");
    w.string(service.sourceURL);
    w.key("state");
    w.string(service.state);
    w.endObject();
}

}  // namespace

// --- Records -------------------------------------------------------------------

Service Service::fromJson(const Json& json) {
    const JsonObjectReader o(json, "service");
    Service service;
    service.displayName = o.optional<std::string>("displayName");
    service.family = o.optional<std::string>("family");
    service.history = o.optional<std::string>("history");
    service.destination = o.required<std::string>("destination");
    service.id = o.required<std::string>("id");
    service.operatorURL = o.required<std::string>("operatorURL");
    service.reason = o.required<std::string>("reason");
    service.reviewed = internal::requiredUInt64(o, "reviewed");
    service.shapes = o.required<std::vector<std::string>>("shapes");
    service.sourceHosts = o.required<std::vector<std::string>>("sourceHosts");
    service.sourceURL = o.required<std::string>("sourceURL");
    service.state = o.required<std::string>("state");
    return service;
}

PrivacyServicesCatalog::Envelope PrivacyServicesCatalog::Envelope::fromJson(const Json& json) {
    const JsonObjectReader o(json, "envelope");
    return Envelope{o.required<std::string>("algorithm"), o.required<std::string>("keyID"),
                    o.required<std::string>("signature")};
}

Result<PrivacyServicesCatalog::Envelope, DecodingError> PrivacyServicesCatalog::Envelope::decode(
    std::string_view bytes) {
    return decodeJson(bytes, [](const Json& json) { return Envelope::fromJson(json); });
}

PrivacyServicesCatalog PrivacyServicesCatalog::fromJson(const Json& json) {
    const JsonObjectReader o(json, "catalog");
    PrivacyServicesCatalog catalog;
    catalog.automaticFailover = o.required<bool>("automaticFailover");
    catalog.generated = internal::requiredUInt64(o, "generated");
    catalog.kind = o.required<std::string>("kind");
    catalog.product = o.required<std::string>("product");
    catalog.schema = internal::requiredUInt64(o, "schema");
    const Json* services = o.find("services");
    if (services == nullptr || services->is_null()) {
        throwDecoding("services", "required key is missing");
    }
    if (!services->is_array()) {
        throwDecoding("services", "expected an array");
    }
    catalog.services.reserve(services->size());
    for (const Json& service : *services) {
        catalog.services.push_back(Service::fromJson(service));
    }
    catalog.version = internal::requiredUInt64(o, "version");
    return catalog;
}

Result<PrivacyServicesCatalog, DecodingError> PrivacyServicesCatalog::decode(
    std::string_view bytes) {
    return decodeJson(bytes,
                      [](const Json& json) { return PrivacyServicesCatalog::fromJson(json); });
}

std::string PrivacyServicesCatalog::canonical(const PrivacyServicesCatalog& catalog) {
    internal::CanonicalJsonWriter w;
    w.beginObject();
    w.key("automaticFailover");
    w.boolean(catalog.automaticFailover);
    w.key("generated");
    w.number(catalog.generated);
    w.key("kind");
    w.string(catalog.kind);
    w.key("product");
    w.string(catalog.product);
    w.key("schema");
    w.number(catalog.schema);
    w.key("services");
    w.beginArray();
    for (const Service& service : catalog.services) {
        writeService(w, service);
    }
    w.endArray();
    w.key("version");
    w.number(catalog.version);
    w.endObject();
    return w.take();
}

std::string PrivacyServicesCatalog::canonical(const Envelope& envelope) {
    internal::CanonicalJsonWriter w;
    w.beginObject();
    w.key("algorithm");
    w.string(envelope.algorithm);
    w.key("keyID");
    w.string(envelope.keyID);
    w.key("signature");
    w.string(envelope.signature);
    w.endObject();
    return w.take();
}

// --- Keysets and envelopes -------------------------------------------------------

Result<PrivacyServicesCatalog::Keyset, CatalogRejected> PrivacyServicesCatalog::parseKeyset(
    std::string_view bytes) {
    return internal::parseKeysetText(bytes);
}

Result<void, CatalogRejected> PrivacyServicesCatalog::checkEnvelope(const Envelope& envelope,
                                                                    const Keyset& keys,
                                                                    std::string_view message) {
    return internal::checkEnvelopeSignature(envelope, keys, message);
}

// --- Verification ----------------------------------------------------------------

Result<PrivacyServicesCatalog::Verified, CatalogError> PrivacyServicesCatalog::verify(
    std::string_view payload, std::string_view envelope, std::string_view keys,
    const std::optional<Verified>& previous) {
    auto keyset = parseKeyset(keys);
    if (!keyset) {
        return CatalogError(keyset.error());
    }
    if (payload.size() > kMaxPayloadBytes || envelope.size() > kMaxEnvelopeBytes ||
        containsNonPrintableASCII(payload)) {
        return invalid();
    }
    auto catalog = decode(payload);
    if (!catalog) {
        return CatalogError(catalog.error());
    }
    auto signature = Envelope::decode(envelope);
    if (!signature) {
        return CatalogError(signature.error());
    }
    if (canonical(*catalog) != payload || canonical(*signature) != envelope) {
        return invalid();
    }
    if (!checkEnvelope(*signature, *keyset, payload)) {
        return invalid();
    }
    const PrivacyServicesCatalog& c = *catalog;
    if (c.product != "Scourlet" || c.kind != "privacy-services" ||
        (c.schema != 1 && c.schema != 2) || c.version < 1 || c.version > kMaxVersion ||
        c.generated < kEarliestGenerated || c.generated > kLatestGenerated || c.automaticFailover ||
        c.services.empty() || c.services.size() > kMaxServices || !hasValidServices(c)) {
        return invalid();
    }
    if (previous && !respectsRollbackRule(c, payload, *previous)) {
        return invalid();
    }

    auto state = std::make_shared<Verified::State>();
    state->catalog = std::move(catalog).value();
    state->bytes.assign(payload);
    state->oldestReview = state->catalog.services.front().reviewed;
    state->newestReview = state->oldestReview;
    for (std::size_t i = 0; i < state->catalog.services.size(); ++i) {
        const Service& service = state->catalog.services[i];
        state->oldestReview = std::min(state->oldestReview, service.reviewed);
        state->newestReview = std::max(state->newestReview, service.reviewed);
        if (internal::isOfferableService(service)) {
            state->offerable.push_back(i);
        }
    }
    return Verified(std::move(state));
}

std::optional<PrivacyServicesCatalog::Verified> PrivacyServicesCatalog::loadShipped(
    const ResourceBundle& bundle) {
    const auto payload = bundle.dataForResource("privacy-services", "json");
    const auto envelope = bundle.dataForResource("privacy-services", "sig");
    const auto keys = bundle.dataForResource("privacy-services-keys", "json");
    if (!payload || !envelope || !keys) {
        return std::nullopt;
    }
    auto verified = verify(*payload, *envelope, *keys, std::nullopt);
    if (!verified) {
        return std::nullopt;
    }
    return std::move(verified).value();
}

const std::optional<PrivacyServicesCatalog::Verified>& PrivacyServicesCatalog::bundled() {
    static const std::optional<Verified> shipped = []() -> std::optional<Verified> {
        const ResourceBundle* bundle = ResourceBundle::cleanLinkResources();
        return bundle != nullptr ? loadShipped(*bundle) : std::nullopt;
    }();
    return shipped;
}

// --- Questions to a verified catalog ---------------------------------------------

bool PrivacyServicesCatalog::Verified::fresh(std::uint64_t now) const {
    const State& s = *state_;
    if (now < s.catalog.generated) {
        return false;
    }
    if (s.catalog.services.empty()) {
        return true;
    }
    return s.newestReview <= now && now - s.oldestReview <= kReviewWindow;
}

std::vector<const PrivacyServicesCatalog::Service*>
PrivacyServicesCatalog::Verified::choicePointers(std::uint64_t now) const {
    std::vector<const Service*> offered;
    // One stale review empties the whole answer, not just that entry.
    if (state_->catalog.schema != 2 || !fresh(now)) {
        return offered;
    }
    offered.reserve(state_->offerable.size());
    for (const std::size_t index : state_->offerable) {
        offered.push_back(&state_->catalog.services[index]);
    }
    return offered;
}

std::vector<PrivacyServicesCatalog::Service> PrivacyServicesCatalog::Verified::choices(
    std::uint64_t now) const {
    std::vector<Service> offered;
    for (const Service* service : choicePointers(now)) {
        offered.push_back(*service);
    }
    return offered;
}

bool PrivacyServicesCatalog::Verified::eligible(std::string_view id) const {
    if (state_->catalog.schema != 2) {
        return false;
    }
    for (const std::size_t index : state_->offerable) {
        if (state_->catalog.services[index].id == id) {
            return true;
        }
    }
    return false;
}

}  // namespace scourlet
