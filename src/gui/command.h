#pragma once

// The main window's command numbers: menu items, toolbar buttons, accelerators and the commands
// other windows send to it. The numbers are kept because windows and stored toolbar layouts
// refer to them. What each command is (menu, text, button, refresh) is the main window's
// command table.

namespace kv {

enum class Command : int {
    // "Файл"
    New = 101,
    Open = 102,
    Append = 103,
    Save = 104,
    SaveAs = 105,
    PrinterSetup = 107,
    PageSetup = 108,
    Print = 109,
    Exit = 110,
    SaveConfigurationAs = 111,
    RestoreConfiguration = 112,
    NewWindow = 113,
    SaveAsText = 114,
    // Spectra of other analysers' files (SPE, CHN, IEC, CSV, N42)
    Import = 115,
    Export = 116,

    // "Гистограмма" and "Графика"
    DisplaySettings = 201,
    NameAndComment = 202,
    SetLeftBoundary = 203,
    SetRightBoundary = 204,
    ClearBoundaries = 205,
    Delete = 206,
    Copy = 207,
    AddCopy = 208,
    Paste = 209,
    CursorLeft = 211,
    CursorRight = 212,
    ShowMarkedHistograms = 230,
    LogScale = 231,
    FromZero = 232,
    Zoom = 233,

    // "Анализ"
    Smoothing = 301,
    PeakApproximation = 302,
    LineSearch = 303,
    ExtractPeaks = 304,
    Arithmetic = 305,
    SearchSettings = 306,
    IsotopeDatabase = 307,
    Approximation = 308,
    PeakSearch = 309,
    NoiseParameters = 310,
    Calibration = 311,
    EfficiencyCalibration = 312,

    // "Измерение"
    Start = 401,
    ModeSelection = 402,
    CyclicMeasurement = 403,
    XrayMeasurement = 404,
    CountWindowParameters = 405,
    ReportWindow = 406,
    XraySeries = 407,

    // "Окно" and marks
    ToggleOrientation = 501,
    InvertMarks = 502,
    ClearMarks = 503,
    MarkAll = 504,

    // Sent once at start-up with the command-line text.
    CommandLineOpen = 601,

    // "Помощь"
    Help = 901,
    About = 902,
};

} // namespace kv
