#include "ScourletCore/rules/TextURLBlock.h"

#include <algorithm>
#include <utility>

#include "ScourletCore/rules/internal/LinkScanning.h"

namespace scourlet {

bool TextURLBlock::findLinks(std::string_view text, std::vector<ByteRange>& links) {
    return internal::findLinksContinuingLine(text, internal::LineSoFar{}, links);
}

bool internal::findLinksContinuingLine(std::string_view text, const LineSoFar& before,
                                       std::vector<ByteRange>& links) {
    if (!internal::isAdmissibleLinkText(text)) {
        return false;
    }
    // Prose stands before a link exactly when something other than white
    // space comes before it; finding that once keeps every test O(1).
    const std::size_t firstProse = internal::firstNonWhitespaceOffset(text);
    // Read forward as far as the links that end in "_" need, once in all.
    internal::UnderscoreEmphasis emphasis = before.emphasis;

    // Each search starts where the last candidate ended, so that a refused
    // candidate still hides the schemes inside it instead of offering its
    // query's link instead. A candidate ends at a stopper or a bracket,
    // neither of which a scheme holds, so this finds the schemes one search
    // over the whole text finds past each candidate.
    std::size_t cursor = 0;
    // The first stopper at or after the last candidate's start. A link in
    // brackets may end long before it, and the next candidate then starts in
    // the same run: the stopper is found once per run, not once per link, so
    // a run of many links in brackets is still read once. No scheme starts
    // at a stopper, so one at or before `start` is stale.
    std::size_t stopper = 0;
    while (const std::optional<ByteRange> scheme = internal::findSchemeOccurrence(text, cursor)) {
        const std::size_t start = scheme->first;
        if (stopper <= start) {
            stopper = internal::linkStopperAtOrAfter(text, start);
        }
        const internal::LinkLead lead = internal::linkLeadBefore(text, start);
        if (lead.kind == internal::LinkLead::Kind::refused) {
            // Glued to the text before it, the scheme tells nothing of where
            // a link would end: the whole run is left alone.
            cursor = stopper;
            continue;
        }
        const std::size_t end = internal::candidateLinkEnd(text, start, stopper, lead);
        // No bracket stands inside a scheme, so the candidate always holds
        // it; the checks only guard that reasoning, and the search moves on.
        cursor = std::max(end, scheme->second);
        if (end < scheme->second) {
            continue;
        }
        if (internal::findSchemeOccurrence(text.substr(0, end), scheme->second)) {
            continue;  // a second scheme inside one link: a wrapper left alone
        }
        const std::optional<std::size_t> linkEnd =
            internal::acceptedLinkEnd(text, start, end, before.prose || firstProse < start,
                                      internal::SchemeCase::insensitive, emphasis);
        if (!linkEnd) {
            continue;
        }
        links.emplace_back(start, *linkEnd);
    }
    return true;
}

std::optional<TextURLBlock> TextURLBlock::make(std::string_view text) {
    std::vector<ByteRange> links;
    if (!findLinks(text, links)) {
        return std::nullopt;
    }
    std::vector<Match> matches;
    matches.reserve(links.size());
    for (const ByteRange& link : links) {
        matches.push_back(
            Match{std::string(text.substr(link.first, link.second - link.first)), link});
    }
    return TextURLBlock(text, std::move(matches));
}

std::vector<std::string> TextURLBlock::urls() const {
    std::vector<std::string> out;
    out.reserve(matches_.size());
    for (const Match& match : matches_) {
        out.push_back(match.url);
    }
    return out;
}

std::string TextURLBlock::replacingURLs(
    const std::function<std::string(std::size_t matchNumber, std::string_view url)>& replacement)
    const {
    // The replacements are asked for last to first, as callers rely on, but
    // the text is built in one pass front to back: splicing each one into a
    // copy would move the tail of a 64 KiB text once per link.
    std::vector<std::string> replacements(matches_.size());
    for (std::size_t i = matches_.size(); i-- > 0;) {
        replacements[i] = replacement(i, matches_[i].url);
    }
    const std::string_view whole = text_;
    std::size_t size = whole.size();
    for (std::size_t i = 0; i < matches_.size(); ++i) {
        size = size - matches_[i].url.size() + replacements[i].size();
    }
    std::string out;
    out.reserve(size);
    std::size_t copiedUpTo = 0;
    for (std::size_t i = 0; i < matches_.size(); ++i) {
        const ByteRange& range = matches_[i].range;
        out.append(whole.substr(copiedUpTo, range.first - copiedUpTo));
        out.append(replacements[i]);
        copiedUpTo = range.second;
    }
    out.append(whole.substr(copiedUpTo));
    return out;
}

}  // namespace scourlet
