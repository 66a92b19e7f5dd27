// File operations of the catalog store: atomic replacement and the
// cross-process install lock (bounded reads: platform/BoundedFileRead.h).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ScourletCore/platform/Result.h"

namespace scourlet::internal {

// Replaces `file` with `bytes` so that readers see the old or the new
// content, never a mix: a temporary file beside it, written and flushed to
// disk, then renamed over it, and the folder flushed. The temporary file is
// removed on failure.
Result<void, Error> writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// An exclusive advisory lock (flock) on a lock file, held until destruction.
// Another process's lock on the same file makes acquire() wait, without a
// time limit; a process that dies releases its lock with its descriptor.
class ExclusiveFileLock {
public:
    // Opens (creating it with mode 0600 when absent) and locks `lockFile`.
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

}  // namespace scourlet::internal
