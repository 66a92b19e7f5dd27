// Text handling behind Command Guard: joining line continuations, splitting a
// command into the lines a terminal would run, and recognizing a commented-out
// copy. Private to the clipboard folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scourlet::internal {

// The first line of every neutralized copy.
inline constexpr std::string_view kNeutralizedHeaderFirstLine =
    "# Scourlet neutralized a risky command copied to the clipboard.";
inline constexpr std::string_view kNeutralizedHeaderSecondLine =
    "# Review before running anything below.";

// `text` with every line continuation (a backslash or backtick directly before
// CR LF or LF) replaced by one space, then trimmed of white space and line
// breaks at both ends. Returns a view into `text` when nothing had to be
// joined, else a view into `storage`, which then holds the joined text.
std::string_view normalizeCommand(std::string_view text, std::string& storage);

// Byte length of the line break that starts at `pos` in `text`: 2 for CR LF,
// NEL (U+0085) and 3 for U+2028 and U+2029, 1 for LF, VT, FF and a lone CR;
// 0 when no line break starts there.
std::size_t lineBreakLengthAt(std::string_view text, std::size_t pos);

// Calls `onLine(line)` for every line of `text`, splitting at every line break
// of lineBreakLengthAt(). Empty lines are kept: an empty text is one empty
// line, and a text ending in a break ends with an empty line. Stops early
// when `onLine` returns false; returns false then, true otherwise.
template <class OnLine>
bool forEachLine(std::string_view text, OnLine&& onLine) {
    std::size_t lineStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t breakLength = lineBreakLengthAt(text, pos);
        if (breakLength == 0) {
            ++pos;
            continue;
        }
        if (!onLine(text.substr(lineStart, pos - lineStart))) {
            return false;
        }
        pos += breakLength;
        lineStart = pos;
    }
    return onLine(text.substr(lineStart));
}

// True for a real commented-out copy: `text`, trimmed, begins with the
// neutralized header's first line and every one of its lines is empty or
// begins with "#". Works on the text as pasted, without joining
// continuations, because a shell ends a comment at the line break even after
// a backslash.
bool isNeutralizedCopy(std::string_view text);

}  // namespace scourlet::internal
