#pragma once

// Whether the open histograms have changed since the last New, Open or Save, and whether they
// have a file of their own yet. The file's path itself is AppConfig::documentPath, which is
// also written to the configuration file.

namespace kv {

struct DocumentState {
    bool documentSaved = true;
    bool documentUntitled = true;

    void markChanged() { documentSaved = false; }
};

} // namespace kv
