// How the rules updater tells whether a checked version is newer than the
// installed one.
//
//   compareNaturally("2025.03.01.10", "2025.03.01.9");   // > 0: digit runs by value
#pragma once

#include <string_view>

namespace scourlet::internal {

// Negative, zero or positive as `a` sorts before, with or after `b` when runs
// of digits compare by their numeric value (of any length, leading zeros not
// counting) and everything else character by character, ASCII letters
// without regard to case. So "2025.03.01.10" follows "2025.03.01.9" and every
// version follows "0".
int compareNaturally(std::string_view a, std::string_view b);

}  // namespace scourlet::internal
