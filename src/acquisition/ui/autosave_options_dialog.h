#pragma once

// The autosave options of the cyclic series: whether the histogram file is saved at the end and
// under which name, and whether the cycles are written as text, each cycle to its own numbered
// file or all of them to one file at the end, with or without their names. OK makes the named
// histogram file the document's file, so the save at the end writes there without asking.

#include "gui/dialog_controls.h"
#include "model/app_config.h"
#include "model/document_state.h"
#include "platform/ui_services.h"

#include <QDialog>

namespace kv {

class AutoSaveOptionsDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Help = kHelpButton,
        SaveHistograms = 101,
        HistogramPath = 102,
        BrowseHistogramPath = 103,
        SaveText = 104,
        TextPath = 105,
        BrowseTextPath = 106,
        FilePerCycle = 107,
        OneFile = 108,
        IncludeNames = 109,
    };

    // Shows autoSave, documentPath and the text export settings of config.
    AutoSaveOptionsDialog(AppConfig& config, DocumentState& document, UiServices& ui,
                          QWidget* parent = nullptr);

    QWidget* control(Control id) const { return m_controls.find(id); }
    void command(Control id);

private:
    void applyEnablingRules();
    void browseHistogramPath();
    void browseTextPath();
    void store();

    AppConfig& m_config;
    DocumentState& m_document;
    UiServices& m_ui;
    DialogControls<Control> m_controls;
};

} // namespace kv
