// Import and Export as the File menu runs them, with a scripted user; and kvantira-cli convert
// and search on the real spectra.

#include "formats/spectrum_exchange.h"
#include "formats/spectrum_formats.h"
#include "formats_test_support.h"
#include "model/energy_calibration.h"
#include "support/allocation_limit.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <cstdio>
#include <cstring>
#include <sys/wait.h>

namespace kv {
namespace {

class Exchange : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeUiServices ui;
    AppConfig config;
    DocumentState state;
    HistogramList list{state};
    Document document{list, config, state, ui};

    std::string file(const std::string& name, const std::string& text) {
        test::writeBytes(dir.path(name), std::vector<std::uint8_t>(text.begin(), text.end()));
        return dir.path(name);
    }
};

TEST_F(Exchange, ImportAppendsAndTakesOverTheCalibration) {
    ui.openAnswers = {file("a.csv", "# energy calibration keV: 10 2\n0,1\n1,2\n2,3\n"),
                      file("b.spe", "$DATA:\n0 1\n5 6\n")};
    EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::Read);
    EXPECT_EQ(list.channelCount(), 3);
    EXPECT_EQ(config.plot.firstChannel, 0);
    EXPECT_EQ(config.plot.lastChannel, 2);
    EXPECT_EQ(config.lastDirectory, dir.root() + "/");
    EXPECT_EQ(config.energyCalibration.channelToEnergy(2.0, 3), 14.0);
    EXPECT_FALSE(state.documentSaved);

    // Another channel count: refused with 2007, the list and the calibration stay.
    EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::DifferentChannelCount);
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::DifferentChannelCounts});
    EXPECT_EQ(list.histogramCount(), 1);
    EXPECT_EQ(config.energyCalibration.channelScale, 3);
    EXPECT_EQ(list.histogramAt(0)->name.view(), " 1. a.csv");
}

TEST_F(Exchange, DamagedOrMissingFilesAreReportedAndAddNothing) {
    ui.openAnswers = {file("bad.spe", "$DATA:\n0 5\n1 2\n"), dir.path("missing.chn"), ""};
    EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::WrongMagic);
    EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::NotOpened);
    EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::Cancelled);
    EXPECT_EQ(ui.messageIds(),
              (std::vector<StringId>{StringId::UnknownFileFormat, StringId::FileOpenFailed}));
    EXPECT_EQ(ui.messages[0].detail,
              dir.path("bad.spe") + "\nв $DATA число отсчетов не равно числу каналов (строка 3)");
    EXPECT_TRUE(list.empty());
}

