#include "cli/list_update.h"

#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "model/cp1251.h"

#include <iostream>

namespace kv::cli {

int addToList(const ListUpdate& update,
              const std::function<bool(HistogramList&, AppConfig&)>& compute) {
    CliWorkspace w;
    const bool inPlace = update.outPath.empty();
    // Back into the file: other writers wait from before it is read until it is saved.
    if (inPlace) {
        if (const int status = w.lockForUpdate(update.path)) {
            return status;
        }
    }
    if (const int status = w.open(update.path, update.configPath)) {
        return status;
    }
    if (inPlace && w.state.documentUntitled) {
        std::cerr << "kvantira-cli: " << update.path
                  << " is not a histogram file; name OUT.hst to save the result\n";
        return kExitUsage;
    }
    if (!w.histogramAt(update.histogram)) {
        return kExitUsage;
    }
    w.list.setCurrentIndex(update.histogram - 1);
    if (!compute(w.list, w.config)) {
        return kExitUsage;
    }
    w.ui.setSaveFile(update.outPath);
    const SaveOutcome saved = inPlace ? w.document.save() : w.document.saveAs();
    if (saved != SaveOutcome::Written) {
        std::cerr << "kvantira-cli: " << (inPlace ? update.path : update.outPath)
                  << " was not written\n";
        return kExitUsage;
    }
    const Histogram& added = *w.list.currentHistogram();
    std::cout << w.list.currentIndex() + 1 << '\t' << utf8FromCp1251(added.name.view()) << '\t'
              << added.total << '\n';
    return kExitOk;
}

} // namespace kv::cli
