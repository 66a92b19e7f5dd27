// The runs of "_" that open emphasis on a line and are still open, read
// forward through the line, so that a run of "_" right after a link can be
// told apart from one that ends the link: in "_see https://a.example/p?x=1_"
// the last "_" closes what the first opened and is the writer's text, while
// in "https://a.example/p?utm_campaign=spring_" it is the link's.
//
// Runs are judged by the characters around them, as Markdown and chat
// writers use them. A run opens when it follows the start of the line, white
// space, an opening bracket or quote, "*" or "~", and comes before a
// character that is not white space or closing punctuation. A run closes the
// innermost open run when that is exactly as long, and it follows something
// other than white space and comes before white space, closing punctuation,
// "*", "~" or the end of the text. Runs inside words ("snake_case") do
// neither. A line break ("\n" or "\r") forgets every open run.
//
//   UnderscoreEmphasis emphasis;
//   emphasis.readUpTo(text, linkStart);
//   bool writers = emphasis.innermostOpenRunIs(trailingRunLength);
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace scourlet::internal {

class UnderscoreEmphasis {
public:
    // Reads on through `text` from where the last read stopped (its start at
    // first) to byte `to`; a run that begins before `to` is read whole. Every
    // read until continueInNextText() must be of the same text.
    void readUpTo(std::string_view text, std::size_t to);

    // For reading a next text that continues the same line: reading starts
    // at its beginning again, with the runs open at the end of this one
    // still open. The next text is taken to begin after white space.
    void continueInNextText() {
        position_ = 0;
        continued_ = true;
    }

    // Forgets every open run, as a line break does.
    void clear() { depth_ = 0; }

    // True when the innermost run still open is exactly `length` long, so
    // that a closing run of that length ends it.
    bool innermostOpenRunIs(std::size_t length) const {
        return depth_ > 0 && open_[depth_ - 1] == length;
    }

private:
    // Deeper nesting than this forgets the outermost runs.
    static constexpr std::size_t kMaxDepth = 8;

    std::array<std::size_t, kMaxDepth> open_{};
    std::size_t depth_ = 0;
    std::size_t position_ = 0;
    bool continued_ = false;
};

}  // namespace scourlet::internal
