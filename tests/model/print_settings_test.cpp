#include "model/print_settings.h"

#include "model/byte_io.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

namespace kv {
namespace {

static_assert(kPrinterDescriptionSize == 4 + kPrinterNameField + 5 * 4 + kPrinterOutputFileField);
static_assert(kPrintSettingsFileSize == kPrinterDescriptionSize + 5 * 4);

TEST(PrintSettings, FileAndPrinterDescriptionKeepTheirOffsets) {
    PrinterDescription d;
    d.printerName = "HP_LaserJet", d.outputFile = "/tmp/out.pdf";
    d.pageWidthTenthMm = 2100, d.pageHeightTenthMm = 2970, d.orientation = 1;
    d.resolutionDpi = 600, d.output = PrinterOutput::PdfFile;
    PrintSettings s;
    s.printer = encodePrinterDescription(d);
    s.marginLeft = 1, s.marginRight = 2, s.marginTop = 3, s.marginBottom = 4, s.pagePosition = 7;

    const std::vector<std::uint8_t> bytes = encodePrintSettings(s);
    ASSERT_EQ(bytes.size(), 176u);
    ByteReader in(bytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "KVPR");
    EXPECT_EQ(textOfField(std::span(bytes).subspan(4, 32)), "HP_LaserJet");
    constexpr std::pair<std::size_t, std::int32_t> kFields[] = {
        {36, 2100}, {40, 2970}, {44, 1},  {48, 600}, {52, 1},
        {156, 1},   {160, 2},   {164, 3}, {168, 4},  {172, 7}};
    for (const auto& [offset, value] : kFields) {
        in.seek(offset);
        EXPECT_EQ(in.i32le(), value) << "offset " << offset;
    }
    EXPECT_EQ(textOfField(std::span(bytes).subspan(56, 100)), "/tmp/out.pdf");

    const PrintSettings back = decodePrintSettings(bytes);
    EXPECT_EQ(back, s);
    EXPECT_EQ(decodePrinterDescription(*back.printer), d);

    // Too long for its field: stored empty, never cut into another name.
    d.outputFile = std::string(100, 'x');
    EXPECT_EQ(decodePrinterDescription(encodePrinterDescription(d))->outputFile, "");
}

TEST(PrintSettings, ForeignBlocksAreKeptAndShortFilesLeaveDefaults) {
    std::vector<std::uint8_t> bytes(164, 0xAB);
    ByteWriter out(bytes);
    out.seek(156), out.i32le(25), out.i32le(30);
    const PrintSettings s = decodePrintSettings(bytes);
    ASSERT_TRUE(s.printer);
    EXPECT_FALSE(decodePrinterDescription(*s.printer)) << "not written by this program";
    EXPECT_EQ((std::array{s.marginLeft, s.marginRight, s.marginTop, s.pagePosition}),
              (std::array{25, 30, 10, 0}));
    EXPECT_TRUE(std::equal(s.printer->begin(), s.printer->end(), encodePrintSettings(s).begin()));
    EXPECT_EQ(decodePrintSettings(std::span(bytes).first(155)), PrintSettings{});
}

TEST(PrintSettings, WrittenOnlyWhenThereIsSomethingToKeep) {
    test::TempDir dir;
    const std::string home = dir.root() + "/";
    PrintSettings s = loadPrintSettings(home);
    EXPECT_EQ(s, PrintSettings{});
    EXPECT_FALSE(savePrintSettings(s, home));
    EXPECT_FALSE(std::filesystem::exists(dir.path("SPRNS.CNF")));

    // Margins chosen without ever opening a print dialog are kept, with the default printer.
    s.marginTop = 25;
    ASSERT_TRUE(savePrintSettings(s, home));
    const PrintSettings back = loadPrintSettings(home);
    EXPECT_EQ(back.marginTop, 25);
    EXPECT_EQ(decodePrinterDescription(*back.printer), PrinterDescription{});
}

TEST(PrintRectangle, CutsThePageToThePositionThenTakesTheMarginsOff) {
    // A4 at 300 dpi: 2480 x 3508 pixels, 11.811 pixels per millimetre; 10 mm is 118 pixels.
    const double perMm = 300.0 / 25.4;
    PrintSettings s;
    EXPECT_EQ(printRectangle(s, 2480, 3508, perMm, perMm), (PageRect{118, 118, 2362, 3390}));
    s.pagePosition = static_cast<std::int32_t>(PagePosition::BottomRightQuarter);
    EXPECT_EQ(printRectangle(s, 2480, 3508, perMm, perMm), (PageRect{1358, 1872, 2362, 3390}));
    s.pagePosition = static_cast<std::int32_t>(PagePosition::LeftHalf);
    s.marginLeft = 0, s.marginRight = 20, s.marginTop = -5, s.marginBottom = 0;
    EXPECT_EQ(printRectangle(s, 2481, 3509, perMm, 2 * perMm), (PageRect{0, 0, 1004, 3509}));
    s.pagePosition = 9; // outside 0..8: the whole page
    EXPECT_EQ(printRectangle(s, 2480, 3508, perMm, perMm).right, 2480 - 236);
}

} // namespace
} // namespace kv
