#include "ScourletCore/platform/AtomicFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace scourlet {

namespace {

Error systemError(std::string_view what, const std::filesystem::path& path, int error) {
    return Error{std::string(what) + " " + path.string() + ": " + std::strerror(error)};
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (a failed close can
    // mean lost data on some file systems).
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

Result<std::filesystem::path, Error> writeTemporaryFileBeside(const std::filesystem::path& file,
                                                              std::string_view bytes) {
    const std::filesystem::path folder = file.parent_path();
    std::string temporary = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    const int rawFd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (rawFd < 0) {
        return systemError("Could not create a temporary file in", folder, errno);
    }
    FileDescriptor fd(rawFd);
    // The message names the file meant, not the temporary one nobody asked for.
    auto fail = [&](std::string_view what) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return systemError(what, file, error);
    };
    if (::fchmod(fd.get(), 0644) != 0 || !writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) {
        return fail("Could not write");
    }
    if (!fd.close()) {
        return fail("Could not close");
    }
    return std::filesystem::path(temporary);
}

Result<void, Error> moveIntoPlace(const std::filesystem::path& temporary,
                                  const std::filesystem::path& file) {
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return Error{"Could not move " + file.string() + " into place: " + std::strerror(error)};
    }
    // Make the rename itself durable; a failure here leaves a complete file.
    FileDescriptor folderFd(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.get() >= 0) {
        ::fsync(folderFd.get());
    }
    return {};
}

Result<void, Error> writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    auto temporary = writeTemporaryFileBeside(file, bytes);
    if (!temporary) {
        return temporary.error();
    }
    return moveIntoPlace(*temporary, file);
}

}  // namespace scourlet
