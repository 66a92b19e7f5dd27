#include "ScourletCore/rules/ClipboardLink.h"

#include "ScourletCore/rules/internal/LinkScanning.h"

namespace scourlet {

std::optional<ClipboardLink> ClipboardLink::make(std::string_view text) {
    if (!internal::isAdmissibleLinkText(text)) {
        return std::nullopt;
    }
    const std::optional<ByteRange> scheme = internal::findSchemeOccurrence(text);
    // A second scheme anywhere, even in the query of the one link, makes the
    // text ambiguous enough to leave alone.
    if (!scheme || internal::findSchemeOccurrence(text, scheme->second)) {
        return std::nullopt;
    }
    const std::size_t start = scheme->first;
    const internal::LinkLead lead = internal::linkLeadBefore(text, start);
    if (lead.kind == internal::LinkLead::Kind::refused) {
        return std::nullopt;
    }
    const std::size_t end =
        internal::candidateLinkEnd(text, start, internal::linkStopperAtOrAfter(text, start), lead);
    if (start >= end) {
        return std::nullopt;
    }
    const bool proseBefore = internal::firstNonWhitespaceOffset(text.substr(0, start)) < start;
    internal::UnderscoreEmphasis emphasis;
    const std::optional<std::size_t> linkEnd = internal::acceptedLinkEnd(
        text, start, end, proseBefore, internal::SchemeCase::exact, emphasis);
    if (!linkEnd) {
        return std::nullopt;
    }
    return ClipboardLink(text, {start, *linkEnd});
}

std::string ClipboardLink::replacingURL(std::string_view replacement) const {
    const std::string_view whole = text_;
    std::string out;
    out.reserve(whole.size() - url_.size() + replacement.size());
    out.append(whole.substr(0, range_.first));
    out.append(replacement);
    out.append(whole.substr(range_.second));
    return out;
}

}  // namespace scourlet
