#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace kv {

namespace {

// strerror_r in either of its forms: the GNU one returns the text, the POSIX one fills buffer.
[[maybe_unused]] const char* reasonText(const char* text, const char* /*buffer*/) {
    return text;
}
[[maybe_unused]] const char* reasonText(int /*status*/, const char* buffer) {
    return buffer;
}

// Thread-safe: a cyclic series writes its files from the acquisition worker.
std::string systemReason(int error) {
    char buffer[256] = "";
    return reasonText(strerror_r(error, buffer, sizeof buffer), buffer);
}

std::string notRegularReason(mode_t mode) {
    return S_ISDIR(mode) ? systemReason(EISDIR) : "Not a regular file (a device, FIFO or socket)";
}

FileStamp stampFrom(const struct stat& info) {
    return {.device = static_cast<std::uint64_t>(info.st_dev),
            .inode = static_cast<std::uint64_t>(info.st_ino),
            .size = static_cast<std::uint64_t>(info.st_size),
            .modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                          info.st_mtim.tv_nsec};
}

bool isRegular(int descriptor) {
    struct stat info {};
    return ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
}

// Whether name still leads to the file open as descriptor: another writer may have renamed
// or removed it between our open and our lock.
bool stillNamed(const std::string& name, int descriptor) {
    struct stat named {};
    struct stat open {};
    return ::stat(name.c_str(), &named) == 0 && ::fstat(descriptor, &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

// Filesystems without advisory locks still get their saves, unlocked; on NFS a lock also needs
// the file open for writing (EBADF otherwise).
bool locksUnsupported(int error) {
    return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EBADF;
}

// 0 when locked, else the error; waits only when asked to.
int lockExclusively(int descriptor, LockWait wait) {
    const int operation = LOCK_EX | (wait == LockWait::No ? LOCK_NB : 0);
    while (::flock(descriptor, operation) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

} // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return stampFrom(info);
}

std::optional<FileReader> FileReader::open(const std::string& path, std::string* reason) {
    const auto refuse = [reason](std::string why) {
        if (reason != nullptr) {
            *reason = std::move(why);
        }
        return std::nullopt;
    };
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return refuse(systemReason(errno));
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(descriptor);
        return refuse(info.st_mode != 0 ? notRegularReason(info.st_mode) : systemReason(error));
    }
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    return FileReader(descriptor, stampFrom(info));
}

FileReader::FileReader(int descriptor, const FileStamp& stamp)
    : m_descriptor(descriptor), m_remaining(stamp.size), m_stamp(stamp) {}

FileReader::FileReader(FileReader&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_buffer(std::move(other.m_buffer)),
      m_begin(other.m_begin), m_end(other.m_end), m_remaining(other.m_remaining),
      m_stamp(other.m_stamp) {}

FileReader::~FileReader() {
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
    }
}

std::size_t FileReader::readDirect(std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(m_descriptor, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void FileReader::fill(std::size_t n) {
    if (buffered() >= n) {
        return;
    }
    if (!m_buffer) {
        // Not zeroed: only the bytes the file fills are ever read.
        m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize);
    }
    std::copy(m_buffer.get() + m_begin, m_buffer.get() + m_end, m_buffer.get());
    m_end -= m_begin;
    m_begin = 0;
    // Read ahead a little for the small reads that follow, but not so much that records read
    // straight into place by readScattered would come through the buffer instead.
    const std::size_t wanted = std::max(n, kReadAhead);
    while (m_end < n) {
        const std::size_t got = readDirect(std::span(m_buffer.get() + m_end, wanted - m_end));
        if (got == 0) {
            return;
        }
        m_end += got;
    }
}

void FileReader::consume(std::size_t n) {
    m_begin += n;
    m_remaining -= std::min<std::uint64_t>(n, m_remaining);
}

bool FileReader::read(std::span<std::uint8_t> out) {
    const std::size_t fromBuffer = std::min(out.size(), buffered());
    std::copy_n(m_buffer.get() + m_begin, fromBuffer, out.begin());
    consume(fromBuffer);
    const auto rest = out.subspan(fromBuffer);
    if (rest.empty()) {
        return true;
    }
    if (rest.size() >= kBufferSize / 2) {
        const std::size_t got = readDirect(rest);
        m_remaining -= std::min<std::uint64_t>(got, m_remaining);
        return got == rest.size();
    }
    fill(rest.size());
    const std::size_t got = std::min(rest.size(), buffered());
    std::copy_n(m_buffer.get() + m_begin, got, rest.begin());
    consume(got);
    return got == rest.size();
}

std::span<const std::uint8_t> FileReader::borrow(std::size_t n) {
    if (n > kBufferSize) {
        return {};
    }
    fill(n);
    if (buffered() < n) {
        return {};
    }
    const auto lent = std::span<const std::uint8_t>(m_buffer.get() + m_begin, n);
    consume(n);
    return lent;
}

std::uint64_t FileReader::readScattered(std::span<const std::span<std::uint8_t>> parts) {
    std::uint64_t filled = 0;
    std::size_t part = 0;
    std::size_t offset = 0; // into parts[part]
    const auto advance = [&](std::size_t n) {
        filled += n;
        offset += n;
        while (part < parts.size() && offset >= parts[part].size()) {
            offset -= parts[part].size();
            ++part;
        }
    };
    advance(0); // past leading empty parts
    while (part < parts.size() && buffered() > 0) {
        const std::size_t n = std::min(parts[part].size() - offset, buffered());
        std::copy_n(m_buffer.get() + m_begin, n,
                    parts[part].begin() + static_cast<std::ptrdiff_t>(offset));
        consume(n);
        advance(n);
    }
    if (part == parts.size()) {
        return filled;
    }
    // The buffer is empty: the rest comes straight from the file, many parts per call.
    m_begin = m_end = 0;
    std::array<::iovec, IOV_MAX> vectors{};
    while (part < parts.size()) {
        const std::size_t count = std::min(parts.size() - part, vectors.size());
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t skip = k == 0 ? offset : 0;
            vectors[k].iov_base = parts[part + k].data() + skip;
            vectors[k].iov_len = parts[part + k].size() - skip;
        }
        const ssize_t n = ::readv(m_descriptor, vectors.data(), static_cast<int>(count));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        m_remaining -= std::min<std::uint64_t>(static_cast<std::uint64_t>(n), m_remaining);
        advance(static_cast<std::size_t>(n));
    }
    return filled;
}

void FileReader::unread(std::size_t n) {
    m_remaining += n;
    // Bytes the last read took from the buffer are still there; bytes it read straight from
    // the file (the buffer is empty then) are read again from the file.
    if (n <= m_begin) {
        m_begin -= n;
        return;
    }
    ::lseek(m_descriptor, -static_cast<off_t>(n), SEEK_CUR);
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                       std::string* reason) {
    return readFileStart(path, std::numeric_limits<std::size_t>::max(), reason);
}

std::optional<std::vector<std::uint8_t>> readFileStart(const std::string& path, std::size_t limit,
                                                       std::string* reason) {
    auto file = FileReader::open(path, reason);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(std::min<std::uint64_t>(file->remaining(), limit));
    if (!file->read(bytes)) {
        if (reason != nullptr) {
            *reason = systemReason(EIO);
        }
        return std::nullopt;
    }
    return bytes;
}

namespace {

// Where a save of a path goes, or why it must not be written.
struct WriteTarget {
    std::string path;
    std::string refusal;
};

// Symbolic links in the last component are followed here (the kernel follows those of the
// directories), so a save through a link replaces the file it points to, and a link to
// nothing creates the file it names. Anything but a regular file or a free name is refused.
WriteTarget writeTargetOf(std::string path) {
    if (path.empty()) {
        return {path, systemReason(ENOENT)};
    }
    constexpr int kMaxLinks = 40; // as the kernel allows in one lookup
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            return {path, errno == ENOENT ? std::string() : systemReason(errno)};
        }
        if (!S_ISLNK(info.st_mode)) {
            return {path, S_ISREG(info.st_mode) ? std::string() : notRegularReason(info.st_mode)};
        }
        char link[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), link, sizeof link);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof link) {
            return {path, systemReason(length < 0 ? errno : ENAMETOOLONG)};
        }
        const std::string target(link, static_cast<std::size_t>(length));
        // A relative link is relative to the directory that holds it.
        path = target.starts_with('/') ? std::string() : directoryOf(path);
        path += target;
    }
    return {path, systemReason(ELOOP)};
}

