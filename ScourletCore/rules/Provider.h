// One provider of a ClearURLs-format rule file.
//
// A provider says which links it applies to ("urlPattern", minus its
// "exceptions") and what it removes from them: query parameters ("rules",
// "referralMarketing"), raw text ("rawRules") and redirect wrappers
// ("redirections"). Providers come only from decoding a file; every key may
// be absent or null and then takes its default (empty text, false, empty list).
//
//   auto file = ProvidersFile::decode(bytes);
//   for (const auto& [name, provider] : file->providers()) {
//       for (const std::string& pattern : provider.allParamPatterns()) { ... }
//   }
#pragma once

#include <string>
#include <vector>

#include "ScourletCore/platform/Json.h"

namespace scourlet {

class Provider {
public:
    // Regular expression a link must match for the provider to apply; "" when absent.
    const std::string& urlPattern() const { return urlPattern_; }
    // ClearURLs flag, kept as decoded.
    bool completeProvider() const { return completeProvider_; }
    // Patterns of query parameter names to remove.
    const std::vector<std::string>& rules() const { return rules_; }
    // Patterns applied to the raw link text.
    const std::vector<std::string>& rawRules() const { return rawRules_; }
    // Patterns of referral and affiliate parameter names.
    const std::vector<std::string>& referralMarketing() const { return referralMarketing_; }
    // Link patterns for which the provider does not apply.
    const std::vector<std::string>& exceptions() const { return exceptions_; }
    // Patterns that find a wrapped target link inside a redirect link.
    const std::vector<std::string>& redirections() const { return redirections_; }
    // ClearURLs flag, kept as decoded.
    bool forceRedirection() const { return forceRedirection_; }

    // `rules` followed by `referralMarketing`, duplicates kept.
    std::vector<std::string> allParamPatterns() const;

    // Decodes one provider object. Unknown keys are ignored; absent or null keys
    // take their defaults. Throws DecodingException when `json` is not an object
    // or a known key holds a value of the wrong type (an array element that is
    // not a string included); `context` (the provider's name) prefixes the message.
    static Provider fromJson(const Json& json, std::string_view context = {});

private:
    Provider() = default;

    std::string urlPattern_;
    bool completeProvider_ = false;
    std::vector<std::string> rules_;
    std::vector<std::string> rawRules_;
    std::vector<std::string> referralMarketing_;
    std::vector<std::string> exceptions_;
    std::vector<std::string> redirections_;
    bool forceRedirection_ = false;
};

}  // namespace scourlet
