#include "ScourletCore/updateawareness/UpdateAwareness.h"

#include <cassert>
#include <type_traits>
#include <utility>

#include "ScourletCore/platform/UnixTime.h"

namespace scourlet {

namespace {

UpdateAwarenessState storedState(const UserDefaults& defaults) {
    const auto data = defaults.dataForKey(UpdateAwareness::kStorageKey);
    if (!data) {
        return {};
    }
    auto decoded = UpdateAwarenessState::decode(
        std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
    return decoded ? std::move(*decoded) : UpdateAwarenessState{};
}

}  // namespace

UpdateAwareness::UpdateAwareness(std::shared_ptr<UserDefaults> defaults,
                                 std::shared_ptr<const Clock> clock)
    : defaults_(std::move(defaults)),
      clock_(std::move(clock)),
      state_(*this, storedState(*defaults_)) {
    assert(defaults_ && clock_);
}

void UpdateAwareness::save() const {
    const std::string text = state_.get().encoded();
    defaults_->setData(kStorageKey, DefaultsData(text.begin(), text.end()));
}

double UpdateAwareness::now() const {
    return unixSeconds(clock_->now());
}

// Applies `apply` to a copy of the state, publishes the copy, stores it and
// hands back what `apply` returned.
template <class Change>
auto UpdateAwareness::change(Change&& apply) {
    UpdateAwarenessState next = state_.get();
    if constexpr (std::is_void_v<decltype(apply(next))>) {
        apply(next);
        state_.set(std::move(next));
        save();
    } else {
        auto result = apply(next);
        state_.set(std::move(next));
        save();
        return result;
    }
}

void UpdateAwareness::setAutomaticChecks(bool enabled) {
    change([enabled](UpdateAwarenessState& state) { state.automaticChecks = enabled; });
}

void UpdateAwareness::installed(UpdateClass cls, std::string_view version,
                                std::optional<std::int64_t> build) {
    change([&](UpdateAwarenessState& state) { state.reconcile(cls, version, build); });
}

void UpdateAwareness::success(UpdateClass cls, std::string_view version,
                              std::optional<std::int64_t> build) {
    const double time = now();
    change([&](UpdateAwarenessState& state) { state.recordSuccess(cls, version, build, time); });
}

bool UpdateAwareness::reserve(UpdateClass cls) {
    const double time = now();
    return change([&](UpdateAwarenessState& state) { return state.beginAutomatic(cls, time); });
}

void UpdateAwareness::clearRuleChannel() {
    change([](UpdateAwarenessState& state) { state.clearRuleChannel(); });
}

}  // namespace scourlet
