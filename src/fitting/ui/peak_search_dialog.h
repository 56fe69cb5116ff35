#pragma once

// The peak search ("Поиск пиков"): the small dialog of its two settings ("Range:", "Sigma
// Max"), asked before each search, and the search itself, which adds a histogram holding only
// the Gaussians of the peaks found.

#include "fitting/peak_search.h"
#include "gui/dialog_controls.h"
#include "gui/main_window_services.h"

#include <QDialog>

namespace kv {

class PeakSearchDialog : public QDialog {
public:
    enum class Control {
        Ok = kOkButton,
        Cancel = kCancelButton,
        Help = kHelpButton,
        Range = 101,    // channels each side of the centre, unsigned
        SigmaMax = 102, // channels
    };

    // "OK" stores the fields into settings.
    PeakSearchDialog(PeakSearchSettings& settings, UiServices& ui, QWidget* parent);

    void command(Control id);
    QWidget* control(Control id) const { return m_controls.find(id); }

private:
    PeakSearchSettings& m_settings;
    UiServices& m_ui;
    DialogControls<Control> m_controls;
};

// Command 309: nothing with an empty list; the dialog, then (unless cancelled) the search over
// the current histogram between the boundaries, whose result becomes the current histogram.
void searchPeaksWithDialog(MainWindowServices& services, QWidget* parent);

} // namespace kv
