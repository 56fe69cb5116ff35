#include "model/print_settings.h"

#include "model/byte_io.h"
#include "platform/files.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr std::array<std::uint8_t, 4> kPrinterTag{'K', 'V', 'P', 'R'};

std::string fieldOrEmpty(const std::string& text, std::size_t fieldSize) {
    return text.size() < fieldSize ? text : std::string();
}

std::int32_t marginPixels(std::int32_t marginMm, double pixelsPerMm) {
    return static_cast<std::int32_t>(std::clamp(marginMm, 0, kMaxMarginMm) * pixelsPerMm);
}

bool pageSettingsAreDefault(const PrintSettings& settings) {
    PrintSettings defaults;
    defaults.printer = settings.printer;
    return settings == defaults;
}

} // namespace

PrinterBlock encodePrinterDescription(const PrinterDescription& description) {
    PrinterBlock block{};
    ByteWriter out(block);
    out.bytes(kPrinterTag);
    out.text(fieldOrEmpty(description.printerName, kPrinterNameField), kPrinterNameField);
    out.i32le(description.pageWidthTenthMm);
    out.i32le(description.pageHeightTenthMm);
    out.i32le(description.orientation);
    out.i32le(description.resolutionDpi);
    out.i32le(static_cast<std::int32_t>(description.output));
    out.text(fieldOrEmpty(description.outputFile, kPrinterOutputFileField),
             kPrinterOutputFileField);
    return block;
}

std::optional<PrinterDescription> decodePrinterDescription(const PrinterBlock& block) {
    if (!std::equal(kPrinterTag.begin(), kPrinterTag.end(), block.begin())) {
        return std::nullopt;
    }
    ByteReader in(block);
    in.seek(kPrinterTag.size());
    PrinterDescription d;
    d.printerName = textOfField(in.view(kPrinterNameField));
    d.pageWidthTenthMm = in.i32le();
    d.pageHeightTenthMm = in.i32le();
    d.orientation = in.i32le();
    d.resolutionDpi = in.i32le();
    d.output = in.i32le() == 1 ? PrinterOutput::PdfFile : PrinterOutput::Printer;
    d.outputFile = textOfField(in.view(kPrinterOutputFileField));
    return d;
}

PrintSettings decodePrintSettings(std::span<const std::uint8_t> bytes) {
    PrintSettings settings;
    if (bytes.size() < kPrinterDescriptionSize) {
        return settings;
    }
    settings.printer.emplace();
    std::copy_n(bytes.begin(), kPrinterDescriptionSize, settings.printer->begin());
    ByteReader in(bytes);
    in.seek(kPrinterDescriptionSize);
    for (std::int32_t* field : {&settings.marginLeft, &settings.marginRight, &settings.marginTop,
                                &settings.marginBottom, &settings.pagePosition}) {
        if (in.remaining() < 4) {
            break;
        }
        *field = in.i32le();
    }
    return settings;
}

std::vector<std::uint8_t> encodePrintSettings(const PrintSettings& settings) {
    std::vector<std::uint8_t> bytes(kPrintSettingsFileSize);
    ByteWriter out(bytes);
    out.bytes(settings.printer ? *settings.printer : encodePrinterDescription({}));
    for (const std::int32_t value : {settings.marginLeft, settings.marginRight, settings.marginTop,
                                     settings.marginBottom, settings.pagePosition}) {
        out.i32le(value);
    }
    return bytes;
}

PrintSettings loadPrintSettings(const std::string& directory) {
    const auto bytes = readFileStart(directory + kPrintSettingsFileName, kPrintSettingsFileSize);
    return bytes ? decodePrintSettings(*bytes) : PrintSettings{};
}

bool savePrintSettings(const PrintSettings& settings, const std::string& directory) {
    if (!settings.printer && pageSettingsAreDefault(settings)) {
        return false;
    }
    return writeFileReplacing(directory + kPrintSettingsFileName, encodePrintSettings(settings))
        .written;
}

PageRect printRectangle(const PrintSettings& settings, int pageWidth, int pageHeight,
                        double pixelsPerMmX, double pixelsPerMmY) {
    PageRect r{0, 0, pageWidth, pageHeight};
    const int midX = pageWidth / 2;
    const int midY = pageHeight / 2;
    switch (static_cast<PagePosition>(settings.pagePosition)) {
    case PagePosition::TopHalf:
        r.bottom = midY;
        break;
    case PagePosition::BottomHalf:
        r.top = midY;
        break;
    case PagePosition::LeftHalf:
        r.right = midX;
        break;
    case PagePosition::RightHalf:
        r.left = midX;
        break;
    case PagePosition::TopLeftQuarter:
        r.right = midX;
        r.bottom = midY;
        break;
    case PagePosition::TopRightQuarter:
        r.left = midX;
        r.bottom = midY;
        break;
    case PagePosition::BottomLeftQuarter:
        r.right = midX;
        r.top = midY;
        break;
    case PagePosition::BottomRightQuarter:
        r.left = midX;
        r.top = midY;
        break;
    case PagePosition::WholePage:
    default:
        break;
    }
    r.top += marginPixels(settings.marginTop, pixelsPerMmY);
    r.left += marginPixels(settings.marginLeft, pixelsPerMmX);
    r.right -= marginPixels(settings.marginRight, pixelsPerMmX);
    r.bottom -= marginPixels(settings.marginBottom, pixelsPerMmY);
    return r;
}

} // namespace kv
