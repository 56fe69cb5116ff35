#pragma once

// Bounds-checked little-endian readers and writers for every stored or exchanged record.
// Records are never read or written as C++ structs: each field goes through these, so the
// byte layout is the same on any host and a short buffer is detected instead of overrun.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace kv {

// Turns int32 values whose bytes were copied from a little-endian record into the host's
// order, in place: nothing to do on a little-endian host.
inline void fromLittleEndianInPlace(std::span<std::int32_t> values) {
    if constexpr (std::endian::native != std::endian::little) {
        for (std::int32_t& v : values) {
            const auto u = static_cast<std::uint32_t>(v);
            v = static_cast<std::int32_t>((u >> 24) | ((u >> 8) & 0xff00u) |
                                          ((u << 8) & 0xff0000u) | (u << 24));
        }
    }
}

// Reads fields one after another. Every read past the end yields zero and clears ok(), so
// a decoder can read a whole record and check once at the end.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_bytes.size() - m_pos; }

    void seek(std::size_t offset) {
        if (offset > m_bytes.size()) {
            m_ok = false;
            m_pos = m_bytes.size();
        } else {
            m_pos = offset;
        }
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedLe(1)); }
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::uint16_t u16le() { return static_cast<std::uint16_t>(unsignedLe(2)); }
    std::uint32_t u32le() { return static_cast<std::uint32_t>(unsignedLe(4)); }
    std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
    double f64le() { return std::bit_cast<double>(unsignedLe(8)); }

    // Copies out.size() bytes; on a short buffer copies nothing and fills zeros.
    void bytes(std::span<std::uint8_t> out) {
        const std::uint8_t* from = take(out.size());
        if (from) {
            std::copy_n(from, out.size(), out.begin());
        } else {
            std::fill(out.begin(), out.end(), std::uint8_t{0});
        }
    }

    // A view of the next n bytes, or an empty span (and !ok()) when fewer remain.
    std::span<const std::uint8_t> view(std::size_t n) {
        const std::uint8_t* from = take(n);
        return from ? std::span<const std::uint8_t>(from, n) : std::span<const std::uint8_t>{};
    }

    // Reads count little-endian int32 values into out.
    void i32leArray(std::span<std::int32_t> out) {
        const std::uint8_t* from = take(out.size() * 4);
        if (!from) {
            std::fill(out.begin(), out.end(), 0);
            return;
        }
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out.data(), from, out.size() * 4);
        } else {
            for (std::size_t i = 0; i < out.size(); ++i) {
                out[i] = static_cast<std::int32_t>(decode(from + 4 * i, 4));
            }
        }
    }

private:
    const std::uint8_t* take(std::size_t n) {
        if (!m_ok || n > remaining()) {
            m_ok = false;
            return nullptr;
        }
        const std::uint8_t* from = m_bytes.data() + m_pos;
        m_pos += n;
        return from;
    }

    static std::uint64_t decode(const std::uint8_t* from, std::size_t n) {
        std::uint64_t value = 0;
        for (std::size_t i = n; i-- > 0;) {
            value = (value << 8) | from[i];
        }
        return value;
    }

    std::uint64_t unsignedLe(std::size_t n) {
        const std::uint8_t* from = take(n);
        return from ? decode(from, n) : 0;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Writes fields one after another into a buffer of fixed size. A write past the end writes
// nothing and clears ok(); encoders size their buffer exactly, so this only guards mistakes.
class ByteWriter {
public:
    explicit ByteWriter(std::span<std::uint8_t> out) : m_out(out) {}

    bool ok() const { return m_ok; }
    std::size_t position() const { return m_pos; }

    void seek(std::size_t offset) {
        if (offset > m_out.size()) {
            m_ok = false;
            m_pos = m_out.size();
        } else {
            m_pos = offset;
        }
    }

    void u8(std::uint8_t v) { unsignedLe(v, 1); }
    void i8(std::int8_t v) { u8(static_cast<std::uint8_t>(v)); }
    void u16le(std::uint16_t v) { unsignedLe(v, 2); }
    void u32le(std::uint32_t v) { unsignedLe(v, 4); }
    void i32le(std::int32_t v) { u32le(static_cast<std::uint32_t>(v)); }
    void f64le(double v) { unsignedLe(std::bit_cast<std::uint64_t>(v), 8); }

    void bytes(std::span<const std::uint8_t> in) {
        std::uint8_t* to = take(in.size());
        if (to) {
            std::copy(in.begin(), in.end(), to);
        }
    }

    // Writes text into a zero-padded field of fieldSize bytes, cut so a terminating zero fits.
    void text(std::string_view value, std::size_t fieldSize) {
        std::uint8_t* to = take(fieldSize);
        if (!to || fieldSize == 0) {
            return;
        }
        const std::size_t n = std::min(value.size(), fieldSize - 1);
        std::memcpy(to, value.data(), n);
        std::memset(to + n, 0, fieldSize - n);
    }

    void i32leArray(std::span<const std::int32_t> in) {
        std::uint8_t* to = take(in.size() * 4);
        if (!to) {
            return;
        }
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, in.data(), in.size() * 4);
        } else {
            for (std::size_t i = 0; i < in.size(); ++i) {
                encode(to + 4 * i, static_cast<std::uint32_t>(in[i]), 4);
            }
        }
    }

private:
    std::uint8_t* take(std::size_t n) {
        if (!m_ok || n > m_out.size() - m_pos) {
            m_ok = false;
            return nullptr;
        }
        std::uint8_t* to = m_out.data() + m_pos;
        m_pos += n;
        return to;
    }

    static void encode(std::uint8_t* to, std::uint64_t v, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            to[i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }

    void unsignedLe(std::uint64_t v, std::size_t n) {
        std::uint8_t* to = take(n);
        if (to) {
            encode(to, v, n);
        }
    }

    std::span<std::uint8_t> m_out;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Text of a fixed-size, zero-terminated field: the bytes up to the first zero.
inline std::string textOfField(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

} // namespace kv
