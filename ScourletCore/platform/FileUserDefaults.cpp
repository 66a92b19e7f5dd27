#include "ScourletCore/platform/FileUserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "ScourletCore/platform/AppDirectories.h"

namespace scourlet {

namespace {

std::string errnoText(std::string_view what, const std::filesystem::path& path, int error) {
    std::string text(what);
    text.append(" \"").append(path.string()).append("\": ").append(std::strerror(error));
    return text;
}

// Device, inode, size and modification time with nanoseconds.
template <class Identity>
Identity identityOf(const struct stat& st) {
#if defined(__APPLE__)
    const long nanoseconds = st.st_mtimespec.tv_nsec;
#else
    const long nanoseconds = st.st_mtim.tv_nsec;
#endif
    return Identity{static_cast<unsigned long long>(st.st_dev),
                    static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
                    static_cast<long long>(st.st_mtime), nanoseconds};
}

void closeQuietly(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

// An exclusive flock() on the lock file beside the settings file, held for the
// object's life.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { closeQuietly(fd_); }

    std::optional<Error> acquire(const std::filesystem::path& path) {
        // Someone may delete the lock file while we wait for it; a lock on an
        // unlinked file excludes nobody, so take the lock again on the new one.
        for (int attempt = 0; attempt < 8; ++attempt) {
            int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0) {
                fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            }
            if (fd < 0) {
                return Error{errnoText("could not open the lock file", path, errno)};
            }
            int result = 0;
            while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (result != 0) {
                const int error = errno;
                ::close(fd);
                return Error{errnoText("could not lock", path, error)};
            }
            struct stat held {};
            struct stat current {};
            if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &current) == 0 &&
                held.st_dev == current.st_dev && held.st_ino == current.st_ino) {
                fd_ = fd;
                return std::nullopt;
            }
            ::close(fd);
        }
        return Error{"the lock file \"" + path.string() + "\" keeps being replaced"};
    }

private:
    int fd_ = -1;
};

enum class ReadStatus { ok, failed, tooLarge };

ReadStatus readWhole(int fd, std::size_t limit, std::string& out) {
    out.clear();
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ReadStatus::failed;
        }
        if (n == 0) {
            return ReadStatus::ok;
        }
        if (out.size() + static_cast<std::size_t>(n) > limit) {
            return ReadStatus::tooLarge;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Renames an undecodable settings file out of the way, under a name that no
// earlier copy holds. Must run under the file lock.
std::optional<Error> moveAside(const std::filesystem::path& file) {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const std::string base = file.string() + ".corrupt-" + std::to_string(now);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string candidate = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        struct stat existing {};
        if (::lstat(candidate.c_str(), &existing) == 0 || errno != ENOENT) {
            continue;
        }
        if (::rename(file.c_str(), candidate.c_str()) != 0) {
            return Error{errnoText("could not move aside the unreadable file", file, errno)};
        }
        return std::nullopt;
    }
    return Error{"no free name to move aside \"" + file.string() + "\""};
}

