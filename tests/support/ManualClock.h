#pragma once

#include <chrono>

#include "ScourletCore/platform/Clock.h"

namespace scourlet::testing {

// A clock that moves only when the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::chrono::system_clock::time_point start =
                             std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)))
        : now_(start) {}

    std::chrono::system_clock::time_point now() const override { return now_; }
    void set(std::chrono::system_clock::time_point t) { now_ = t; }
    void advance(std::chrono::system_clock::duration d) { now_ += d; }

private:
    std::chrono::system_clock::time_point now_;
};

}  // namespace scourlet::testing
