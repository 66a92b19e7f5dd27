// The outcome of cleaning one link: the original and cleaned link, what was
// removed, which rules and categories matched, an optional privacy front-end
// rewrite and the steps taken.
//
// Its JSON form is the stored last result: an object with the field names as
// keys. "cleanedOriginalURL" and "privacyRedirect" are left out when absent;
// when read, only "originalURL", "cleanedURL" and "paramsRemoved" are required.
//
//   CleanResult r{.originalURL = in, .cleanedURL = out, .paramsRemoved = 1};
//   r = std::move(r).appendingOperation(op, std::nullopt);
//   auto back = CleanResult::decode(r.encoded());   // DecodingError on bad input
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/linkrewriting/PrivacyRedirectInfo.h"
#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/rules/CleanOperation.h"
#include "ScourletCore/rules/RuleCategoryType.h"

namespace scourlet {

struct CleanResult {
    std::string originalURL{};  // as given to the cleaner, trimmed
    std::string cleanedURL{};   // the link to put in place of the original
    // Removed query parameters, plus one per unwrapped redirect, per raw-rule change
    // that removed no parameter and per removed local-result fragment.
    std::int64_t paramsRemoved = 0;
    std::vector<std::string> removedQueryParameters{};  // removal order, duplicates kept
    std::vector<std::string> matchedRuleIDs{};          // in the order recorded
    std::set<RuleCategoryType> matchedCategories{};
    // The cleaned link on the original site, when a privacy rewrite took place.
    std::optional<std::string> cleanedOriginalURL{};
    std::optional<PrivacyRedirectInfo> privacyRedirect{};
    std::vector<CleanOperation> operations{};  // in the order they were made

    bool operator==(const CleanResult&) const = default;

    // True exactly when the cleaned link differs from the original as text:
    // canonically equivalent forms count as equal, letter case is not folded.
    bool wasModified() const;

    // A copy with `operation` appended and, when given, `cleanedURL` replaced.
    // Counts, removed parameters, matches and the privacy rewrite are copied as
    // they are, even when the new operation removed something.
    CleanResult appendingOperation(CleanOperation operation,
                                   std::optional<std::string> newCleanedURL) const&;
    // The same, reusing this result's storage.
    CleanResult appendingOperation(CleanOperation operation,
                                   std::optional<std::string> newCleanedURL) &&;

    Json toJson() const;
    std::string encoded() const;

    // Throws DecodingException when "originalURL", "cleanedURL" or
    // "paramsRemoved" is missing, null or mistyped, when any other known key is
    // present with the wrong type, when a category is not a category raw value,
    // or when any operation fails to decode. Missing or null optional keys give
    // empty lists, an empty set or nothing.
    static CleanResult fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<CleanResult, DecodingError> decode(std::string_view text);
};

}  // namespace scourlet
