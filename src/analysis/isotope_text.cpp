#include "analysis/isotope_text.h"

#include "analysis/exchange_sort.h"
#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/text_scan.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace kv {

namespace {

// The lines in ascending energy, equal energies exchanged as the editor has always shown them.
std::vector<IsotopeLine> linesByEnergy(const IsotopeRecord& record) {
    std::vector<IsotopeLine> lines = record.lines;
    exchangeSortByKey(
        lines, [](const IsotopeLine& line) { return line.energy; },
        ExchangeOrder::AscendingSwappingTies);
    return lines;
}

template <class LineText> std::string formatWith(const IsotopeRecord& record, LineText lineText) {
    std::string text = utf8FromCp1251(record.name) + "\r\n";
    for (const IsotopeLine& line : linesByEnergy(record)) {
        text += lineText(line);
        text += "\r\n";
    }
    return text;
}

std::string editorLineText(const IsotopeLine& line) {
    return formatText("%0.3f\t%0.3E", line.energy, line.intensity);
}

std::string libraryLineText(const IsotopeLine& line) {
    return shortestNumberText(line.energy) + "\t" + shortestNumberText(line.intensity);
}

struct RecordLines {
    std::optional<IsotopeRecord> record;
    std::size_t used = 0; // the name and the number lines
};

RecordLines readRecordLines(std::span<const std::string_view> lines) {
    RecordLines read;
    if (lines.empty()) {
        return read;
    }
    IsotopeRecord record;
    record.name = cp1251FromUtf8(lines[0]);
    record.name = record.name.substr(0, record.name.find('\0'));
    if (record.name.size() > kMaxIsotopeNameLength) {
        record.name.resize(kMaxIsotopeNameLength);
    }
    std::size_t k = 1;
    for (; k < lines.size() && record.lines.size() < kMaxIsotopeLines; ++k) {
        const auto pair = scanNumberPair(lines[k]);
        if (!pair) {
            break;
        }
        record.lines.push_back({.energy = pair->first, .intensity = pair->second});
    }
    read.used = k;
    if (!record.lines.empty()) {
        sortLinesByIntensity(record);
        read.record = std::move(record);
    }
    return read;
}

bool isNote(std::string_view line) {
    return trimmed(line).starts_with('#');
}

bool nameFitsLibrary(const IsotopeRecord& record) {
    return !isBlankLine(record.name) && record.name.find_first_of("\r\n") == std::string::npos;
}

// The reader takes no subnormal number (as strtod, it finds it out of range), so a record
// holding one would read back as another.
bool numbersFitLibrary(const IsotopeRecord& record) {
    return std::none_of(record.lines.begin(), record.lines.end(), [](const IsotopeLine& line) {
        return std::fpclassify(line.energy) == FP_SUBNORMAL ||
               std::fpclassify(line.intensity) == FP_SUBNORMAL;
    });
}

} // namespace

std::string formatRecord(const IsotopeRecord& record) {
    return formatWith(record, editorLineText);
}

std::optional<IsotopeRecord> parseRecord(std::string_view text) {
    return readRecordLines(splitLines(text)).record;
}

std::string databaseListText(const IsotopeRecord& record) {
    return utf8FromCp1251(record.name) + (record.isEnabled() ? "*" : "");
}

EditOutcome applyEditorText(IsotopeDatabase& database, std::optional<std::size_t> editing,
                            std::string_view text) {
    EditOutcome outcome = EditOutcome::NothingParsed;
    if (editing && *editing >= database.size()) {
        outcome = EditOutcome::NoSuchRecord;
    } else if (std::optional<IsotopeRecord> record = parseRecord(text)) {
        if (editing) {
            record->enabled = database[*editing].enabled;
            database.replace(*editing, std::move(*record));
            outcome = EditOutcome::Replaced;
        } else {
            outcome = database.append(std::move(*record)) ? EditOutcome::Added
                                                          : EditOutcome::DatabaseFull;
        }
    }
    database.sortByName();
    database.markChanged();
    return outcome;
}

namespace {

ParsedLibraryText parseRecords(std::string_view text) {
    ParsedLibraryText parsed;
    const std::vector<std::string_view> lines = splitLines(text);
    const auto fail = [&parsed](LibraryTextError error, std::size_t index) {
        parsed.error = error;
        parsed.errorLine = index + 1;
        return std::move(parsed);
    };
    std::size_t start = 0;
    while (start < lines.size()) {
        if (isBlankLine(lines[start])) {
            ++start;
            continue;
        }
        std::size_t end = start;
        while (end < lines.size() && !isBlankLine(lines[end])) {
            ++end;
        }
        const std::span block(lines.begin() + static_cast<std::ptrdiff_t>(start),
                              lines.begin() + static_cast<std::ptrdiff_t>(end));
        if (std::all_of(block.begin(), block.end(), isNote)) {
            start = end;
            continue;
        }
        RecordLines read = readRecordLines(block);
        if (!read.record) {
            return fail(LibraryTextError::RecordWithoutLines, start);
        }
        for (std::size_t k = read.used; k < block.size(); ++k) {
            const std::string_view line = trimmed(block[k]);
            if (line == "*") {
                read.record->enabled = 1;
            } else if (!isNote(line)) {
                return fail(LibraryTextError::UnexpectedLine, start + k);
            }
        }
        if (!parsed.database.append(std::move(*read.record))) {
            return fail(LibraryTextError::TooManyRecords, start);
        }
        start = end;
    }
    return parsed;
}

} // namespace

ParsedLibraryText parseLibraryText(std::string_view text) {
    try {
        return parseRecords(text);
    } catch (const std::bad_alloc&) {
        ParsedLibraryText parsed;
        parsed.error = LibraryTextError::OutOfMemory;
        return parsed;
    }
}

LibraryText formatLibraryText(const IsotopeDatabase& database) {
    LibraryText library;
    for (std::size_t i = 0; i < database.size(); ++i) {
        const IsotopeRecord& record = database[i];
        if (!nameFitsLibrary(record) || record.lines.empty() || !numbersFitLibrary(record)) {
            return {.text = {}, .unwritableRecord = i};
        }
        if (i > 0) {
            library.text += "\r\n";
        }
        library.text += formatWith(record, libraryLineText);
        if (record.isEnabled()) {
            library.text += "*\r\n";
        }
    }
    return library;
}

} // namespace kv
