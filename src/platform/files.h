#pragma once

// Whole-file reads and crash-safe whole-file writes.

#include "platform/byte_source.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

// The whole contents of the file, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// A file opened for reading front to back, through a buffer large enough that reading a
// file of many small records takes a handful of system calls.
class FileReader : public ByteSource {
public:
    // Nothing when the file cannot be opened for reading (missing, a directory, no access).
    static std::optional<FileReader> open(const std::string& path);

    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&&) = delete;
    ~FileReader() override;

    bool read(std::span<std::uint8_t> out) override;
    std::span<const std::uint8_t> borrow(std::size_t n) override;
    std::uint64_t remaining() const override { return m_remaining; }

private:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;

    FileReader(int descriptor, std::uint64_t size);

    // Reads into out until it is full or the file ends; the number of bytes read.
    std::size_t readDirect(std::span<std::uint8_t> out);
    // Makes at least n bytes (n <= kBufferSize) available in the buffer where the file has them.
    void fill(std::size_t n);
    std::size_t buffered() const { return m_end - m_begin; }
    void consume(std::size_t n);

    int m_descriptor = -1;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    std::uint64_t m_remaining = 0;
};

struct WriteOutcome {
    bool written = false;
    std::string reason; // the system's description of the failure, empty on success
};

// Writes bytes to a new temporary file in the directory of requestedPath, flushes it to the disk
// and renames it over that target (through a symbolic link to the file it names). On any failure
// the temporary file is removed and the target is left exactly as it was.
WriteOutcome writeFileReplacing(const std::string& requestedPath,
                                std::span<const std::uint8_t> bytes);

// Writes bytes to a new file at path and flushes it to the disk. Refused when path names
// anything already, so nothing is ever replaced; on failure no file is left behind.
WriteOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// The directory part of a path with its trailing '/', or empty when it has none.
std::string directoryOf(const std::string& path);

// The file name without its directory, as window titles show it.
std::string fileNameOf(const std::string& path);

} // namespace kv
