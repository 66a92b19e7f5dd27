#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

#include "ScourletCore/platform/BackgroundExecutor.h"

namespace scourlet::testing {

// Holds background jobs until the test runs them, on the test's own thread, so
// a test can let the clipboard change while a "slow" job is still waiting.
class ManualExecutor final : public BackgroundExecutor {
public:
    void run(std::function<void()> job) override {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(job));
        ++submitted_;
    }

    // Runs the oldest held job; false when none was held.
    bool runNext() {
        std::function<void()> next;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) {
                return false;
            }
            next = std::move(pending_.front());
            pending_.pop_front();
        }
        next();
        return true;
    }

    // Runs held jobs, including jobs submitted meanwhile, until none is left;
    // returns how many ran.
    int runAll() {
        int ran = 0;
        while (runNext()) {
            ++ran;
        }
        return ran;
    }

    std::size_t pendingCount() const {
        std::lock_guard lock(mutex_);
        return pending_.size();
    }
    // Every job ever submitted.
    std::size_t submittedCount() const {
        std::lock_guard lock(mutex_);
        return submitted_;
    }

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
    std::size_t submitted_ = 0;
};

}  // namespace scourlet::testing
