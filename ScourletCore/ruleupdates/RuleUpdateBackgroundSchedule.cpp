#include "ScourletCore/ruleupdates/RuleUpdateBackgroundSchedule.h"

#include <algorithm>

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
    return std::max(*lastAutomaticCheck + *length, now);
}

}  // namespace scourlet
