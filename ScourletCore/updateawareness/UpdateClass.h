// The three kinds of thing whose updates Scourlet keeps track of: the
// application itself, the cleaning rules and the privacy-services catalog.
//
// Stored update records carry the raw value ("app", "rules", "catalog"), so the
// raw values never change. Every list of classes follows the order of
// allCases(): app, rules, catalog.
//
//   for (UpdateClass cls : allCases<UpdateClass>()) row(title(cls));
//   auto cls = enumFromRawValue<UpdateClass>("rules");   // UpdateClass::rules
//   enumFromRawValue<UpdateClass>("App");                // nothing: matching is exact
#pragma once

#include <array>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class UpdateClass {
    app,      // the desktop application
    rules,    // the cleaning rules from the signed rule feed
    catalog,  // the signed privacy-services catalog
};

template <>
struct RawValueTable<UpdateClass> {
    static constexpr std::string_view name = "update class";
    static constexpr auto cases = std::to_array<RawValueCase<UpdateClass>>({
        {UpdateClass::app, "app"},
        {UpdateClass::rules, "rules"},
        {UpdateClass::catalog, "catalog"},
    });
};

// The display name: "Scourlet", "Rules" or "Privacy Services catalog".
constexpr std::string_view title(UpdateClass cls) {
    switch (cls) {
        case UpdateClass::app:
            return "Scourlet";
        case UpdateClass::rules:
            return "Rules";
        case UpdateClass::catalog:
            return "Privacy Services catalog";
    }
    return {};
}

}  // namespace scourlet
