// How often rules are updated automatically, and whether a run is due.
//
// The rules updater keeps the chosen cadence under its raw value ("never",
// "daily", "weekly", "monthly"), so the raw values never change. Intervals are
// fixed lengths of time: a month is thirty days of 86400 seconds.
//
//   auto cadence = enumFromRawValue<RuleUpdateCadence>("weekly").value_or(RuleUpdateCadence::never);
//   if (isDue(cadence, lastCheck, clock.now())) startAutomaticRun();
//   displayName(cadence);   // "Weekly"
#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

#include "ScourletCore/platform/RawValueEnum.h"

namespace scourlet {

enum class RuleUpdateCadence {
    never,
    daily,
    weekly,
    monthly,
};

template <>
struct RawValueTable<RuleUpdateCadence> {
    static constexpr std::string_view name = "rule update cadence";
    static constexpr auto cases = std::to_array<RawValueCase<RuleUpdateCadence>>({
        {RuleUpdateCadence::never, "never"},
        {RuleUpdateCadence::daily, "daily"},
        {RuleUpdateCadence::weekly, "weekly"},
        {RuleUpdateCadence::monthly, "monthly"},
    });
};

// "Never", "Daily", "Weekly" or "Monthly".
std::string_view displayName(RuleUpdateCadence cadence);

// The time between two automatic runs; nothing for `never`.
std::optional<std::chrono::seconds> interval(RuleUpdateCadence cadence);

// Whether an automatic update is due at `now`: never for `never`; at once when
// there has been no check; otherwise when at least the interval has passed
// since `lastCheck` (exactly the interval is due). A last check after `now`
// (the clock was set back) is not due.
bool isDue(RuleUpdateCadence cadence,
           std::optional<std::chrono::system_clock::time_point> lastCheck,
           std::chrono::system_clock::time_point now);

}  // namespace scourlet
