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

void decodeHistogramHeader(std::span<const std::uint8_t> header, Histogram& out) {
    ByteReader r(header);
    out.kind = r.i32le();
    r.bytes(out.name.bytes());
    r.bytes(out.comment.bytes());
    out.created = readTime(r);
    r.bytes(out.reserved);
    out.total = r.u32le();
    out.exposure = r.f64le();
}

bool readHistogram(ByteSource& source, std::int32_t channelCount, Histogram& out) {
    std::array<std::uint8_t, kHistogramHeaderSize> header;
    if (!source.read(header)) {
        return false;
    }
    decodeHistogramHeader(header, out);

    // The counts go straight from the source's buffer into the record: a copy, no decoding
    // pass, on hosts whose order is the file's.
    const auto count = static_cast<std::size_t>(channelCount);
    out.channels.resizeForOverwrite(count);
    const auto lent = source.borrow(4 * count);
    if (!lent.empty()) {
        ByteReader(lent).i32leArray(out.channels);
        return true;
    }
    // A record larger than the source lends at once (over 1 MiB).
    std::vector<std::uint8_t> bytes(4 * count);
    if (!source.read(bytes)) {
        out.channels.clear();
        return false;
    }
    ByteReader(bytes).i32leArray(out.channels);
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

std::uint32_t sumAllChannels(const Histogram& h) {
    return sumChannels(h, 0, static_cast<std::int32_t>(h.channels.size()) - 1);
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
