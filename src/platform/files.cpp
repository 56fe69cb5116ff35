#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kv {

std::optional<FileReader> FileReader::open(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(descriptor, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(descriptor);
        return std::nullopt;
    }
    return FileReader(descriptor, static_cast<std::uint64_t>(info.st_size));
}

FileReader::FileReader(int descriptor, std::uint64_t size)
    : m_descriptor(descriptor), m_remaining(size) {}

FileReader::FileReader(FileReader&& other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1)), m_buffer(std::move(other.m_buffer)),
      m_begin(other.m_begin), m_end(other.m_end), m_remaining(other.m_remaining) {}

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
    if (m_buffer.empty()) {
        m_buffer.resize(kBufferSize);
    }
    std::copy(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_begin),
              m_buffer.begin() + static_cast<std::ptrdiff_t>(m_end), m_buffer.begin());
    m_end -= m_begin;
    m_begin = 0;
    // Read as much as the buffer takes, but stop once n bytes are there and the file has
    // nothing more at once.
    while (m_end < n) {
        const std::size_t got = readDirect(std::span(m_buffer).subspan(m_end, kBufferSize - m_end));
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
    std::copy_n(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_begin), fromBuffer, out.begin());
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
    std::copy_n(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_begin), got, rest.begin());
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
    const auto lent = std::span<const std::uint8_t>(m_buffer).subspan(m_begin, n);
    consume(n);
    return lent;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path) {
    auto file = FileReader::open(path);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(file->remaining());
    if (!file->read(bytes)) {
        return std::nullopt;
    }
    return bytes;
}

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

// The file a path names: a symbolic link is followed, so saving through it replaces the file
// it points to rather than the link.
std::string resolvedTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code error;
        const auto target = std::filesystem::weakly_canonical(path, error);
        if (!error) {
            return target.string();
        }
    }
    return path;
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

WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                std::span<const std::uint8_t> bytes) {
    const std::string path = resolvedTarget(requestedPath);
    std::string temporary = directoryOf(path) + "." + fileNameOf(path) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return {false, systemReason(errno)};
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    if (const int error = writeFlushAndClose(fd, bytes); error != 0) {
        ::unlink(temporary.c_str());
        return {false, systemReason(error)};
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return {false, systemReason(error)};
    }
    flushDirectoryOf(path);
    return {true, {}};
}

WriteOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return {false, systemReason(errno)};
    }
    if (const int error = writeFlushAndClose(fd, bytes); error != 0) {
        ::unlink(path.c_str());
        return {false, systemReason(error)};
    }
    flushDirectoryOf(path);
    return {true, {}};
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
