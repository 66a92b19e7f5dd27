// A clock that only moves forward, for deadlines and elapsed time.
//
// Unlike Clock (the wall-clock time, which the user or the network may set
// back), a monotonic clock is what a time limit on a read is measured with.
// Passed in, like Clock, so that tests can make an operation "slow" without
// sleeping.
//
//   auto deadline = clock.now() + std::chrono::milliseconds(500);
//   if (clock.now() >= deadline) return timedOut;
#pragma once

#include <chrono>

namespace scourlet {

class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual std::chrono::steady_clock::time_point now() const = 0;
};

class SteadyMonotonicClock final : public MonotonicClock {
public:
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now();
    }
};

}  // namespace scourlet
