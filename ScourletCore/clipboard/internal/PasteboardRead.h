// Reading every string form of the pasteboard within limits.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ScourletCore/clipboard/Pasteboard.h"
#include "ScourletCore/platform/MonotonicClock.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet::internal {

struct PasteboardReadLimits {
    std::size_t maximumStringBytes;  // per form, in UTF-8 bytes; a longer form spoils the read
    std::size_t maximumItems;        // more items spoil the read
    std::chrono::milliseconds maximumReadTime;  // from the start of the read
};

// Why a read gave nothing. timedOut: the deadline passed before the last form
// was in (or the pasteboard said so), which a later read may beat; refused:
// anything else, which reading again would not change.
enum class PasteboardReadFailure { refused, timedOut };

// The plain-text form and then the URL form of each item, in item order,
// leaving out forms an item lacks. Fails (refused) when any form is longer
// than the limit (also when the pasteboard hands it over regardless), when
// there are too many items, when a read fails, or when the change count moved
// during the read; fails (timedOut) when the deadline passes first.
Result<std::vector<std::string>, PasteboardReadFailure> readPasteboardForms(
    const Pasteboard& pasteboard, const MonotonicClock& clock, const PasteboardReadLimits& limits);

}  // namespace scourlet::internal
