#include "analysis/isotope_text.h"

#include "analysis/identification.h"
#include "analysis/line_search.h"
#include "model/app_config.h"
#include "model/cp1251.h"
#include "platform/files.h"
#include "support/allocation_limit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <sstream>
#include <tuple>

namespace kv {
namespace {

IsotopeRecord record(std::string name, std::vector<IsotopeLine> lines, std::uint8_t enabled = 0) {
    return {.name = std::move(name), .enabled = enabled, .lines = std::move(lines)};
}

TEST(IsotopeEditorText, ShowsAscendingEnergyAndReadsBackInIntensityOrder) {
    const IsotopeRecord stored = record("Co-60", {{1332.492, 0.999826}, {1173.228, 0.9985}}, 1);
    EXPECT_EQ(formatRecord(stored), "Co-60\r\n1173.228\t9.985E-01\r\n1332.492\t9.998E-01\r\n");
    EXPECT_EQ(stored.lines[0].energy, 1332.492) << "the record keeps its order";

    const auto parsed = parseRecord(formatRecord(stored));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "Co-60");
    EXPECT_FALSE(parsed->isEnabled()) << "a parsed record starts disabled";
    EXPECT_EQ(parsed->lines, (std::vector<IsotopeLine>{{1332.492, 0.9998}, {1173.228, 0.9985}}))
        << "strongest first; the text's rounding is what the editor shows";
}

TEST(IsotopeEditorText, NameIsCutToFourteenWindows1251Bytes) {
    EXPECT_EQ(parseRecord("ABCDEFGHIJKLMNOPQRST\r\n1 1")->name, "ABCDEFGHIJKLMN");
    const auto cyrillic = parseRecord("Радий-226 дочерний\r\n186.2 0.036");
    ASSERT_TRUE(cyrillic);
    EXPECT_EQ(cyrillic->name.size(), 14u);
    EXPECT_EQ(utf8FromCp1251(cyrillic->name), "Радий-226 доче")
        << "14 letters, not 14 bytes of UTF-8";
    EXPECT_EQ(formatRecord(*cyrillic).substr(0, 25), "Радий-226 доче\r\n");
    EXPECT_EQ(parseRecord(std::string("Ra\0zz\r\n1 1", 10))->name, "Ra");
}

TEST(IsotopeEditorText, LinesEndAtTheFirstLineWithoutTwoNumbers) {
    struct Case {
        const char* text;
        std::size_t lines; // 0: no record
    };
    for (const Case c : {
             Case{"X\r\n100 0.5\r\n200\r\n300 0.1\r\n", 1},
             Case{"X\r\n100 0.5\r\n\r\n300 0.1\r\n", 1},
             Case{"X\r\n100 0.5\r\nwhatever 1 2\r\n300 0.1", 1},
             Case{"X\n100\t0.5\n  +200   5e-1 keV\n", 2},
             Case{"X\r\n100,5 1", 0},
             Case{"X\r\n", 0},
             Case{"X", 0},
             Case{"", 0},
             Case{"X\r\n100\r\n0.5\r\n", 0},
         }) {
        const auto parsed = parseRecord(c.text);
        EXPECT_EQ(parsed ? parsed->lines.size() : 0u, c.lines) << c.text;
    }
}

TEST(IsotopeEditorText, OkAddsOrReplacesThenSortsAndAlwaysCountsAsAChange) {
    IsotopeDatabase db;
    EXPECT_EQ(applyEditorText(db, std::nullopt, "Zn-65\r\n1115.5 0.5"), EditOutcome::Added);
    EXPECT_EQ(applyEditorText(db, std::nullopt, "Am-241\r\n59.5 0.36"), EditOutcome::Added);
    ASSERT_EQ(db.size(), 2u);
    EXPECT_EQ(db[0].name, "Am-241") << "sorted by name after every addition";

    EXPECT_FALSE(db[1].isEnabled()) << "a new record starts disabled";
    db.toggleEnabled(1);
    EXPECT_EQ(applyEditorText(db, 1, "Ba-133\r\n356.0 0.62"), EditOutcome::Replaced);
    EXPECT_EQ(db[1].name, "Ba-133");
    EXPECT_TRUE(db[1].isEnabled()) << "an edited record keeps its mark";

    db.markSaved();
    EXPECT_EQ(applyEditorText(db, 0, "Am-241\r\nno lines"), EditOutcome::NothingParsed);
    EXPECT_EQ(db[0].lines.size(), 1u);
    EXPECT_TRUE(db.changed());

    IsotopeDatabase empty;
    EXPECT_EQ(applyEditorText(empty, 0, "Cs-137\r\n661.7 0.85"), EditOutcome::NoSuchRecord);
    EXPECT_TRUE(empty.empty());

    IsotopeDatabase full;
    for (int i = 0; i < 256; ++i) {
        full.append(record("I" + std::to_string(i), {{1, 1}}));
    }
    EXPECT_EQ(applyEditorText(full, std::nullopt, "Cs-137\r\n661.7 0.85"),
              EditOutcome::DatabaseFull);
    EXPECT_EQ(full.size(), 256u);
}

TEST(IsotopeLibraryText, RoundTripsEveryBitAndTheMarks) {
    IsotopeDatabase db;
    db.append(record("Cs-137", {{661.6553, 0.8501}}, 1));
    db.append(record(cp1251FromUtf8("Радий-226"), {{186.211, 0.03555}}));
    db.append(record("Tiny", {{0.1 + 0.2, 1.0 / 3.0}, {1e-300, 2.5e-7}}, 1));
    const LibraryText text = formatLibraryText(db);
    ASSERT_FALSE(text.unwritableRecord);
    const std::string start = "Cs-137\r\n661.6553\t0.8501\r\n*\r\n\r\n"
                              "Радий-226\r\n186.211\t0.03555\r\n\r\n";
    EXPECT_EQ(text.text.substr(0, start.size()), start) << "exact numbers, marks, UTF-8 names";

    const ParsedLibraryText parsed = parseLibraryText(text.text);
    ASSERT_EQ(parsed.error, LibraryTextError::None);
    EXPECT_EQ(parsed.database.records(), db.records());
}

TEST(IsotopeLibraryText, NotesMarksAndErrorsWithTheirLines) {
    const ParsedLibraryText good = parseLibraryText("# a note block\n#\n\n"
                                                    "Co-60\n1173.228 0.9985\n1332.492 0.9998\n"
                                                    "# source\n  *  \n\n\n"
                                                    "K-40\n1460.8 0.1034\n");
    ASSERT_EQ(good.error, LibraryTextError::None);
    ASSERT_EQ(good.database.size(), 2u);
    EXPECT_EQ(databaseListText(good.database[0]), "Co-60*");
    EXPECT_EQ(databaseListText(good.database[1]), "K-40");
    EXPECT_EQ(good.database[1].name, "K-40");

    struct Case {
        const char* text;
        LibraryTextError error;
        std::size_t line;
    };
    for (const Case c : {
             Case{"Co-60\n1173.2 0.99\n\nK-40\n# no lines\n", LibraryTextError::RecordWithoutLines,
                  4},
             Case{"Co-60\n1173.2 0.99\n1332.5\n1332.5 1.0\n", LibraryTextError::UnexpectedLine, 3},
             Case{"Co-60\n1173.2 0.99\n**\n", LibraryTextError::UnexpectedLine, 3},
         }) {
        const ParsedLibraryText bad = parseLibraryText(c.text);
        EXPECT_EQ(bad.error, c.error) << c.text;
        EXPECT_EQ(bad.errorLine, c.line) << c.text;
    }
}

TEST(IsotopeLibraryText, MemoryRunningOutIsAnErrorNotAnException) {
    std::string text = "Many\n";
    for (int i = 0; i < 10000; ++i) {
        text += "100.5 0.25\n";
    }
    const test::AllocationLimit limit(50'000); // less than the lines take
    const ParsedLibraryText parsed = parseLibraryText(text);
    EXPECT_EQ(parsed.error, LibraryTextError::OutOfMemory);
    EXPECT_EQ(parsed.errorLine, 0u);
}

TEST(IsotopeLibraryText, RefusesRecordsThatWouldReadBackAsOthers) {
    // A subnormal number is written as "4e-310", which the reader refuses as out of range.
    for (const IsotopeRecord& bad :
         {record("", {{1, 1}}), record(" \t", {{1, 1}}), record("A\nB", {{1, 1}}),
          record("NoLines", {}), record("TinyIntensity", {{661.7, 0.85}, {1, 4e-310}}),
          record("TinyEnergy", {{-5e-324, 0.5}})}) {
        IsotopeDatabase db;
        db.append(record("Good", {{1, 1}}));
        db.append(bad);
        const LibraryText text = formatLibraryText(db);
        EXPECT_EQ(text.unwritableRecord, std::optional<std::size_t>(1)) << bad.name;
        EXPECT_TRUE(text.text.empty());
    }
}

// The shipped library, parsed from its text in data/.
IsotopeDatabase shippedLibrary() {
    const auto text = readWholeFile(std::string(KV_SPECTRA_DIR) + "/../../data/isotopes.txt");
    if (!text) {
        ADD_FAILURE() << "no data/isotopes.txt";
        return {};
    }
    ParsedLibraryText library = parseLibraryText(
        std::string_view(reinterpret_cast<const char*>(text->data()), text->size()));
    EXPECT_EQ(library.error, LibraryTextError::None) << "line " << library.errorLine;
    return std::move(library.database);
}

// The shipped library against the reference table it was made from.
TEST(ShippedIsotopeLibrary, HoldsEveryReferenceLineOfAtLeastHalfAPercentFrom30KeV) {
    const IsotopeDatabase db = shippedLibrary();
    const auto table =
        readWholeFile(std::string(KV_SPECTRA_DIR) + "/../../data/nuclides/gamma_lines.tsv");
    ASSERT_TRUE(table);

    const std::set<std::string> disabled = {"Cd-109", "F-18", "I-125"};
    std::set<std::tuple<std::string, double, double>> shipped;
    for (std::size_t i = 0; i < db.size(); ++i) {
        EXPECT_EQ(db[i].isEnabled(), !disabled.contains(db[i].name)) << db[i].name;
        EXPECT_LE(db[i].name.size(), kMaxIsotopeNameLength);
        if (i > 0) {
            EXPECT_LT(compareCp1251IgnoringCase(db[i - 1].name, db[i].name), 0) << "sorted";
        }
        for (const IsotopeLine& line : db[i].lines) {
            shipped.insert({db[i].name, line.energy, line.intensity});
        }
    }
    std::set<std::tuple<std::string, double, double>> reference;
    std::istringstream rows(std::string(table->begin(), table->end()));
    std::string row;
    std::getline(rows, row); // column names
    while (std::getline(rows, row)) {
        std::istringstream fields(row);
        std::string name;
        double energy = 0;
        double intensity = 0;
        fields >> name >> energy >> intensity;
        if (intensity >= 0.005 && energy >= 30.0) {
            reference.insert({name, energy, intensity});
        }
    }
    EXPECT_EQ(shipped, reference);
    EXPECT_EQ(db.size(), 52u);
    EXPECT_EQ(shipped.size(), 293u) << "298 reference lines less five below 30 keV";
    EXPECT_TRUE(shipped.contains({"Cs-137", 661.6553, 0.8501}));
    EXPECT_TRUE(shipped.contains({"Co-60", 1332.492, 0.999826}));
    EXPECT_TRUE(shipped.contains({"Na-22", 511.0, 1.807})) << "annihilation, 2 per positron";
    EXPECT_FALSE(shipped.contains({"Co-57", 14.41295, 0.0918}));
}

// A calibration-source spectrum of an HPGe detector whose entrance window takes away what lies
// below 30 keV: Am-241 59.54 keV, Co-57 122.06 and 136.47 keV, Cs-137 661.66 keV.
std::set<std::string> namedInCalibrationSpectrum(const IsotopeDatabase& db) {
    AppConfig config;
    config.energyCalibration.channelScale = 4096;
    config.energyCalibration.termCount = 2;
    config.energyCalibration.coefficients = {0.0, 0.3, 0, 0, 0}; // keV = 0.3 channel
    Histogram h;
    h.channels.resize(4096);
    h.exposure = 1000;
    const std::array<std::pair<double, double>, 4> lines{
        {{59.5409, 36000}, {122.06065, 86000}, {136.47356, 10700}, {661.6553, 85000}}};
    for (std::size_t i = 0; i < h.channels.size(); ++i) {
        const double e = 0.3 * static_cast<double>(i);
        double counts = 400.0 * std::exp(-e / 300.0) + 20.0;
        for (const auto& [energy, area] : lines) {
            const double sigma = 0.45 / 0.3; // channels: 1.06 keV FWHM
            const double t = (e - energy) / 0.3 / sigma;
            counts += area / (std::sqrt(2 * M_PI) * sigma) * std::exp(-t * t / 2);
        }
        h.channels[i] = static_cast<std::int32_t>(counts);
    }
    const LineSearchResult result = searchLines(h, config.lineSearch, config.energyCalibration);
    const LineIdentifier identifier(db, result.lines, config.identification, config.efficiency,
                                    config.energyCalibration, 4096);
    std::set<std::string> named;
    for (const FoundLine& line : result.lines.lines()) {
        if (const auto match = identifier.identifyLine(line.energy, 1.0)) {
            named.insert(db[match->isotope].name);
        }
    }
    return named;
}

TEST(ShippedIsotopeLibrary, NamesCalibrationSourcesWhoseLowLinesTheDetectorCutsOff) {
    IsotopeDatabase db = shippedLibrary();
    EXPECT_EQ(namedInCalibrationSpectrum(db), (std::set<std::string>{"Am-241", "Co-57", "Cs-137"}));

    // With the lines below 30 keV back in their records, as the reference table has them, the
    // two sources that have such lines are no longer named.
    for (std::size_t i = 0; i < db.size(); ++i) {
        IsotopeRecord withLowLines = db[i];
        if (withLowLines.name == "Co-57") {
            withLowLines.lines.push_back({14.41295, 0.0918});
        } else if (withLowLines.name == "Am-241") {
            withLowLines.lines.push_back({26.3446, 0.0231});
        } else {
            continue;
        }
        sortLinesByIntensity(withLowLines);
        db.replace(i, withLowLines);
    }
    EXPECT_EQ(namedInCalibrationSpectrum(db), (std::set<std::string>{"Cs-137"}));
}

} // namespace
} // namespace kv
