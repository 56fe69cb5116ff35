#pragma once

// Whole-file reads and crash-safe whole-file writes. Only regular files are read or replaced:
// a device, FIFO, socket or directory is refused (without blocking), so reading a FIFO cannot
// hang and saving cannot rename a file over a device. Nothing here throws; failures come back
// with the system's reason.

#include "platform/byte_source.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

// Which file a path named and how it stood when it was read or written, so a writer can tell
// whether another program has replaced or rewritten it since.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0; // modification time, nanoseconds since the epoch

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file path names now (through symbolic links), or nothing when there is none.
std::optional<FileStamp> stampOf(const std::string& path);

// The whole contents of the file, or nothing when it cannot be opened or read; then reason,
// when given, receives why.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                       std::string* reason = nullptr);

// The first bytes of the file, at most limit of them, or nothing (and reason, as above) when it
// cannot be opened or read. For records of a fixed size: a larger file costs no more memory than
// the record.
std::optional<std::vector<std::uint8_t>> readFileStart(const std::string& path, std::size_t limit,
                                                       std::string* reason = nullptr);

// A file opened for reading front to back, through a buffer large enough that reading a
// file of many small records takes a handful of system calls.
class FileReader : public ByteSource {
public:
    // Nothing when the file cannot be opened for reading (missing, no access, or not a regular
    // file); then reason, when given, receives why.
    static std::optional<FileReader> open(const std::string& path, std::string* reason = nullptr);

    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&&) = delete;
    ~FileReader() override;

    bool read(std::span<std::uint8_t> out) override;
    std::span<const std::uint8_t> borrow(std::size_t n) override;
    std::uint64_t readScattered(std::span<const std::span<std::uint8_t>> parts) override;
    void unread(std::size_t n) override;
    std::uint64_t remaining() const override { return m_remaining; }

    // The file as it was opened.
    const FileStamp& stamp() const { return m_stamp; }

private:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    static constexpr std::size_t kReadAhead = std::size_t{1} << 16;

    FileReader(int descriptor, const FileStamp& stamp);

    // Reads into out until it is full or the file ends; the number of bytes read.
    std::size_t readDirect(std::span<std::uint8_t> out);
    // Makes at least n bytes (n <= kBufferSize) available in the buffer where the file has them.
    void fill(std::size_t n);
    std::size_t buffered() const { return m_end - m_begin; }
    void consume(std::size_t n);

    int m_descriptor = -1;
    std::unique_ptr<std::uint8_t[]> m_buffer; // kBufferSize bytes once the first fill needs it
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::uint64_t m_remaining = 0;
    FileStamp m_stamp;
};

enum class LockWait { No, Yes };
enum class LockState { Locked, Busy, Failed };
struct LockAttempt;
class FileLock;
struct WriteOutcome;

WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                std::span<const std::uint8_t> bytes, FileLock* lock);

// An advisory lock that keeps the program's other writers (other copies, the command-line tool)
// out of one file while it is read, changed and written back. It names the file a path leads
// to through symbolic links and follows it when writeFileReplacing replaces the file. Before
// the file exists, a small hidden lock file beside it stands in; it goes once the file is
// written or the lock is released.
class FileLock {
public:
    // Locks the file path names (or the name, while nothing has it). With LockWait::No a file
    // another writer holds gives LockState::Busy at once; with LockWait::Yes it waits for it.
    // A path that can never be written (a name too long, a symbolic-link loop, not a regular
    // file) gives LockState::Failed with the reason.
    static LockAttempt acquire(const std::string& path, LockWait wait);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    ~FileLock();

    // The file the lock holds, its path with symbolic links followed.
    const std::string& target() const { return m_target; }
    // Whether path leads to the file this lock holds.
    bool isFor(const std::string& path) const;

private:
    friend WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                           std::span<const std::uint8_t> bytes, FileLock* lock);
    FileLock(int descriptor, std::string target, std::string lockFile);
    // Takes over the lock the writer holds on the file that has just replaced the target.
    void adopt(int descriptor);

    int m_descriptor = -1;
    std::string m_target;
    std::string m_lockFile; // while the target does not exist: the lock file held instead
};

struct LockAttempt {
    LockState state = LockState::Failed;
    std::optional<FileLock> lock; // when Locked
    std::string reason;           // when Failed: the system's description
};

struct WriteOutcome {
    bool written = false;
    std::string reason; // the system's description of the failure, empty on success
    FileStamp stamp;    // of the file written
};

// Writes bytes to a temporary file in the directory of requestedPath, flushes it to the disk
// and renames it over that target (through a symbolic link to the file it names). On any failure
// the temporary file is removed and the target is left exactly as it was. Only a regular file
// or a new name is written; anything else is refused and left alone. Temporary files that
// interrupted saves of the same target left behind are removed. With a lock (which must be for
// requestedPath) the lock moves to the new file.
WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                std::span<const std::uint8_t> bytes, FileLock* lock = nullptr);

// Where a save of target writes before it renames: a short hidden name beside it, so that
// every legal file name can be saved. Slot 0 unless other writers of the same target hold it
// (at most kTemporarySlots); a file there that no writer holds is what an interrupted save left.
inline constexpr int kTemporarySlots = 8;
std::string temporaryPathOf(const std::string& target, int slot);

// Writes bytes to a new file at path and flushes it to the disk. Refused when path names
// anything already, so nothing is ever replaced; on failure no file is left behind.
WriteOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// The directory part of a path with its trailing '/', or empty when it has none.
std::string directoryOf(const std::string& path);

// The file name without its directory, as window titles show it.
std::string fileNameOf(const std::string& path);

} // namespace kv
