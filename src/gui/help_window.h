#pragma once

// The help window: the HTML help file, one topic per context number at the anchor "ctx-<n>".

#include <QTextBrowser>

namespace kv {

class HelpWindow : public QTextBrowser {
public:
    explicit HelpWindow(QWidget* owner = nullptr);

    // Shows the window with helpFile (re-read each time, so an edited file shows at once)
    // scrolled to the topic of context. False, and nothing shown, when the file cannot be read.
    bool showTopic(const QString& helpFile, int context);
};

} // namespace kv
