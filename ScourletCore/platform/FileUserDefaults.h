// FileUserDefaults: a settings store kept in one JSON file, safe to share
// between processes.
//
// Each suite is one file, "<XDG config home>/scourlet/<suite name>.json". A
// change is visible in this object at once (reads, observers) and is written
// a moment later by a background thread of the store, together with every
// other change made meanwhile: about kFlushQuietDelay after the last change,
// never later than kFlushLatestDelay after the first one. A write takes an
// exclusive advisory lock on "<file>.lock", re-reads the file when another
// writer replaced it, applies this object's pending changes on top and
// atomically replaces the file (temporary file, fsync, rename), so processes
// that write different keys at the same time never lose each other's changes,
// and a reader never sees a half-written file. A pending update() is applied
// again at that moment to the value the file holds, so processes that change
// the same list or counter at once keep each other's changes too. Reads are served from memory
// and notice another writer's changes with one stat() of the file; a key with
// a change not yet written keeps this object's value. A file that cannot be
// decoded is renamed to "<file>.corrupt-<unix time>" (kept for the user, never
// deleted) and the store starts empty.
//
//   auto defaults = FileUserDefaults::suite(kApplicationSuiteName);
//   if (!defaults) { /* no config home: no persistent settings */ }
//   defaults->setBool("launchAtLogin", true);
//   defaults->synchronize();   // only where the value must be on disk now
//
// Durability: synchronize() writes the pending changes at once, and the
// destructor calls it, so the process-wide suite() objects are written when
// the process ends normally (return from main, exit()). Changes not yet
// written are lost when the process is killed or ends by _exit() or abort(),
// as with the settings API of macOS.
//
// Write failures: like the settings API of macOS, set() reports nothing. When
// the file cannot be written (a folder that cannot be created, a full disk),
// the new value stays visible in this object and pending, lastWriteError()
// tells what went wrong, and the write is tried again with the next change,
// the next synchronize(), and on its own after a growing pause (1 s up to a
// minute).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ScourletCore/platform/Result.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

namespace scourlet {

class FileUserDefaults final : public UserDefaults {
public:
    // Larger files are treated as unreadable; writes that would make the file
    // larger fail.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;
    // Pending changes are written once no change came for kFlushQuietDelay, or
    // kFlushLatestDelay after the first of them, whichever comes first.
    static constexpr std::chrono::milliseconds kFlushQuietDelay{100};
    static constexpr std::chrono::milliseconds kFlushLatestDelay{1000};

    // A store over `file`. Nothing is read or created until first use; the
    // parent folder is created by the first write, and the background writer
    // starts with the first change.
    explicit FileUserDefaults(std::filesystem::path file);
    // Writes the pending changes (see synchronize()); a failure is not
    // reported and those changes are lost.
    ~FileUserDefaults() override;

    // The one instance of this process for the suite `suiteName` (the same
    // object for the same name while the config home stays the same). Nothing
    // when there is no config home, or when the name is empty, ".", "..", or
    // holds "/" or a NUL character.
    static std::shared_ptr<FileUserDefaults> suite(std::string_view suiteName);

    // The file of the suite `suiteName`; nothing under the same conditions as
    // suite().
    static std::optional<std::filesystem::path> suiteFile(std::string_view suiteName);

    // Every value stored in `file`, read without taking the lock and without
    // changing anything on disk (a file that does not parse is left where it
    // is). Empty when the file is missing, unreadable, too large or corrupt.
    // For tools that must see a program's settings without touching them.
    static std::map<std::string, DefaultsValue> readOnlySnapshot(const std::filesystem::path& file);

    const std::filesystem::path& file() const { return file_; }

    // Writes this object's pending changes now, in the calling thread (after
    // a write the background thread has already begun). Returns true when
    // they were written, or when nothing was pending; false when the write
    // failed: the changes stay pending and lastWriteError() tells why. Changes
    // that other threads make meanwhile may be left to the background write.
    bool synchronize();

    // Why the most recent write of this object's changes failed; nothing once
    // a later write succeeded (or when none failed). A change is not written
    // at once, so this speaks of earlier changes until the next write attempt.
    std::optional<Error> lastWriteError() const;

    // Drops every change not yet written and reads the file again, so that
    // this object holds what is on disk: for a program that told its user a
    // change could not be saved and must not save it later behind their back.
    // Observers are not called.
    void discardUnsavedChanges();

