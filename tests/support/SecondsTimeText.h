#pragma once

#include <chrono>
#include <string>

namespace scourlet::testing {

// A stand-in for the interface's locale-aware time text: "@<seconds since
// 1970>", so a test can tell which time was written where.
inline std::string secondsTimeText(std::chrono::system_clock::time_point time) {
    return "@" + std::to_string(
                     std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count());
}

}  // namespace scourlet::testing
