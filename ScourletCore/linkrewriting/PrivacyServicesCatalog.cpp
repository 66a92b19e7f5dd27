#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

#include <algorithm>

#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/linkrewriting/internal/CanonicalJson.h"
#include "ScourletCore/linkrewriting/internal/CatalogRuleBreach.h"
#include "ScourletCore/linkrewriting/internal/CatalogRules.h"
#include "ScourletCore/linkrewriting/internal/SignedEnvelope.h"

namespace scourlet {

namespace {

using Service = PrivacyServicesCatalog::Service;

CatalogError invalid() {
    return CatalogError(CatalogRejected::invalid);
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
    if (internal::firstBrokenCatalogRule(*catalog)) {
        return invalid();
    }
    if (previous && !respectsRollbackRule(*catalog, payload, *previous)) {
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

std::optional<std::string> PrivacyServicesCatalog::brokenRule(std::string_view payload) {
    auto catalog = decode(payload);
    if (!catalog) {
        return "it is not a catalog: " + catalog.error().message;
    }
    // The field and service rules first: they name the service at fault,
    // and any text that would put a byte outside printable ASCII into the
    // file breaks one of them too.
    if (auto breach = internal::firstBrokenCatalogRule(*catalog)) {
        return internal::describe(*breach, *catalog);
    }
    if (payload.size() > kMaxPayloadBytes) {
        return "it has " + std::to_string(payload.size()) +
               " bytes, more than the 32768 a catalog may have";
    }
    if (containsNonPrintableASCII(payload)) {
        return "it holds a byte outside printable ASCII (a line break, a tab or a non-ASCII "
               "character)";
    }
    if (canonical(*catalog) != payload) {
        return "it is not in canonical form (compact JSON, keys sorted, \"/\" unescaped, no "
               "unknown keys)";
    }
    return std::nullopt;
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
