#include "acquisition/ui/report_window.h"

#include "gui/dialog_controls.h"
#include "model/strings.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>

namespace kv {

namespace {

constexpr int kPageLines = 20;
// What the view asks room for when the configuration leaves the size to the system: the longest
// lines the program writes (an expanded X-ray result and its number) and a page of them.
constexpr int kShownColumns = 80;
constexpr int kShownLines = 14;
// Character widths a line is indented by at most; the program's own lines have none.
constexpr std::int32_t kMaxIndent = 100;

QColor colourOf(const ReportColour& colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

} // namespace

// The lines in the report font: a fixed-pitch font a fifth of an inch high, one pixel between
// lines, the newest line at the top when the scroll bar stands at 0.
class ReportView : public QAbstractScrollArea {
public:
    ReportView(const ReportLog& log, QWidget* parent) : QAbstractScrollArea(parent), m_log(log) {
        m_font.setStyleHint(QFont::TypeWriter);
        m_font.setFamily(QStringLiteral("monospace"));
        m_font.setFixedPitch(true);
        m_font.setPixelSize(std::max(1, logicalDpiX() / 5));
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        verticalScrollBar()->setSingleStep(1);
        verticalScrollBar()->setPageStep(kPageLines);
        viewport()->setBackgroundRole(QPalette::Base);
        viewport()->setAutoFillBackground(false);
    }

    QSize sizeHint() const override {
        // Glyphs advance by fractions of a pixel, which the whole-pixel advance drops: 80 of
        // them would fall short of the longest line by several characters.
        const QFontMetricsF metrics(m_font);
        const int columns = static_cast<int>(
            std::ceil(kShownColumns * metrics.horizontalAdvance(QLatin1Char('0'))));
        return {columns + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
                static_cast<int>(std::ceil(kShownLines * (metrics.height() + 1))) +
                    2 * frameWidth()};
    }

    // After the log changed: the scroll range follows the number of lines.
    void refresh() {
        updateScrollRange(
            static_cast<int>(std::min<std::int64_t>(m_log.reportCount(), kReportLogCapacity)));
        viewport()->update();
    }

    std::vector<ReportWindow::ShownLine> shownLines() const {
        const std::vector<ReportLine> lines = m_log.snapshot();
        const int n = static_cast<int>(lines.size());
        const QFontMetrics metrics(m_font);
        const int lineHeight = metrics.height() + 1;
        const int digitWidth = metrics.horizontalAdvance(QLatin1Char('0'));
        const int scroll = verticalScrollBar()->value();
        std::vector<ReportWindow::ShownLine> shown;
        // Oldest first, so the lines come from the bottom up; the first above the top ends it.
        for (int i = 0; i < n; ++i) {
            const int top = (n - i - scroll - 1) * lineHeight;
            if (top < 0) {
                break;
            }
            if (top < viewport()->height()) {
                const ReportLine& line = lines[static_cast<std::size_t>(i)];
                char number[32];
                std::snprintf(number, sizeof number, "%04" PRId64 ". ", line.sequence + 1);
                shown.push_back({QString::fromUtf8(number) + QString::fromStdString(line.text),
                                 colourOf(line.colour),
                                 (std::clamp(line.indent, 0, kMaxIndent) + 1) * digitWidth, top});
            }
        }
        std::reverse(shown.begin(), shown.end());
        return shown;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), Qt::white);
        painter.setFont(m_font);
        const int ascent = QFontMetrics(m_font).ascent();
        for (const ReportWindow::ShownLine& line : shownLines()) {
            painter.setPen(line.colour);
            painter.drawText(line.left, line.top + ascent, line.text);
        }
    }

    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        refresh();
    }

private:
    void updateScrollRange(int lines) {
        // The lines that fit, counted in the report font: the range then ends where the
        // oldest line reaches the bottom.
        const int lineHeight = QFontMetrics(m_font).height() + 1;
        verticalScrollBar()->setRange(0, std::max(0, lines - viewport()->height() / lineHeight));
    }

    const ReportLog& m_log;
    QFont m_font;
};

ReportWindow::ReportWindow(ReportLog& log, AppConfig& config, UiServices& ui, QWidget* parent)
    : ToolWindow(parent), m_log(log), m_config(config), m_ui(ui) {
    setWindowTitle(qs("Отчет"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(this);
    QMenu* menu = menuBar->addMenu(qs("&Отчет"));
    for (const auto& [id, label] :
         {std::pair{MenuCommand::Clear, "&Очистить"}, std::pair{MenuCommand::Copy, "&Копировать"},
          std::pair{MenuCommand::Save, "Сохранить"}}) {
        menu->addAction(qs(label), this, [this, id = id] { command(static_cast<int>(id)); });
    }
    layout->setMenuBar(menuBar);
    m_view = new ReportView(log, this);
    layout->addWidget(m_view);

    const auto& rect = config.layout.reportWindowRect;
    const std::int64_t width = std::int64_t{rect[2]} - rect[0];
    const std::int64_t height = std::int64_t{rect[3]} - rect[1];
    const QRect stored(rect[0], rect[1],
                       static_cast<int>(std::clamp<std::int64_t>(width, 0, INT_MAX)),
                       static_cast<int>(std::clamp<std::int64_t>(height, 0, INT_MAX)));
    // The system's size for the record's "use default" (INT_MIN), an impossible rectangle or
    // one on no present screen.
    if (rect[2] != INT_MIN && rect[3] != INT_MIN && width > 0 && height > 0 &&
        QGuiApplication::screenAt(stored.center()) != nullptr) {
        setGeometry(stored);
    } else {
        resize(sizeHint());
    }
    m_view->refresh();
}

void ReportWindow::command(int id) {
    switch (id) {
    case static_cast<int>(MenuCommand::Clear):
        m_log.clear();
        m_view->refresh();
        break;
    case static_cast<int>(MenuCommand::Copy):
        copyReportLog(m_log, m_ui);
        break;
    case static_cast<int>(MenuCommand::Save):
        save();
        break;
    case kRefreshCommand:
        m_view->refresh();
        break;
    default:
        break;
    }
}

std::vector<ReportWindow::ShownLine> ReportWindow::shownLines() const {
    return m_view->shownLines();
}

QScrollBar& ReportWindow::scrollBar() const {
    return *m_view->verticalScrollBar();
}

void ReportWindow::save() {
    if (m_log.reportCount() == 0) {
        return;
    }
    FileDialogRequest request;
    request.title = StringId::SaveReportTitle;
    request.filter = StringId::TextFileFilter;
    request.initialName = m_config.textExport.exportPath;
    request.initialDirectory = m_config.lastDirectory;
    request.defaultExtension = "DAT";
    const std::optional<std::string> path = m_ui.chooseSaveFile(request);
    if (!path) {
        return;
    }
    m_config.textExport.exportPath = *path;
    const WriteOutcome written = saveReportLog(m_log, *path);
    if (!written.written) {
        m_ui.showMessage(StringId::FileWriteFailed, StringId::BadNews, written.reason);
    }
}

void ReportWindow::storePlace() {
    const QRect place = geometry();
    m_config.layout.reportWindowRect = {place.left(), place.top(), place.right() + 1,
                                        place.bottom() + 1};
}

void ReportWindow::moveEvent(QMoveEvent* event) {
    ToolWindow::moveEvent(event);
    storePlace();
}

void ReportWindow::resizeEvent(QResizeEvent* event) {
    ToolWindow::resizeEvent(event);
    storePlace();
}

} // namespace kv
