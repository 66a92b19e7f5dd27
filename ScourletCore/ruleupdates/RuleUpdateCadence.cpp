#include "ScourletCore/ruleupdates/RuleUpdateCadence.h"

#include "ScourletCore/platform/UnixTime.h"

namespace scourlet {

std::string_view displayName(RuleUpdateCadence cadence) {
    switch (cadence) {
        case RuleUpdateCadence::never:
            return "Never";
        case RuleUpdateCadence::daily:
            return "Daily";
        case RuleUpdateCadence::weekly:
            return "Weekly";
        case RuleUpdateCadence::monthly:
            return "Monthly";
    }
    return {};
}

std::optional<std::chrono::seconds> interval(RuleUpdateCadence cadence) {
    constexpr std::chrono::seconds day{86400};
    switch (cadence) {
        case RuleUpdateCadence::never:
            return std::nullopt;
        case RuleUpdateCadence::daily:
            return day;
        case RuleUpdateCadence::weekly:
            return 7 * day;
        case RuleUpdateCadence::monthly:
            return 30 * day;
    }
    return std::nullopt;
}

bool isDue(RuleUpdateCadence cadence,
           std::optional<std::chrono::system_clock::time_point> lastCheck,
           std::chrono::system_clock::time_point now) {
    const auto length = interval(cadence);
    if (!length) {
        return false;
    }
    if (!lastCheck) {
        return true;
    }
    // Compared as "the check plus the interval has come", never as a
    // difference: a stored check centuries away is a valid time point whose
    // distance from `now` is not. Beyond the clock's end it never comes.
    const auto dueAt = timePointAdding(*lastCheck, *length);
    return dueAt && now >= *dueAt;
}

}  // namespace scourlet
