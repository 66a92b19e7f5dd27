// The field and service rules of the privacy-services catalog, and which one a
// catalog breaks first.
//
// Verification asks only whether a rule is broken and refuses without saying
// which; whoever writes catalogs asks which one, for which service:
//
//   if (auto breach = firstBrokenCatalogRule(catalog)) return refuse();
//   std::string why = describe(*breach, catalog);  // service "b" (number 2): ...
//
// Pure functions; the check allocates nothing, so verification pays nothing
// for the descriptions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "ScourletCore/linkrewriting/PrivacyServicesCatalog.h"

namespace scourlet::internal {

// Every rule, in the order they are checked. Those after `serviceCount` are
// checked per service: first-format rules for a schema 1 catalog, the others
// for schema 2; `state`, `reviewed` and `sourceHosts` are common to both.
enum class CatalogRule {
    product,
    kind,
    schema,
    version,
    generated,
    automaticFailover,
    serviceCount,
    firstFormatServiceCount,
    firstFormatOptionalFields,
    firstFormatID,
    firstFormatReason,
    firstFormatShapes,
    firstFormatDestination,
    firstFormatOperatorURL,
    firstFormatSourceURL,
    serviceOrder,
    id,
    displayName,
    family,
    history,
    reason,
    state,
    reviewed,
    shapes,
    sourceHosts,
    destination,
    operatorURL,
    sourceURL,
};

struct CatalogRuleBreach {
    CatalogRule rule;
    std::optional<std::size_t> service;  // index of the service that breaks it, for service rules

    bool operator==(const CatalogRuleBreach&) const = default;
};

// The first rule `catalog` breaks, in the order above and service by service
// in array order; nothing when it keeps every one. The signature, the
// rollback rule and the bytes of the file are not looked at here.
std::optional<CatalogRuleBreach> firstBrokenCatalogRule(const PrivacyServicesCatalog& catalog);

// One line naming the rule, the service that breaks it by id and position,
// and the value at fault where it is a number or a service id. `breach` must
// come from firstBrokenCatalogRule(catalog).
std::string describe(const CatalogRuleBreach& breach, const PrivacyServicesCatalog& catalog);

}  // namespace scourlet::internal
