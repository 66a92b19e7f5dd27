#include "ScourletCore/platform/ExclusiveFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace scourlet {

namespace {

Error systemError(std::string_view what, const std::filesystem::path& path, int error) {
    return Error{std::string(what) + " " + path.string() + ": " + std::strerror(error)};
}

}  // namespace

Result<ExclusiveFileLock, Error> ExclusiveFileLock::acquire(const std::filesystem::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return systemError("Could not open the lock file", lockFile, errno);
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            return systemError("Could not lock", lockFile, error);
        }
    }
    return ExclusiveFileLock(fd);
}

ExclusiveFileLock::ExclusiveFileLock(ExclusiveFileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

ExclusiveFileLock::~ExclusiveFileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

}  // namespace scourlet
