#include "gui/help_window.h"

#include <QFile>
#include <QFileInfo>

namespace kv {

HelpWindow::HelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setOpenExternalLinks(true);
    resize(640, 480);
}

bool HelpWindow::showTopic(const QString& helpFile, int context) {
    // Only a regular file: opening a FIFO put in its place would wait for a writer.
    QFile file(helpFile);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    // Show before filling: the anchor can only be scrolled to once the page has a layout.
    show();
    raise();
    activateWindow();
    setHtml(QString::fromUtf8(file.readAll()));
    setWindowTitle(documentTitle());
    scrollToAnchor(QStringLiteral("ctx-%1").arg(context));
    return true;
}

} // namespace kv
