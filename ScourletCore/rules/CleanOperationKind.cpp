#include "ScourletCore/rules/CleanOperationKind.h"

#include <string>

namespace scourlet {

namespace {

// Indexed by the enumerator's value, so the order must follow the declaration.
constexpr std::array<std::string_view, cleanOperationKindAllCases.size()> kRawValues{
    "local_parameter_removal", "offline_wrapper_unwrap", "offline_path_rewrite",
    "privacy_redirect",        "network_resolution",     "functional_transformation",
};

}  // namespace

std::string_view rawValue(CleanOperationKind kind) {
    return kRawValues[static_cast<std::size_t>(kind)];
}

std::optional<CleanOperationKind> cleanOperationKindFromRawValue(std::string_view raw) {
    for (CleanOperationKind kind : cleanOperationKindAllCases) {
        if (rawValue(kind) == raw) {
            return kind;
        }
    }
    return std::nullopt;
}

CleanOperationKind JsonValue<CleanOperationKind>::decode(const Json& json,
                                                         std::string_view context) {
    if (!json.is_string()) {
        throwDecoding(context, "expected an operation kind");
    }
    const auto& raw = json.get_ref<const std::string&>();
    const auto kind = cleanOperationKindFromRawValue(raw);
    if (!kind) {
        throwDecoding(context, "unknown operation kind \"" + raw + "\"");
    }
    return *kind;
}

}  // namespace scourlet
