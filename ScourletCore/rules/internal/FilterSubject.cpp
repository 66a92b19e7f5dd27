#include "ScourletCore/rules/internal/FilterSubject.h"

namespace scourlet::internal {

namespace {

bool isLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

}  // namespace

void FilterSubject::assign(std::string_view text) {
    text_ = text;
    lowered_.resize(text.size());
    // One branch-free pass (the compiler vectorizes it).
    unsigned char highBits = 0;
    char* out = lowered_.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        highBits |= c;
        out[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 'a' - 'A' : 0));
    }
    ascii_ = (highBits & 0x80) == 0;
    labelStarts_.clear();
    const std::string_view lowered = lowered_;
    if (!lowered.starts_with("http")) {
        return;
    }
    std::size_t position = 4;
    if (position < lowered.size() && lowered[position] == 's') {
        ++position;
    }
    // "://" holds no letters, so the lowered text tells as well as the text.
    if (lowered.substr(position, 3) != "://") {
        return;
    }
    position += 3;
    while (true) {
        labelStarts_.push_back(static_cast<std::uint32_t>(position));
        std::size_t end = position;
        while (end < lowered.size() && isLabelChar(lowered[end])) {
            ++end;
        }
        if (end == position || end >= lowered.size() || lowered[end] != '.') {
            return;
        }
        position = end + 1;
    }
}

}  // namespace scourlet::internal
