#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "support/InMemoryPasteboard.h"
#include "support/ManualMonotonicClock.h"

namespace scourlet::testing {

// A clipboard whose every read takes `delay` on the given clock and that pays
// no heed to the deadline it is given, as a stuck owner of the contents would.
class SlowPasteboard final : public InMemoryPasteboard {
public:
    SlowPasteboard(ManualMonotonicClock& clock, std::chrono::milliseconds delay)
        : clock_(clock), delay_(delay) {}

    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; }

    Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                         std::size_t maximumBytes,
                                                         Deadline deadline) const override {
        clock_.advance(delay_);
        return InMemoryPasteboard::string(index, type, maximumBytes, deadline);
    }

private:
    ManualMonotonicClock& clock_;
    std::chrono::milliseconds delay_;
};

}  // namespace scourlet::testing
