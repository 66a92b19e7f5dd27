#include "ScourletCore/rules/CleanResult.h"

#include <utility>

#include "ScourletCore/platform/Text.h"

namespace scourlet {

namespace {

// Leaves `out` at its empty default when the key is missing or null.
template <class T>
void readIfPresent(const JsonObjectReader& object, std::string_view key, T& out) {
    if (auto value = object.optional<T>(key)) {
        out = std::move(*value);
    }
}

}  // namespace

// Canonically equivalent links (composed and decomposed accents) are the same
// text to the user, so a change of normalization alone is no modification.
bool CleanResult::wasModified() const {
    return !canonicallyEquivalent(cleanedURL, originalURL);
}

CleanResult CleanResult::appendingOperation(CleanOperation operation,
                                            std::optional<std::string> newCleanedURL) const& {
    return CleanResult(*this).appendingOperation(std::move(operation), std::move(newCleanedURL));
}

CleanResult CleanResult::appendingOperation(CleanOperation operation,
                                            std::optional<std::string> newCleanedURL) && {
    operations.push_back(std::move(operation));
    if (newCleanedURL) {
        cleanedURL = std::move(*newCleanedURL);
    }
    return std::move(*this);
}

Json CleanResult::toJson() const {
    Json json = Json::object();
    json["originalURL"] = originalURL;
    json["cleanedURL"] = cleanedURL;
    json["paramsRemoved"] = paramsRemoved;
    json["removedQueryParameters"] = removedQueryParameters;
    json["matchedRuleIDs"] = matchedRuleIDs;
    Json categories = Json::array();
    for (RuleCategoryType category : matchedCategories) {
        categories.push_back(std::string(rawValue(category)));
    }
    json["matchedCategories"] = std::move(categories);
    if (cleanedOriginalURL) {
        json["cleanedOriginalURL"] = *cleanedOriginalURL;
    }
    if (privacyRedirect) {
        json["privacyRedirect"] = privacyRedirect->toJson();
    }
    Json steps = Json::array();
    for (const CleanOperation& operation : operations) {
        steps.push_back(operation.toJson());
    }
    json["operations"] = std::move(steps);
    return json;
}

std::string CleanResult::encoded() const {
    return dumpJson(toJson());
}

CleanResult CleanResult::fromJson(const Json& json) {
    const JsonObjectReader object(json, "result");
    CleanResult result;
    result.originalURL = object.required<std::string>("originalURL");
    result.cleanedURL = object.required<std::string>("cleanedURL");
    result.paramsRemoved = object.required<std::int64_t>("paramsRemoved");
    readIfPresent(object, "removedQueryParameters", result.removedQueryParameters);
    readIfPresent(object, "matchedRuleIDs", result.matchedRuleIDs);
    if (auto categories = object.optional<std::vector<RuleCategoryType>>("matchedCategories")) {
        result.matchedCategories.insert(categories->begin(), categories->end());
    }
    result.cleanedOriginalURL = object.optional<std::string>("cleanedOriginalURL");
    result.privacyRedirect = object.optional<PrivacyRedirectInfo>("privacyRedirect");
    readIfPresent(object, "operations", result.operations);
    return result;
}

Result<CleanResult, DecodingError> CleanResult::decode(std::string_view text) {
    return decodeJson(text, [](const Json& json) { return fromJson(json); });
}

}  // namespace scourlet
