// LastCleanRecorder: holds at most one LastCleanRecord in memory.
//
//   recorder.record(original, cleaned, "macOSClipboard");
//   if (auto last = recorder.takeAndClear()) restore(last->originalURL);
//
// Thread-safe: writers take a lock; readers see an immutable snapshot, so a
// record is handed out by takeAndClear() at most once.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "ScourletCore/platform/Clock.h"
#include "ScourletCore/platform/Observable.h"
#include "ScourletCore/rules/LastCleanRecord.h"

namespace scourlet {

class LastCleanRecorder : public ObservableObject {
public:
    // `clock` gives "now" for each record; the system clock when null. It must
    // outlive the recorder.
    explicit LastCleanRecorder(const Clock* clock = nullptr);

    std::optional<LastCleanRecord> current() const;
    // Emits the new value before it becomes visible to readers.
    Signal<std::optional<LastCleanRecord>>& currentPublisher() const { return publisher_; }

    // Replaces any earlier record; the texts are stored as given.
    void record(std::string original, std::string cleaned, std::string surface);
    std::optional<LastCleanRecord> takeAndClear();
    void clear();

private:
    using Snapshot = std::shared_ptr<const std::optional<LastCleanRecord>>;
    void publish(std::optional<LastCleanRecord> value);

    const Clock* clock_;
    std::mutex lock_;
    std::atomic<Snapshot> snapshot_;
    mutable Signal<std::optional<LastCleanRecord>> publisher_;
};

}  // namespace scourlet
