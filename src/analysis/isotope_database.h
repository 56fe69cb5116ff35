#pragma once

// The isotope line database, file SPECTORS.DAT: for each isotope its gamma (or X-ray) lines,
// energies in keV and intensities in emissions per decay. The file is the plain concatenation
// of records, with no header and no count. One record, little-endian, no padding:
//
//   offset    size  field
//        0       2  lineCount n (int16)
//        2      15  name: Windows-1251, zero-terminated, at most 14 bytes
//       17       1  enabled: 1 lets the isotope pass the line check, 0 does not
//   18 + 16k     8  lineEnergy[k] (f64, keV)
//   26 + 16k     8  lineIntensity[k] (f64, emissions per decay)
//
// A record is 18 + 16n bytes. In the file each record's lines are in descending intensity; the
// line check relies on that order (strongest line first).
//
// The database is a value its owner keeps (the database window while it is open, or a caller
// for one lookup); there is nothing to release beyond letting the value go.

#include "platform/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::size_t kIsotopeNameFieldSize = 15;
inline constexpr std::size_t kMaxIsotopeNameLength = kIsotopeNameFieldSize - 1; // bytes
inline constexpr std::size_t kIsotopeRecordHeaderSize = 2 + kIsotopeNameFieldSize + 1;
inline constexpr std::size_t kIsotopeLineSize = 16;
inline constexpr std::size_t kMaxIsotopeLines = 32767; // what the int16 count holds
static_assert(kIsotopeRecordHeaderSize == 18);

struct IsotopeLine {
    double energy = 0.0;    // keV
    double intensity = 0.0; // emissions per decay

    friend bool operator==(const IsotopeLine&, const IsotopeLine&) = default;
};

struct IsotopeRecord {
    std::string name; // Windows-1251 bytes, at most kMaxIsotopeNameLength
    // Kept as stored so a file is written back as it was read; any nonzero value is enabled.
    std::uint8_t enabled = 0;
    std::vector<IsotopeLine> lines; // at most kMaxIsotopeLines

    bool isEnabled() const { return enabled != 0; }

    friend bool operator==(const IsotopeRecord&, const IsotopeRecord&) = default;
};

// 18 + 16n bytes.
std::size_t isotopeRecordSize(const IsotopeRecord& record);

// The stored form of a record, lines in the order the record holds them. A name longer than
// the field is cut to 14 bytes; a record must not hold more than kMaxIsotopeLines lines.
std::vector<std::uint8_t> encodeRecord(const IsotopeRecord& record);

// The next record of a database file, or nothing when the source ends before a whole record:
// fewer than 2 bytes left, a negative line count, or fewer than 16 + 16n bytes after the count.
// The count is checked against what the source holds before anything is allocated. The name
// is taken up to its terminating zero and never beyond 14 bytes.
std::optional<IsotopeRecord> readRecord(ByteSource& source);

// Orders the lines by descending intensity, as the file keeps them.
void sortLinesByIntensity(IsotopeRecord& record);

// The isotopes in their table order, at most kCapacity of them, and whether the table differs
// from the file it was loaded from.
class IsotopeDatabase {
public:
    static constexpr std::size_t kCapacity = 256;

    const std::vector<IsotopeRecord>& records() const { return m_records; }
    const IsotopeRecord& operator[](std::size_t index) const { return m_records[index]; }
    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    bool full() const { return m_records.size() >= kCapacity; }

    bool changed() const { return m_changed; }
    void markChanged() { m_changed = true; }
    void markSaved() { m_changed = false; }

    // Adds the record at the end and marks the table changed; false, with nothing changed,
    // when the table is full.
    bool append(IsotopeRecord record);

    // Puts the record in place of the one at index and marks the table changed; false, with
    // nothing changed, when there is no such record.
    bool replace(std::size_t index, IsotopeRecord record);

    // Removes the record at index (later ones move up) and marks the table changed; an index
    // outside the table changes nothing.
    void deleteRecord(std::size_t index);

    // Puts every record's lines in descending intensity, the order the file keeps them in.
    // Not a change: the file holds that order already.
    void orderLinesByIntensity();

    // Switches the enabled mark of the record at index. This counts as a change, so a switched
    // mark is saved when the window closes.
    void toggleEnabled(std::size_t index);

    // Orders the table by name, ascending, comparing names as Windows-1251 text without regard
    // to case (the stand-in for the Windows locale comparison the table was sorted with).
    void sortByName();

private:
    std::vector<IsotopeRecord> m_records;
    bool m_changed = false;
};

enum class DatabaseCondition {
    Complete,         // every byte of the file belongs to a whole record
    Missing,          // the file cannot be opened; the table is empty
    Damaged,          // a record is cut short or has a negative count; the ones before it kept
    MoreThanCapacity, // the file goes on after kCapacity records, which are kept
    OutOfMemory,      // memory ran out; the records read whole before are kept
};

struct LoadedDatabase {
    IsotopeDatabase database; // unchanged (changed() is false)
    DatabaseCondition condition = DatabaseCondition::Complete;
};

// Reads records until the source ends, a record cannot be read whole, the table is full or
// memory runs out (nothing is thrown).
LoadedDatabase parseDatabase(ByteSource& source);
LoadedDatabase parseDatabase(std::span<const std::uint8_t> bytes);

// The database file at path (normally SPECTORS.DAT in the program directory).
LoadedDatabase loadDatabase(const std::string& path);

// Every record in table order, each with its lines as the record holds them.
std::vector<std::uint8_t> encodeDatabase(const IsotopeDatabase& database);

enum class SaveDatabaseStatus {
    Written,
    NothingToWrite, // unchanged, or empty: an empty table never replaces the file
    Failed,         // the file is left as it was; the table stays changed
};

struct SaveDatabaseOutcome {
    SaveDatabaseStatus status = SaveDatabaseStatus::NothingToWrite;
    std::string reason; // the system's description of a failure
};

// Writes the table to path when it has changed and holds at least one record: each record's
// lines are first put in descending intensity (in the table too), then the file is replaced
// crash-safely. On success the table counts as saved.
SaveDatabaseOutcome saveDatabase(IsotopeDatabase& database, const std::string& path);

} // namespace kv
