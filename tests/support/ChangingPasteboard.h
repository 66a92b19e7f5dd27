#pragma once

#include <optional>
#include <string>
#include <utility>

#include "support/InMemoryPasteboard.h"

namespace scourlet::testing {

// A clipboard whose owner replaces the contents while a read is under way: the
// read that triggers the change still answers the old form, as a real
// clipboard transfer that raced a new copy would.
class ChangingPasteboard final : public InMemoryPasteboard {
public:
    // The next string() call replaces the contents with `text` after taking
    // the old form it answers.
    void changeDuringNextRead(std::string text) { pending_ = std::move(text); }

    Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                         std::size_t maximumBytes,
                                                         Deadline deadline) const override {
        auto answer = InMemoryPasteboard::string(index, type, maximumBytes, deadline);
        if (pending_) {
            auto* self = const_cast<ChangingPasteboard*>(this);
            self->copy(std::exchange(self->pending_, std::nullopt).value());
        }
        return answer;
    }

private:
    std::optional<std::string> pending_;
};

}  // namespace scourlet::testing
