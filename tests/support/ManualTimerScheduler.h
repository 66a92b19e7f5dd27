#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "ScourletCore/platform/TimerScheduler.h"

namespace scourlet::testing {

// Timers that fire only when the test moves time forward with advance().
class ManualTimerScheduler final : public TimerScheduler {
public:
    Connection scheduleRepeating(std::chrono::milliseconds interval,
                                 std::function<void()> action) override {
        const std::uint64_t id = ++state_->nextId;
        state_->timers.emplace(id, Timer{interval, state_->now + interval, std::move(action)});
        std::weak_ptr<State> weak = state_;
        return Connection([weak, id] {
            if (auto state = weak.lock()) {
                state->timers.erase(id);
            }
        });
    }

    // Moves time forward by `duration`, firing each timer as often as it falls
    // due, earliest first. Timers cancelled by a tick do not fire again.
    void advance(std::chrono::milliseconds duration) {
        const auto end = state_->now + duration;
        for (;;) {
            auto due = state_->timers.end();
            for (auto it = state_->timers.begin(); it != state_->timers.end(); ++it) {
                if (it->second.next <= end &&
                    (due == state_->timers.end() || it->second.next < due->second.next)) {
                    due = it;
                }
            }
            if (due == state_->timers.end()) {
                break;
            }
            state_->now = due->second.next;
            due->second.next += due->second.interval;
            auto action = due->second.action;  // the tick may cancel its own timer
            action();
        }
        state_->now = end;
    }

    std::size_t activeTimerCount() const { return state_->timers.size(); }

    std::vector<std::chrono::milliseconds> intervals() const {
        std::vector<std::chrono::milliseconds> out;
        for (const auto& [id, timer] : state_->timers) {
            out.push_back(timer.interval);
        }
        return out;
    }

private:
    struct Timer {
        std::chrono::milliseconds interval;
        std::chrono::milliseconds next;
        std::function<void()> action;
    };
    struct State {
        std::chrono::milliseconds now{0};
        std::uint64_t nextId = 0;
        std::map<std::uint64_t, Timer> timers;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace scourlet::testing
