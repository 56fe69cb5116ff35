#pragma once

// The File menu's "Импорт..." and "Экспорт...": spectra of other analysers' files appended to
// the list the way Append appends a histogram file, and the current histogram written in
// another format. Written against UiServices, so the desktop program, the command-line tool
// and the tests share them. Problems are reported to the user: a file that cannot be read
// (string 2201), a file refused by its reader (string 2005 with the reason), another channel
// count than the list's (string 2007), a failed write (string 2200).

#include "formats/format_refusal.h"
#include "model/document.h"

#include <string>

namespace kv {

// The user's text of a refusal: the reason, the parser's own words after a colon where it has
// some, and where it was found ("в $DATA число отсчетов не равно числу каналов (строка 12)",
// "... (байт 30)").
std::string refusalText(const FormatRefusal& refusal);

// Asks for one or more files and imports them in the order chosen; the outcome of the last file
// that was not read, or Read.
ReadOutcome importSpectra(Document& document, AppConfig& config, UiServices& ui);

// Appends every spectrum of the file (all of them or, at another channel count, those before
// it) and, when restoreFromDataFile is on and all were added, takes over the first one's
// energy calibration. WrongMagic when the file was refused; nothing is added then.
ReadOutcome importSpectrumFile(Document& document, AppConfig& config, UiServices& ui,
                               const std::string& path);

// A file handed to the program by name, on its command line or dropped on its window: a
// histogram file, or a file of no known kind, replaces the list as Open does (asking to save
// first) when openHistogramFile is set and is appended as Append does otherwise; another
// analyser's file is imported.
ReadOutcome addNamedFile(Document& document, AppConfig& config, UiServices& ui,
                         const std::string& path, bool openHistogramFile);

// Asks for a file and writes the current histogram in the format its extension names.
SaveOutcome exportCurrentHistogram(const HistogramList& list, AppConfig& config, UiServices& ui);

// Writes one histogram with the calibration in force into path, in the format of its
// extension; the file is replaced only once the new one is complete.
SaveOutcome exportHistogram(const Histogram& h, const EnergyCalibration& calibration,
                            std::int32_t channelCount, const std::string& path, UiServices& ui);

} // namespace kv
