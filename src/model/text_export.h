#pragma once

// Text forms of histograms: one column of values per histogram after a first column of channel
// numbers (counted from 1) or energies in keV, by the plot's axis modes. Values follow the
// vertical axis mode: 0 counts, 1 counts per second, any other value percent of the total.
// Lines end in CR LF; names and comments are written as UTF-8.

#include "model/app_config.h"
#include "model/histogram.h"
#include "model/histogram_list.h"
#include "platform/ui_services.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// The path of the file for number n (1-based) of a series of files: "%s%04d%s" with the stem
// and extension of path, the extension being the text from the last '.' that follows every
// directory separator ('/' or '\'). run.txt gives run0001.txt; /old.data/run gives
// /old.data/run0001.
std::string numberedExportPath(std::string_view path, int n);

// One histogram on its own: with exportNames its name and comment lines, then one line per
// channel, "%8d\t" or "%8.2f\t" and "%10.4E".
std::string singleHistogramText(const Histogram& h, const TextExportSettings& textExport,
                                const PlotSettings& plot, const EnergyCalibration& calibration);

// The histograms at the given list positions side by side: a header line of labels (names, or
// "%10d" with the position + 1, joined by "*\t"), then one line per channel of the list.
std::string oneFileText(const HistogramList& list, std::span<const int> positions,
                        const AppConfig& config);

// The export without dialogs of every listed histogram into config.textExport.exportPath as one
// file, replacing it (the cyclic series' text autosave). False when the list is empty or the file
// could not be written.
bool exportAllToOneFile(const HistogramList& list, const AppConfig& config);

// The answers to the question asked before an existing file of a per-histogram export is
// replaced.
enum class OverwriteAnswer { Overwrite, OverwriteAll, Cancel };

// The export's own two dialogs, which the desktop program shows and tests script.
class TextExportQuestions {
public:
    // The options dialog, showing the two choices: false on Cancel; otherwise the choices the
    // user made are in oneFile and withNames.
    virtual bool chooseOptions(bool& oneFile, bool& withNames) = 0;
    // Asked for an existing file (path as it will be written) before it is replaced.
    virtual OverwriteAnswer askOverwrite(const std::string& path) = 0;

protected:
    ~TextExportQuestions() = default;
};

// The list positions an export writes, in list order: the marked entries, or all of them.
std::vector<int> exportedPositions(const HistogramList& list, bool all);

struct TextExportResult {
    std::vector<std::string> written; // the files written, in order
    bool cancelled = false;           // stopped at an overwrite question
    // The file that could not be written (even an empty name); the export ends there.
    std::optional<std::string> failedPath;
    std::string reason; // the system's description of that failure
};

// Writes the histograms at positions as text by config: exportOneFile selects one file at
// exportPath or one file per histogram at numberedExportPath(exportPath, position + 1);
// exportNames, xAxisMode and yAxisMode shape the text. Nothing is written for no positions.
// Per histogram, questions (when given) is asked before each existing file until it answers
// OverwriteAll; without it files are replaced. Files are replaced whole or left as they were.
TextExportResult writeTextExport(const HistogramList& list, const AppConfig& config,
                                 std::span<const int> positions, TextExportQuestions* questions);

// "Сохранить в текстовом формате" for the marked histograms: the options dialog, then the save
// dialog for exportPath (the choices and the path are kept in config, lastDirectory follows the
// path), then writeTextExport. A file that could not be written is reported under "Плохие
// новости" with its path. Nothing happens with an empty list.
TextExportResult exportText(const HistogramList& list, AppConfig& config, UiServices& ui,
                            TextExportQuestions& questions);

} // namespace kv
