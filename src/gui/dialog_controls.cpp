#include "gui/dialog_controls.h"

#include <QDialog>

namespace kv {

bool closeOrHelp(QDialog& dialog, int id, UiServices& ui, int helpContext) {
    if (id == kCancelButton) {
        dialog.reject();
        return true;
    }
    if (id == kHelpButton) {
        ui.showHelp(helpContext);
        return true;
    }
    return false;
}

} // namespace kv
