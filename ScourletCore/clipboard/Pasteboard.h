// Pasteboard: the system clipboard as the core needs it.
//
// A pasteboard holds items; each item may offer a plain-text form and a URL
// form. A change count moves with every change of the contents, by this
// program or any other, so a watcher can tell "new contents" from "the same
// contents" with one cheap call. The application implements it over the
// desktop clipboard (QClipboard); tests use InMemoryPasteboard and its hostile
// cousins.
//
//   Connection watching = pasteboard.watch();          // backend active while held
//   if (pasteboard.changeCount() != seen) {
//       auto text = pasteboard.string(0, Pasteboard::StringType::plainText,
//                                     65536, monotonic.now() + 500ms);
//       if (text && *text) use(**text);
//   }
//   std::int64_t mine = pasteboard.clearAndWrite("https://a.example/");
//
// Reading outside data is bounded by the caller: each string read names the
// largest size it accepts and a deadline, and a reader compares the change
// count before and after a read to catch contents that changed under it.
// Used on the main thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/platform/Result.h"

namespace scourlet {

namespace internal {
struct PasteboardWatchers;
}

class Pasteboard {
public:
    enum class StringType {
        plainText,  // the item's text
        url,        // the item's link, as text
    };

    enum class ReadError {
        tooLarge,     // the form is longer than the largest size accepted
        timedOut,     // the contents were not handed over by the deadline
        unavailable,  // the clipboard could not be read at all
    };

    using Deadline = std::chrono::steady_clock::time_point;

    Pasteboard();
    virtual ~Pasteboard();
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;

    // A number that differs after every change of the contents; never fails.
    // It must move on every change while a watch() handle lives; with none, an
    // implementation may let it stand still.
    virtual std::int64_t changeCount() const = 0;

    // How many items the pasteboard holds now; 0 when it is empty or cannot be
    // read.
    virtual std::size_t itemCount() const = 0;

    // The `type` form of item `index` as UTF-8 text, or nothing when the item
    // has no such form (or there is no such item). Fails with tooLarge when
    // the form is longer than `maximumBytes` bytes (an implementation should
    // find that out without copying the whole form where it can), timedOut
    // when the contents did not arrive by `deadline`, unavailable when the
    // clipboard could not be read.
    virtual Result<std::optional<std::string>, ReadError> string(std::size_t index, StringType type,
                                                                 std::size_t maximumBytes,
                                                                 Deadline deadline) const = 0;

    // Clears the pasteboard and puts `text` on it as the one plain-text form
    // of one item; every other form the contents had is gone. Returns the
    // change count right after the write. Never fails.
    virtual std::int64_t clearAndWrite(std::string_view text) = 0;

    // Keeps the pasteboard watched for as long as the returned handle lives:
    // the implementation's change tracking runs while at least one handle
    // exists and stops when the last one goes. The handle may outlive the
    // pasteboard.
    [[nodiscard]] Connection watch();

    // Whether any watch() handle lives.
    bool isWatched() const;

protected:
    // Called with true when the first handle appears and with false when the
    // last one goes. The default does nothing.
    virtual void setWatching(bool watching);

private:
    std::shared_ptr<internal::PasteboardWatchers> watchers_;
};

}  // namespace scourlet
