#pragma once

#include <optional>
#include <string>

#include "support/InMemoryPasteboard.h"

namespace scourlet::testing {

// A clipboard that ignores the size it is asked to keep to and hands over
// every form whole, megabytes included.
class OversizedPasteboard final : public InMemoryPasteboard {
public:
    Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                         std::size_t /*maximumBytes*/,
                                                         Deadline /*deadline*/) const override {
        ++readCount_;
        return storedForm(index, type);
    }
};

}  // namespace scourlet::testing
