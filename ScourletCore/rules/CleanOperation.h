// One step of a clean: what kind of step, the link before and after it, what it
// removed and whether it used the network.
//
// Stored results carry their operations as JSON objects with the field names as
// keys; "contactedHost" and "note" are left out when absent.
//
//   CleanOperation op{CleanOperationKind::localParameterRemoval, in, out, {"utm_source"}, false};
//   std::string text = op.encoded();
//   auto back = CleanOperation::decode(text);   // DecodingError on a bad kind or type
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/CleanOperationKind.h"

namespace scourlet {

struct CleanOperation {
    CleanOperationKind kind = CleanOperationKind::localParameterRemoval;
    std::string inputURL{};
    std::string outputURL{};
    // Parameter names in removal order; for a removed fragment, its marker.
    std::vector<std::string> removedParameters{};
    bool networkUsed = false;
    std::optional<std::string> contactedHost{};  // the host contacted, when networkUsed
    std::optional<std::string> note{};           // a label such as "Rule-based path cleanup"

    bool operator==(const CleanOperation&) const = default;

    Json toJson() const;
    std::string encoded() const;

    // Throws DecodingException when "kind", "inputURL", "outputURL",
    // "removedParameters" or "networkUsed" is missing, null or mistyped, when
    // "kind" is not a known raw value, or when "contactedHost" or "note" is
    // present with a type other than string.
    static CleanOperation fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<CleanOperation, DecodingError> decode(std::string_view text);
};

}  // namespace scourlet
