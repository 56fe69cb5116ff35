#pragma once

// The printer and page settings kept between runs in SPRNS.CNF: a 156-byte printer
// description, the four margins in millimetres and the position of the plot on the page.
//
// SPRNS.CNF (little-endian, no header, 176 bytes):
//
//   offset size  field
//        0  156  printer description (below)
//      156    4  marginLeft    int32 mm, default 10
//      160    4  marginRight   int32 mm, default 10
//      164    4  marginTop     int32 mm, default 10
//      168    4  marginBottom  int32 mm, default 10
//      172    4  pagePosition  int32 0..8 (PagePosition), default 0
//
// The printer description is this program's own record of the print dialog's choice. Files
// written by other programs may hold another 156-byte record there; it is kept byte for byte
// (and written back) but not read, and printing then starts from the system's default printer.
//
//   offset size  field
//        0    4  tag           "KVPR"
//        4   32  printerName   UTF-8, zero-terminated; empty: the system's default printer
//       36    4  pageWidth     int32, tenths of a millimetre, portrait; 0: the printer's default
//       40    4  pageHeight    int32, tenths of a millimetre, portrait
//       44    4  orientation   int32: 0 portrait, 1 landscape
//       48    4  resolution    int32 dots per inch; 0: the printer's default
//       52    4  outputKind    int32: 0 the printer, 1 a PDF file
//       56  100  outputFile    UTF-8, zero-terminated
//
// A printer name or output file too long for its field is stored empty rather than cut, so a
// stored name never names another printer or file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv {

inline constexpr std::size_t kPrinterDescriptionSize = 156;
inline constexpr std::size_t kPrintSettingsFileSize = 176;
inline constexpr std::size_t kPrinterNameField = 32;
inline constexpr std::size_t kPrinterOutputFileField = 100;
inline constexpr const char* kPrintSettingsFileName = "SPRNS.CNF";

using PrinterBlock = std::array<std::uint8_t, kPrinterDescriptionSize>;

enum class PrinterOutput : std::int32_t { Printer = 0, PdfFile = 1 };

struct PrinterDescription {
    std::string printerName;
    std::int32_t pageWidthTenthMm = 0;
    std::int32_t pageHeightTenthMm = 0;
    std::int32_t orientation = 0;
    std::int32_t resolutionDpi = 0;
    PrinterOutput output = PrinterOutput::Printer;
    std::string outputFile;

    friend bool operator==(const PrinterDescription&, const PrinterDescription&) = default;
};

PrinterBlock encodePrinterDescription(const PrinterDescription& description);

// Nothing for a block this program did not write (no "KVPR" tag).
std::optional<PrinterDescription> decodePrinterDescription(const PrinterBlock& block);

// Where the plot goes on the page before the margins are taken off.
enum class PagePosition : std::int32_t {
    WholePage = 0,
    TopHalf = 1,
    BottomHalf = 2,
    LeftHalf = 3,
    RightHalf = 4,
    TopLeftQuarter = 5,
    TopRightQuarter = 6,
    BottomLeftQuarter = 7,
    BottomRightQuarter = 8,
};
inline constexpr int kPagePositionCount = 9;
inline constexpr std::int32_t kDefaultMarginMm = 10;
inline constexpr std::int32_t kMaxMarginMm = 32767;

struct PrintSettings {
    std::optional<PrinterBlock> printer; // none until a file or a print dialog gives one
    std::int32_t marginLeft = kDefaultMarginMm;
    std::int32_t marginRight = kDefaultMarginMm;
    std::int32_t marginTop = kDefaultMarginMm;
    std::int32_t marginBottom = kDefaultMarginMm;
    std::int32_t pagePosition = 0;

    friend bool operator==(const PrintSettings&, const PrintSettings&) = default;
};

// The settings of a SPRNS.CNF image. The printer block needs all its 156 bytes; each integer
// after it is taken when its 4 bytes are there, the defaults stay for the rest.
PrintSettings decodePrintSettings(std::span<const std::uint8_t> bytes);

// The file image; a settings object without a printer block gets the description of the
// system's default printer.
std::vector<std::uint8_t> encodePrintSettings(const PrintSettings& settings);

// SPRNS.CNF in directory (with its trailing '/'); the defaults without a printer block when the
// file is missing or cannot be read.
PrintSettings loadPrintSettings(const std::string& directory);

// Writes SPRNS.CNF in directory when there is something to keep: a printer block, or page
// settings other than the defaults (which would otherwise be lost at exit). False when nothing
// was written, including a file that could not be written (silently, as at every exit).
bool savePrintSettings(const PrintSettings& settings, const std::string& directory);

// Edges of the plot's rectangle on the page, in device pixels.
struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    friend bool operator==(const PageRect&, const PageRect&) = default;
};

// The page (0, 0, pageWidth, pageHeight) cut to pagePosition (halves by integer division), less
// the margins converted at the device's pixels per millimetre, each edge truncated to a pixel.
// A position outside 0..8 is the whole page; margins are taken within 0..32767 mm.
PageRect printRectangle(const PrintSettings& settings, int pageWidth, int pageHeight,
                        double pixelsPerMmX, double pixelsPerMmY);

} // namespace kv