// The start of a hidden name beside target that only this target's saves use: its name cut
// short (every legal name must leave room) and a hash of the whole name, so targets that
// share the short part do not share these files.
std::string hiddenStemOf(const std::string& target) {
    const std::string name = fileNameOf(target);
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    }
    constexpr std::size_t kShownBytes = 32;
    std::size_t shown = std::min(name.size(), kShownBytes);
    // Cut before a UTF-8 continuation byte, so the name stays readable text.
    while (shown > 0 && shown < name.size() &&
           (static_cast<std::uint8_t>(name[shown]) & 0xC0) == 0x80) {
        --shown;
    }
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(hash));
    return directoryOf(target) + "." + name.substr(0, shown) + "." + hex;
}

std::string lockFileOf(const std::string& target) {
    return hiddenStemOf(target) + ".lock";
}

// Opens the file at path (a regular file, not through a link) to hold a lock on it.
int openToLock(const std::string& path) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int descriptor = ::open(path.c_str(), O_RDWR | flags);
    if (descriptor < 0 && errno == EACCES) {
        descriptor = ::open(path.c_str(), O_RDONLY | flags);
    }
    return descriptor;
}

// Removes a hidden file of a target's saves when no writer holds it: what an interrupted
// save or lock left behind. True when nothing is left at path.
bool removeIfAbandoned(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOENT;
    }
    const bool abandoned = isRegular(descriptor) &&
                           lockExclusively(descriptor, LockWait::No) == 0 &&
                           stillNamed(path, descriptor) && ::unlink(path.c_str()) == 0;
    ::close(descriptor);
    return abandoned;
}

