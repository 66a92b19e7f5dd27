#include "ScourletCore/platform/FileUserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

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
    enum class Wait { yes, no };

    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { closeQuietly(fd_); }

    // With Wait::no, a lock that someone holds is an error (EWOULDBLOCK).
    std::optional<Error> acquire(const std::filesystem::path& path, Wait wait = Wait::yes) {
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
            const int operation = wait == Wait::yes ? LOCK_EX : LOCK_EX | LOCK_NB;
            int result = 0;
            while ((result = ::flock(fd, operation)) != 0 && errno == EINTR) {
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

// Replaces the file behind `file` with `text`: a temporary file beside it,
// fsync, rename. Returns the written file, still open, so that its identity
// can be taken; must run under the file lock.
Result<int, Error> replaceFile(const std::filesystem::path& file, std::string_view text) {
    const std::filesystem::path target = writeTarget(file);
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
    if (!writeAll(fd, text)) {
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
    return fd;
}

// The pause before the background writer retries a failed write; it doubles
// with every failure in a row, so a lasting failure (a read-only disk, a store
// over the size limit) costs little.
constexpr std::chrono::seconds kFirstRetryPause{1};
constexpr std::chrono::seconds kLongestRetryPause{60};

bool validSuiteName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

FileUserDefaults::FileUserDefaults(std::filesystem::path file)
    : file_(std::move(file)), lockFile_(file_.string() + ".lock"), retryPause_(kFirstRetryPause) {}

FileUserDefaults::~FileUserDefaults() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    flusherWake_.notify_all();
    if (flusher_.joinable()) {
        flusher_.join();
    }
    (void)synchronize();
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
    fileValues_ = values;
    for (const auto& [key, change] : pending_) {
        const auto it = values.find(key);
        std::optional<Json> value;
        if (change.replacement) {
            value = *change.replacement;
        } else if (it != values.end()) {
            value = std::move(it->second);
        }
        for (const auto& update : change.updates) {
            value = applyChange(*update.change, value);
        }
        if (value) {
            values.insert_or_assign(key, std::move(*value));
        } else if (it != values.end()) {
            values.erase(it);
        }
    }
    values_ = std::move(values);
}

bool FileUserDefaults::PendingChange::forgetWritten(std::uint64_t written) {
    if (generation <= written) {
        return false;
    }
    if (replacement && replacementGeneration <= written) {
        replacement.reset();
    }
    std::erase_if(updates, [written](const Update& u) { return u.generation <= written; });
    return true;
}

FileUserDefaults::LoadOutcome FileUserDefaults::refreshLocked(bool holdingFileLock) const {
    if (writeInFlight_) {
        return LoadOutcome::loaded;
    }
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
    // O_NONBLOCK keeps a FIFO at the path from hanging every read; a regular
    // file ignores it, and anything else is refused after fstat below.
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
    // again first: another writer may have replaced the file meanwhile. A
    // writer takes the file lock before mutex_, so waiting for the lock here,
    // under mutex_, could deadlock with one; when the lock is busy, the next
    // read (or the write under way) looks at the file again.
    if (!holdingFileLock) {
        FileLock lock;
        if (lock.acquire(lockFile_, FileLock::Wait::no)) {
            snapshot_ = Snapshot::none;
            return LoadOutcome::unreadable;
        }
        return loadLocked(true);
    }
    if (moveAside(file_)) {
        return LoadOutcome::unreadable;  // the file stays; nothing may overwrite it
    }
    forgetFileLocked();
    return LoadOutcome::loaded;
}

FileUserDefaults::PendingChange& FileUserDefaults::pendingChangeLocked(std::string_view key) {
    auto it = pending_.find(key);
    if (it == pending_.end()) {
        it = pending_.emplace(std::string(key), PendingChange{}).first;
    }
    it->second.generation = ++lastGeneration_;
    return it->second;
}

bool FileUserDefaults::scheduleWriteLocked(bool& wakeFlusher) {
    const auto now = SteadyClock::now();
    lastUnwrittenChange_ = now;
    if (!firstUnwrittenChange_) {
        firstUnwrittenChange_ = now;
        wakeFlusher = true;
    }
    if (!flusher_.joinable() && !stopping_) {
        try {
            flusher_ = std::thread([this] { runFlusher(); });
        } catch (const std::system_error&) {
            return true;  // no thread to spare: write as the change is made
        }
    }
    return false;
}

bool FileUserDefaults::storeValue(std::string_view key, std::optional<DefaultsValue> value) {
    return changeValues([&] {
        const auto it = values_.find(key);
        if (!value) {
            if (it == values_.end()) {
                return false;
            }
            values_.erase(it);
        } else if (it == values_.end()) {
            values_.emplace(std::string(key), *value);
        } else if (!internal::strictlyEqual(it->second, *value)) {
            it->second = *value;
        } else {
            return false;
        }

        PendingChange& pending = pendingChangeLocked(key);
        pending.replacement = std::move(value);
        pending.replacementGeneration = pending.generation;
        pending.updates.clear();  // the new value replaces what they made
        return true;
    });
}

bool FileUserDefaults::updateValue(std::string_view key,
                                   const std::shared_ptr<const DefaultsValueChange>& change) {
    return changeValues([&] {
        if (!applyChangeIn(values_, key, *change)) {
            return false;
        }
        PendingChange& pending = pendingChangeLocked(key);
        pending.updates.push_back({pending.generation, change});
        return true;
    });
}

bool FileUserDefaults::changeValues(const std::function<bool()>& change) {
    bool wakeFlusher = false;
    bool writeNow = false;
    {
        std::lock_guard lock(mutex_);
        (void)refreshLocked(false);
        if (!change()) {
            return false;
        }
        writeNow = scheduleWriteLocked(wakeFlusher);
    }
    if (wakeFlusher) {
        flusherWake_.notify_one();
    }
    if (writeNow) {
        (void)synchronize();
    }
    return true;
}

void FileUserDefaults::runFlusher() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        std::optional<SteadyClock::time_point> due;
        if (firstUnwrittenChange_) {
            due = std::min(lastUnwrittenChange_ + kFlushQuietDelay,
                           *firstUnwrittenChange_ + kFlushLatestDelay);
        }
        if (retryAt_ && (!due || *retryAt_ < *due)) {
            due = retryAt_;
        }
        if (!due) {
            flusherWake_.wait(lock);
        } else if (SteadyClock::now() < *due) {
            flusherWake_.wait_until(lock, *due);
        } else {
            lock.unlock();
            (void)synchronize();
            lock.lock();
        }
    }
}

