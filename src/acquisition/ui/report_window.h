#pragma once

// The report window ("Отчет", command 406): the report log's lines, newest at the top, each in
// its colour and numbered from 1 since start or the last clear, with a menu to clear the log,
// copy it to the clipboard and save it as text. Lines added while it is open appear at once
// (the run host sends it kRefreshCommand after each). Its place and size are kept in the
// configuration.

#include "acquisition/report_log.h"
#include "gui/tool_window.h"
#include "model/app_config.h"
#include "platform/ui_services.h"

#include <QColor>
#include <QString>

#include <vector>

class QScrollBar;

namespace kv {

class ReportView;

class ReportWindow : public ToolWindow {
public:
    // The menu's commands.
    enum class MenuCommand { Clear = 101, Copy = 102, Save = 103 };

    ReportWindow(ReportLog& log, AppConfig& config, UiServices& ui, QWidget* parent);

    // The menu's commands and kRefreshCommand.
    void command(int id) override;

    // A line as the window draws it: its text, colour, and its left and top in the view, in
    // pixels.
    struct ShownLine {
        QString text;
        QColor colour;
        int left = 0;
        int top = 0;
    };
    // The lines in view now, top first.
    std::vector<ShownLine> shownLines() const;
    // Lines up and down, 20 a page.
    QScrollBar& scrollBar() const;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void save();
    void storePlace();

    ReportLog& m_log;
    AppConfig& m_config;
    UiServices& m_ui;
    ReportView* m_view = nullptr;
};

} // namespace kv
