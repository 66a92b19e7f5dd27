// When the next automatic rules update should begin if it is scheduled as
// background work.
//
//   auto begin = RuleUpdateBackgroundSchedule::earliestBeginDate(cadence, lastCheck, clock.now());
//   if (begin) scheduler.submit(*begin);   // nothing: automatic updates are off
#pragma once

#include <chrono>
#include <optional>

#include "ScourletCore/ruleupdates/RuleUpdateCadence.h"

namespace scourlet {

class RuleUpdateBackgroundSchedule {
public:
    RuleUpdateBackgroundSchedule() = delete;

    // Nothing for `never`; `now` when there has been no automatic check;
    // otherwise the last check plus the interval, or `now` when that has
    // already passed. Never earlier than `now`; no margin is added.
    static std::optional<std::chrono::system_clock::time_point> earliestBeginDate(
        RuleUpdateCadence cadence,
        std::optional<std::chrono::system_clock::time_point> lastAutomaticCheck,
        std::chrono::system_clock::time_point now);
};

}  // namespace scourlet
