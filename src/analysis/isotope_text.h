#pragma once

// Text forms of the isotope database, all UTF-8 (names are converted from and to the records'
// Windows-1251 at this edge).
//
// The editor's form of one record: the name on the first line, then one line per gamma line,
// energy in keV and intensity in emissions per decay separated by white space:
//
//   Co-60
//   1173.228	9.985E-01
//   1332.492	9.998E-01
//
// Reading stops at the first line after the name that does not start with two numbers; what
// follows is ignored.
//
// The library form holds a whole database: the records in the editor's form, separated by blank
// lines. After a record's number lines it may carry a line "*" (the isotope is enabled, as the
// database list marks it) and lines starting with '#' (notes). A block of nothing but '#' lines
// is a note of its own. Any other line there is an error, so a mistyped number line cannot
// silently end a record early. Numbers are written so that they read back exactly.

#include "analysis/isotope_database.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The editor's text of a record: lines in ascending energy, "%0.3f\t%0.3E" each, every line
// ending in "\r\n". The record itself keeps its order.
std::string formatRecord(const IsotopeRecord& record);

// The record an editor text gives, or nothing when no number line follows the name. Lines end
// with "\r\n" or "\n". The name is cut to 14 Windows-1251 bytes (and at a zero character); at
// most kMaxIsotopeLines lines are read. Lines are put in descending intensity; the record
// starts disabled.
std::optional<IsotopeRecord> parseRecord(std::string_view text);

// The database list's entry: the name, followed by "*" when the isotope is enabled.
std::string databaseListText(const IsotopeRecord& record);

enum class EditOutcome {
    Added,
    Replaced,
    NothingParsed, // the text has no number line: the table keeps its records
    DatabaseFull,  // a new record, but the table holds kCapacity already: nothing added
    NoSuchRecord,  // the record being edited is not in the table (an empty table)
};

// The editor's OK: a record parsed from text replaces the record at editing, keeping its
// enabled mark (the text does not carry it), or, for a new record (editing empty), is appended
// disabled. The table is then sorted by name and counts as changed whatever the outcome, as it
// always has.
EditOutcome applyEditorText(IsotopeDatabase& database, std::optional<std::size_t> editing,
                            std::string_view text);

enum class LibraryTextError {
    None,
    RecordWithoutLines, // a name with no number line after it
    UnexpectedLine,     // after a record's number lines, a line that is neither "*" nor a note
    TooManyRecords,     // more than IsotopeDatabase::kCapacity records
    OutOfMemory,        // memory ran out (errorLine is 0)
};

struct ParsedLibraryText {
    IsotopeDatabase database; // the records in text order, up to the error
    LibraryTextError error = LibraryTextError::None;
    std::size_t errorLine = 0; // 1-based line of the error
};

// Throws nothing: a text whose records need more memory than there is gives OutOfMemory.
ParsedLibraryText parseLibraryText(std::string_view text);

struct LibraryText {
    std::string text; // "\r\n" line ends; empty when a record cannot be written
    // The first record the form cannot hold: a name that is blank or holds a line break, a
    // record without lines, or one holding a subnormal number (below 2.2e-308 in magnitude,
    // which the reader takes as out of range). Reading such a text back would give other
    // records.
    std::optional<std::size_t> unwritableRecord;
};

LibraryText formatLibraryText(const IsotopeDatabase& database);

} // namespace kv
