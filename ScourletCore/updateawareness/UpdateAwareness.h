// UpdateAwareness: the live update-awareness state of the application, kept
// in a settings store under "updateAwareness.v1" and published to the
// interface.
//
// The application makes one instance at start and hands it to everything that
// reads or reports updates (the menu and its icon, the update checks, the rule
// and catalog updaters); tests make their own over an in-memory store. Every
// change announces itself to observers before it takes effect, then is stored.
//
//   auto awareness = std::make_shared<UpdateAwareness>(defaults, clock);
//   awareness->installed(UpdateClass::app, "1.2", 40);
//   if (awareness->reserve(UpdateClass::app)) startDesktopCheck();
//   awareness->success(UpdateClass::app, "1.3", 41);
//   Connection c = awareness->statePublisher().connect([](const auto& next) { ... });
//
// Used on the main thread only; no operation fails or throws.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/updateawareness/UpdateAwarenessState.h"
#include "ScourletCore/updateawareness/UpdateClass.h"

namespace scourlet {

class UpdateAwareness final : public ObservableObject {
public:
    static constexpr std::string_view kStorageKey = "updateAwareness.v1";

    // Shown beside the automatic-checks switch.
    static constexpr std::string_view privacyText =
        "Automatic app and Privacy Services checks contact fixed Morrow Gate metadata URLs and "
        "send ordinary HTTP request metadata, such as your IP address. They never send clipboard "
        "URLs, rules, settings, or device identifiers. Rule update checks and installs use the "
        "separate Automatically install new rules setting.";

    // Reads the stored state; when there is none, or it does not decode, the
    // state is the default (automatic checks on, no entries) and nothing is
    // written yet. `clock` gives the times of success() and reserve().
    explicit UpdateAwareness(std::shared_ptr<UserDefaults> defaults,
                             std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>());

    const UpdateAwarenessState& state() const { return state_.get(); }
    // Emits the new state before it becomes visible.
    Signal<UpdateAwarenessState>& statePublisher() const { return state_.publisher(); }
    // Publishes `state` without storing it (for a caller that edits the state
    // and then calls save()).
    void setState(UpdateAwarenessState state) { state_.set(std::move(state)); }

    // Writes the whole state under kStorageKey as compact JSON data.
    void save() const;

    bool automaticChecks() const { return state_.get().automaticChecks; }
    // Publishes and stores the switch.
    void setAutomaticChecks(bool enabled);

    // Records what is installed (UpdateAwarenessState::reconcile), then stores.
    void installed(UpdateClass cls, std::string_view version, std::optional<std::int64_t> build);

    // Records a successful check at the current time
    // (UpdateAwarenessState::recordSuccess), then stores; a refused record
    // still stores the unchanged state.
    void success(UpdateClass cls, std::string_view version, std::optional<std::int64_t> build);

    // Whether an automatic check of `cls` may start now; when it may, the
    // attempt is recorded (UpdateAwarenessState::beginAutomatic). Stores the
    // state either way.
    bool reserve(UpdateClass cls);

    // Forgets what was found on the previous rule channel, then stores (also
    // when there was nothing to forget).
    void clearRuleChannel();

    const std::shared_ptr<UserDefaults>& defaults() const { return defaults_; }

private:
    template <class Change>
    auto change(Change&& apply);

    double now() const;

    std::shared_ptr<UserDefaults> defaults_;
    std::shared_ptr<const Clock> clock_;
    Published<UpdateAwarenessState> state_;
};

}  // namespace scourlet
