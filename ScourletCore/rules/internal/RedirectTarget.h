// Turning the text a redirection rule captured into a link target.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

// The captured text percent-decoded (as captured when it does not decode), with
// every character that could break a line or hide text encoded again: C0 and
// C1 controls (tab, CR and LF included), DEL, Unicode white space, and the
// zero-width and bidirectional controls U+200B-U+200F, U+202A-U+202E and
// U+2066-U+2069. A crafted wrapper therefore cannot smuggle a second line, or
// text that displays differently, into the clipboard. Nothing unless the
// result begins with "http://" or "https://" (letter case ignored).
std::optional<std::string> redirectTargetFromCapture(std::string_view captured);

}  // namespace scourlet::internal
