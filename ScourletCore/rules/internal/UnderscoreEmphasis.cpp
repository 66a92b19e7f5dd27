#include "ScourletCore/rules/internal/UnderscoreEmphasis.h"

#include <algorithm>

#include "ScourletCore/platform/Text.h"
#include "ScourletCore/platform/internal/Utf8Codec.h"

namespace scourlet::internal {

namespace {

// What stands on either side of a run of "_".
enum class Side {
    edge,     // the start of the line, or the end of the text
    space,    // white space
    opening,  // ( [ { <
    closing,  // . , ; : ! ? ) ] } >
    quote,    // " ' (either)
    mark,     // * ~ (emphasis of its own)
    other,    // letters, digits and everything else
};

Side sideOf(char32_t scalar) {
    switch (scalar) {
        case '(':
        case '[':
        case '{':
        case '<':
            return Side::opening;
        case '.':
        case ',':
        case ';':
        case ':':
        case '!':
        case '?':
        case ')':
        case ']':
        case '}':
        case '>':
            return Side::closing;
        case '"':
        case '\'':
            return Side::quote;
        case '*':
        case '~':
            return Side::mark;
        default:
            return scalar != kInvalidScalar && isWhitespaceOrNewline(scalar) ? Side::space
                                                                             : Side::other;
    }
}

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

}  // namespace

void UnderscoreEmphasis::readUpTo(std::string_view text, std::size_t to) {
    to = std::min(to, text.size());
    std::size_t i = position_;
    while (i < to) {
        const char c = text[i];
        if (isLineBreak(c)) {
            clear();
            ++i;
            continue;
        }
        if (c != '_') {
            ++i;
            continue;
        }
        const std::size_t runStart = i;
        while (i < text.size() && text[i] == '_') {
            ++i;
        }
        const std::size_t length = i - runStart;
        Side before = Side::edge;
        if (runStart > 0) {
            before = isLineBreak(text[runStart - 1])
                         ? Side::edge
                         : sideOf(decodeUtf8Before(text, runStart).scalar);
        } else if (continued_) {
            before = Side::space;
        }
        const Side after = i < text.size() ? sideOf(decodeUtf8At(text, i).scalar) : Side::edge;

        const bool mayClose =
            (before == Side::other || before == Side::closing || before == Side::quote ||
             before == Side::mark) &&
            (after == Side::edge || after == Side::space || after == Side::closing ||
             after == Side::quote || after == Side::mark);
        const bool mayOpen =
            (before == Side::edge || before == Side::space || before == Side::opening ||
             before == Side::quote || before == Side::mark) &&
            (after == Side::other || after == Side::opening || after == Side::quote ||
             after == Side::mark);
        if (mayClose && innermostOpenRunIs(length)) {
            --depth_;
        } else if (mayOpen) {
            if (depth_ == kMaxDepth) {
                std::copy(open_.begin() + 1, open_.end(), open_.begin());
                --depth_;
            }
            open_[depth_++] = length;
        }
    }
    position_ = std::max(position_, i);
}

}  // namespace scourlet::internal
