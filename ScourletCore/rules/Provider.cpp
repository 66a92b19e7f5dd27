#include "ScourletCore/rules/Provider.h"

namespace scourlet {

namespace {

// Decoding stays cheap because each provider object is walked once, dispatching on
// the key, instead of looking up each of the eight keys in the (linear) object.
[[noreturn]] void throwKeyError(std::string_view provider, std::string_view key,
                                std::string_view what) {
    std::string context(provider);
    if (!context.empty()) {
        context.push_back('.');
    }
    context.append(key);
    throwDecoding(context, what);
}

bool readBool(const Json& value, std::string_view provider, std::string_view key) {
    if (!value.is_boolean()) {
        throwKeyError(provider, key, "expected a Boolean");
    }
    return value.get<bool>();
}

void readStrings(const Json& value, std::vector<std::string>& out, std::string_view provider,
                 std::string_view key) {
    if (!value.is_array()) {
        throwKeyError(provider, key, "expected an array of strings");
    }
    out.reserve(value.size());
    for (const Json& element : value) {
        if (!element.is_string()) {
            throwKeyError(provider, key, "expected an array of strings");
        }
        out.push_back(element.get_ref<const std::string&>());
    }
}

}  // namespace

std::vector<std::string> Provider::allParamPatterns() const {
    std::vector<std::string> patterns;
    patterns.reserve(rules_.size() + referralMarketing_.size());
    patterns.insert(patterns.end(), rules_.begin(), rules_.end());
    patterns.insert(patterns.end(), referralMarketing_.begin(), referralMarketing_.end());
    return patterns;
}

Provider Provider::fromJson(const Json& json, std::string_view context) {
    if (!json.is_object()) {
        throwDecoding(context, "expected a provider object");
    }
    Provider provider;
    for (const auto& [key, value] : json.items()) {
        // Null reads as absent, leaving the default in place.
        if (value.is_null()) {
            continue;
        }
        if (key == "urlPattern") {
            if (!value.is_string()) {
                throwKeyError(context, key, "expected a string");
            }
            provider.urlPattern_ = value.get_ref<const std::string&>();
        } else if (key == "completeProvider") {
            provider.completeProvider_ = readBool(value, context, key);
        } else if (key == "rules") {
            readStrings(value, provider.rules_, context, key);
        } else if (key == "rawRules") {
            readStrings(value, provider.rawRules_, context, key);
        } else if (key == "referralMarketing") {
            readStrings(value, provider.referralMarketing_, context, key);
        } else if (key == "exceptions") {
            readStrings(value, provider.exceptions_, context, key);
        } else if (key == "redirections") {
            readStrings(value, provider.redirections_, context, key);
        } else if (key == "forceRedirection") {
            provider.forceRedirection_ = readBool(value, context, key);
        }
    }
    return provider;
}

}  // namespace scourlet
