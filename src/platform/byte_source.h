#pragma once

// A sequence of bytes read front to back: a file, or bytes already in memory. Parsers of
// stored records read through it, so a file is read straight into the records it fills.

#include <algorithm>
#include <cstdint>
#include <span>

namespace kv {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Fills out completely and returns true, or returns false when fewer bytes remain (what
    // out then holds is unspecified).
    virtual bool read(std::span<std::uint8_t> out) = 0;

    // The next n bytes in place, valid until the next call, or an empty span when the source
    // cannot lend that many at once or fewer remain (read() them then). Saves a copy when
    // records are decoded straight from the source.
    virtual std::span<const std::uint8_t> borrow(std::size_t n) = 0;

    // Fills parts one after another, as one read of their total size would, and returns how
    // many bytes it filled: fewer than their total only where the source ends. A file fills
    // them straight from the system, so records are read into place without a copy in between.
    virtual std::uint64_t readScattered(std::span<const std::span<std::uint8_t>> parts) = 0;

    // Gives back the last n bytes the previous readScattered filled (n at most what it
    // returned), so that they are read again: for a parser that read ahead on a guess.
    virtual void unread(std::size_t n) = 0;

    // Bytes left to read, so a parser can check a count before it allocates for it.
    virtual std::uint64_t remaining() const = 0;
};

class SpanSource : public ByteSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool read(std::span<std::uint8_t> out) override {
        if (out.size() > m_bytes.size()) {
            m_bytes = {};
            return false;
        }
        std::copy_n(m_bytes.begin(), out.size(), out.begin());
        m_bytes = m_bytes.subspan(out.size());
        return true;
    }

    std::span<const std::uint8_t> borrow(std::size_t n) override {
        if (n > m_bytes.size()) {
            return {};
        }
        const auto lent = m_bytes.first(n);
        m_bytes = m_bytes.subspan(n);
        return lent;
    }

    std::uint64_t readScattered(std::span<const std::span<std::uint8_t>> parts) override {
        std::uint64_t filled = 0;
        for (const std::span<std::uint8_t> part : parts) {
            const std::size_t n = std::min(part.size(), m_bytes.size());
            std::copy_n(m_bytes.begin(), n, part.begin());
            m_bytes = m_bytes.subspan(n);
            filled += n;
        }
        return filled;
    }

    // The bytes given back lie just before the rest, in the span the source was made of.
    void unread(std::size_t n) override { m_bytes = {m_bytes.data() - n, m_bytes.size() + n}; }

    std::uint64_t remaining() const override { return m_bytes.size(); }

private:
    std::span<const std::uint8_t> m_bytes;
};

} // namespace kv
