#pragma once

// The File menu's flows over the open histograms: New, Open, Append, Save, Save as, opening a
// file named on the command line, and the question before unsaved work is discarded. They run
// against UiServices, so the desktop program, the command-line tool and the tests share them.

#include "model/app_config.h"
#include "model/document_state.h"
#include "model/histogram_list.h"
#include "platform/files.h"
#include "platform/ui_services.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::string_view kUntitledDocument = "noname.hst";
inline constexpr std::string_view kTitlePrefix = "Multy channel kvantira: ";

enum class ReadOutcome {
    Read,                 // every histogram was added
    Cancelled,            // the user cancelled a question or the file dialog
    NotOpened,            // the file could not be opened (reported); nothing changed
    WrongMagic,           // not a histogram file
    Damaged,              // the histograms before the damage (or where memory ran out) were added
    DifferentChannelCount // the histograms before the first of another length were added
};

enum class SaveOutcome {
    Written,
    NothingToSave, // already saved, or nothing listed
    Cancelled,
    Failed // reported to the user; the previous file is intact
};

// A path as the command line gives it, without the quotes around it.
std::string unquotedPath(std::string path);

class Document {
public:
    Document(HistogramList& list, AppConfig& config, DocumentState& state, UiServices& ui)
        : m_list(list), m_config(config), m_state(state), m_ui(ui) {}

    // Window title: the prefix and the file name of documentPath.
    std::string titleText() const;

    // True to go on discarding the open histograms: nothing unsaved, the user said No, or the
    // user said Yes and the document was saved. False on Cancel, when the Save-as dialog that
    // Yes opens was cancelled, or when the save failed, so nothing is lost.
    bool askToSave();

    // Clears the list after askToSave; the document becomes untitled "noname.hst".
    bool newDocument();

    ReadOutcome open();
    ReadOutcome openFromCommandLine(std::string path);
    ReadOutcome append();
    // Append without the file dialog.
    ReadOutcome appendFile(const std::string& path);

    // Save writes the file the title names. When another program has changed that file since
    // it was opened or last saved here, the user is asked first: Yes replaces it, No saves
    // under another name instead, Cancel writes nothing. A file another writer is writing
    // right now is not touched (reported).
    SaveOutcome save();
    SaveOutcome saveAs();

    // Keeps the lock for the document's life: saves to the locked file write under it instead
    // of taking their own, so a read-modify-write (the command-line tool's measure and merge)
    // holds other writers off from before reading until after writing.
    void holdLock(FileLock lock) { m_heldLock = std::move(lock); }

    // A histogram handed over by another running copy (one block of a histogram file), added
    // with its own kind. A list of another channel count refuses it with a message. False when
    // nothing was added.
    bool receiveHistogram(std::span<const std::uint8_t> block);

    // Appends histograms read from another analyser's file as Append appends a histogram
    // file's: a channel count that differs from a non-empty list stops there with string 2007.
    // Read or DifferentChannelCount; the document becomes unsaved when anything was added. Into
    // an empty list, the visible range becomes the whole spectrum.
    ReadOutcome appendHistograms(std::vector<std::unique_ptr<Histogram>> histograms);

private:
    // Appends the histograms of an opened file to the list and, when the configuration says
    // so, takes over its calibrations and range. Reports format problems to the user.
    ReadOutcome readHistogramFile(FileReader& file, const std::string& path);
    ReadOutcome addToList(std::vector<std::unique_ptr<Histogram>>& histograms);
    std::optional<FileReader> openForReading(const std::string& path);
    FileDialogRequest histogramDialog(StringId title) const;
    void rememberDirectoryOf(const std::string& path);
    ReadOutcome openChosen(std::string path);
    SaveOutcome writeTo(const std::string& path, bool askIfChangedOnDisk);
    bool changedOnDisk(const std::string& path) const;
    void checkVisibleRange();

    // The file the document was last read from or written to, as it was then.
    struct SeenFile {
        std::string path;
        FileStamp stamp;
    };

    HistogramList& m_list;
    AppConfig& m_config;
    DocumentState& m_state;
    UiServices& m_ui;
    std::optional<SeenFile> m_seenFile;
    std::optional<FileLock> m_heldLock;
};

} // namespace kv
