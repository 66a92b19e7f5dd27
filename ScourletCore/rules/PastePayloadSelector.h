// PastePayloadSelector: picks, among the string forms in which the clipboard
// offers its contents (plain text, URL, ...), the one text to work on.
//
// A form that holds every other form wins: plain text that contains the link
// of the URL form is chosen over the URL form. Forms that disagree give
// nothing, and the clipboard is then left as it is.
//
//   std::optional<std::string> text = PastePayloadSelector::select({plainText, urlString});
//   // {"Look: https://a.example/?q=1", "https://a.example/?q=1"} -> the first
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scourlet {

class PastePayloadSelector {
public:
    PastePayloadSelector() = delete;

    // One offered form with the links found in it.
    struct Candidate {
        std::string value;
        // The links TextURLBlock finds in `value`; empty when it refuses the text.
        std::vector<std::string> urls;
        // Exactly one link, and `value` trimmed of white space and line breaks
        // is that link.
        bool isBareURL = false;

        // The candidate for `value`, with `urls` and `isBareURL` worked out.
        static Candidate from(std::string_view value);

        bool operator==(const Candidate&) const = default;
    };

    // The form to work on. Repeated forms count once. One distinct form is
    // given back as it is, untested; among several, the one form that, for
    // every other form, either contains it as a substring or holds every link
    // of it while that other form is a bare link. Returns nothing for an
    // empty list and when no form or more than one form qualifies.
    static std::optional<std::string> select(const std::vector<std::string>& forms);
};

}  // namespace scourlet
