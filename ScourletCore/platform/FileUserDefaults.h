// FileUserDefaults: a settings store kept in one JSON file, safe to share
// between processes.
//
// Each suite is one file, "<XDG config home>/scourlet/<suite name>.json". Every
// write takes an exclusive advisory lock on "<file>.lock", re-reads the file
// when another writer replaced it, applies its one change and atomically
// replaces the file (temporary file, fsync, rename), so processes that
// write different keys at the same time never lose each other's changes, and a
// reader never sees a half-written file. Reads are served from memory and
// notice another writer's changes with one stat() of the file. A file that
// cannot be decoded is renamed to "<file>.corrupt-<unix time>" (kept for the
// user, never deleted) and the store starts empty.
//
//   auto defaults = FileUserDefaults::suite(kApplicationSuiteName);
//   if (!defaults) { /* no config home: no persistent settings */ }
//   defaults->setBool("launchAtLogin", true);
//
// Write failures: like the settings API of macOS, set() reports nothing. When
// the file cannot be written (a folder that cannot be created, a full disk),
// the new value stays visible in this object, is written again with the next
// successful write of this object, and lastWriteError() tells what went wrong.
// Such values are lost when the process ends before a write succeeds.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Result.h"
#include "ScourletCore/platform/UserDefaults.h"
#include "ScourletCore/platform/internal/DefaultsValueCoding.h"

namespace scourlet {

class FileUserDefaults final : public UserDefaults {
public:
    // Larger files are treated as unreadable; writes that would make the file
    // larger fail.
    static constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

    // A store over `file`. Nothing is read or created until first use; the
    // parent folder is created by the first write.
    explicit FileUserDefaults(std::filesystem::path file);
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

    // Why the most recent change of this object could not be saved; nothing
    // once a later write succeeded (or when none failed).
    std::optional<Error> lastWriteError() const;

    // The value stored under `key`, or nothing when it is absent. When the file
    // cannot be read, the values last read stay in use.
    std::optional<DefaultsValue> object(std::string_view key) const override;
    std::map<std::string, DefaultsValue> dictionaryRepresentation() const override;

protected:
    bool storeValue(std::string_view key, std::optional<DefaultsValue> value) override;

private:
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

    // Brings values_ up to date with the file when it changed since the last read.
    LoadOutcome refreshLocked(bool holdingFileLock) const;
    LoadOutcome loadLocked(bool holdingFileLock) const;
    void replaceValuesLocked(internal::DefaultsMap values) const;
    void forgetFileLocked() const;
    std::optional<Error> writeLocked();

    const std::filesystem::path file_;
    const std::filesystem::path lockFile_;

    mutable std::mutex mutex_;
    mutable internal::DefaultsMap values_;
    // Changes whose write failed, re-applied over every read of the file until
    // a write succeeds; an empty value is a removal.
    mutable std::map<std::string, std::optional<Json>, std::less<>> unsaved_;
    mutable Snapshot snapshot_ = Snapshot::none;
    mutable FileIdentity identity_;
    // The file read last stays open: while it is open its inode number cannot
    // be reused by a newer file, so an equal identity really is the same file.
    mutable int heldFd_ = -1;
    std::optional<Error> lastWriteError_;
};

}  // namespace scourlet
