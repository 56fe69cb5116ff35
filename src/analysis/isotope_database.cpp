#include "analysis/isotope_database.h"

#include "analysis/exchange_sort.h"
#include "model/byte_io.h"
#include "model/cp1251.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

namespace kv {

std::size_t isotopeRecordSize(const IsotopeRecord& record) {
    return kIsotopeRecordHeaderSize + kIsotopeLineSize * record.lines.size();
}

std::vector<std::uint8_t> encodeRecord(const IsotopeRecord& record) {
    std::vector<std::uint8_t> bytes(isotopeRecordSize(record));
    ByteWriter writer(bytes);
    writer.u16le(static_cast<std::uint16_t>(record.lines.size()));
    writer.text(record.name, kIsotopeNameFieldSize);
    writer.u8(record.enabled);
    for (const IsotopeLine& line : record.lines) {
        writer.f64le(line.energy);
        writer.f64le(line.intensity);
    }
    return bytes;
}

std::optional<IsotopeRecord> readRecord(ByteSource& source) {
    std::array<std::uint8_t, 2> countBytes{};
    if (!source.read(countBytes)) {
        return std::nullopt;
    }
    const auto count = static_cast<std::int16_t>(ByteReader(countBytes).u16le());
    if (count < 0) {
        return std::nullopt;
    }
    const std::size_t restSize =
        kIsotopeRecordHeaderSize - 2 + kIsotopeLineSize * static_cast<std::size_t>(count);
    if (source.remaining() < restSize) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> rest(restSize);
    if (!source.read(rest)) {
        return std::nullopt;
    }
    ByteReader reader(rest);
    IsotopeRecord record;
    const auto name = reader.view(kIsotopeNameFieldSize);
    record.name = textOfField(name.first(kMaxIsotopeNameLength));
    record.enabled = reader.u8();
    record.lines.resize(static_cast<std::size_t>(count));
    for (IsotopeLine& line : record.lines) {
        line.energy = reader.f64le();
        line.intensity = reader.f64le();
    }
    return record;
}

void sortLinesByIntensity(IsotopeRecord& record) {
    // A record holds up to 32,767 lines: the exchange sort's order without its square time.
    exchangeSortByKey(
        record.lines, [](const IsotopeLine& line) { return line.intensity; },
        ExchangeOrder::Descending);
}

bool IsotopeDatabase::append(IsotopeRecord record) {
    if (full()) {
        return false;
    }
    m_records.push_back(std::move(record));
    m_changed = true;
    return true;
}

bool IsotopeDatabase::replace(std::size_t index, IsotopeRecord record) {
    if (index >= m_records.size()) {
        return false;
    }
    m_records[index] = std::move(record);
    m_changed = true;
    return true;
}

void IsotopeDatabase::deleteRecord(std::size_t index) {
    if (index < m_records.size()) {
        m_records.erase(m_records.begin() + static_cast<std::ptrdiff_t>(index));
        m_changed = true;
    }
}

void IsotopeDatabase::orderLinesByIntensity() {
    for (IsotopeRecord& record : m_records) {
        sortLinesByIntensity(record);
    }
}

void IsotopeDatabase::toggleEnabled(std::size_t index) {
    if (index < m_records.size()) {
        m_records[index].enabled = m_records[index].isEnabled() ? 0 : 1;
        m_changed = true;
    }
}

void IsotopeDatabase::sortByName() {
    exchangeSort(
        m_records.size(),
        [this](std::size_t i, std::size_t j) {
            return compareCp1251IgnoringCase(m_records[i].name, m_records[j].name) > 0;
        },
        [this](std::size_t i, std::size_t j) { std::swap(m_records[i], m_records[j]); });
}

LoadedDatabase parseDatabase(ByteSource& source) {
    LoadedDatabase loaded;
    try {
        while (source.remaining() > 0) {
            if (loaded.database.full()) {
                loaded.condition = DatabaseCondition::MoreThanCapacity;
                break;
            }
            std::optional<IsotopeRecord> record = readRecord(source);
            if (!record) {
                loaded.condition = DatabaseCondition::Damaged;
                break;
            }
            loaded.database.append(std::move(*record));
        }
    } catch (const std::bad_alloc&) {
        // A file of the most records with the most lines holds 134 MB of them.
        loaded.condition = DatabaseCondition::OutOfMemory;
    }
    loaded.database.markSaved();
    return loaded;
}

LoadedDatabase parseDatabase(std::span<const std::uint8_t> bytes) {
    SpanSource source(bytes);
    return parseDatabase(source);
}

LoadedDatabase loadDatabase(const std::string& path) {
    std::optional<FileReader> file = FileReader::open(path);
    if (!file) {
        return {.database = {}, .condition = DatabaseCondition::Missing};
    }
    return parseDatabase(*file);
}

std::vector<std::uint8_t> encodeDatabase(const IsotopeDatabase& database) {
    std::vector<std::uint8_t> bytes;
    for (const IsotopeRecord& record : database.records()) {
        const std::vector<std::uint8_t> encoded = encodeRecord(record);
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return bytes;
}

SaveDatabaseOutcome saveDatabase(IsotopeDatabase& database, const std::string& path) {
    if (!database.changed() || database.empty()) {
        return {};
    }
    database.orderLinesByIntensity();
    const WriteOutcome written = writeFileReplacing(path, encodeDatabase(database));
    if (!written.written) {
        return {.status = SaveDatabaseStatus::Failed, .reason = written.reason};
    }
    database.markSaved();
    return {.status = SaveDatabaseStatus::Written, .reason = {}};
}

} // namespace kv
