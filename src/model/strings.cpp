#include "model/strings.h"

#include <array>
#include <utility>

namespace kv {

namespace {

using S = StringId;

constexpr std::array kTable = std::to_array<std::pair<StringId, std::string_view>>({
    {S::HistogramFilter, "Гистограммы (*.HST)|*.HST|Все файлы (*.*)|*.*"},
    {S::ConfigurationFilter, "Файлы конфигурации (*.CNF)|*.CNF|Все файлы (*.*)|*.*"},
    {S::RestoreConfigurationTitle, "Восстановить конфигурацию"},
    {S::SaveConfigurationTitle, "Сохранить конфигурацию"},
    {S::UnknownFileFormat, "Неизветный формат файла"},
    {S::BadNews, "Плохие новости"},
    {S::DifferentChannelCounts, "Эта программа не поддерживает работу со спектрами разной длины"},
    {S::SaveFileAsTitle, "Сохранить файл как ..."},
    {S::SaveFileQuestion, "Сохранить файл?"},
    {S::Question, "Вопрос..."},
    {S::OpenFileTitle, "Открыть файл"},
    {S::AppendFileTitle, "Присоединить файл"},
    {S::ChannelColumnHeader, "   Канал\t"},
    {S::EnergyColumnHeader, "Энергия, кэВ\t"},
    {S::TextFileFilter,
     "Текстовые файлы (*.TXT)|*.TXT|Файлы данных(*.DAT)|*.DAT|Все файлы (*.*)|*.*"},
    {S::SaveAsTextTitle, "Сохранить файл в текстовом формате?"},
    {S::NameColumn, "Имя"},
    {S::CreatedColumn, "Создан"},
    {S::TotalColumn, "Интеграл"},
    {S::ExposureColumn, "Экспозиция, сек"},
    {S::CommentColumn, "Комментарий"},
    {S::RangeStatisticsChannels, "Интеграл = %d, <X> = %0.2f Канал, Сигма = %0.2f Канал"},
    {S::RangeStatisticsEnergy, "Интеграл = %d, <X> = %0.2f кэВ, Сигма = %0.2f кэВ"},
    {S::LinesPrintHeader, " Энергия |      Интеграл"},
    {S::LinesPrintUnits, "  (кэВ)  |     (ч/с)"},
    {S::CopyOf, "Копия "},
    {S::Untitled, "Без названия"},
    {S::FromClipboard, "Данные из буфера обмена"},
    {S::WrongDataFormat, "Неправильный формат данных"},
    {S::AxisCounts, "Число отсчетов"},
    {S::AxisIntensity, "Интенсивность, 1/сек"},
    {S::AxisProbability, "Вероятность,%"},
    {S::AxisChannels, "Каналы"},
    {S::AxisEnergy, "Энергия, кэВ"},
    {S::CursorChannel, "Канал = %d, "},
    {S::CursorEnergy, "Энергия = %0.2f кэВ, "},
    {S::CursorCounts, "Число отсчетов = %d"},
    {S::CursorIntensity, "Интенсивность = %0.3f 1/сек"},
    {S::CursorProbability, "Вероятность = %0.3f%"},
    {S::TabPeaks, "Пики"},
    {S::TabPlots, "Графики"},
    {S::TabIsotopes, "Изотопы"},
    {S::TabCalibrations, "Калибровки"},
    {S::FilterResult, "Результат фильтрации"},
    {S::ContinuumRemoved, "Континуум удален"},
    {S::Efficiency, "Эффективность"},
    {S::Calibration, "Калибровка"},
    {S::EfficiencyTableHeader, "Энергия\tЭффективность\r\n"},
    {S::TooManyEfficiencyPoints, "Количество колибровочных точек не должно привышать 20"},
    {S::EnergyCalibrationTableHeader, "Канал\tЭнергия кал.\tДельта\r\n"},
    {S::TooManyEnergyPoints, "Количество колибровочных точек не должно привышать 5"},
    {S::FoundLinesTableHeader,
     "Энергия,кэВ\tСчет, ч/сек\tИнтеграл,ч/сек\tАктивность,Бк\tЛиния,кэВ\tИзотоп\r\n"},
    {S::FoundLinesShortHeader, "Эн.(кэВ)\tСчет(ч/с)\tЛиния(кэВ)\tИзотоп\r\n"},
    {S::FoundLinesListHeaderCorrected, "  E(кэВ)    I(ч/с)    A(р/с) Изотоп"},
    {S::FoundLinesListHeader, "  E(кэВ)  C(имп/с) Изотоп"},
    {S::Original, "Оригинал"},
    {S::Level, "Уровень"},
    {S::Result, "Результат"},
    {S::TooManyPeaks, "Слишком много пиков"},
    {S::Composition, "Композиция"},
    {S::PrinterFileFilter, "Файлы принтера (*.PRN)|*.PRN|Все файлы (*.*)|*.*"},
    {S::PrintToFile, "Печать в файл"},
    {S::PrintFailed, "Печать не удалась"},
    {S::Editing, "Редактирование"},
    {S::NewSpectrum, "Новый спектр"},
    {S::Disable, "Запретить"},
    {S::Enable, "Разрешить"},
    {S::DeleteHistogramQuestion, "Удалить гистограмму?"},
    {S::FitFinished, "Аппроксимация завершена\r\n"},
    {S::FitGaussianLine, "Функция  #%d: Гаусс: ПШПМ %0.2f% \r\n"},
    {S::FitExponentialLine, "Функция  #%d: Экспонента \r\n"},
    {S::FitMcpLine, "Функция  #%d: МКП: (Пуассон <m> = %0.2f, <X> = %0.2f); \r\n"},
    {S::FitConstantLine, "Функция  #%d: Постоянная \r\n"},
    {S::FitLinearLine, "Функция  #%d: Линейная   \r\n"},
    {S::FitAreaLine, "%d P0: %0.2f  (%0.2f) Счет, Интенсивность:%0.2f имп/cек \r\n"},
    {S::FitParameterLine, "%d P : %0.2f  (%0.2f) \r\n"},
    {S::FitCentreLine, "%d P1: %0.2f  (%0.2f) Канал, Энергия %0.2f кэВ \r\n"},
    {S::FitWidthLine, "%d P2: %0.2f  (%0.2f) Канал, ПШПМ    %0.2f кэВ \r\n"},
    {S::ComponentGaussian, "Гаусс"},
    {S::ComponentExponential, "Экспонента"},
    {S::ComponentMcp, "МКП"},
    {S::ComponentConstant, "Постоянная"},
    {S::ComponentLinear, "Линейная"},
    {S::Residual, "Остаток"},
    {S::MemoryTestSourceName, "Тест памяти"},
    {S::MemoryTestComment, "Тест памяти"},
    {S::MemoryTestResultName, "Тест памяти"},
    {S::MemoryTestPassed, "Тест прошел без ошибок"},
    {S::GoodNews, "Хорошие новости"},
    {S::MemoryTestErrors, "%0.1f% ошибок в тесте"},
    {S::StackMemoryElsewhere, "Режим стековой памяти обслуживается программой kolvix.exe"},
    {S::News, "Новости"},
    {S::MeasureNeeds2048Channels, "Текущий файл состоит из гистограм с числом каналов отличным "
                                  "от 2048\r\nперед началом измерений закройте его"},
    {S::GatingExternal, "Внешний"},
    {S::GatingInternal, "Внутренний"},
    {S::GatingProgram, "Програмный"},
    {S::Coincidence, "Совпадение"},
    {S::Anticoincidence, "Антисовпадение"},
    {S::MemoryHistogram, "Гистограмная"},
    {S::MemoryStack, "Стековая"},
    {S::InterruptMasked, "Замаскировано"},
    {S::InterruptEnabled, "Разрешено"},
    {S::FileWriteFailed, "Не удалось записать файл. Прежнее содержимое файла сохранено."},
    {S::FileOpenFailed, "Не удалось открыть файл"},
    {S::CommandNotAvailableYet, "Эта команда ещё не реализована в данной версии программы"},
});

} // namespace

std::string_view text(StringId id) {
    for (const auto& [key, value] : kTable) {
        if (key == id) {
            return value;
        }
    }
    return {};
}

} // namespace kv
