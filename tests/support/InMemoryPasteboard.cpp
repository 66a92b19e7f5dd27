#include "support/InMemoryPasteboard.h"

#include <utility>

namespace scourlet::testing {

void InMemoryPasteboard::copy(std::string text) {
    setItems({Item{std::move(text), std::nullopt}});
}

void InMemoryPasteboard::setItems(std::vector<Item> items) {
    items_ = std::move(items);
    ++changeCount_;
}

void InMemoryPasteboard::failReadsWith(std::optional<ReadError> error) {
    readError_ = error;
}

std::optional<std::string> InMemoryPasteboard::text() const {
    if (items_.empty()) {
        return std::nullopt;
    }
    return items_.front().plainText;
}

std::optional<std::string> InMemoryPasteboard::storedForm(std::size_t index,
                                                          StringType type) const {
    if (index >= items_.size()) {
        return std::nullopt;
    }
    return type == StringType::plainText ? items_[index].plainText : items_[index].url;
}

Result<std::optional<std::string>, Pasteboard::ReadError> InMemoryPasteboard::string(
    std::size_t index, StringType type, std::size_t maximumBytes, Deadline /*deadline*/) const {
    ++readCount_;
    if (readError_) {
        return *readError_;
    }
    std::optional<std::string> form = storedForm(index, type);
    if (form && form->size() > maximumBytes) {
        return ReadError::tooLarge;
    }
    return form;
}

std::int64_t InMemoryPasteboard::clearAndWrite(std::string_view text) {
    writes_.emplace_back(text);
    items_ = {Item{std::string(text), std::nullopt}};
    return ++changeCount_;
}

}  // namespace scourlet::testing
