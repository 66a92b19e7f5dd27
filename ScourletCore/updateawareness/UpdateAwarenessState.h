// UpdateAwarenessState: what is known, per update class, about checks for
// updates and about installed and available versions, with the rules that
// change it and the texts the interface derives from it.
//
// A value type: UpdateAwareness owns the live copy, publishes and stores it.
// Times are seconds since 1970-01-01T00:00:00Z as doubles; a state never holds
// one outside the system clock's range (see platform/UnixTime.h).
//
//   UpdateAwarenessState state;
//   state.reconcile(UpdateClass::app, "1.2", 40);
//   state.recordSuccess(UpdateClass::app, "1.3", 41, now);
//   state.label(UpdateClass::app);   // "Scourlet 1.3 (Build 41) available"
//   state.indicator(false, true);    // "update"
//
// JSON form (the stored value): {"automaticChecks":true,"entries":["app",{...},
// "rules",{...}]}, entries alternating a class's raw value and its entry; an
// entry writes only the fields it has.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/platform/Json.h"
#include "ScourletCore/platform/Result.h"
#include "ScourletCore/updateawareness/UpdateClass.h"

namespace scourlet {

struct UpdateAwarenessState {
    // Everything recorded about one class; every field is absent in a new entry.
    struct Entry {
        std::optional<double> lastAttempt{};            // start of the last automatic check
        std::optional<double> lastSuccess{};            // the last successful check
        std::optional<std::string> availableVersion{};  // found and not yet installed
        std::optional<std::int64_t> availableBuild{};
        std::optional<std::string> installedVersion{};
        std::optional<std::int64_t> installedBuild{};

        bool operator==(const Entry&) const = default;

        Json toJson() const;
        // Throws DecodingException when a field has the wrong JSON type (times
        // must be numbers, builds integers, versions strings). A time outside
        // the clock's range is read as absent.
        static Entry fromJson(const Json& json);
    };

    // Shortest time between two automatic checks of one class, in seconds.
    static constexpr double automaticCheckInterval = 86400;

    // Texts of indicator().
    static constexpr std::string_view warningIndicator = "warning";
    static constexpr std::string_view updateIndicator = "update";
    static constexpr std::string_view enabledIndicator = "enabled";
    static constexpr std::string_view disabledIndicator = "disabled";

    bool automaticChecks = true;  // automatic checks of the app and the catalog are allowed
    std::map<UpdateClass, Entry> entries{};  // one per class ever touched

    bool operator==(const UpdateAwarenessState&) const = default;

    // --- Queries -------------------------------------------------------------

    // The classes whose entry has an available version, in the order app,
    // rules, catalog.
    std::vector<UpdateClass> available() const;

    // "<title> <version>[ (Build <build>)] available" when the class has an
    // available version, else the title alone.
    std::string label(UpdateClass cls) const;

    // "Settings", or "Settings, <n> updates available".
    std::string accessibilityLabel() const;

    // "warning" when `commandWarning`, else "update" when anything is
    // available, else "enabled" or "disabled" by `cleaningEnabled`.
    std::string_view indicator(bool commandWarning, bool cleaningEnabled) const;

    // The spoken form of indicator(): "Scourlet, Command Guard warning",
    // "Scourlet, updates available", "Scourlet" or "Scourlet, cleaning disabled".
    std::string_view indicatorAccessibilityLabel(bool commandWarning, bool cleaningEnabled) const;

    // --- Changes -------------------------------------------------------------

    // Whether an automatic check of `cls` may start at `now`; when it may,
    // records `now` as the attempt. No when automatic checks are off, when
    // `now` is negative or outside the clock's range, or when the last attempt
    // is less than a day before `now` or at most a day after it. An attempt
    // more than a day ahead (left by a clock that ran fast) is stale.
    bool beginAutomatic(UpdateClass cls, double now);

    // Records a successful check that found `version` (and `build`) at `now`,
    // then reconciles with the installed version so that an installed version
    // never shows as available. Changes nothing when `version` is not a valid
    // version, `build` is negative or `now` is outside the clock's range.
    void recordSuccess(UpdateClass cls, std::string_view version, std::optional<std::int64_t> build,
                       double now);

    // Records `version` (and `build`) as installed and drops an available
    // version it covers: an older one always; an equal one for rules and the
    // catalog, and for the app unless the available build is greater (an
    // absent build counts as 0). An available version that is not valid stays.
    // Changes nothing when `version` is not a valid version.
    void reconcile(UpdateClass cls, std::string_view version, std::optional<std::int64_t> build);

    // Forgets what the last rule check found (last success, available version
    // and build); the attempt time and the installed version stay.
    void clearRuleChannel();

    // --- JSON ----------------------------------------------------------------

    Json toJson() const;
    std::string encoded() const;

    // Throws DecodingException when "automaticChecks" or "entries" is missing
    // or mistyped, when "entries" has an odd length or a key that is not a
    // string, or when an entry of a known class does not decode. A pair whose
    // key names no class this build knows (written by a newer one) is skipped;
    // of two pairs of one class the later wins.
    static UpdateAwarenessState fromJson(const Json& json);
    // The same from JSON text; fails with a DecodingError instead of throwing.
    static Result<UpdateAwarenessState, DecodingError> decode(std::string_view text);
};

}  // namespace scourlet
