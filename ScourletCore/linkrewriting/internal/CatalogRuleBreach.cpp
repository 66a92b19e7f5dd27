#include "ScourletCore/linkrewriting/internal/CatalogRuleBreach.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "ScourletCore/config/ServiceConfiguration.h"
#include "ScourletCore/linkrewriting/SigningChecks.h"
#include "ScourletCore/linkrewriting/internal/CatalogRules.h"
#include "ScourletCore/linkrewriting/internal/SourceHosts.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Text.h"

namespace scourlet::internal {

namespace {

using Catalog = PrivacyServicesCatalog;
using Service = PrivacyServicesCatalog::Service;
using Rule = CatalogRule;

constexpr std::array<std::string_view, 3> kFamilies = {"nitter", "bird-makeup", "other"};
constexpr std::array<std::string_view, 3> kStates = {"active", "paused", "retired"};

template <std::size_t N>
bool isOneOf(std::string_view value, const std::array<std::string_view, N>& allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

bool reviewedInWindow(const Service& service, std::uint64_t generated) {
    return service.reviewed >= Catalog::kEarliestGenerated && service.reviewed <= generated;
}

bool isEmptyOrURL(std::string_view text) {
    return text.empty() || (text.size() <= 512 && passesURLTest(text));
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

// The single entry of a first-format catalog: the fixed XCancel viewer.
std::optional<Rule> firstFormatServiceRule(const Service& service, std::uint64_t generated) {
    if (service.displayName || service.family || service.history) {
        return Rule::firstFormatOptionalFields;
    }
    if (service.id != "xcancel") {
        return Rule::firstFormatID;
    }
    if (!isOneOf(service.state, kStates)) {
        return Rule::state;
    }
    if (trimmingWhitespaceAndNewlines(service.reason).empty() ||
        containsNonPrintableASCII(service.reason)) {
        return Rule::firstFormatReason;
    }
    if (!reviewedInWindow(service, generated)) {
        return Rule::reviewed;
    }
    if (service.shapes != std::vector<std::string>{"status"}) {
        return Rule::firstFormatShapes;
    }
    if (service.sourceHosts != xTwitterSourceHosts()) {
        return Rule::sourceHosts;
    }
    if (service.destination != config::kXCancelBaseURL) {
        return Rule::firstFormatDestination;
    }
    if (!passesURLTest(service.operatorURL)) {
        return Rule::firstFormatOperatorURL;
    }
    if (!passesURLTest(service.sourceURL)) {
        return Rule::firstFormatSourceURL;
    }
    return std::nullopt;
}

std::optional<Rule> secondFormatServiceRule(const Service& service, std::uint64_t generated) {
    if (service.id.empty() || service.id.size() > 64 || containsNonKeyIDCharacter(service.id)) {
        return Rule::id;
    }
    if (!service.displayName || !passesTextTest(*service.displayName, 80, false)) {
        return Rule::displayName;
    }
    if (!service.family || !isOneOf(*service.family, kFamilies)) {
        return Rule::family;
    }
    if (!service.history || !passesTextTest(*service.history, 1024, true)) {
        return Rule::history;
    }
    if (!passesTextTest(service.reason, 512, false)) {
        return Rule::reason;
    }
    if (!isOneOf(service.state, kStates)) {
        return Rule::state;
    }
    if (!reviewedInWindow(service, generated)) {
        return Rule::reviewed;
    }
    if (!hasSortedDistinctKnownShapes(service.shapes)) {
        return Rule::shapes;
    }
    if (service.sourceHosts != xTwitterSourceHosts()) {
        return Rule::sourceHosts;
    }
    if (!isEmptyOrURL(service.destination)) {
        return Rule::destination;
    }
    if (!isEmptyOrURL(service.operatorURL)) {
        return Rule::operatorURL;
    }
    if (service.sourceURL.size() > 512 || !passesURLTest(service.sourceURL)) {
        return Rule::sourceURL;
    }
    return std::nullopt;
}

std::optional<Rule> catalogRule(const Catalog& c) {
    if (c.product != "Scourlet") {
        return Rule::product;
    }
    if (c.kind != "privacy-services") {
        return Rule::kind;
    }
    if (c.schema != 1 && c.schema != 2) {
        return Rule::schema;
    }
    if (c.version < 1 || c.version > Catalog::kMaxVersion) {
        return Rule::version;
    }
    if (c.generated < Catalog::kEarliestGenerated || c.generated > Catalog::kLatestGenerated) {
        return Rule::generated;
    }
    if (c.automaticFailover) {
        return Rule::automaticFailover;
    }
    if (c.services.empty() || c.services.size() > Catalog::kMaxServices) {
        return Rule::serviceCount;
    }
    if (c.schema == 1 && c.services.size() != 1) {
        return Rule::firstFormatServiceCount;
    }
    return std::nullopt;
}

// A text as JSON writes it, quotes and escapes included, so that whatever a
// catalog holds reads as one value on the line.
std::string jsonQuoted(std::string_view text) {
    return Json(std::string(text)).dump(-1, ' ', true, Json::error_handler_t::replace);
}

constexpr std::string_view kURLShape =
    "an https URL: a lower-case host, then at most a path of letters, digits and ._~/-"
    " (no port, user, query or fragment)";

std::string ruleText(Rule rule, const Catalog& catalog) {
    switch (rule) {
        case Rule::product:
            return "\"product\" must be \"Scourlet\"";
        case Rule::kind:
            return "\"kind\" must be \"privacy-services\"";
        case Rule::schema:
            return "\"schema\" must be 1 or 2; it is " + std::to_string(catalog.schema);
        case Rule::version:
            return "\"version\" must be 1 to 9007199254740991; it is " +
                   std::to_string(catalog.version);
        case Rule::generated:
            return "\"generated\" must lie from 1789689600 (2026-09-18T00:00:00Z) to 4102444800 "
                   "(2100-01-01T00:00:00Z); it is " +
                   std::to_string(catalog.generated);
        case Rule::automaticFailover:
            return "\"automaticFailover\" must be false";
        case Rule::serviceCount:
            return "\"services\" must hold 1 to 32 services; it holds " +
                   std::to_string(catalog.services.size());
        case Rule::firstFormatServiceCount:
            return "a schema 1 catalog holds exactly one service; this one holds " +
                   std::to_string(catalog.services.size());
        case Rule::firstFormatOptionalFields:
            return "a schema 1 service has no \"displayName\", \"family\" or \"history\"";
        case Rule::firstFormatID:
            return "the \"id\" of a schema 1 service must be \"xcancel\"";
        case Rule::firstFormatReason:
            return "\"reason\" must hold printable ASCII only and not be blank";
        case Rule::firstFormatShapes:
            return "\"shapes\" must be exactly [\"status\"] in a schema 1 catalog";
        case Rule::firstFormatDestination:
            return "\"destination\" must be exactly " + jsonQuoted(config::kXCancelBaseURL) +
                   " in a schema 1 catalog";
        case Rule::firstFormatOperatorURL:
            return "\"operatorURL\" must be " + std::string(kURLShape);
        case Rule::firstFormatSourceURL:
            return "\"sourceURL\" must be " + std::string(kURLShape);
        case Rule::serviceOrder:
            return "service ids must be unique and in ascending order";
        case Rule::id:
            return "\"id\" must have 1 to 64 characters from a-z, 0-9 and \"-\"";
        case Rule::displayName:
            return "\"displayName\" must be given: 1 to 80 bytes of printable ASCII, not only "
                   "spaces";
        case Rule::family:
            return "\"family\" must be given: \"nitter\", \"bird-makeup\" or \"other\"";
        case Rule::history:
            return "\"history\" must be given: at most 1024 bytes of printable ASCII (it may be "
                   "empty)";
        case Rule::reason:
            return "\"reason\" must have 1 to 512 bytes of printable ASCII, not only spaces";
        case Rule::state:
            return "\"state\" must be \"active\", \"paused\" or \"retired\"";
        case Rule::reviewed:
            return "\"reviewed\" must lie from 1789689600 to the catalog's \"generated\" (" +
                   std::to_string(catalog.generated) + ")";
        case Rule::shapes:
            return "\"shapes\" must be sorted without repeats, each \"profile\" or \"status\"";
        case Rule::sourceHosts: {
            std::string hosts;
            for (const std::string& host : xTwitterSourceHosts()) {
                hosts.append(hosts.empty() ? "" : ",").append(jsonQuoted(host));
            }
            return "\"sourceHosts\" must be exactly [" + hosts + "]";
        }
        case Rule::destination:
            return "\"destination\" must be empty or, in at most 512 bytes, " +
                   std::string(kURLShape);
        case Rule::operatorURL:
            return "\"operatorURL\" must be empty or, in at most 512 bytes, " +
                   std::string(kURLShape);
        case Rule::sourceURL:
            return "\"sourceURL\" must be, in at most 512 bytes, " + std::string(kURLShape);
    }
    return "a catalog rule";
}

}  // namespace

std::optional<CatalogRuleBreach> firstBrokenCatalogRule(const Catalog& catalog) {
    if (auto rule = catalogRule(catalog)) {
        return CatalogRuleBreach{*rule, std::nullopt};
    }
    if (catalog.schema == 1) {
        if (auto rule = firstFormatServiceRule(catalog.services.front(), catalog.generated)) {
            return CatalogRuleBreach{*rule, 0};
        }
        return std::nullopt;
    }
    std::string_view previousID;
    for (std::size_t i = 0; i < catalog.services.size(); ++i) {
        const Service& service = catalog.services[i];
        // The first id is compared with "": only an empty one fails, which
        // the id rule names better.
        if (i > 0 && !(previousID < service.id)) {
            return CatalogRuleBreach{Rule::serviceOrder, i};
        }
        if (auto rule = secondFormatServiceRule(service, catalog.generated)) {
            return CatalogRuleBreach{*rule, i};
        }
        previousID = service.id;
    }
    return std::nullopt;
}

std::string describe(const CatalogRuleBreach& breach, const Catalog& catalog) {
    std::string text = ruleText(breach.rule, catalog);
    if (!breach.service || *breach.service >= catalog.services.size()) {
        return text;
    }
    const std::size_t index = *breach.service;
    const Service& service = catalog.services[index];
    if (breach.rule == Rule::serviceOrder && index > 0) {
        const std::string& before = catalog.services[index - 1].id;
        text += ", and " + jsonQuoted(service.id) +
                (service.id == before ? " appears twice" : " comes after " + jsonQuoted(before)) +
                "; sort the services by \"id\"";
    } else if (breach.rule == Rule::reviewed) {
        text += "; it is " + std::to_string(service.reviewed);
    }
    return "service " + jsonQuoted(service.id) + " (number " + std::to_string(index + 1) +
           " in \"services\"): " + text;
}

}  // namespace scourlet::internal
