#pragma once

#include <chrono>

#include "ScourletCore/platform/MonotonicClock.h"

namespace scourlet::testing {

// A monotonic clock that moves only when the test (or a slow fake) moves it.
class ManualMonotonicClock final : public MonotonicClock {
public:
    std::chrono::steady_clock::time_point now() const override { return now_; }
    void advance(std::chrono::steady_clock::duration d) { now_ += d; }

private:
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
};

}  // namespace scourlet::testing
