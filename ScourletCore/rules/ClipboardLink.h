// ClipboardLink: a copied text that holds exactly one web link, where that
// link stands, and the text rebuilt around a replacement for it.
//
// The link may stand alone or inside prose, after white space or an opening
// "(", "[", "<", "\"" or "'"; a link after "(" or "[" ends before the first
// ")" or "]" that closes no bracket of its own ("**[a](https://a.example/)**").
// Everything outside the link is given back byte for byte.
//
//   if (auto link = ClipboardLink::make("see (https://a.example/?utm_source=x).")) {
//       std::string cleaned = clean(link->url());
//       write(link->replacingURL(cleaned));  // "see (<cleaned>)."
//   }
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Regex.h"

namespace scourlet {

class ClipboardLink {
public:
    // The single link of `text`. Returns nothing when `text` is longer than
    // 65,536 bytes or holds a control character (other than tab, line feed,
    // carriage return), a zero-width character or a bidirectional control;
    // when any scheme ("name://") occurs other than exactly once, even inside
    // one link or in a second link ("[![b](https://a.example/x.svg)](https://b.example/)");
    // when the scheme is glued to the text before it ("x=https://"); and when
    // the link does not start with "http://" or "https://" (case-sensitive),
    // holds a backslash, is not a URL with a host, carries a user or password,
    // or follows prose and ends in sentence punctuation without query or
    // fragment. After "(" or "[" the link ends before the first ")" or "]"
    // that closes no bracket opened inside it; with none before the next
    // white space it ends there, as one after white space does. The link
    // leaves out trailing "." "," ";" ":" "!" "?", "*" and "~", a ")" or "]"
    // without an opener inside it, and a run of "_" that closes emphasis
    // opened by the same run earlier on its line ("_see https://a.example/_"):
    // they are the user's and stay when the link is replaced.
    static std::optional<ClipboardLink> make(std::string_view text);

    // The whole input, as given (not trimmed).
    const std::string& text() const { return text_; }
    // The link: text() over range().
    const std::string& url() const { return url_; }
    // Where the link stands in text(), as byte offsets [first, second).
    ByteRange range() const { return range_; }

    // text() with the link replaced by `replacement`.
    std::string replacingURL(std::string_view replacement) const;

    bool operator==(const ClipboardLink&) const = default;

private:
    ClipboardLink(std::string_view text, ByteRange range)
        : text_(text), url_(text.substr(range.first, range.second - range.first)), range_(range) {}

    std::string text_;
    std::string url_;
    ByteRange range_;
};

}  // namespace scourlet
