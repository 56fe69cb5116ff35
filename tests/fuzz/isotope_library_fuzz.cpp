// The isotope library text ("db import") and the editor's text of one record. The library
// reader must either read every record or name a line of the text as the error; what it reads
// keeps names within 14 bytes and 1 to 32767 lines in descending intensity, and writes back
// to a text that reads as the same records. The editor's text adds or replaces one record, or
// leaves the table's records as they were.

#include "analysis/isotope_text.h"
#include "fuzz_checks.h"
#include "model/text_scan.h"

#include <algorithm>

namespace {

using kv::fuzz::require;

void requireStorable(const kv::IsotopeRecord& record) {
    require(record.name.size() <= kv::kMaxIsotopeNameLength &&
                record.name.find('\0') == std::string::npos,
            "a name read holds at most 14 bytes and no zero");
    require(!record.lines.empty() && record.lines.size() <= kv::kMaxIsotopeLines,
            "a record read holds 1 to 32767 lines");
    require(kv::fuzz::linesByIntensity(record), "a record read has its lines by intensity");
}

kv::IsotopeDatabase twoIsotopes() {
    kv::IsotopeDatabase database;
    database.append({.name = "Cs-137", .enabled = 1, .lines = {{661.657, 0.851}}});
    database.append(
        {.name = "Co-60", .enabled = 0, .lines = {{1332.492, 0.9998}, {1173.228, 0.9985}}});
    database.sortByName();
    return database;
}

// The stored form of each record in a table, sorted, to compare tables whatever order the
// editor's sort by name left them in.
std::vector<std::vector<std::uint8_t>> recordsOf(const kv::IsotopeDatabase& database) {
    std::vector<std::vector<std::uint8_t>> records;
    for (const kv::IsotopeRecord& record : database.records()) {
        records.push_back(kv::encodeRecord(record));
    }
    std::sort(records.begin(), records.end());
    return records;
}

void checkEditor(std::string_view text) {
    const std::optional<kv::IsotopeRecord> record = kv::parseRecord(text);
    if (record) {
        requireStorable(*record);
        require(!record->isEnabled(), "an edited record starts disabled");
    }
    const kv::IsotopeDatabase before = twoIsotopes();
    const auto unchanged = recordsOf(before);
    auto afterAdd = unchanged;
    // Record 0 is replaced; the table is sorted by name, so record 1 is the other one.
    std::vector<std::vector<std::uint8_t>> afterReplace = {kv::encodeRecord(before[1])};
    if (record) {
        afterAdd.push_back(kv::encodeRecord(*record));
        afterReplace.push_back(kv::encodeRecord(*record));
        std::sort(afterAdd.begin(), afterAdd.end());
        std::sort(afterReplace.begin(), afterReplace.end());
    }

    kv::IsotopeDatabase added = before;
    const kv::EditOutcome adding = kv::applyEditorText(added, std::nullopt, text);
    require(adding == (record ? kv::EditOutcome::Added : kv::EditOutcome::NothingParsed) &&
                recordsOf(added) == (record ? afterAdd : unchanged) && added.changed(),
            "a new record's text adds one record or nothing");

    kv::IsotopeDatabase replaced = before;
    const kv::EditOutcome replacing = kv::applyEditorText(replaced, 0, text);
    require(replacing == (record ? kv::EditOutcome::Replaced : kv::EditOutcome::NothingParsed) &&
                recordsOf(replaced) == (record ? afterReplace : unchanged),
            "an edited record's text replaces that record or changes nothing");

    kv::IsotopeDatabase missing = before;
    require(kv::applyEditorText(missing, before.size(), text) == kv::EditOutcome::NoSuchRecord &&
                recordsOf(missing) == unchanged,
            "the text of a record not in the table changes no record");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kv::fuzz::textOf(data, size);
    const kv::ParsedLibraryText parsed = kv::parseLibraryText(text);
    const std::size_t lines = kv::splitLines(text).size();
    require(parsed.error == kv::LibraryTextError::None
                ? parsed.errorLine == 0
                : parsed.errorLine >= 1 && parsed.errorLine <= lines,
            "an error names a line of the text");
    require(parsed.database.size() <= kv::IsotopeDatabase::kCapacity,
            "no more records than the table holds");
    for (const kv::IsotopeRecord& record : parsed.database.records()) {
        requireStorable(record);
        require(record.enabled <= 1, "a record is enabled by '*' alone");
    }
    kv::fuzz::requireLibraryTextRoundTrip(parsed.database);
    checkEditor(text);
    return 0;
}
