#include "analysis/isotope_database.h"

#include "model/cp1251.h"
#include "support/allocation_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

IsotopeRecord record(std::string name, std::vector<IsotopeLine> lines, std::uint8_t enabled = 0) {
    return {.name = std::move(name), .enabled = enabled, .lines = std::move(lines)};
}

IsotopeRecord co60() {
    return record("Co-60", {{1332.5, 1.0}, {1173.25, 0.5}, {2.0, 0.25}}, 1);
}

IsotopeRecord cs137() {
    return record("Cs-137", {{661.5, 0.85}});
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

TEST(IsotopeDatabaseFile, GoldenBytesOfAThreeLineRecordReadBackWithTheNext) {
    // clang-format off
    const Bytes expected = {
        0x03, 0x00,                                                 // lineCount
        'C',  'o',  '-',  '6',  '0',  0,    0,    0,    0,    0,    // name, 15 bytes
        0,    0,    0,    0,    0,                                  // name, continued
        0x01,                                                       // enabled
        0,    0,    0,    0,    0,    0xd2, 0x94, 0x40,             // 1332.5 keV
        0,    0,    0,    0,    0,    0,    0xf0, 0x3f,             // 1.0
        0,    0,    0,    0,    0,    0x55, 0x92, 0x40,             // 1173.25 keV
        0,    0,    0,    0,    0,    0,    0xe0, 0x3f,             // 0.5
        0,    0,    0,    0,    0,    0,    0x00, 0x40,             // 2.0 keV
        0,    0,    0,    0,    0,    0,    0xd0, 0x3f,             // 0.25
    };
    // clang-format on
    ASSERT_EQ(expected.size(), 66u) << "18 + 16 x 3";
    EXPECT_EQ(isotopeRecordSize(co60()), 66u);
    EXPECT_EQ(encodeRecord(co60()), expected);

    const Bytes file = concat({expected, encodeRecord(cs137())});
    const LoadedDatabase loaded = parseDatabase(file);
    EXPECT_EQ(loaded.condition, DatabaseCondition::Complete);
    EXPECT_EQ(loaded.database.records(), (std::vector{co60(), cs137()}));
    EXPECT_FALSE(loaded.database.changed()) << "a loaded table is what the file holds";
    EXPECT_EQ(encodeDatabase(loaded.database), file) << "file order and line order are kept";
}

TEST(IsotopeDatabaseFile, DamageKeepsTheRecordsBeforeIt) {
    const Bytes second = encodeRecord(cs137());
    // Bytes after the first, whole record: one byte of a count, a cut in the lines, a cut after
    // the count, a negative count and a count far beyond the file.
    for (const Bytes& tail :
         {Bytes{0x01}, Bytes(second.begin(), second.end() - 1), Bytes{1, 0},
          concat({{0xff, 0xff}, Bytes(16 + 16, 0)}), concat({{0xff, 0x7f}, Bytes(100, 0)})}) {
        const LoadedDatabase loaded = parseDatabase(concat({encodeRecord(co60()), tail}));
        EXPECT_EQ(loaded.condition, DatabaseCondition::Damaged) << tail.size();
        ASSERT_EQ(loaded.database.size(), 1u) << tail.size();
        EXPECT_EQ(loaded.database[0], co60()) << tail.size();
    }
    EXPECT_EQ(parseDatabase(Bytes{}).condition, DatabaseCondition::Complete);
}

TEST(IsotopeDatabaseFile, NameFieldAndMarkAreReadSafelyAndWrittenBackAsStored) {
    Bytes bytes = encodeRecord(record("x", {{1.0, 1.0}}));
    std::fill(bytes.begin() + 2, bytes.begin() + 17, std::uint8_t{'N'}); // no terminator
    bytes[17] = 2;
    const LoadedDatabase loaded = parseDatabase(bytes);
    ASSERT_EQ(loaded.database.size(), 1u);
    EXPECT_EQ(loaded.database[0].name, std::string(14, 'N')) << "never past the 14th byte";
    EXPECT_TRUE(loaded.database[0].isEnabled());
    EXPECT_EQ(encodeDatabase(loaded.database)[17], 2) << "the mark byte is kept as stored";
}

TEST(IsotopeDatabaseFile, HoldsAtMost256Records) {
    Bytes file;
    for (int i = 0; i < 257; ++i) {
        file = concat({file, encodeRecord(record("I" + std::to_string(i), {}))});
    }
    LoadedDatabase loaded = parseDatabase(file);
    EXPECT_EQ(loaded.condition, DatabaseCondition::MoreThanCapacity);
    ASSERT_EQ(loaded.database.size(), 256u);
    EXPECT_EQ(loaded.database[255].name, "I255");
    EXPECT_FALSE(loaded.database.append(co60()));
    EXPECT_FALSE(loaded.database.changed()) << "a refused addition changes nothing";
}

TEST(IsotopeDatabaseFile, MemoryRunningOutKeepsTheRecordsReadWhole) {
    IsotopeRecord many = record("Many", std::vector<IsotopeLine>(32767, {100.0, 0.5}));
    const Bytes bytes = concat({encodeRecord(cs137()), encodeRecord(many), encodeRecord(co60())});
    const test::AllocationLimit limit(100'000); // a few small records, not 512 KiB of lines
    const LoadedDatabase loaded = parseDatabase(bytes);
    EXPECT_EQ(loaded.condition, DatabaseCondition::OutOfMemory);
    ASSERT_EQ(loaded.database.size(), 1u);
    EXPECT_EQ(loaded.database[0], cs137());
}

TEST(IsotopeDatabaseTable, SortsByNameIgnoringCaseInWindows1251) {
    IsotopeDatabase db;
    for (const char* name : {"cs-137", "Am-241", "Радон-222", "Co-60", "азот-13", "CS-134"}) {
        db.append(record(cp1251FromUtf8(name), {{1, 1}}));
    }
    db.sortByName();
    std::vector<std::string> names;
    for (const IsotopeRecord& r : db.records()) {
        names.push_back(utf8FromCp1251(r.name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Am-241", "Co-60", "CS-134", "cs-137", "азот-13",
                                               "Радон-222"}));
}

TEST(IsotopeDatabaseSave, WritesOnlyAChangedNonEmptyTableInIntensityOrder) {
    test::TempDir dir;
    const std::string path = dir.path("SPECTORS.DAT");
    EXPECT_EQ(loadDatabase(path).condition, DatabaseCondition::Missing);
    IsotopeDatabase db;
    db.append(record("Eu-152", {{121.8, 0.28}, {1408.0, 0.21}, {344.3, 0.27}}));
    db.markSaved();
    EXPECT_EQ(saveDatabase(db, path).status, SaveDatabaseStatus::NothingToWrite);
    EXPECT_FALSE(std::filesystem::exists(path));
    db.markChanged();
    ASSERT_EQ(saveDatabase(db, path).status, SaveDatabaseStatus::Written);
    EXPECT_FALSE(db.changed());
    const LoadedDatabase loaded = loadDatabase(path);
    EXPECT_EQ(loaded.condition, DatabaseCondition::Complete);
    ASSERT_EQ(loaded.database.size(), 1u);
    EXPECT_EQ(loaded.database[0].lines,
              (std::vector<IsotopeLine>{{121.8, 0.28}, {344.3, 0.27}, {1408.0, 0.21}}));
    db.toggleEnabled(0);
    EXPECT_TRUE(db.changed()) << "a switched mark is saved on closing";
    ASSERT_EQ(saveDatabase(db, path).status, SaveDatabaseStatus::Written);
    EXPECT_TRUE(loadDatabase(path).database[0].isEnabled());
    const Bytes before = test::readBytes(path);
    db.deleteRecord(0);
    EXPECT_EQ(saveDatabase(db, path).status, SaveDatabaseStatus::NothingToWrite);
    EXPECT_EQ(test::readBytes(path), before) << "deleting every isotope leaves the file";
}

TEST(IsotopeDatabaseSave, AFailedWriteIsReportedAndTheTableStaysChanged) {
    test::TempDir dir;
    IsotopeDatabase db;
    db.append(co60());
    const SaveDatabaseOutcome outcome = saveDatabase(db, dir.path("no/such/dir/SPECTORS.DAT"));
    EXPECT_EQ(outcome.status, SaveDatabaseStatus::Failed);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_TRUE(db.changed());
}

} // namespace
} // namespace kv
