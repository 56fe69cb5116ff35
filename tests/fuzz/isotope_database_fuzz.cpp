// The isotope line database (SPECTORS.DAT). The reader must keep every whole record up to the
// first damage or the table's capacity and say which of the two stopped it; each record kept
// re-encodes to its bytes (the name as the codec writes it), names stay within their 14 bytes.
// Saving orders lines by intensity, ties and NaN where the exchange sort has always left them,
// and reads back as saved; the library text that "db export" writes reads back as the same
// records.

#include "analysis/exchange_sort.h"
#include "analysis/isotope_database.h"
#include "fuzz_checks.h"
#include "model/byte_io.h"

#include <algorithm>

namespace {

using kv::fuzz::require;

// True when no whole record starts at offset: fewer than 2 bytes, a negative line count, or
// fewer bytes than the record holds.
bool recordIsIncomplete(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (bytes.size() - offset < 2) {
        return true;
    }
    const auto count = static_cast<std::int16_t>(kv::ByteReader(bytes.subspan(offset, 2)).u16le());
    return count < 0 ||
           bytes.size() - offset < kv::kIsotopeRecordHeaderSize +
                                       kv::kIsotopeLineSize * static_cast<std::size_t>(count);
}

// The record's stored bytes as the codec writes them back: the name up to its first zero,
// and never its 15th byte, zero-filled.
std::vector<std::uint8_t> asWrittenBack(std::span<const std::uint8_t> stored) {
    std::vector<std::uint8_t> bytes(stored.begin(), stored.end());
    const auto name = bytes.begin() + 2;
    const auto end = std::find(name, name + kv::kMaxIsotopeNameLength, std::uint8_t{0});
    std::fill(end, name + kv::kIsotopeNameFieldSize, std::uint8_t{0});
    return bytes;
}

// The record as saving stores it, sorted by the exchange sort itself, which saving replaces
// with a faster sort of the same order.
kv::IsotopeRecord exchangeSorted(kv::IsotopeRecord record) {
    auto& lines = record.lines;
    kv::exchangeSort(
        lines.size(),
        [&](std::size_t i, std::size_t j) { return lines[i].intensity < lines[j].intensity; },
        [&](std::size_t i, std::size_t j) { std::swap(lines[i], lines[j]); });
    return record;
}

// Beyond this many lines the exchange sort's square time would slow the run down.
constexpr std::size_t kMaxLinesToExchangeSort = 2000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = kv::fuzz::bytesOf(data, size);
    const kv::LoadedDatabase loaded = kv::parseDatabase(input);
    const kv::IsotopeDatabase& database = loaded.database;
    require(!database.changed(), "a database read counts as unchanged");
    require(database.size() <= kv::IsotopeDatabase::kCapacity,
            "no more records than the table holds");

    std::size_t offset = 0;
    for (const kv::IsotopeRecord& record : database.records()) {
        require(record.name.size() <= kv::kMaxIsotopeNameLength &&
                    record.name.find('\0') == std::string::npos,
                "a name holds at most 14 bytes and no zero");
        const std::size_t recordSize = kv::isotopeRecordSize(record);
        require(recordSize <= size - offset &&
                    kv::encodeRecord(record) == asWrittenBack(input.subspan(offset, recordSize)),
                "a record read re-encodes to its bytes");
        offset += recordSize;
    }
    switch (loaded.condition) {
    case kv::DatabaseCondition::Complete:
        require(offset == size, "a complete database is whole records to its end");
        break;
    case kv::DatabaseCondition::MoreThanCapacity:
        require(database.full() && offset < size,
                "a database goes on past capacity only when the table is full");
        break;
    case kv::DatabaseCondition::Damaged:
        require(offset < size && recordIsIncomplete(input, offset),
                "a damaged database stops at the first incomplete record");
        break;
    case kv::DatabaseCondition::Missing:
        kv::fuzz::fail("bytes in memory are never a missing file");
    case kv::DatabaseCondition::OutOfMemory:
        kv::fuzz::fail("a file no larger than memory is read without running out of it");
    }

    kv::IsotopeDatabase saved = database;
    saved.orderLinesByIntensity();
    const std::vector<std::uint8_t> file = kv::encodeDatabase(saved);
    const kv::LoadedDatabase reread = kv::parseDatabase(file);
    require(reread.condition == kv::DatabaseCondition::Complete &&
                kv::encodeDatabase(reread.database) == file,
            "a saved database reads back as saved");
    for (std::size_t i = 0; i < saved.size(); ++i) {
        require(kv::fuzz::linesByIntensity(saved[i]) &&
                    kv::fuzz::linesInFixedOrder(saved[i]) ==
                        kv::fuzz::linesInFixedOrder(database[i]),
                "saving orders each record's lines by intensity and keeps them all");
        require(database[i].lines.size() > kMaxLinesToExchangeSort ||
                    kv::encodeRecord(saved[i]) == kv::encodeRecord(exchangeSorted(database[i])),
                "saving leaves equal intensities and NaN where the exchange sort does");
    }

    kv::fuzz::requireLibraryTextRoundTrip(database);
    return 0;
}