struct Temporary {
    int descriptor = -1;
    int slot = 0;
    std::string path;
    std::string failure;
};

// A new temporary file beside target, locked against other writers and the removal of
// leftovers. A slot that an interrupted save left is cleared first; one a live writer holds
// (or anything not ours) is passed over.
Temporary claimTemporary(const std::string& target) {
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        const std::string path = temporaryPathOf(target, slot);
        for (int attempt = 0; attempt < 100; ++attempt) {
            const int descriptor =
                ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (descriptor < 0) {
                if (errno != EEXIST) {
                    return {
                        .descriptor = -1, .slot = slot, .path = {}, .failure = systemReason(errno)};
                }
                if (!removeIfAbandoned(path)) {
                    break;
                }
                continue;
            }
            // Ours alone, but the removal of leftovers by another save may hold it an instant
            // and take it away.
            const int locked = lockExclusively(descriptor, LockWait::Yes);
            if ((locked == 0 || locksUnsupported(locked)) && stillNamed(path, descriptor)) {
                return {.descriptor = descriptor, .slot = slot, .path = path, .failure = {}};
            }
            ::close(descriptor);
        }
    }
    return {.descriptor = -1, .slot = 0, .path = {}, .failure = systemReason(EBUSY)};
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes bytes, flushes them to the disk and closes fd: 0, or the errno of the first failure.
int writeFlushAndClose(int fd, std::span<const std::uint8_t> bytes) {
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        return written ? errno : writeError;
    }
    return 0;
}

