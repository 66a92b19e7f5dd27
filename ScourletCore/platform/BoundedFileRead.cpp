#include "ScourletCore/platform/BoundedFileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace scourlet {

std::optional<std::string> readFileAtMost(const std::filesystem::path& file, std::size_t maxBytes,
                                          SymlinkPolicy symlinks) {
    // O_NONBLOCK: a FIFO at the path must not hang the reader; regular files
    // ignore the flag.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (symlinks == SymlinkPolicy::refuse) {
        flags |= O_NOFOLLOW;
    }
    const int fd = ::open(file.c_str(), flags);
    if (fd < 0) {
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::size_t>(info.st_size) > maxBytes) {
        return std::nullopt;
    }
    // Read one byte past the announced size so that a file that grew after
    // fstat is caught as well.
    std::string bytes(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
        if (filled == bytes.size() && filled <= maxBytes) {
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
        }
    }
    if (filled > maxBytes) {
        return std::nullopt;
    }
    bytes.resize(filled);
    return bytes;
}

}  // namespace scourlet
