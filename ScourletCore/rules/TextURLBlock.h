// TextURLBlock: a copied text that may hold several web links, each with its
// position, and the text rebuilt with every link replaced.
//
// Links are found after white space, at the start of the text or after an
// opening "(", "[", "<", "\"" or "'"; the text around them is given back byte
// for byte. A link after "(" or "[" ends before the first ")" or "]" that
// closes no bracket of its own, so "[![b](https://a.example/x.svg)](https://b.example/)"
// holds two links. A candidate that is refused still hides the schemes inside
// it: in "x=https://a.example/?u=https://b.example/" no link is found at all.
//
//   if (auto block = TextURLBlock::make(copiedText)) {
//       std::string out = block->replacingURLs(
//           [&](std::size_t, std::string_view url) { return clean(url); });
//   }
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ScourletCore/platform/Regex.h"

namespace scourlet {

class TextURLBlock {
public:
    struct Match {
        std::string url;  // text() over range
        ByteRange range;  // byte offsets [first, second) into text()
        bool operator==(const Match&) const = default;
    };

    // The links of `text`. Returns nothing only when `text` is longer than
    // 65,536 bytes or holds a control character (other than tab, line feed,
    // carriage return), a zero-width character or a bidirectional control;
    // a text without links gives a block with no matches. A link must start
    // with "http://" or "https://" in any letter case, hold one scheme only,
    // be a URL with a host and without user or password, and have no
    // backslash; after prose, one without query or fragment that ends in
    // sentence punctuation is not taken. After "(" or "[" a link ends before
    // the first ")" or "]" that closes no bracket opened inside it, or else
    // at the next white space. A link leaves out trailing "." ","
    // ";" ":" "!" "?", "*" and "~", a ")" or "]" without an opener inside it,
    // and a run of "_" that closes emphasis opened by the same run earlier on
    // its line: they are the user's text and stay when the link is replaced.
    static std::optional<TextURLBlock> make(std::string_view text);

    // The byte ranges of the links make(text) would find, appended to `links`
    // in text order, without copying anything; false, with nothing appended,
    // when make(text) would return nothing. For callers that go through much
    // text and reuse one vector.
    static bool findLinks(std::string_view text, std::vector<ByteRange>& links);

    // The whole input, as given.
    const std::string& text() const { return text_; }
    // The links found, in text order, never overlapping; maybe empty.
    const std::vector<Match>& matches() const { return matches_; }
    // The url of each match, in text order.
    std::vector<std::string> urls() const;

    // text() with each link replaced by `replacement(matchNumber, url)`;
    // match numbers count from 0 in text order. `replacement` is called for
    // the last match first and the first match last.
    std::string replacingURLs(
        const std::function<std::string(std::size_t matchNumber, std::string_view url)>&
            replacement) const;

    bool operator==(const TextURLBlock&) const = default;

private:
    TextURLBlock(std::string_view text, std::vector<Match> matches)
        : text_(text), matches_(std::move(matches)) {}

    std::string text_;
    std::vector<Match> matches_;
};

}  // namespace scourlet
