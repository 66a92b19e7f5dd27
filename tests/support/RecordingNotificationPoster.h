#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "ScourletCore/clipboard/NotificationPoster.h"

namespace scourlet::testing {

// A notification service that shows nothing and remembers everything: what was
// posted, and each permission request, whose answer the test gives when it
// chooses (or at once, with answerAtOnce()).
class RecordingNotificationPoster final : public NotificationPoster {
public:
    void requestPermission(std::function<void(bool granted)> answer) override {
        std::optional<bool> immediate;
        {
            std::lock_guard lock(mutex_);
            ++permissionRequests_;
            immediate = immediateAnswer_;
            if (!immediate) {
                pendingAnswers_.push_back(std::move(answer));
            }
        }
        if (immediate) {
            answer(*immediate);
        }
    }

    void post(const Notification& notification) override {
        std::lock_guard lock(mutex_);
        posted_.push_back(notification);
    }

    // Later requests are answered with `granted` before requestPermission() returns.
    void answerAtOnce(bool granted) {
        std::lock_guard lock(mutex_);
        immediateAnswer_ = granted;
    }

    // Answers every request still waiting, from the calling thread.
    void answerPending(bool granted) {
        std::vector<std::function<void(bool)>> answers;
        {
            std::lock_guard lock(mutex_);
            answers.swap(pendingAnswers_);
        }
        for (auto& answer : answers) {
            answer(granted);
        }
    }

    std::vector<Notification> posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    std::size_t permissionRequests() const {
        std::lock_guard lock(mutex_);
        return permissionRequests_;
    }
    std::size_t pendingAnswerCount() const {
        std::lock_guard lock(mutex_);
        return pendingAnswers_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Notification> posted_;
    std::vector<std::function<void(bool)>> pendingAnswers_;
    std::optional<bool> immediateAnswer_;
    std::size_t permissionRequests_ = 0;
};

}  // namespace scourlet::testing
