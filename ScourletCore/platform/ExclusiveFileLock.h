// An exclusive advisory lock (flock) on a lock file, held for the life of the
// object: how installs of the signed stores serialize, also across processes.
//
//   auto lock = ExclusiveFileLock::acquire(root / "install.lock");
//   if (!lock) return fail(lock.error().message);
//   // ... validate and write while the lock is held ...
//
// Another holder of the same file makes acquire() wait, without a time limit,
// so call it off the main thread. A process that dies releases its lock with
// its descriptor. The lock file is never removed.
#pragma once

#include <filesystem>

#include "ScourletCore/platform/Result.h"

namespace scourlet {

class ExclusiveFileLock {
public:
    // Opens `lockFile` (creating it with mode 0600 when absent; a symbolic link
    // there is refused) and waits for the lock. Fails, with a message naming
    // the path and the system's reason, when the file cannot be opened or
    // locked.
    static Result<ExclusiveFileLock, Error> acquire(const std::filesystem::path& lockFile);

    ExclusiveFileLock(ExclusiveFileLock&& other) noexcept;
    ExclusiveFileLock& operator=(ExclusiveFileLock&&) = delete;
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
    ~ExclusiveFileLock();

private:
    explicit ExclusiveFileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace scourlet
