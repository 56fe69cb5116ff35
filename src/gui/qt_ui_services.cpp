#include "gui/qt_ui_services.h"

#include "gui/help_window.h"
#include "model/strings.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QWindow>

#include <utility>

namespace kv {

namespace {

const QString kShippedHelpFile = QStringLiteral(":/kv/Mirta.hlp");

QString qtText(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Table texts keep the CR LF of the original; a message box wants plain line feeds.
QString tableText(StringId id) {
    return qtText(text(id)).remove(QLatin1Char('\r'));
}

QMessageBox::Icon iconFor(StringId caption) {
    switch (caption) {
    case StringId::BadNews:
        return QMessageBox::Warning;
    case StringId::Question:
        return QMessageBox::Question;
    default:
        return QMessageBox::Information;
    }
}

} // namespace

QStringList qtNameFilters(std::string_view tableFilter) {
    const QStringList parts = qtText(tableFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (description.endsWith(QLatin1Char(')'))) {
            if (const qsizetype open = description.lastIndexOf(QLatin1Char('(')); open >= 0)
                description = description.left(open).trimmed();
        }
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*"))
                pattern = QStringLiteral("*");
        }
        filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')'));
    }
    return filters;
}

QtUiServices::QtUiServices(std::string programDirectory, QWidget* owner)
    : m_programDirectory(std::move(programDirectory)), m_owner(owner) {}

void QtUiServices::showBox(const QString& message, StringId caption) {
    QMessageBox box(iconFor(caption), tableText(caption), message, QMessageBox::Ok, m_owner);
    box.exec();
}

void QtUiServices::showMessage(StringId text, StringId caption, std::string_view detail) {
    QString message = tableText(text);
    if (!detail.empty())
        message += QLatin1Char('\n') + qtText(detail);
    showBox(message, caption);
}

void QtUiServices::showFormattedMessage(StringId, std::string_view formatted, StringId caption) {
    showBox(qtText(formatted).remove(QLatin1Char('\r')), caption);
}

Answer QtUiServices::ask(StringId text, StringId caption, QuestionButtons buttons) {
    QMessageBox::StandardButtons choice = QMessageBox::Yes | QMessageBox::No;
    if (buttons == QuestionButtons::YesNoCancel)
        choice |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, tableText(caption), tableText(text), choice, m_owner);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QStringList QtUiServices::chooseFiles(const FileDialogRequest& request,
                                      QFileDialog::FileMode mode) {
    const bool save = mode == QFileDialog::AnyFile;
    QFileDialog dialog(m_owner, tableText(request.title), qtText(request.initialDirectory));
    // Qt's own dialog matches the table's upper-case Windows patterns regardless of case, as
    // Windows does; the desktop's native one on Linux would hide "demo.hst" behind "*.HST".
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    const QStringList filters = qtNameFilters(text(request.filter));
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 0 && request.filterIndex < filters.size())
        dialog.selectNameFilter(filters[request.filterIndex]);
    // Qt appends it only when the typed name has no suffix, and asks before replacing a file
    // under the completed name.
    dialog.setDefaultSuffix(qtText(request.defaultExtension));
    if (!request.initialName.empty())
        dialog.selectFile(qtText(request.initialName));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

std::optional<std::string> QtUiServices::chooseOpenFile(const FileDialogRequest& request) {
    const QStringList chosen = chooseFiles(request, QFileDialog::ExistingFile);
    return chosen.isEmpty() ? std::nullopt : std::optional(chosen.constFirst().toStdString());
}

std::vector<std::string> QtUiServices::chooseOpenFiles(const FileDialogRequest& request) {
    std::vector<std::string> paths;
    for (const QString& path : chooseFiles(request, QFileDialog::ExistingFiles))
        paths.push_back(path.toStdString());
    return paths;
}

std::optional<std::string> QtUiServices::chooseSaveFile(const FileDialogRequest& request) {
    const QStringList chosen = chooseFiles(request, QFileDialog::AnyFile);
    return chosen.isEmpty() ? std::nullopt : std::optional(chosen.constFirst().toStdString());
}

void QtUiServices::setClipboardText(const std::string& text) {
    QGuiApplication::clipboard()->setText(qtText(text));
}

std::string QtUiServices::clipboardText() {
    const std::string plain = QGuiApplication::clipboard()->text().toStdString();
    std::string result;
    result.reserve(plain.size() + plain.size() / 16);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == '\n' && (i == 0 || plain[i - 1] != '\r'))
            result += '\r';
        result += plain[i];
    }
    return result;
}

void QtUiServices::showHelp(int context) {
    QString helpFile = qtText(m_programDirectory) + QStringLiteral("Mirta.hlp");
    if (!QFile::exists(helpFile)) {
        if (QFile::copy(kShippedHelpFile, helpFile))
            QFile::setPermissions(helpFile, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther);
        else
            helpFile = kShippedHelpFile;
    }
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(m_owner);
    // A modal dialog blocks every window but its own transient ones, and its "Помощь" is read
    // while the dialog stays open.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_helpWindow) {
        m_helpWindow->winId(); // the native window that carries the hint
        m_helpWindow->windowHandle()->setTransientParent(modal->windowHandle());
    }
    if (!m_helpWindow->showTopic(helpFile, context))
        m_helpWindow->showTopic(kShippedHelpFile, context);
}

bool QtUiServices::startAnotherCopy(const std::vector<std::string>& arguments) {
    QStringList qtArguments;
    for (const std::string& argument : arguments)
        qtArguments.append(qtText(argument));
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), qtArguments);
}

} // namespace kv