bool FileUserDefaults::synchronize() {
    std::lock_guard writeLock(writeMutex_);
    {
        std::lock_guard lock(mutex_);
        // A change made from here on schedules a write of its own, which finds
        // nothing to do when this one takes the change up.
        firstUnwrittenChange_.reset();
        if (pending_.empty()) {
            retryAt_.reset();
            return true;
        }
    }

    // The file lock is taken without mutex_, so that reads and changes go on
    // while another process holds it.
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

    // The changes are applied to what the file holds now, under the lock, not
    // to what this object read earlier; the slow part (write, fsync, rename)
    // runs without mutex_.
    std::string text;
    internal::DefaultsMap writtenValues;
    std::vector<std::pair<std::string, std::uint64_t>> written;
    if (!failure) {
        std::lock_guard lock(mutex_);
        if (refreshLocked(true) == LoadOutcome::unreadable) {
            failure = Error{"could not read \"" + file_.string() + "\"; it was left unchanged"};
        } else if (auto encoded = internal::encodeDefaultsFile(values_); !encoded) {
            failure = encoded.error();
        } else if (encoded->size() > kMaxFileBytes) {
            failure = Error{"the settings would be larger than the file limit"};
        } else {
            text = std::move(*encoded);
            writeInFlight_ = true;
            writtenValues = values_;
            written.reserve(pending_.size());
            for (const auto& [key, change] : pending_) {
                written.emplace_back(key, change.generation);
            }
        }
    }
    std::optional<int> writtenFd;
    if (!failure) {
        auto replaced = replaceFile(file_, text);
        if (replaced) {
            writtenFd = *replaced;
        } else {
            failure = replaced.error();
        }
    }

    std::lock_guard lock(mutex_);
    writeInFlight_ = false;
    if (failure) {
        lastWriteError_ = std::move(failure);
        retryAt_ = SteadyClock::now() + retryPause_;
        retryPause_ = std::min<SteadyClock::duration>(retryPause_ * 2, kLongestRetryPause);
        return false;
    }
    // A key changed again during the write keeps its newer changes pending.
    for (const auto& [key, generation] : written) {
        if (auto it = pending_.find(key);
            it != pending_.end() && !it->second.forgetWritten(generation)) {
            pending_.erase(it);
        }
    }
    fileValues_ = std::move(writtenValues);
    adoptWrittenFileLocked(*writtenFd);
    lastWriteError_.reset();
    retryAt_.reset();
    retryPause_ = kFirstRetryPause;
    return true;
}

void FileUserDefaults::discardUnsavedChanges() {
    std::lock_guard writeLock(writeMutex_);
    std::lock_guard lock(mutex_);
    pending_.clear();
    firstUnwrittenChange_.reset();
    retryAt_.reset();
    retryPause_ = kFirstRetryPause;
    // Back to what the file held, then to what it holds now, if it can be read.
    replaceValuesLocked(fileValues_);
    (void)refreshLocked(false);
}

// Remembers the file just written as the one read last: it holds exactly the
// values this object has, apart from changes made during the write.
void FileUserDefaults::adoptWrittenFileLocked(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        closeQuietly(std::exchange(heldFd_, fd));
        snapshot_ = Snapshot::file;
        identity_ = identityOf<FileIdentity>(st);
    } else {
        ::close(fd);
        snapshot_ = Snapshot::none;  // the next read decodes the file again
    }
}

std::map<std::string, DefaultsValue> FileUserDefaults::readOnlySnapshot(
    const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
