// The current time, passed in so that logic can be tested at fixed times.
//
//   auto now = clock.now();
//   bool due = now - lastCheck >= std::chrono::hours(24);
#pragma once

#include <chrono>

namespace scourlet {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::chrono::system_clock::time_point now() const = 0;
};

class SystemClock final : public Clock {
public:
    std::chrono::system_clock::time_point now() const override {
        return std::chrono::system_clock::now();
    }
};

}  // namespace scourlet
