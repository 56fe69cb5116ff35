#include "model/document.h"

#include "model/histogram_file.h"

namespace kv {

std::string Document::titleText() const {
    return std::string(kTitlePrefix) + fileNameOf(m_config.documentPath);
}

bool Document::askToSave() {
    if (m_list.empty() || m_state.documentSaved) {
        return true;
    }
    switch (
        m_ui.ask(StringId::SaveFileQuestion, StringId::Question, QuestionButtons::YesNoCancel)) {
    case Answer::Yes: {
        // Cancelling the Save-as dialog that follows cancels the discarding as well: the user
        // asked for these histograms to be kept.
        const SaveOutcome saved = save();
        return saved == SaveOutcome::Written || saved == SaveOutcome::NothingToSave;
    }
    case Answer::No:
        return true;
    case Answer::Cancel:
        break;
    }
    return false;
}

bool Document::newDocument() {
    if (!askToSave()) {
        return false;
    }
    m_list.clearList();
    m_list.resetHistogramNumber();
    m_config.documentPath = kUntitledDocument;
    m_state.documentSaved = true;
    m_state.documentUntitled = true;
    m_seenFile.reset();
    return true;
}

FileDialogRequest Document::histogramDialog(StringId title) const {
    FileDialogRequest request;
    request.title = title;
    request.filter = StringId::HistogramFilter;
    request.initialName = m_config.documentPath;
    request.initialDirectory = m_config.lastDirectory;
    request.defaultExtension = "HST";
    return request;
}

void Document::rememberDirectoryOf(const std::string& path) {
    m_config.lastDirectory = directoryOf(path);
}

ReadOutcome Document::open() {
    if (!askToSave()) {
        return ReadOutcome::Cancelled;
    }
    // The list is cleared only once a file is chosen, so cancelling keeps what was open.
    const auto chosen = m_ui.chooseOpenFile(histogramDialog(StringId::OpenFileTitle));
    if (!chosen) {
        return ReadOutcome::Cancelled;
    }
    rememberDirectoryOf(*chosen);
    return openChosen(*chosen);
}

ReadOutcome Document::openFromCommandLine(std::string path) {
    if (!askToSave()) {
        return ReadOutcome::Cancelled;
    }
    return openChosen(unquotedPath(std::move(path)));
}

std::string unquotedPath(std::string path) {
    if (!path.empty() && path.front() == '"') {
        path = path.size() >= 2 ? path.substr(1, path.size() - 2) : std::string();
    }
    return path;
}

std::optional<FileReader> Document::openForReading(const std::string& path) {
    std::string reason;
    auto file = FileReader::open(path, &reason);
    if (!file) {
        m_ui.showMessage(StringId::FileOpenFailed, StringId::BadNews, path + "\n" + reason);
    }
    return file;
}

ReadOutcome Document::openChosen(std::string path) {
    // A file that cannot be read leaves the open histograms and the title as they were.
    auto file = openForReading(path);
    if (!file) {
        return ReadOutcome::NotOpened;
    }
    m_list.clearList();
    m_config.documentPath = std::move(path);
    m_list.resetHistogramNumber();
    const ReadOutcome outcome = readHistogramFile(*file, m_config.documentPath);
    if (outcome != ReadOutcome::WrongMagic && outcome != ReadOutcome::Damaged) {
        m_state.documentUntitled = false;
        m_state.documentSaved = true;
        m_seenFile = SeenFile{m_config.documentPath, file->stamp()};
    }
    return outcome;
}

ReadOutcome Document::append() {
    const auto chosen = m_ui.chooseOpenFile(histogramDialog(StringId::AppendFileTitle));
    if (!chosen) {
        return ReadOutcome::Cancelled;
    }
    // Only the directory follows the appended file: Save keeps writing to the file the title
    // names, never to the appended one.
    rememberDirectoryOf(*chosen);
    return appendFile(*chosen);
}

ReadOutcome Document::appendFile(const std::string& path) {
    auto file = openForReading(path);
    if (!file) {
        return ReadOutcome::NotOpened;
    }
    const ReadOutcome outcome = readHistogramFile(*file, path);
    m_state.documentSaved = false;
    return outcome;
}

ReadOutcome Document::readHistogramFile(FileReader& file, const std::string& path) {
    ParsedHistogramFile parsed = parseHistogramFile(file);
    if (parsed.condition == FileCondition::WrongMagic) {
        m_ui.showMessage(StringId::UnknownFileFormat, StringId::BadNews);
        m_config.documentPath = kUntitledDocument;
        m_state.documentUntitled = true;
        m_state.documentSaved = false;
        return ReadOutcome::WrongMagic;
    }

    ReadOutcome outcome = addToList(parsed.histograms);

    if (parsed.condition != FileCondition::Complete && outcome == ReadOutcome::Read) {
        // What could be read stays listed; the document gets no file of its own, so a later
        // Save cannot replace the original with the part that was readable.
        m_ui.showMessage(parsed.condition == FileCondition::OutOfMemory
                             ? StringId::FileTooLargeForMemory
                             : StringId::UnknownFileFormat,
                         StringId::BadNews, path);
        m_config.documentPath = kUntitledDocument;
        m_state.documentUntitled = true;
        m_state.documentSaved = false;
        outcome = ReadOutcome::Damaged;
    } else if (outcome == ReadOutcome::Read && parsed.trailer && m_config.restoreFromDataFile) {
        applyTrailer(m_config, *parsed.trailer);
    }
    checkVisibleRange();
    return outcome;
}

ReadOutcome Document::addToList(std::vector<std::unique_ptr<Histogram>>& histograms) {
    for (auto& h : histograms) {
        const auto channels = static_cast<std::int32_t>(h->channels.size());
        if (channels != m_list.channelCount() && !m_list.empty()) {
            m_ui.showMessage(StringId::DifferentChannelCounts, StringId::BadNews);
            return ReadOutcome::DifferentChannelCount;
        }
        m_list.setChannelCount(channels);
        m_list.addHistogram(std::move(h));
    }
    return ReadOutcome::Read;
}

ReadOutcome Document::appendHistograms(std::vector<std::unique_ptr<Histogram>> histograms) {
    // Adding marks the document changed already.
    const bool wasEmpty = m_list.empty();
    const ReadOutcome outcome = addToList(histograms);
    if (wasEmpty && !m_list.empty()) {
        // Such files have no visible range to restore: the whole spectrum is shown.
        m_config.plot.firstChannel = 0;
        m_config.plot.lastChannel = m_list.channelCount() - 1;
    }
    checkVisibleRange();
    return outcome;
}

bool Document::receiveHistogram(std::span<const std::uint8_t> block) {
    SpanSource source(block);
    std::vector<std::unique_ptr<Histogram>> received;
    received.push_back(readHistogramBlock(source));
    if (!received.front() || addToList(received) != ReadOutcome::Read) {
        return false;
    }
    checkVisibleRange();
    return true;
}

void Document::checkVisibleRange() {
    const std::int32_t count = m_list.channelCount();
    std::int32_t& first = m_config.plot.firstChannel;
    std::int32_t& last = m_config.plot.lastChannel;
    if (first < 0 || first >= count || first + 2 >= last || last >= count) {
        first = 0;
        last = count - 1;
    }
}

SaveOutcome Document::save() {
    if (m_state.documentSaved || m_list.empty()) {
        return SaveOutcome::NothingToSave;
    }
    if (m_state.documentUntitled) {
        return saveAs();
    }
    return writeTo(m_config.documentPath, true);
}

SaveOutcome Document::saveAs() {
    if (m_list.empty()) {
        return SaveOutcome::NothingToSave;
    }
    const auto chosen = m_ui.chooseSaveFile(histogramDialog(StringId::SaveFileAsTitle));
    if (!chosen) {
        return SaveOutcome::Cancelled;
    }
    rememberDirectoryOf(*chosen);
    const SaveOutcome outcome = writeTo(*chosen, false);
    if (outcome == SaveOutcome::Written) {
        m_config.documentPath = *chosen;
        m_state.documentUntitled = false;
    }
    return outcome;
}

bool Document::changedOnDisk(const std::string& path) const {
    if (!m_seenFile || m_seenFile->path != path) {
        return false;
    }
    // A file that has gone holds nothing to lose.
    const std::optional<FileStamp> now = stampOf(path);
    return now && *now != m_seenFile->stamp;
}

SaveOutcome Document::writeTo(const std::string& path, bool askIfChangedOnDisk) {
    // Other writers are held off from the check below until the new file is in place.
    std::optional<FileLock> ownLock;
    FileLock* lock = m_heldLock && m_heldLock->isFor(path) ? &*m_heldLock : nullptr;
    if (lock == nullptr) {
        LockAttempt attempt = FileLock::acquire(path, LockWait::No);
        if (attempt.state == LockState::Busy) {
            m_ui.showMessage(StringId::FileBusy, StringId::BadNews, path);
            return SaveOutcome::Failed;
        }
        if (attempt.state == LockState::Failed) {
            m_ui.showMessage(StringId::FileWriteFailed, StringId::BadNews,
                             path + "\n" + attempt.reason);
            return SaveOutcome::Failed;
        }
        ownLock = std::move(attempt.lock);
        lock = &*ownLock;
    }
    if (askIfChangedOnDisk && changedOnDisk(path)) {
        switch (m_ui.ask(StringId::FileChangedOnDisk, StringId::Question,
                         QuestionButtons::YesNoCancel)) {
        case Answer::Yes:
            break;
        case Answer::No:
            ownLock.reset();
            return saveAs();
        case Answer::Cancel:
            return SaveOutcome::Cancelled;
        }
    }
    const WriteOutcome written =
        writeFileReplacing(path, encodeHistogramFile(m_list, m_config), lock);
    if (!written.written) {
        m_ui.showMessage(StringId::FileWriteFailed, StringId::BadNews,
                         path + "\n" + written.reason);
        return SaveOutcome::Failed;
    }
    m_seenFile = SeenFile{path, written.stamp};
    m_state.documentSaved = true;
    return SaveOutcome::Written;
}

} // namespace kv
