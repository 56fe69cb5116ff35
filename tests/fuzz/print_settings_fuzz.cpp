// The printer and page settings (SPRNS.CNF). The reader must keep the 156-byte printer block
// byte for byte and take each integer after it only when all its 4 bytes are there, so the
// settings write back as the file's bytes; a printer description of ours decodes to values
// that encode and decode unchanged but for a text without its terminator, which is stored
// empty rather than cut; and margins from the file, however large or negative, never
// push the plot outside its cell of the page.

#include "fuzz_checks.h"
#include "model/byte_io.h"
#include "model/print_settings.h"

#include <algorithm>
#include <array>

namespace {

using kv::fuzz::require;

void checkPlotStaysOnPage(const kv::PrintSettings& settings, int width, int height,
                          double pixelsPerMm) {
    const kv::PageRect r = kv::printRectangle(settings, width, height, pixelsPerMm, pixelsPerMm);
    require(r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height,
            "margins never push the plot off the page");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = kv::fuzz::bytesOf(data, size);
    const kv::PrintSettings settings = kv::decodePrintSettings(file);
    if (size < kv::kPrinterDescriptionSize) {
        require(settings == kv::PrintSettings{}, "a file without a whole printer block is ignored");
        return 0;
    }
    require(settings.printer &&
                std::equal(settings.printer->begin(), settings.printer->end(), data),
            "the printer block is kept byte for byte");

    // Whole integers of the file come back as they were, the rest as the defaults.
    const std::size_t whole =
        std::min(kv::kPrintSettingsFileSize,
                 kv::kPrinterDescriptionSize + (size - kv::kPrinterDescriptionSize) / 4 * 4);
    const std::vector<std::uint8_t> written = kv::encodePrintSettings(settings);
    require(std::equal(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(whole), data),
            "the settings write back as the file's bytes");
    kv::PrintSettings defaults;
    defaults.printer = settings.printer;
    require(
        std::equal(written.begin() + static_cast<std::ptrdiff_t>(whole), written.end(),
                   kv::encodePrintSettings(defaults).begin() + static_cast<std::ptrdiff_t>(whole)),
        "what the file lacks stays at its default");

    if (const auto description = kv::decodePrinterDescription(*settings.printer)) {
        require(description->printerName.size() <= kv::kPrinterNameField &&
                    description->outputFile.size() <= kv::kPrinterOutputFileField,
                "a decoded text is at most its field");
        // A text that fills its field without a terminator is stored empty when written back.
        kv::PrinterDescription storable = *description;
        for (auto [text, field] : {std::pair{&storable.printerName, kv::kPrinterNameField},
                                   std::pair{&storable.outputFile, kv::kPrinterOutputFileField}}) {
            if (text->size() == field) {
                text->clear();
            }
        }
        require(kv::decodePrinterDescription(kv::encodePrinterDescription(*description)) ==
                    storable,
                "a decoded printer description encodes and decodes unchanged");
    } else {
        require(!std::equal(data, data + 4, "KVPR"), "a block of ours is decoded");
    }

    // An A4 page at 600 and at 72 dots per inch, and a page of one pixel.
    checkPlotStaysOnPage(settings, 4960, 7016, 600 / 25.4);
    checkPlotStaysOnPage(settings, 595, 842, 72 / 25.4);
    checkPlotStaysOnPage(settings, 1, 1, 1.0);
    return 0;
}
