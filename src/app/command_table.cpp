#include "app/command_table.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace kv {

namespace {

using C = Command;
using M = MainMenu;
using I = ToolbarImage;
using R = Refresh;
using S = StringId;
using Key = QKeySequence;

// What a file command may change: the list, the calibrations the plot is drawn with and the
// document path the title shows.
constexpr Refresh kDocument = R::All;
// A changed list: the rows and the curves drawn.
constexpr Refresh kEntries = R::List | R::Plot;

// A row of the table, written as the command followed by what it has.
class Row {
public:
    explicit Row(Command command) { m_info.command = command; }

    Row& item(MainMenu menu, std::string_view text) {
        m_info.menu = menu;
        m_info.text = text;
        return *this;
    }
    Row& separatorBefore() {
        m_info.separatorBefore = true;
        return *this;
    }
    Row& button(ToolbarImage image, StringId tooltip) {
        m_info.button = ToolbarButton{image, false, tooltip};
        return *this;
    }
    Row& checkButton(ToolbarImage image, StringId tooltip) {
        m_info.button = ToolbarButton{image, true, tooltip};
        return *this;
    }
    Row& needsHistograms() {
        m_info.needsHistograms = true;
        return *this;
    }
    Row& refresh(Refresh what) {
        m_info.refresh = what;
        return *this;
    }
    Row& keys(QKeySequence::StandardKey standard) {
        m_info.shortcut.standard = standard;
        return *this;
    }
    Row& keys(QKeyCombination keys) {
        m_info.shortcut.keys = keys;
        return *this;
    }

