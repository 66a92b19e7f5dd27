#pragma once

#include <deque>
#include <functional>
#include <mutex>

#include "ScourletCore/platform/MainQueue.h"

namespace scourlet::testing {

// Holds posted work until the test runs it.
class ManualMainQueue final : public MainQueue {
public:
    void post(std::function<void()> work) override {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(work));
    }

    // Runs posted work, including work posted while running, until none is left.
    // Returns how many items ran.
    int runAll() {
        int ran = 0;
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard lock(mutex_);
                if (pending_.empty()) {
                    return ran;
                }
                next = std::move(pending_.front());
                pending_.pop_front();
            }
            next();
            ++ran;
        }
    }

    std::size_t pendingCount() const {
        std::lock_guard lock(mutex_);
        return pending_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
};

}  // namespace scourlet::testing
