#include "cli/commands.h"

#include "analysis/isotope_text.h"
#include "model/cp1251.h"
#include "platform/files.h"
#include "platform/program_directory.h"

#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace kv::cli {

namespace {

constexpr std::string_view kDbHelp =
    "usage: kvantira-cli db list [SPECTORS.DAT]\n"
    "       kvantira-cli db export SPECTORS.DAT OUT.txt\n"
    "       kvantira-cli db import IN.txt SPECTORS.DAT\n"
    "\n"
    "The isotope line database. 'list' prints one line per isotope, tab-separated: name, '*'\n"
    "when the isotope is enabled for identification or '-', and the number of lines; without a\n"
    "file it reads SPECTORS.DAT in the program directory. 'export' writes the database as\n"
    "text, 'import' builds a database file from such text (replacing the file).\n"
    "\n"
    "The text form: one block per isotope, blocks separated by blank lines. A block is the\n"
    "name, then one line per gamma line with energy in keV and intensity in emissions per\n"
    "decay, separated by white space; then optionally a line '*' (enabled) and notes starting\n"
    "with '#'. A block of nothing but '#' lines is a note. At most 256 isotopes; names are cut\n"
    "to 14 characters.\n";

constexpr std::string_view kDatabaseFileName = "SPECTORS.DAT";

// The database at path for reading: 0 when it was read whole, else the exit code, with the
// reason on standard error. A damaged file keeps the isotopes before the damage.
int loadForReading(const std::string& path, LoadedDatabase& loaded) {
    loaded = loadDatabase(path);
    switch (loaded.condition) {
    case DatabaseCondition::Complete:
        return kExitOk;
    case DatabaseCondition::Missing:
        std::cerr << "kvantira-cli: cannot open " << path << '\n';
        return kExitUsage;
    case DatabaseCondition::Damaged:
        std::cerr << "kvantira-cli: " << path << ": isotope " << loaded.database.size() + 1
                  << " is cut short or damaged; " << loaded.database.size()
                  << " isotopes before it were read\n";
        return kExitFormat;
    case DatabaseCondition::MoreThanCapacity:
        std::cerr << "kvantira-cli: " << path << ": more than " << IsotopeDatabase::kCapacity
                  << " isotopes; the first " << IsotopeDatabase::kCapacity << " were read\n";
        return kExitFormat;
    case DatabaseCondition::OutOfMemory:
        std::cerr << "kvantira-cli: " << path << ": not enough memory; " << loaded.database.size()
                  << " isotopes were read\n";
        return kExitFormat;
    }
    return kExitFormat;
}

int list(const std::string& path) {
    LoadedDatabase loaded;
    const int status = loadForReading(path, loaded);
    if (loaded.condition == DatabaseCondition::Missing) {
        return status;
    }
    std::size_t lines = 0;
    for (const IsotopeRecord& record : loaded.database.records()) {
        lines += record.lines.size();
    }
    std::cout << "isotopes: " << loaded.database.size() << ", lines: " << lines << '\n';
    for (const IsotopeRecord& record : loaded.database.records()) {
        std::cout << utf8FromCp1251(record.name) << '\t' << (record.isEnabled() ? "*" : "-") << '\t'
                  << record.lines.size() << '\n';
    }
    return status;
}

int exportText(const std::string& databasePath, const std::string& textPath) {
    LoadedDatabase loaded;
    if (const int status = loadForReading(databasePath, loaded); status != kExitOk) {
        std::cerr << "kvantira-cli: nothing written\n";
        return status;
    }
    const LibraryText library = formatLibraryText(loaded.database);
    if (library.unwritableRecord) {
        std::cerr << "kvantira-cli: isotope " << *library.unwritableRecord + 1
                  << " has no lines, or a name or a number the text form cannot hold; nothing "
                     "written\n";
        return kExitFormat;
    }
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(library.text.data()),
                          library.text.size());
    if (const WriteOutcome written = writeFileReplacing(textPath, bytes); !written.written) {
        std::cerr << "kvantira-cli: cannot write " << textPath << ": " << written.reason << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

std::string describe(LibraryTextError error) {
    switch (error) {
    case LibraryTextError::None:
        break;
    case LibraryTextError::RecordWithoutLines:
        return "an isotope name without energy and intensity lines after it";
    case LibraryTextError::UnexpectedLine:
        return "after the energy and intensity lines, a line that is neither '*' nor a '#' "
               "note";
    case LibraryTextError::TooManyRecords:
        return "more than " + std::to_string(IsotopeDatabase::kCapacity) + " isotopes";
    case LibraryTextError::OutOfMemory:
        return "not enough memory for its isotopes";
    }
    return "";
}

int importText(const std::string& textPath, const std::string& databasePath) {
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = readWholeFile(textPath);
    } catch (const std::bad_alloc&) {
        std::cerr << "kvantira-cli: " << textPath << ": not enough memory to read it\n";
        return kExitFormat;
    }
    if (!bytes) {
        std::cerr << "kvantira-cli: cannot open " << textPath << '\n';
        return kExitUsage;
    }
    ParsedLibraryText parsed = parseLibraryText(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    if (parsed.error == LibraryTextError::OutOfMemory) {
        std::cerr << "kvantira-cli: " << textPath << ": " << describe(parsed.error)
                  << "; nothing written\n";
        return kExitFormat;
    }
    if (parsed.error != LibraryTextError::None) {
        std::cerr << "kvantira-cli: " << textPath << ':' << parsed.errorLine << ": "
                  << describe(parsed.error) << "; nothing written\n";
        return kExitFormat;
    }
    if (parsed.database.empty()) {
        std::cerr << "kvantira-cli: " << textPath << " holds no isotopes; nothing written\n";
        return kExitFormat;
    }
    const SaveDatabaseOutcome saved = saveDatabase(parsed.database, databasePath);
    if (saved.status != SaveDatabaseStatus::Written) {
        std::cerr << "kvantira-cli: cannot write " << databasePath << ": " << saved.reason << '\n';
        return kExitUsage;
    }
    return kExitOk;
}

} // namespace

int runDb(std::span<const std::string_view> args) {
    if (!wantsHelp(args) && refusedEmptyArgument(args)) {
        return kExitUsage;
    }
    std::vector<std::string> words;
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::cout << kDbHelp;
            return kExitOk;
        }
        if (arg.starts_with("-")) {
            std::cerr << kDbHelp;
            return kExitUsage;
        }
        words.emplace_back(arg);
    }
    const std::string action = words.empty() ? std::string() : words.front();
    if (action == "list" && words.size() <= 2) {
        return list(words.size() == 2 ? words[1]
                                      : findProgramDirectory() + std::string(kDatabaseFileName));
    }
    if (action == "export" && words.size() == 3) {
        return exportText(words[1], words[2]);
    }
    if (action == "import" && words.size() == 3) {
        return importText(words[1], words[2]);
    }
    std::cerr << kDbHelp;
    return kExitUsage;
}

} // namespace kv::cli
