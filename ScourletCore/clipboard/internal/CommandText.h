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

// Byte length of the terminal control character at `pos`: a C0 control other
// than tab and the line breaks of lineBreakLengthAt() (this includes ESC and
// NUL), DEL, or a C1 control other than NEL (U+0080 to U+009F, two bytes in
// UTF-8). 0 when none starts there. A terminal acts on these instead of
// showing them: Ctrl-U erases the line typed so far, ESC starts an escape
// sequence, so a line that holds one may run something other than it shows.
std::size_t terminalControlLengthAt(std::string_view text, std::size_t pos);

// True when `text` holds a terminal control character anywhere.
bool containsTerminalControl(std::string_view text);

// Appends `line` to `out` with every terminal control character written
// visibly: a C0 control in caret notation ("^U" for 0x15, "^[" for ESC, "^@"
// for NUL), DEL as "^?", and a C1 control as "<U+009B>".
void appendWithVisibleControls(std::string& out, std::string_view line);

// True for a real commented-out copy: `text`, trimmed, begins with the
// neutralized header's first line, every one of its lines is empty or begins
// with "#", and it holds no terminal control character (which could erase the
// "#" as the text is typed). Works on the text as pasted, without joining
// continuations, because a shell ends a comment at the line break even after
// a backslash.
bool isNeutralizedCopy(std::string_view text);

}  // namespace scourlet::internal
