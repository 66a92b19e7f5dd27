#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ScourletCore/clipboard/Pasteboard.h"

namespace scourlet::testing {

// A clipboard in memory. The test puts contents on it as another program would
// (copy(), setItems()), and reads back what the code under test wrote.
// Reads are instant and honour the size limit; derived fakes make them hostile.
class InMemoryPasteboard : public Pasteboard {
public:
    struct Item {
        std::optional<std::string> plainText;
        std::optional<std::string> url;
        bool operator==(const Item&) const = default;
    };

    // "The clipboard now holds `text`": one item with a plain-text form.
    void copy(std::string text);
    // "The clipboard now holds these items". An empty list empties it.
    void setItems(std::vector<Item> items);
    // Makes every later read fail with `error` (nothing: reads succeed again).
    void failReadsWith(std::optional<ReadError> error);

    const std::vector<Item>& items() const { return items_; }
    // The first item's plain text, or nothing.
    std::optional<std::string> text() const;
    // Every text written through clearAndWrite(), in order.
    const std::vector<std::string>& writes() const { return writes_; }
    // How many string() calls were made.
    std::size_t readCount() const { return readCount_; }
    // Whether setWatching(true) is in force.
    bool backendWatching() const { return backendWatching_; }

    std::int64_t changeCount() const override { return changeCount_; }
    std::size_t itemCount() const override { return items_.size(); }
    Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                         std::size_t maximumBytes,
                                                         Deadline deadline) const override;
    std::int64_t clearAndWrite(std::string_view text) override;

protected:
    void setWatching(bool watching) override { backendWatching_ = watching; }
    // The form as stored, without limits; nothing when absent.
    std::optional<std::string> storedForm(std::size_t index, StringType type) const;

    mutable std::size_t readCount_ = 0;

private:
    std::vector<Item> items_;
    std::int64_t changeCount_ = 100;
    std::vector<std::string> writes_;
    std::optional<ReadError> readError_;
    bool backendWatching_ = false;
};

}  // namespace scourlet::testing
