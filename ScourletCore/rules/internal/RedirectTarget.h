// Turning the text a redirection rule captured into a link target.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace scourlet::internal {

// The captured text percent-decoded (as captured when it does not decode),
// then with every character a URL may not hold escaped again, as the lenient
// URL parse escapes them: controls (tab, CR and LF included), spaces, quotes,
// angle brackets, braces, backslashes and every byte outside ASCII (so
// Unicode white space and the zero-width and bidirectional controls too). The
// target is therefore always a URL that parses strictly: a crafted wrapper can
// smuggle neither a second line nor markup nor text that displays differently
// into the clipboard. Nothing unless the result begins with "http://" or
// "https://" (letter case ignored) and parses (a bad port or host is no target).
std::optional<std::string> redirectTargetFromCapture(std::string_view captured);

}  // namespace scourlet::internal