// The file that a write replaces: the final target of a symbolic link rather
// than the link itself, so settings kept behind a link (a dotfiles folder, say)
// stay there. The target need not exist yet.
std::filesystem::path writeTarget(const std::filesystem::path& file) {
    std::filesystem::path path = file;
    for (int hop = 0; hop < 16; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            break;
        }
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) {
            break;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

bool validSuiteName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

FileUserDefaults::FileUserDefaults(std::filesystem::path file)
    : file_(std::move(file)), lockFile_(file_.string() + ".lock") {}

FileUserDefaults::~FileUserDefaults() {
    closeQuietly(heldFd_);
}

std::optional<std::filesystem::path> FileUserDefaults::suiteFile(std::string_view suiteName) {
    if (!validSuiteName(suiteName)) {
        return std::nullopt;
    }
    auto configHome = xdgConfigHome();
    if (!configHome) {
        return std::nullopt;
    }
    std::string fileName(suiteName);
    fileName.append(".json");
    return *configHome / "scourlet" / fileName;
}

std::shared_ptr<FileUserDefaults> FileUserDefaults::suite(std::string_view suiteName) {
    auto file = suiteFile(suiteName);
    if (!file) {
        return nullptr;
    }
    // Keyed by file rather than by name: the same name under another config
    // home (tests move it) is another store.
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::shared_ptr<FileUserDefaults>> instances;
    std::lock_guard lock(mutex);
    auto& instance = instances[*file];
    if (!instance) {
        instance = std::make_shared<FileUserDefaults>(*file);
    }
    return instance;
}

std::optional<Error> FileUserDefaults::lastWriteError() const {
    std::lock_guard lock(mutex_);
    return lastWriteError_;
}

std::optional<DefaultsValue> FileUserDefaults::object(std::string_view key) const {
    std::lock_guard lock(mutex_);
    (void)refreshLocked(false);
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::map<std::string, DefaultsValue> FileUserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    (void)refreshLocked(false);
    return {values_.begin(), values_.end()};
}

void FileUserDefaults::forgetFileLocked() const {
    closeQuietly(std::exchange(heldFd_, -1));
    snapshot_ = Snapshot::absent;
    replaceValuesLocked({});
}

void FileUserDefaults::replaceValuesLocked(internal::DefaultsMap values) const {
    for (const auto& [key, value] : unsaved_) {
        if (value) {
            values.insert_or_assign(key, *value);
        } else if (auto it = values.find(key); it != values.end()) {
            values.erase(it);
        }
    }
    values_ = std::move(values);
}

FileUserDefaults::LoadOutcome FileUserDefaults::refreshLocked(bool holdingFileLock) const {
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            if (snapshot_ != Snapshot::absent) {
                forgetFileLocked();
            }
            return LoadOutcome::loaded;
        }
        // Any other failure (no permission, for one) keeps the values last read.
        return LoadOutcome::unreadable;
    }
    // Writers replace the file, never edit it, and the file read last is held
    // open, so an unchanged identity means unchanged contents. An undecodable
    // file is looked at again by a lock holder, who may move it aside.
    if (identityOf<FileIdentity>(st) == identity_) {
        if (snapshot_ == Snapshot::file) {
            return LoadOutcome::loaded;
        }
        if (snapshot_ == Snapshot::undecodable && !holdingFileLock) {
            return LoadOutcome::unreadable;
        }
    }
    return loadLocked(holdingFileLock);
}

FileUserDefaults::LoadOutcome FileUserDefaults::loadLocked(bool holdingFileLock) const {
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            forgetFileLocked();
            return LoadOutcome::loaded;
        }
        snapshot_ = Snapshot::none;
        return LoadOutcome::unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        snapshot_ = Snapshot::none;
        return LoadOutcome::unreadable;
    }
    std::string text;
    const ReadStatus status = static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes
                                  ? ReadStatus::tooLarge
                                  : readWhole(fd, kMaxFileBytes, text);
    if (status == ReadStatus::failed) {
        ::close(fd);
        snapshot_ = Snapshot::none;
        return LoadOutcome::unreadable;
    }

    Result<internal::DefaultsMap, Error> decoded = internal::DefaultsMap{};
    if (status == ReadStatus::tooLarge) {
        decoded = Error{"the file is larger than the limit"};
    } else if (!text.empty()) {
        decoded = internal::decodeDefaultsFile(text);
    }
    // Keep the file's identity even when it does not decode, so that reads do
    // not decode it again until it changes.
    closeQuietly(std::exchange(heldFd_, fd));
    identity_ = identityOf<FileIdentity>(st);
    if (decoded) {
        snapshot_ = Snapshot::file;
        replaceValuesLocked(std::move(*decoded));
        return LoadOutcome::loaded;
    }
    snapshot_ = Snapshot::undecodable;
    replaceValuesLocked({});

    // Only a holder of the lock may move the file aside, and it must look
    // again first: another writer may have replaced the file meanwhile.
    if (!holdingFileLock) {
        FileLock lock;
        const std::optional<Error> lockError = lock.acquire(lockFile_);
        return lockError ? LoadOutcome::unreadable : loadLocked(true);
    }
    if (moveAside(file_)) {
        return LoadOutcome::unreadable;  // the file stays; nothing may overwrite it
    }
    forgetFileLocked();
    return LoadOutcome::loaded;
}