TEST_F(Exchange, AFileTooLargeForTheMemoryIsRefusedWithTheReason) {
    std::string counts = "$DATA:\n0 65535\n";
    for (int i = 0; i < 65536; ++i) {
        counts += "7\n";
    }
    const std::string path = file("long.spe", counts);
    {
        const test::AllocationLimit limit(300'000); // the text and a part of the counts
        ui.openAnswers = {path};
        EXPECT_EQ(importSpectra(document, config, ui), ReadOutcome::WrongMagic);
    }
    EXPECT_EQ(ui.messageIds(), std::vector<StringId>{StringId::UnknownFileFormat});
    EXPECT_EQ(ui.messages[0].detail, path + "\nне хватает памяти, чтобы прочитать файл");
    EXPECT_TRUE(list.empty());
}

TEST_F(Exchange, ExportWritesTheCurrentHistogramInTheChosenFormat) {
    ui.openAnswers = {file("a.csv", "# title: Cs-137\n# live time s: 12\n0,1\n1,2\n")};
    importSpectra(document, config, ui);
    ui.saveAnswers = {dir.path("out.chn"), dir.path("out.n42"), dir.path("no/such/dir/x.spe")};
    EXPECT_EQ(exportCurrentHistogram(list, config, ui), SaveOutcome::Written);
    const ImportResult back = readSpectrumFile(test::readBytes(dir.path("out.chn")), "out.chn");
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.spectra[0].channels, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(back.spectra[0].liveTimeSeconds, 12.0);
    EXPECT_EQ(back.spectra[0].title, "Cs-137"); // without the list number

    EXPECT_EQ(exportCurrentHistogram(list, config, ui), SaveOutcome::Failed); // N42 not written
    EXPECT_EQ(exportCurrentHistogram(list, config, ui), SaveOutcome::Failed);
    EXPECT_EQ(ui.messageIds(),
              (std::vector<StringId>{StringId::UnknownFileFormat, StringId::FileWriteFailed}));
}

int runCli(const std::string& arguments, std::string* out = nullptr) {
    const std::string command = std::string(KV_CLI_PATH) + " " + arguments + " 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        if (out) {
            out->append(buffer, n);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

TEST(RefusalText, NamesTheReasonThenWhereItWasFound) {
    EXPECT_EQ(refusalText({RefusalReason::CsvNotTwoNumbers, FilePosition::line(12), {}}),
              "строка не из двух чисел (строка 12)");
    EXPECT_EQ(refusalText({RefusalReason::ChnCountsCutShort, FilePosition::byte(40), {}}),
              "отсчеты кончаются раньше числа каналов из заголовка (байт 40)");
    EXPECT_EQ(refusalText({RefusalReason::XmlError, FilePosition::line(3), "Error parsing"}),
              "ошибка в XML: Error parsing (строка 3)");
    EXPECT_EQ(refusalText({RefusalReason::N42NoSpectrum, {}, {}}), "нет спектра с данными каналов");
}

TEST_F(Exchange, CliConvertsThroughHistogramFilesByteForByte) {
    const auto in = test::spectraDir() / "curie/eu_calib_7cm.Spe";
    ASSERT_EQ(runCli("convert " + quoted(in) + " " + dir.path("p.hst")), 0);
    ASSERT_EQ(runCli("convert " + dir.path("p.hst") + " " + dir.path("p.spe")), 0);
    ASSERT_EQ(runCli("convert " + dir.path("p.spe") + " " + dir.path("p2.hst")), 0);
    ASSERT_EQ(runCli("convert " + dir.path("p2.hst") + " " + dir.path("p2.spe")), 0);
    EXPECT_EQ(test::readBytes(dir.path("p.spe")), test::readBytes(dir.path("p2.spe")));

    const auto n42 = quoted(test::spectraDir() / "interspec/ba133_source_640s_20100317.n42");
    EXPECT_EQ(runCli("convert " + n42 + " " + dir.path("d.csv") + " --histogram 8"), 0);
    EXPECT_EQ(runCli("convert " + n42 + " " + dir.path("d.csv") + " --histogram 9"), 1);
    EXPECT_EQ(runCli("convert " + n42 + " " + dir.path("d.iec")), 1);
    EXPECT_EQ(runCli("convert " + dir.path("d.csv")), 1);
    EXPECT_EQ(runCli("convert " + dir.path("none.spe") + " " + dir.path("x.csv")), 1);
    std::string info;
    EXPECT_EQ(runCli("info " + n42, &info), 0);
    EXPECT_NE(info.find("B4"), std::string::npos);
}

// Whether the search's CSV output (energy,rate,position 1-based,...) has a line within
// tolerance of value in the given column.
bool hasLine(const std::string& csv, int column, double value, double tolerance) {
    for (std::size_t at = csv.find('\n'); at != std::string::npos; at = csv.find('\n', at + 1)) {
        const char* field = csv.c_str() + at + 1;
        for (int c = 0; c < column && field; ++c) {
            field = std::strchr(field, ',');
            field = field ? field + 1 : nullptr;
        }
        if (field && *field && std::abs(std::atof(field) - value) < tolerance) {
            return true;
        }
    }
    return false;
}

TEST_F(Exchange, CliSearchFindsTheKnownLinesOfRealSpectra) {
    const std::vector<std::pair<std::string, std::vector<double>>> energies{
        {"curie/eu_calib_7cm.Spe", {121.8, 344.3, 778.9, 964.1, 1408.0}},
        {"becquerel/Mendocino_07-10-13_Acq-10-10-13.Spe", {1460.8}},
        {"interspec/ba133_source_640s_20100317.n42", {81.0, 356.0}},
        {"becquerel/hpge_dummy_test_01.iec", {}},
    };
    const auto search = [](const std::string& name) {
        std::string out;
        EXPECT_EQ(runCli("search " + quoted(test::spectraDir() / name) + " --db " +
                             KV_DATABASE_PATH + " --csv",
                         &out),
                  0)
            << name;
        return out;
    };
    for (const auto& [name, lines] : energies) {
        const std::string out = search(name);
        for (const double energy : lines) {
            EXPECT_TRUE(hasLine(out, 0, energy, 1.5)) << name << " " << energy;
        }
    }
    // This file's own calibration is approximate (20 keV off at K-40), so its lines are
    // checked at the channels the refitted one gives for Pb-214, Bi-214 and K-40.
    const std::string mix = search("iaea2002/mix2neq6.spe");
    for (const double channel : {794.54, 1389.16, 3354.78}) {
        EXPECT_TRUE(hasLine(mix, 2, channel + 1.0, 2.0)) << channel;
    }
}

} // namespace
} // namespace kv
