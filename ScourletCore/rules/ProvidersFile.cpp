#include "ScourletCore/rules/ProvidersFile.h"

namespace scourlet {

const Provider* ProvidersFile::find(std::string_view name) const {
    for (const auto& [providerName, provider] : providers_) {
        if (providerName == name) {
            return &provider;
        }
    }
    return nullptr;
}

ProvidersFile ProvidersFile::fromJson(const Json& json) {
    const JsonObjectReader file(json);
    const Json* providers = file.find("providers");
    if (providers == nullptr || providers->is_null()) {
        throwDecoding("providers", "required key is missing");
    }
    if (!providers->is_object()) {
        throwDecoding("providers", "expected an object");
    }
    ProvidersFile result;
    result.providers_.reserve(providers->size());
    // The parsed object keeps the file's key order, which is the order we keep.
    for (auto it = providers->begin(); it != providers->end(); ++it) {
        result.providers_.emplace_back(it.key(), Provider::fromJson(it.value(), it.key()));
    }
    return result;
}

Result<ProvidersFile, DecodingError> ProvidersFile::decode(std::string_view bytes) {
    return decodeJson(bytes, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet
