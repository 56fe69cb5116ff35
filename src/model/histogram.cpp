#include "model/histogram.h"

#include "model/byte_io.h"

#include <algorithm>

namespace kv {

namespace {

void writeTime(ByteWriter& w, const SystemTime& t) {
    for (const std::uint16_t v :
         {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds}) {
        w.u16le(v);
    }
}

SystemTime readTime(ByteReader& r) {
    SystemTime t;
    for (std::uint16_t* v : {&t.year, &t.month, &t.dayOfWeek, &t.day, &t.hour, &t.minute, &t.second,
                             &t.milliseconds}) {
        *v = r.u16le();
    }
    return t;
}

// Little-endian int32 values read in place from bytes, so a vector can be built from them
// without first being zero-filled.
class Int32LeIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = std::int32_t;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::int32_t;

    explicit Int32LeIterator(const std::uint8_t* at) : m_at(at) {}

    std::int32_t operator*() const {
        return static_cast<std::int32_t>(std::uint32_t{m_at[0]} | std::uint32_t{m_at[1]} << 8 |
                                         std::uint32_t{m_at[2]} << 16 |
                                         std::uint32_t{m_at[3]} << 24);
    }
    Int32LeIterator& operator++() {
        m_at += 4;
        return *this;
    }
    Int32LeIterator operator++(int) {
        const Int32LeIterator before = *this;
        m_at += 4;
        return before;
    }
    Int32LeIterator& operator--() {
        m_at -= 4;
        return *this;
    }
    Int32LeIterator& operator+=(difference_type n) {
        m_at += 4 * n;
        return *this;
    }
    friend difference_type operator-(Int32LeIterator a, Int32LeIterator b) {
        return (a.m_at - b.m_at) / 4;
    }
    friend bool operator==(Int32LeIterator a, Int32LeIterator b) { return a.m_at == b.m_at; }

private:
    const std::uint8_t* m_at;
};

void decodeHeader(std::span<const std::uint8_t> header, Histogram& out) {
    ByteReader r(header);
    out.kind = r.i32le();
    r.bytes(out.name.bytes());
    r.bytes(out.comment.bytes());
    out.created = readTime(r);
    r.bytes(out.reserved);
    out.total = r.u32le();
    out.exposure = r.f64le();
}

} // namespace

void encodeHistogram(const Histogram& h, std::span<std::uint8_t> out) {
    ByteWriter w(out);
    w.i32le(h.kind);
    w.bytes(h.name.bytes());
    w.bytes(h.comment.bytes());
    writeTime(w, h.created);
    w.bytes(h.reserved);
    w.u32le(h.total);
    w.f64le(h.exposure);
    w.i32leArray(h.channels);
}

bool readHistogram(ByteSource& source, std::int32_t channelCount, Histogram& out) {
    std::array<std::uint8_t, kHistogramHeaderSize> header;
    if (!source.read(header)) {
        return false;
    }
    decodeHeader(header, out);

    const auto count = static_cast<std::size_t>(channelCount);
    const auto lent = source.borrow(4 * count);
    if (!lent.empty()) {
        out.channels.assign(Int32LeIterator(lent.data()), Int32LeIterator(lent.data() + 4 * count));
        return true;
    }
    out.channels.resize(count);
    std::vector<std::uint8_t> bytes(4 * count);
    if (!source.read(bytes)) {
        return false;
    }
    std::copy(Int32LeIterator(bytes.data()), Int32LeIterator(bytes.data() + bytes.size()),
              out.channels.begin());
    return true;
}

std::uint32_t sumChannels(const Histogram& h, std::int32_t a, std::int32_t b) {
    const auto last = static_cast<std::int32_t>(h.channels.size()) - 1;
    a = std::clamp(a, 0, std::max(last, 0));
    b = std::min(b, last);
    std::uint32_t sum = 0;
    for (std::int32_t i = a; i <= b; ++i) {
        sum += static_cast<std::uint32_t>(h.channels[static_cast<std::size_t>(i)]);
    }
    return sum;
}

RangeMoments rangeMoments(const Histogram& h, std::int32_t first, std::int32_t last) {
    RangeMoments m;
    m.sum = sumChannels(h, first, last);
    if (m.sum == 0) {
        return m;
    }
    const auto top = static_cast<std::int32_t>(h.channels.size()) - 1;
    first = std::max(first, 0);
    last = std::min(last, top);
    double firstMoment = 0.0;
    double secondMoment = 0.0;
    for (std::int32_t i = first; i <= last; ++i) {
        const double count = h.channels[static_cast<std::size_t>(i)];
        firstMoment += i * count;
        secondMoment += static_cast<double>(i) * i * count;
    }
    const double sum = m.sum;
    m.mean = firstMoment / sum;
    m.variance = secondMoment / sum - m.mean * m.mean;
    return m;
}

} // namespace kv