    // The value stored under `key`, or nothing when it is absent. When the file
    // cannot be read, the values last read stay in use.
    std::optional<DefaultsValue> object(std::string_view key) const override;
    std::map<std::string, DefaultsValue> dictionaryRepresentation() const override;

protected:
    bool storeValue(std::string_view key, std::optional<DefaultsValue> value) override;
    bool updateValue(std::string_view key,
                     const std::shared_ptr<const DefaultsValueChange>& change) override;

private:
    using SteadyClock = std::chrono::steady_clock;

    // What the file held when it was last read, so that a read can tell with
    // one stat() whether another writer replaced it.
    struct FileIdentity {
        unsigned long long device = 0;
        unsigned long long inode = 0;
        long long size = 0;
        long long mtimeSeconds = 0;
        long nanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    enum class Snapshot { none, absent, file, undecodable };
    enum class LoadOutcome { loaded, unreadable };

    // The changes of one key not yet written: a value set outright, or none
    // (the file's value is the start), and the updates made after it, oldest
    // first. Generations tell a write which of them it took up.
    struct PendingChange {
        struct Update {
            std::uint64_t generation;
            std::shared_ptr<const DefaultsValueChange> change;
        };
        std::optional<std::optional<Json>> replacement;  // inner empty: a removal
        std::uint64_t replacementGeneration = 0;
        std::vector<Update> updates;
        std::uint64_t generation = 0;  // the newest of them all

        // Leaves what a write up to `written` did not take up; false when
        // nothing is left.
        bool forgetWritten(std::uint64_t written);
    };

    // Brings values_ up to date with the file when it changed since the last read.
    LoadOutcome refreshLocked(bool holdingFileLock) const;
    LoadOutcome loadLocked(bool holdingFileLock) const;
    // Makes `values` (what the file holds) the file's values and this object's
    // values those with the pending changes on top.
    void replaceValuesLocked(internal::DefaultsMap values) const;
    // Records a change of `key` just made to values_ and schedules its write.
    // Returns true when the caller must write at once (no writer thread).
    PendingChange& pendingChangeLocked(std::string_view key);
    bool scheduleWriteLocked(bool& wakeFlusher);
    // Runs `change` under mutex_ over values brought up to date with the
    // file; when it reports a change (made to values_ and pending_), the
    // write is scheduled, or made at once, and the answer is true.
    bool changeValues(const std::function<bool()>& change);
    void forgetFileLocked() const;
    void adoptWrittenFileLocked(int fd);
    void runFlusher();

    const std::filesystem::path file_;
    const std::filesystem::path lockFile_;

    // Serializes writes (background thread, synchronize(), destructor). Taken
    // before the file lock, which is taken before mutex_; nothing waits for
    // the file lock while holding mutex_.
    std::mutex writeMutex_;

    mutable std::mutex mutex_;
    mutable internal::DefaultsMap values_;
    // What the file held when it was last read or written.
    mutable internal::DefaultsMap fileValues_;
    // Changes not yet written, re-applied over every read of the file until a
    // write succeeds.
    std::map<std::string, PendingChange, std::less<>> pending_;
    std::uint64_t lastGeneration_ = 0;
    mutable Snapshot snapshot_ = Snapshot::none;
    mutable FileIdentity identity_;
    // The file read last stays open: while it is open its inode number cannot
    // be reused by a newer file, so an equal identity really is the same file.
    mutable int heldFd_ = -1;
    // Set while this object writes the file under the file lock: then only
    // that write can replace the file, and values_ already holds what it
    // writes, so reads must not load it (they would apply the pending changes
    // a second time over a file that already has them).
    bool writeInFlight_ = false;
    std::optional<Error> lastWriteError_;

    // The background writer's schedule: the first and the last change that no
    // write attempt has taken up yet, and the retry after a failed write.
    std::optional<SteadyClock::time_point> firstUnwrittenChange_;
    SteadyClock::time_point lastUnwrittenChange_;
    std::optional<SteadyClock::time_point> retryAt_;
    SteadyClock::duration retryPause_;
    bool stopping_ = false;
    std::condition_variable flusherWake_;
    std::thread flusher_;
};

}  // namespace scourlet
