// Private to the rules engine: a quick test that rules out, for one link, the
// providers whose URL pattern cannot match it, so that only a handful of the
// hundreds of URL patterns of a rule set run per copied link.
//
// Nearly every provider of the ClearURLs format scopes itself to a site with a
// pattern of the shape
//
//   ^https?:\/\/(?:[a-z0-9-]+\.)*?amazon(?:\.[a-z]{2,}){1,}
//
// Such a pattern can only match a link that starts with "http://" or
// "https://" (any case) and in which the literal ("amazon") starts at one of
// the host label boundaries that the lazy group can reach. The filter keeps
// those literals in a trie and walks it once from each reachable boundary.
// A pattern of another shape is ruled out only when the link lacks a piece of
// literal text every match of it holds (requiredLiteralText); one without
// such text is never ruled out. A link with bytes outside ASCII (where
// case-insensitive matching folds beyond ASCII) rules nothing out, so the
// filter never hides a provider whose pattern matches.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scourlet::internal {

class ProviderPrefilter {
public:
    ProviderPrefilter() = default;

    // Over the URL patterns of the providers, in provider order.
    explicit ProviderPrefilter(const std::vector<std::string_view>& urlPatterns);

    // The literal (lower-cased) that a pattern of the shape above requires at a
    // host label boundary; nothing for a pattern of any other shape.
    static std::optional<std::string> requiredHostLiteral(std::string_view urlPattern);
    // The literals of which a pattern requires one at a host label boundary:
    // one for the shape above, one per alternative of a group of literal
    // alternatives ("(?:youtube\.com|youtu\.be)"), also after optional whole
    // labels ("(?:www\.)?"); nothing for a pattern of any other shape.
    static std::optional<std::vector<std::string>> requiredHostLiterals(
        std::string_view urlPattern);

    // Sets `mayMatch` to one flag per provider: false where the provider's
    // pattern cannot match `subject`, true where it may.
    void markCandidates(std::string_view subject, std::vector<bool>& mayMatch) const;

private:
    struct Node {
        char byte = 0;
        std::int32_t firstChild = -1;
        std::int32_t nextSibling = -1;
        std::vector<std::uint32_t> providers;  // whose literal ends here
    };

    std::int32_t child(std::int32_t node, char byte) const;
    std::int32_t addChild(std::int32_t node, char byte);
    void walk(std::string_view subject, std::size_t from, std::vector<bool>& mayMatch) const;

    std::vector<Node> nodes_;       // nodes_[0] is the root once anything is filtered
    // (required text, provider) for the patterns filtered by requiredLiteralText().
    std::vector<std::pair<std::string, std::uint32_t>> textFilters_;
    std::vector<bool> unfiltered_;  // per provider: true when no filter applies
};

}  // namespace scourlet::internal