    operator CommandInfo() const { return m_info; }

private:
    CommandInfo m_info{};
};

const auto kCommands = std::to_array<CommandInfo>({
    // "Файл"
    Row(C::New)
        .item(M::File, "Новый")
        .button(I::New, S::TipNewFile)
        .refresh(kDocument)
        .keys(Key::New),
    Row(C::Open)
        .item(M::File, "Открыть")
        .button(I::Open, S::TipOpenFile)
        .refresh(kDocument)
        .keys(Key::Open),
    Row(C::Append).item(M::File, "Присоединить").refresh(kEntries),
    Row(C::Import).item(M::File, "Импорт...").refresh(kEntries),
    Row(C::Export).item(M::File, "Экспорт...").needsHistograms(),
    Row(C::Save)
        .item(M::File, "Сохранить")
        .separatorBefore()
        .button(I::Save, S::TipSaveFile)
        .refresh(R::Title)
        .keys(Key::Save),
    // Not every desktop's key theme has a key for it.
    Row(C::SaveAs)
        .item(M::File, "Сохранить как...")
        .refresh(R::Title)
        .keys(QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_S)),
    Row(C::SaveAsText).item(M::File, "Сохранить в текстовом формате").needsHistograms(),
    Row(C::SaveConfigurationAs).item(M::File, "Сохранить конфигурацию как...").separatorBefore(),
    Row(C::RestoreConfiguration).item(M::File, "Восстановить конфигурацию").refresh(R::Plot),
    Row(C::PrinterSetup).item(M::File, "Конфигурация принтера").separatorBefore(),
    Row(C::PageSetup).item(M::File, "Параметры страницы"),
    Row(C::Print)
        .item(M::File, "Печать")
        .button(I::Print, S::TipPrint)
        .needsHistograms()
        .keys(Key::Print),
    Row(C::Exit).item(M::File, "Выход из программы").separatorBefore().keys(Key::Quit),

    // "Гистограмма"
    Row(C::NameAndComment)
        .item(M::Histogram, "Имя и комментарий")
        .needsHistograms()
        .refresh(kEntries),
    Row(C::Copy)
        .item(M::Histogram, "Копировать")
        .separatorBefore()
        .button(I::Copy, S::TipCopy)
        .needsHistograms()
        .keys(Key::Copy),
    Row(C::Paste)
        .item(M::Histogram, "Вставить")
        .button(I::Paste, S::TipPaste)
        .needsHistograms()
        .refresh(kEntries)
        .keys(Key::Paste),
    Row(C::AddCopy)
        .item(M::Histogram, "Добавить копию")
        .button(I::AddCopy, S::TipAddCopy)
        .needsHistograms()
        .refresh(kEntries),
    Row(C::Delete)
        .item(M::Histogram, "Удалить")
        .button(I::Delete, S::TipDelete)
        .needsHistograms()
        .refresh(kEntries),

    // "Графика"
    Row(C::DisplaySettings).item(M::Graphics, "Конфигурация изображения").refresh(R::Plot),
    Row(C::SetLeftBoundary)
        .item(M::Graphics, "Установить левую границу")
        .separatorBefore()
        .button(I::LeftBoundary, S::TipSetLeftBoundary)
        .needsHistograms()
        .refresh(R::Plot),
    Row(C::SetRightBoundary)
        .item(M::Graphics, "Установить правую границу")
        .button(I::RightBoundary, S::TipSetRightBoundary)
        .needsHistograms()
        .refresh(R::Plot),
    Row(C::ClearBoundaries)
        .item(M::Graphics, "Отменить границы")
        .button(I::ClearBoundaries, S::TipClearBoundaries)
        .needsHistograms()
        .refresh(R::Plot),
    Row(C::MarkAll).item(M::Graphics, "Отметить все").separatorBefore().refresh(kEntries),
    Row(C::InvertMarks).item(M::Graphics, "Инвертировать отметки").refresh(kEntries),
    Row(C::ClearMarks).item(M::Graphics, "Убрать все отметки").refresh(kEntries),

    // "Анализ"
    Row(C::Smoothing).item(M::Analysis, "Сглаживание").needsHistograms().refresh(kEntries),
    Row(C::Approximation).item(M::Analysis, "Аппроксимация"),
    Row(C::PeakApproximation).item(M::Analysis, "Аппроксимация пика").needsHistograms(),
    Row(C::ExtractPeaks).item(M::Analysis, "Выделение пиков").needsHistograms().refresh(kEntries),
    // The found-lines window refreshes the list once its search has ended.
    Row(C::LineSearch).item(M::Analysis, "Поиск линий").needsHistograms(),
    Row(C::Calibration).item(M::Analysis, "Калибровка").needsHistograms(),
    Row(C::EfficiencyCalibration).item(M::Analysis, "Эффективность"),
    Row(C::Arithmetic).item(M::Analysis, "Математика").needsHistograms(),
    Row(C::PeakSearch).item(M::Analysis, "Поиск пиков"),
    Row(C::NoiseParameters).item(M::Analysis, "Параметры шума"),
    Row(C::SearchSettings)
        .item(M::Analysis, "Параметры поиска")
        .separatorBefore()
        .needsHistograms(),
    Row(C::IsotopeDatabase).item(M::Analysis, "База данных изотопов"),

    // "Измерение"
    // "Старт" may give an empty list the analyser's channel count and range; a memory test may
    // add histograms.
    Row(C::Start).item(M::Measurement, "Старт").button(I::Start, S::TipStart).refresh(R::Plot),
    Row(C::ModeSelection).item(M::Measurement, "Выбор режима").refresh(kEntries),
    // The autosave options of the cyclic series may name the document's file.
    Row(C::CyclicMeasurement)
        .item(M::Measurement, "Циклическое измерение")
        .separatorBefore()
        .refresh(R::Plot | R::Title),
    Row(C::XrayMeasurement).item(M::Measurement, "Рентгеновские измерения").refresh(R::Plot),
    Row(C::XraySeries).item(M::Measurement, "Серия рентгеновских измерений").refresh(R::Plot),
    Row(C::CountWindowParameters).item(M::Measurement, "Параметры счетных окон").separatorBefore(),
    Row(C::ReportWindow).item(M::Measurement, "Отчет"),

    // "Окно"
    Row(C::NewWindow).item(M::Window, "Новое окно"),
    Row(C::ToggleOrientation)
        .item(M::Window, "Изменить ориентацию")
        .checkButton(I::Orientation, S::TipListOrientation)
        .refresh(R::Plot),

    // "Помощь"
    Row(C::Help).item(M::Help, "Помощь").button(I::Help, S::TipHelp).keys(Key::HelpContents),
    Row(C::About).item(M::Help, "О программе"),

    // Toolbar check buttons, keys, and commands from other windows and the command line.
    Row(C::ShowMarkedHistograms).checkButton(I::MarkedOnly, S::TipShowMarked).refresh(R::Plot),
    Row(C::Zoom).checkButton(I::Zoom, S::TipZoom),
    Row(C::LogScale).checkButton(I::LogScale, S::TipLogScale).refresh(R::Plot),
    Row(C::FromZero).checkButton(I::FromZero, S::TipFromZero).refresh(R::Plot),
    Row(C::CursorLeft).keys(QKeyCombination(Qt::Key_Left)),
    Row(C::CursorRight).keys(QKeyCombination(Qt::Key_Right)),
    Row(C::CommandLineOpen).refresh(kDocument),
});

constexpr std::array<std::string_view, 8> kMenuTitles{
    "", "Файл", "Гистограмма", "Графика", "Анализ", "Измерение", "Окно", "Помощь"};

} // namespace

QKeySequence Shortcut::sequence() const {
    if (standard != QKeySequence::UnknownKey) {
        return QKeySequence(standard);
    }
    return keys ? QKeySequence(*keys) : QKeySequence();
}

std::string_view menuTitle(MainMenu menu) {
    return kMenuTitles[static_cast<std::size_t>(menu)];
}

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo* findCommand(Command command) {
    const auto it =
        std::find_if(kCommands.begin(), kCommands.end(),
                     [command](const CommandInfo& row) { return row.command == command; });
    return it == kCommands.end() ? nullptr : &*it;
}

} // namespace kv