bool FileUserDefaults::storeValue(std::string_view key, std::optional<DefaultsValue> value) {
    std::lock_guard lock(mutex_);

    FileLock fileLock;
    std::optional<Error> failure;
    std::error_code folderError;
    const auto folder = file_.parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, folderError);
    }
    if (folderError) {
        failure = Error{"could not create \"" + folder.string() + "\": " + folderError.message()};
    } else {
        failure = fileLock.acquire(lockFile_);
    }
    if (!failure) {
        // The change is applied to what the file holds now, under the lock,
        // not to what this object read earlier.
        if (refreshLocked(true) == LoadOutcome::unreadable) {
            failure = Error{"could not read \"" + file_.string() + "\"; it was left unchanged"};
        }
    } else {
        (void)refreshLocked(false);
    }

    const auto it = values_.find(key);
    bool changed = false;
    if (!value) {
        if (it != values_.end()) {
            values_.erase(it);
            changed = true;
        }
    } else if (it == values_.end()) {
        values_.emplace(std::string(key), *value);
        changed = true;
    } else if (!internal::strictlyEqual(it->second, *value)) {
        it->second = *value;
        changed = true;
    }

    if (changed) {
        unsaved_.insert_or_assign(std::string(key), std::move(value));
    }
    if (!failure && !unsaved_.empty()) {
        failure = writeLocked();
    }
    if (!failure) {
        unsaved_.clear();
    }
    lastWriteError_ = std::move(failure);
    return changed;
}

std::optional<Error> FileUserDefaults::writeLocked() {
    auto text = internal::encodeDefaultsFile(values_);
    if (!text) {
        return text.error();
    }
    if (text->size() > kMaxFileBytes) {
        return Error{"the settings would be larger than the file limit"};
    }

    const std::filesystem::path target = writeTarget(file_);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string temporary = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return Error{errnoText("could not create a temporary file in", folder, errno)};
    }
    auto fail = [&](std::string_view what) {
        const int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return Error{errnoText(what, target, error)};
    };
    if (!writeAll(fd, *text)) {
        return fail("could not write");
    }
    // The data must be on disk before the rename makes it the file, or a crash
    // could leave an empty file in place of the settings.
    if (::fsync(fd) != 0) {
        return fail("could not flush");
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("could not replace");
    }
    if (const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folderFd >= 0) {
        ::fsync(folderFd);  // makes the rename itself durable; best effort
        ::close(folderFd);
    }

    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        closeQuietly(std::exchange(heldFd_, fd));
        snapshot_ = Snapshot::file;
        identity_ = identityOf<FileIdentity>(st);
    } else {
        ::close(fd);
        snapshot_ = Snapshot::none;  // the next read decodes the file again
    }
    return std::nullopt;
}

std::map<std::string, DefaultsValue> FileUserDefaults::readOnlySnapshot(
    const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat st {};
    std::string text;
    const bool readable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                          static_cast<std::uint64_t>(st.st_size) <= kMaxFileBytes &&
                          readWhole(fd, kMaxFileBytes, text) == ReadStatus::ok;
    ::close(fd);
    if (!readable) {
        return {};
    }
    auto decoded = internal::decodeDefaultsFile(text);
    if (!decoded) {
        return {};
    }
    return {std::make_move_iterator(decoded->begin()), std::make_move_iterator(decoded->end())};
}

}  // namespace scourlet
