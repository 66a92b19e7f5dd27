#include "ScourletCore/clipboard/internal/PasteboardRead.h"

#include <array>

namespace scourlet::internal {

Result<std::vector<std::string>, PasteboardReadFailure> readPasteboardForms(
    const Pasteboard& pasteboard, const MonotonicClock& clock, const PasteboardReadLimits& limits) {
    const std::int64_t startCount = pasteboard.changeCount();
    const std::size_t items = pasteboard.itemCount();
    if (items > limits.maximumItems) {
        return PasteboardReadFailure::refused;
    }
    const Pasteboard::Deadline deadline = clock.now() + limits.maximumReadTime;
    constexpr std::array types{Pasteboard::StringType::plainText, Pasteboard::StringType::url};

    std::vector<std::string> forms;
    for (std::size_t index = 0; index < items; ++index) {
        for (const Pasteboard::StringType type : types) {
            // A pasteboard that ignores the deadline it is given still gets no
            // further call once the deadline is past.
            if (clock.now() >= deadline) {
                return PasteboardReadFailure::timedOut;
            }
            auto form = pasteboard.string(index, type, limits.maximumStringBytes, deadline);
            if (!form) {
                return form.error() == Pasteboard::ReadError::timedOut
                           ? PasteboardReadFailure::timedOut
                           : PasteboardReadFailure::refused;
            }
            if (!form->has_value()) {
                continue;
            }
            // Checked here too: the limit must hold even when the pasteboard
            // hands over more than it was asked for.
            if ((*form)->size() > limits.maximumStringBytes) {
                return PasteboardReadFailure::refused;
            }
            forms.push_back(std::move(**form));
        }
    }
    // Forms from before and after a change would make a text nobody copied.
    if (pasteboard.changeCount() != startCount) {
        return PasteboardReadFailure::refused;
    }
    return forms;
}

}  // namespace scourlet::internal
