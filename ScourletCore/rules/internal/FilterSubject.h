// Private to the rules engine: one link (or text) prepared once for every
// prefilter it is put through, so that the filters of a link's providers and
// of their exceptions do not each lower-case and scan it again.
//
//   internal::FilterSubject subject;
//   subject.assign(normalizedLink);              // the text must outlive it
//   if (subject.mayHold("://outgoing.")) { ... }
//   for (std::uint32_t start : subject.labelStarts()) { ... }
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet::internal {

class FilterSubject {
public:
    FilterSubject() = default;
    explicit FilterSubject(std::string_view text) { assign(text); }

    // Prepares `text`, reusing the buffers of the last one.
    void assign(std::string_view text);

    std::string_view text() const { return text_; }
    // True when every byte of the text is ASCII.
    bool isAscii() const { return ascii_; }
    // The text with ASCII letters lower-cased.
    std::string_view lowered() const { return lowered_; }

    // For a text that starts with "http://" or "https://" (scheme in any case):
    // the offset just past "://" and the offset after each further run of
    // label characters ("[a-z0-9-]", any case) ended by ".", as long as the
    // runs follow each other. Those are the places where a host literal
    // reached through the label group "(?:[a-z0-9-]+\.)*?" may start. Empty
    // for any other text.
    const std::vector<std::uint32_t>& labelStarts() const { return labelStarts_; }

    // False only when the text certainly cannot hold `lowerText` under case-
    // insensitive matching (as internal::mayHoldText).
    bool mayHold(std::string_view lowerText) const {
        return !ascii_ || lowered_.find(lowerText) != std::string::npos;
    }

private:
    std::string_view text_;
    std::string lowered_;
    std::vector<std::uint32_t> labelStarts_;
    bool ascii_ = true;
};

}  // namespace scourlet::internal
