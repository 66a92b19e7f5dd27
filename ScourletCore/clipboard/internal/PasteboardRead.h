// Reading every string form of the pasteboard within limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/clipboard/Pasteboard.h"
#include "ScourletCore/platform/MonotonicClock.h"

namespace scourlet::internal {

struct PasteboardReadLimits {
    std::size_t maximumStringBytes;  // per form, in UTF-8 bytes; a longer form spoils the read
    std::size_t maximumItems;        // more items spoil the read
    std::chrono::milliseconds maximumReadTime;  // from the start of the read
};

// The plain-text form and then the URL form of each item, in item order,
// leaving out forms an item lacks. Nothing when any form is longer than the
// limit (also when the pasteboard hands it over regardless), when there are
// too many items, when a read fails, when the deadline passes before the last
// form is in, or when the change count moved during the read.
std::optional<std::vector<std::string>> readPasteboardForms(const Pasteboard& pasteboard,
                                                            const MonotonicClock& clock,
                                                            const PasteboardReadLimits& limits);

}  // namespace scourlet::internal
