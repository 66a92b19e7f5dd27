#include "ScourletCore/ruleupdates/RuleUpdateBackgroundSchedule.h"

#include <algorithm>

#include "ScourletCore/platform/UnixTime.h"

namespace scourlet {

std::optional<std::chrono::system_clock::time_point> RuleUpdateBackgroundSchedule::earliestBeginDate(
    RuleUpdateCadence cadence,
    std::optional<std::chrono::system_clock::time_point> lastAutomaticCheck,
    std::chrono::system_clock::time_point now) {
    const auto length = interval(cadence);
    if (!length) {
        return std::nullopt;
    }
    if (!lastAutomaticCheck) {
        return now;
    }
    // A last check so far ahead that the interval runs past the clock's end
    // begins at the clock's last moment.
    const auto candidate = timePointAdding(*lastAutomaticCheck, *length)
                               .value_or(std::chrono::system_clock::time_point::max());
    return std::max(candidate, now);
}

}  // namespace scourlet
