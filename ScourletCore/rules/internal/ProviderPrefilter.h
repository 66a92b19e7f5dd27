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

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScourletCore/rules/internal/FilterSubject.h"

namespace scourlet::internal {

// One flag per pattern, 64 to a word.
using CandidateMarks = std::vector<std::uint64_t>;

inline bool isMarked(const CandidateMarks& marks, std::size_t index) {
    return ((marks[index / 64] >> (index % 64)) & 1U) != 0;
}

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

    // The number of patterns filtered.
    std::size_t size() const { return size_; }

    // Sets `mayMatch` to one flag per pattern (isMarked): clear where the
    // pattern cannot match the subject, set where it may. Unused bits of the
    // last word stay clear.
    void markCandidates(const FilterSubject& subject, CandidateMarks& mayMatch) const;

private:
    struct Node {
        char byte = 0;
        std::int32_t firstChild = -1;
        std::int32_t nextSibling = -1;
        std::vector<std::uint32_t> providers;  // whose literal ends here
    };

    std::int32_t child(std::int32_t node, char byte) const;
    std::int32_t addChild(std::int32_t node, char byte);
    void walk(std::string_view lowered, std::size_t from, CandidateMarks& mayMatch) const;

    std::vector<Node> nodes_;       // nodes_[0] is the root once anything is filtered
    // The root's child per byte (-1: none), so that the first step of a walk,
    // which fails most often, is one lookup.
    std::vector<std::int32_t> rootChildren_;
    // (required text, provider) for the patterns filtered by requiredLiteralText().
    std::vector<std::pair<std::string, std::uint32_t>> textFilters_;
    CandidateMarks unfiltered_;  // per pattern: set when no filter applies
    CandidateMarks all_;         // every pattern's flag set
    std::size_t size_ = 0;
};

}  // namespace scourlet::internal