// Makes the rename itself durable; failure here does not undo a completed write.
void flushDirectoryOf(const std::string& path) {
    const std::string directory = directoryOf(path);
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::string temporaryPathOf(const std::string& target, int slot) {
    return hiddenStemOf(target) + ".tmp" + std::to_string(slot);
}

LockAttempt FileLock::acquire(const std::string& path, LockWait wait) {
    const WriteTarget target = writeTargetOf(path);
    if (!target.refusal.empty()) {
        return {.state = LockState::Failed, .lock = {}, .reason = target.refusal};
    }
    // Lock what stands at the name, then check that it still does: the writer we waited for
    // has usually replaced the file (or created it) meanwhile, and then we lock that one.
    for (;;) {
        std::string lockFile;
        int descriptor = openToLock(target.path);
        if (descriptor < 0 && errno == ENOENT) {
            lockFile = lockFileOf(target.path);
            descriptor = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        }
        if (descriptor < 0) {
            return {.state = LockState::Failed, .lock = {}, .reason = systemReason(errno)};
        }
        struct stat info {};
        if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(descriptor);
            return {
                .state = LockState::Failed, .lock = {}, .reason = notRegularReason(info.st_mode)};
        }
        const int locked = lockExclusively(descriptor, wait);
        if (locked != 0 && !locksUnsupported(locked)) {
            ::close(descriptor);
            return locked == EWOULDBLOCK
                       ? LockAttempt{.state = LockState::Busy, .lock = {}, .reason = {}}
                       : LockAttempt{.state = LockState::Failed,
                                     .lock = {},
                                     .reason = systemReason(locked)};
        }
        const bool current = lockFile.empty() ? stillNamed(target.path, descriptor)
                                              : stillNamed(lockFile, descriptor) &&
                                                    !stampOf(target.path).has_value();
        if (current) {
            return {.state = LockState::Locked,
                    .lock = FileLock(descriptor, target.path, std::move(lockFile)),
                    .reason = {}};
        }
        ::close(descriptor);
    }
}

FileLock::FileLock(int descriptor, std::string target, std::string lockFile)
    : m_descriptor(descriptor), m_target(std::move(target)), m_lockFile(std::move(lockFile)) {}

FileLock::FileLock(FileLock&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_target(std::move(other.m_target)),
      m_lockFile(std::move(other.m_lockFile)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        adopt(std::exchange(other.m_descriptor, -1));
        m_target = std::move(other.m_target);
        m_lockFile = std::move(other.m_lockFile);
    }
    return *this;
}

FileLock::~FileLock() {
    adopt(-1);
}

bool FileLock::isFor(const std::string& path) const {
    return writeTargetOf(path).path == m_target;
}

void FileLock::adopt(int descriptor) {
    if (m_descriptor >= 0) {
        // The lock file goes while it is still held, so a writer waiting on it finds it gone
        // and looks again.
        if (!m_lockFile.empty()) {
            ::unlink(m_lockFile.c_str());
        }
        ::close(m_descriptor);
    }
    m_lockFile.clear();
    m_descriptor = descriptor;
}

WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                std::span<const std::uint8_t> bytes, FileLock* lock) {
    const WriteTarget target =
        lock != nullptr ? writeTargetOf(lock->target()) : writeTargetOf(requestedPath);
    if (!target.refusal.empty()) {
        return {.written = false, .reason = target.refusal, .stamp = {}};
    }
    const Temporary temporary = claimTemporary(target.path);
    if (temporary.descriptor < 0) {
        return {.written = false, .reason = temporary.failure, .stamp = {}};
    }
    const int fd = temporary.descriptor;
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat existing {};
    if (::stat(target.path.c_str(), &existing) == 0) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    struct stat written {};
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0 || ::fstat(fd, &written) != 0 ||
        ::rename(temporary.path.c_str(), target.path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.path.c_str());
        ::close(fd);
        return {.written = false, .reason = systemReason(error), .stamp = {}};
    }
    flushDirectoryOf(target.path);
    // The temporary file's lock is the new file's now: a writer waiting for the old one finds
    // it replaced and waits for this one.
    if (lock != nullptr) {
        lock->adopt(fd);
    } else {
        ::close(fd);
    }
    for (int slot = 0; slot < kTemporarySlots; ++slot) {
        if (slot != temporary.slot) {
            removeIfAbandoned(temporaryPathOf(target.path, slot));
        }
    }
    removeIfAbandoned(lockFileOf(target.path));
    return {.written = true, .reason = {}, .stamp = stampFrom(written)};
}

WriteOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return {.written = false, .reason = systemReason(errno), .stamp = {}};
    }
    if (const int error = writeFlushAndClose(fd, bytes); error != 0) {
        ::unlink(path.c_str());
        return {.written = false, .reason = systemReason(error), .stamp = {}};
    }
    flushDirectoryOf(path);
    return {.written = true, .reason = {}, .stamp = {}};
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace kv
