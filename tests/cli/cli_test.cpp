// Runs the built kvantira-cli as a user would and checks its output, files and exit codes.

#include "analysis/channel_filter.h"
#include "analysis/line_search.h"
#include "fitting/synthetic_spectra.h"
#include "model/cp1251.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "support/fifo_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/wait.h>
#include <unistd.h>

namespace kv {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun runCli(const std::string& arguments) {
    CliRun run;
    char errPath[] = "/tmp/kv_cli_stderr_XXXXXX";
    ::close(::mkstemp(errPath));
    const std::string command =
        std::string(KV_CLI_PATH) + " " + arguments + " 2>" + std::string(errPath);
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = test::readText(errPath);
    std::remove(errPath);
    return run;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Histograms of one channel count, to be written as a histogram file.
struct ListFile {
    DocumentState state;
    HistogramList list{state};

    explicit ListFile(int channels = 2048) { list.setChannelCount(channels); }
    std::string write(const std::string& path, const AppConfig& config = {}) const {
        test::writeBytes(path, encodeHistogramFile(list, config));
        return path;
    }
};

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

class CliTest : public ::testing::Test {
protected:
    test::TempDir dir;

    std::string inDir(const std::string& name) const { return quoted(dir.path(name)); }
    // Writes text into a file of dir; its path.
    std::string textFile(const std::string& name, std::string_view text) const {
        test::writeText(dir.path(name), text);
        return dir.path(name);
    }

    std::string threeHistograms() {
        ListFile file(8);
        HistogramList& list = file.list;
        int k = 0;
        for (const char* name : {"7. Co-60", "abc. x", "1.5 MeV"}) {
            auto h = list.newHistogram();
            // The third's total lies above 2^31, where a signed print goes negative.
            h->channels[static_cast<std::size_t>(k)] = 100 + k;
            h->total = k == 2 ? 3'000'000'000u : 100u + unsigned(k);
            h->exposure = 10.0 * ++k;
            h->kind = k == 2 ? 16 : 0;
            list.addHistogram(std::move(h));
            list.rename(list.currentIndex(), name);
        }
        AppConfig config;
        config.energyCalibration.channelScale = 8,
        config.energyCalibration.coefficients = {1.0, 2.0, 0.0, 0.0, 0.0};
        config.plot.firstChannel = 1, config.plot.lastChannel = 6;
        return file.write(dir.path("three.hst"), config);
    }
};

TEST_F(CliTest, InfoListsHistogramsAsTheProgramNumbersThemInTextAndJson) {
    const std::string path = threeHistograms();
    const CliRun run = runCli("info " + path);
    ASSERT_EQ(run.status, 0);
    const auto lines = linesOf(run.out);
    ASSERT_GE(lines.size(), 4u);
    const char* numbered[] = {" 1. Co-60\t", " 2. abc. x\t", " 3. 5 MeV\t"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines[i + 1].starts_with(numbered[i])) << lines[i + 1];
    }
    EXPECT_NE(lines[2].find("\tmarked\t"), std::string::npos);
    EXPECT_NE(lines[3].find("\t3000000000\t"), std::string::npos) << lines[3];
    EXPECT_NE(run.out.find("visible range: channels 2 to 7"), std::string::npos);

    const CliRun json = runCli("info --json " + path);
    ASSERT_EQ(json.status, 0);
    const auto info = nlohmann::json::parse(json.out);
    const auto& h = info["histograms"];
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h[2]["name"], " 3. 5 MeV");
    EXPECT_TRUE(h[2]["channels"][2] == 102 && h[1]["marked"] == true && h[1]["exposure"] == 20.0);
    EXPECT_TRUE(info["channelCount"] == 8 && info["calibration"]["channelScale"] == 8);
    EXPECT_TRUE(info["range"]["first"] == 1 && info["range"]["last"] == 6) << json.out;
    EXPECT_EQ(h[2]["total"], 3'000'000'000u);
}

TEST_F(CliTest, MergeOfAFileWithItselfRenumbersAndKeepsEverythingElse) {
    const std::string in = threeHistograms(), out = dir.path("six.hst");
    ASSERT_EQ(runCli("merge " + out + " " + in + " " + in).status, 0);
    const auto source = parseHistogramFile(test::readBytes(in)),
               merged = parseHistogramFile(test::readBytes(out));
    ASSERT_EQ(merged.condition, FileCondition::Complete);
    ASSERT_EQ(merged.histograms.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        Histogram expected = *source.histograms[i % 3];
        expected.name.assign(renumberedName(expected.name.view(), static_cast<int>(i + 1)));
        EXPECT_EQ(*merged.histograms[i], expected) << i;
    }
    EXPECT_EQ(merged.histograms[3]->name.view(), " 4. Co-60");
    EXPECT_EQ(merged.trailer, source.trailer);
}

TEST_F(CliTest, ErrorsHaveTheirExitCodesAndMergeWritesNothingOnFailure) {
    const std::string good = threeHistograms(), out = dir.path("out.hst") + " ";
    const std::string bad = dir.path("bad.hst"), missing = dir.path("missing.hst");
    test::writeBytes(bad, {'n', 'o', 'p', 'e'});
    for (const auto& [arguments, status] :
         std::vector<std::pair<std::string, int>>{{"info " + bad, 2},
                                                  {"info " + missing, 1},
                                                  {"", 1},
                                                  {"frobnicate", 1},
                                                  {"info", 1},
                                                  {"merge " + out, 1},
                                                  {"merge " + out + good + " " + bad, 2},
                                                  {"merge " + out + good + " " + missing, 1},
                                                  {"--help", 0}}) {
        EXPECT_EQ(runCli(arguments).status, status) << arguments;
    }
    EXPECT_TRUE(test::readBytes(dir.path("out.hst")).empty());
}

TEST_F(CliTest, FailuresSayWhyOnStandardErrorWithTheStatusTheReadmeGives) {
    const std::string three = threeHistograms();
    const std::string empty = ListFile(8).write(dir.path("empty.hst"));
    auto damagedDatabase = test::readBytes(KV_DATABASE_PATH);
    damagedDatabase.resize(damagedDatabase.size() - 3);
    test::writeBytes(dir.path("damaged.DAT"), damagedDatabase);

    const struct {
        std::string arguments;
        int status;
        bool output; // a result on standard output
    } cases[] = {
        {"fit " + three + " --histogram 1 --range 1:5 --add gauss,gauss", 3, false},
        {"fit " + three + " --histogram 1 --range 1:5 --add gauss,gauss --json", 3, true},
        {"convert " + empty + " " + dir.path("x.hst"), 1, false},
        {"convert " + empty + " " + dir.path("x.spe"), 1, false},
        {"merge " + dir.path("x.hst") + " " + empty, 1, false},
        {"merge '' " + three, 1, false},
        {"export " + three + " --all ''", 1, false},
        {"info ''", 1, false},
        {"search " + three + " --db " + dir.path("missing.DAT"), 1, false},
        {"search " + three + " --config " + dir.path("missing.cnf"), 1, false},
        {"search " + three + " --db ''", 1, false},
        {"search " + three + " --db " + dir.path("damaged.DAT"), 2, true},
    };
    for (const auto& c : cases) {
        const CliRun run = runCli(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_EQ(!run.out.empty(), c.output) << c.arguments << "\n" << run.out;
        EXPECT_TRUE(run.err.starts_with("kvantira-cli: ")) << c.arguments << "\n" << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("x.hst")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("x.spe")));
}

TEST_F(CliTest, ADamagedFileIsNotTakenWholeAndNotConvertedWithAnUnreadableResult) {
    // The demo file with its count lowered from 3 to 2: the third block is no trailer.
    auto lowered = test::readBytes(KV_DEMO_FILE);
    lowered[12] = 2;
    test::writeBytes(dir.path("lowered.hst"), lowered);
    const CliRun info = runCli("info " + dir.path("lowered.hst"));
    EXPECT_EQ(info.status, 2);
    EXPECT_NE(info.out.find("energy calibration: none"), std::string::npos) << info.out;
    EXPECT_EQ(runCli("merge " + dir.path("m.hst") + " " + dir.path("lowered.hst")).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.path("m.hst")));

    // An exposure that is not a number has no SPE form the reader would take.
    auto file = parseHistogramFile(test::readBytes(KV_DEMO_FILE));
    file.histograms[0]->exposure = std::nan("");
    ListFile nan;
    nan.list.addHistogram(std::move(file.histograms[0]));
    nan.write(dir.path("nan.hst"));
    const CliRun convert = runCli("convert " + dir.path("nan.hst") + " " + dir.path("nan.spe"));
    EXPECT_EQ(convert.status, 1);
    EXPECT_NE(convert.err.find("живое или реальное время"), std::string::npos) << convert.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path("nan.spe")));
}

// Histograms of one channel count, calibrated at keVPerChannel from 0 keV.
template <class Counts>
std::string spectrumFile(const test::TempDir& dir, const std::string& name, int size,
                         double keVPerChannel, double exposure, Counts counts) {
    ListFile file(size);
    auto h = file.list.newHistogram();
    for (int i = 0; i < size; ++i) {
        h->channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(counts(i));
    }
    h->exposure = exposure;
    file.list.addHistogram(std::move(h));
    AppConfig config;
    config.energyCalibration.channelScale = size, config.energyCalibration.termCount = 2;
    config.energyCalibration.coefficients = {0.0, keVPerChannel, 0, 0, 0};
    return file.write(dir.path(name), config);
}

double gauss(double i, double area, double centre, double sigma) {
    const double t = (i - centre) / sigma;
    return area / (std::sqrt(2 * M_PI) * sigma) * std::exp(-t * t / 2);
}

// Area 10000 at channel 100.4, sigma 3, on a level of 50, at 2 keV per channel; a one-channel
// spike at the end.
TEST_F(CliTest, PeakReportsTheFitInChannelsAndKeVAndFailures) {
    const std::string path = spectrumFile(dir, "peak.hst", 256, 2.0, 100, [](int i) {
        return i == 255 ? 1000 : i == 254 ? 0 : std::lround(gauss(i, 10000, 100.4, 3) + 50);
    });
    const auto fit =
        nlohmann::json::parse(runCli("peak " + path + " --histogram 1 --at 98 --level --json").out);
    EXPECT_EQ(fit["ok"], true);
    for (const auto& [key, value, within] :
         std::vector<std::tuple<const char*, double, double>>{{"centre", 100.4, 0.01},
                                                              {"energy", 200.8, 0.02},
                                                              {"fwhm", 2.36 * 3, 0.02},
                                                              {"fwhmKeV", 2 * 2.36 * 3, 0.04},
                                                              {"level", 50, 0.5}}) {
        EXPECT_NEAR(fit[key].get<double>(), value, within) << key;
    }
    const CliRun text = runCli("peak " + path + " --histogram 1 --at 98 --level");
    EXPECT_NE(text.out.find("Положение:     101.40 ± "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Интенсивность: 100.0"), std::string::npos) << "area / exposure";

    const CliRun failed = runCli("peak " + path + " --histogram 1 --at 256");
    EXPECT_EQ(failed.status, 3) << "a one-channel spike is too narrow to fit";
    EXPECT_NE(failed.out.find("Интенсивность: ? ± ?"), std::string::npos);
    EXPECT_NE(failed.out.find("Положение:     256.00 ± ?"), std::string::npos);
    for (const char* bad :
         {"--histogram 2 --at 98", "--histogram 1 --at 0", "--histogram 1 --at x", "--at 98"}) {
        EXPECT_EQ(runCli("peak " + path + " " + bad).status, 1) << bad;
    }
}

// Two peaks at zero-based channels 100.4 and 300.4 of a spectrum at 2 keV per channel,
// calibrated anew as 1 keV per channel from the peaks, from typed points and with refusals.
TEST_F(CliTest, CalibrateWritesTheFittedCalibrationAndPrintsTheDeviations) {
    const std::string path = spectrumFile(dir, "two.hst", 512, 2.0, 100, [](int i) {
        return std::lround(gauss(i, 10000, 100.4, 3) + gauss(i, 10000, 300.4, 3) + 20);
    });
    const std::string out = dir.path("calibrated.hst");
    const CliRun peaks =
        runCli("calibrate " + path + " --peak 100:100.4 --peak 302:300.4 --level --json " + out);
    ASSERT_EQ(peaks.status, 0) << peaks.err;
    const auto result = nlohmann::json::parse(peaks.out);
    ASSERT_EQ(result["coefficients"].size(), 2u) << "two points make a line whatever the degree";
    EXPECT_NEAR(result["coefficients"][0].get<double>(), 0.0, 0.01);
    EXPECT_NEAR(result["coefficients"][1].get<double>(), 1.0, 1e-3);
    EXPECT_EQ(result["channelScale"], 512);
    EXPECT_NEAR(result["points"][1]["channel"].get<double>(), 300.4, 0.01);
    EXPECT_NEAR(result["points"][1]["delta"].get<double>(), 0.0, 1e-9);

    const CliRun typed = runCli("calibrate " + path + " --point 301:600 --point 101:200 " + out);
    ASSERT_EQ(typed.status, 0) << typed.err;
    const std::vector<std::string> printed = linesOf(typed.out);
    ASSERT_EQ(printed.size(), 5u) << typed.out;
    EXPECT_NEAR(std::stod(printed[1].substr(5)), 2.0, 1e-12) << printed[1];
    EXPECT_EQ(printed[2], "Канал\tЭнергия кал.\tДельта\r");
    EXPECT_TRUE(printed[3].starts_with("100.00\t200.00\t")) << "zero-based, sorted";
    EXPECT_NE(runCli("info " + out).out.find("2 terms, channel scale 512"), std::string::npos)
        << "the trailer holds the new calibration";

    std::remove(out.c_str());
    EXPECT_EQ(runCli("calibrate " + path + " --point 101:200 --point 101:300 " + out).status, 3)
        << "two points on one channel fix no line";
    EXPECT_EQ(runCli("calibrate " + path + " --peak 600:10 --point 101:300 " + out).status, 3);
    EXPECT_FALSE(std::ifstream(out).good()) << "nothing written";
    for (const char* bad : {"--point 101 ", "--point 1:2 --degree 5 ", "", "--point x:1 "}) {
        EXPECT_EQ(runCli("calibrate " + path + " " + bad + out).status, 1) << bad;
    }
}

TEST_F(CliTest, DbImportListAndExportRoundTrip) {
    const std::string in =
        textFile("in.txt", "# two isotopes\n\nCs-137\n661.6553 0.8501\n*\n\n"
                           "Co-60\n1173.228 0.9985\n1332.492 0.999826\n# a note\n");
    const std::string database = dir.path("SPECTORS.DAT");
    ASSERT_EQ(runCli("db import " + in + " " + database).status, 0);
    EXPECT_EQ(test::readBytes(database).size(), (18u + 16) + (18u + 2 * 16));

    EXPECT_EQ(runCli("db list " + database).out,
              "isotopes: 2, lines: 3\nCs-137\t*\t1\nCo-60\t-\t2\n");

    const std::string out = dir.path("out.txt");
    ASSERT_EQ(runCli("db export " + database + " " + out).status, 0);
    const std::string exported = "Cs-137\r\n661.6553\t0.8501\r\n*\r\n\r\n"
                                 "Co-60\r\n1173.228\t0.9985\r\n1332.492\t0.999826\r\n";
    EXPECT_EQ(test::readText(out), exported);
    const std::string again = dir.path("again.DAT");
    ASSERT_EQ(runCli("db import " + out + " " + again).status, 0);
    EXPECT_EQ(test::readBytes(again), test::readBytes(database));
}

TEST_F(CliTest, DbErrorsHaveTheirExitCodesAndWriteNothing) {
    const std::string database = dir.path("SPECTORS.DAT");
    const std::string good = textFile("good.txt", "K-40\n1460.822 0.1034\n");
    ASSERT_EQ(runCli("db import " + good + " " + database).status, 0);
    const auto before = test::readBytes(database);

    for (const auto& [arguments, status] : std::vector<std::pair<std::string, int>>{
             {textFile("cut.txt", "K-40\n1460.822 0.1034\n1460.9\n"), 2},
             {textFile("empty.txt", "# nothing\n"), 2},
             {dir.path("missing.txt"), 1},
             {"db list " + dir.path("missing.DAT"), 1},
             {"db", 1},
             {"db frobnicate", 1},
             {"db import " + good, 1}}) {
        const bool import = !arguments.starts_with("db");
        EXPECT_EQ(runCli(import ? "db import " + arguments + " " + database : arguments).status,
                  status)
            << arguments;
    }
    EXPECT_EQ(test::readBytes(database), before) << "a failed import leaves the database";

    auto damaged = before;
    damaged.push_back(0x01);
    test::writeBytes(dir.path("damaged.DAT"), damaged);
    const CliRun list = runCli("db list " + dir.path("damaged.DAT"));
    EXPECT_EQ(list.status, 2);
    EXPECT_EQ(list.out, "isotopes: 1, lines: 1\nK-40\t-\t1\n") << "what could be read";
    EXPECT_EQ(runCli("db export " + dir.path("damaged.DAT") + " " + dir.path("x.txt")).status, 2);
    EXPECT_TRUE(test::readBytes(dir.path("x.txt")).empty());
}

TEST_F(CliTest, ShippedLibraryBuildsIntoADatabase) {
    const std::string text =
        (std::filesystem::path(KV_DEMO_FILE).parent_path() / "isotopes.txt").string();
    ASSERT_EQ(runCli("db import " + text + " " + dir.path("SPECTORS.DAT")).status, 0);
    const auto lines = linesOf(runCli("db list " + dir.path("SPECTORS.DAT")).out);
    ASSERT_EQ(lines.size(), 53u);
    EXPECT_EQ(lines[0], "isotopes: 52, lines: 293");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Cs-137\t*\t1"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "F-18\t-\t1"), lines.end()) << "disabled";
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Ac-228\t*\t30"), lines.end());
}

// Cs-137 and Co-60 lines on a falling continuum, 0.75 keV per channel.
TEST_F(CliTest, SearchFindsAndIdentifiesTheLinesOfASource) {
    const std::string path = spectrumFile(dir, "source.hst", 2048, 0.75, 200, [](int i) {
        double value = 3000 * std::exp(-i / 500.0);
        for (const double keV : {661.657, 1173.228, 1332.492}) {
            value += gauss(i, 20000, keV / 0.75, 2.5);
        }
        return value;
    });
    const CliRun run = runCli("search " + path + " --db " + KV_DATABASE_PATH + " --json");
    ASSERT_EQ(run.status, 0);
    const auto lines = nlohmann::json::parse(run.out)["lines"];
    std::vector<std::string> identified;
    for (const auto& line : lines) {
        if (!line["isotope"].is_null()) {
            identified.push_back(line["isotope"]);
            if (identified.size() == 1) {
                EXPECT_NEAR(line["energy"].get<double>(), 661.66, 0.1);
            }
        }
    }
    EXPECT_EQ(identified, (std::vector<std::string>{"Cs-137", "Co-60", "Co-60"})) << run.out;
    const CliRun csv = runCli("search " + path + " --db " + KV_DATABASE_PATH + " --csv");
    EXPECT_NE(csv.out.find(",Cs-137,661.66"), std::string::npos) << csv.out;
    EXPECT_EQ(runCli("search " + path + " --histogram 2").status, 1);
    EXPECT_EQ(runCli("search " + path + " --config " + dir.path("none.cnf")).status, 1);
}

// The demo's Cs-137 spectrum: its 661.66 keV line lies at channel 440.8 of the calibration.
// With --refine every line carries its area and errors, and the isotopes of the database that
// were not found their detection limits; the text table gains the error columns.
TEST_F(CliTest, SearchWithRefineAddsErrorsAndDetectionLimitsInEveryFormat) {
    const std::string path = spectrumFile(dir, "source.hst", 2048, 0.75, 200, [](int i) {
        return 3000 * std::exp(-i / 500.0) + gauss(i, 20000, 661.657 / 0.75, 2.5);
    });
    const std::string search = "search " + path + " --db " + KV_DATABASE_PATH + " --refine";
    const CliRun json = runCli(search + " --json");
    ASSERT_EQ(json.status, 0) << json.err;
    const auto out = nlohmann::json::parse(json.out);
    ASSERT_EQ(out["lines"].size(), 1u) << json.out;
    const auto& line = out["lines"][0];
    EXPECT_EQ(line["isotope"], "Cs-137");
    EXPECT_TRUE(line["refined"].get<bool>());
    EXPECT_NEAR(line["area"].get<double>(), 20000, 3 * line["areaError"].get<double>());
    EXPECT_NEAR(line["rateError"].get<double>() / line["rate"].get<double>(),
                line["areaError"].get<double>() / line["area"].get<double>(), 1e-12);
    EXPECT_NEAR(line["activityError"].get<double>() / line["activity"].get<double>(),
                line["areaError"].get<double>() / line["area"].get<double>(), 1e-12);
    ASSERT_FALSE(out["mda"].empty());
    for (const auto& limit : out["mda"]) {
        EXPECT_NE(limit["isotope"], "Cs-137");
        EXPECT_EQ(limit["unit"], "1/s") << "no efficiency table";
        EXPECT_GT(limit["limit"].get<double>(), 0.0);
    }
    const bool cobalt = std::any_of(out["mda"].begin(), out["mda"].end(),
                                    [](const auto& limit) { return limit["isotope"] == "Co-60"; });
    EXPECT_TRUE(cobalt);

    const auto csv = linesOf(runCli(search + " --csv").out);
    ASSERT_GE(csv.size(), 5u);
    EXPECT_EQ(csv[0], "energy,rate,position,isotope,lineEnergy,activity,area,areaError,rateError,"
                      "activityError,refined");
    EXPECT_TRUE(csv[1].ends_with(",yes")) << csv[1];
    EXPECT_EQ(csv[2], "");
    EXPECT_EQ(csv[3], "isotope,line,limit,unit");
    EXPECT_TRUE(csv[4].ends_with(",1/s")) << csv[4];

    const auto table = linesOf(runCli(search).out);
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table[0], "  E(кэВ)  C(имп/с)         ± Изотоп");
    EXPECT_TRUE(table[1].ends_with(" Cs-137")) << table[1];
    EXPECT_TRUE(table[2].starts_with("± counting statistics only")) << table[2];
}

// The refined areas of an IAEA intercomparison spectrum against its reference areas, over the
// gamma lines of significance 10 or more that exactly one line of the reference's evaluated set
// (flag 1) matches. Below 100 keV the spectrum holds the lead and thorium X-ray multiplets, whose
// lines are not Gaussian. Above 700 keV the reference lies 10-15 % above both our areas and a
// plain net sum over +-6 sigma, so the median sits a little under one.
TEST_F(CliTest, RefinedAreasMatchTheReferenceOfAnIntercomparisonSpectrum) {
    const std::string data = KV_SPECTRA_DIR;
    const CliRun run = runCli("search " + data + "/hst/mix2neq6.hst --refine --json");
    ASSERT_EQ(run.status, 0) << run.err;
    struct ReferenceLine {
        double energy, area;
        bool evaluated;
    };
    std::vector<ReferenceLine> reference;
    std::ifstream in(data + "/iaea2002/mix2neq6ref.txt");
    for (double energy, energyError, area, areaError;
         in >> energy >> energyError >> area >> areaError;) {
        int flag = 0;
        in >> flag;
        reference.push_back({energy, area, flag == 1});
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    ASSERT_EQ(reference.size(), 251u);
    std::vector<double> ratios;
    int covered = 0;
    const auto lines = nlohmann::json::parse(run.out)["lines"];
    for (const auto& line : lines) {
        const double energy = line["energy"].get<double>();
        const double area = line["area"].get<double>();
        if (energy < 100 || line["areaError"].is_null() ||
            area < 10 * line["areaError"].get<double>()) {
            continue;
        }
        std::vector<ReferenceLine> near;
        std::copy_if(
            reference.begin(), reference.end(), std::back_inserter(near),
            [energy](const ReferenceLine& r) { return std::fabs(r.energy - energy) < 1.5; });
        if (near.size() == 1 && near[0].evaluated) {
            ratios.push_back(area / near[0].area);
            covered += std::fabs(area - near[0].area) <= 3 * line["areaError"].get<double>();
        }
    }
    ASSERT_GE(ratios.size(), 15u);
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    const double median = ratios[ratios.size() / 2];
    EXPECT_GE(median, 0.97);
    EXPECT_LE(median, 1.02);
    EXPECT_GE(covered, 0.85 * ratios.size()) << covered << " of " << ratios.size();
}

TEST_F(CliTest, FitReportsTheComponentsOrWhyItFailed) {
    const std::string fit = std::string("fit ") + KV_DEMO_FILE + " --histogram 3 --range 415:465 ";
    const auto result = nlohmann::json::parse(runCli(fit + "--add gauss,linear --json").out);
    EXPECT_EQ(result["ok"], true);
    EXPECT_NEAR(result["components"][0]["parameters"][1].get<double>(), 440.6, 0.3);
    const CliRun text = runCli(fit + "--add linear,gauss");
    EXPECT_NE(text.out.find("Аппроксимация завершена"), std::string::npos);
    EXPECT_NE(text.out.find("Энергия 661."), std::string::npos) << text.out;
    EXPECT_EQ(runCli(fit + "--add const,linear").status, 3) << "singular on a flat start";
    EXPECT_EQ(runCli(fit + "--add foo").status, 1);
    EXPECT_EQ(runCli(fit + "--add gauss --histogram x --histogram 3").status, 1)
        << "a bad value is refused, not overridden by a later one";
}

// Thirty-two doublets of other separations, widths and ratios, one histogram each, fitted
// through the tool with each Gaussian started from its own half of the region: nearly every fit
// converges, and the reported errors cover the true areas.
TEST_F(CliTest, FitOfDoubletsWithAStartRangePerComponentCoversTheTrueAreas) {
    test::PoissonSource source{20261208};
    ListFile file(512);
    std::vector<test::Doublet> doublets;
    for (int n = 0; n < 32; ++n) {
        doublets.push_back(test::drawDoublet(source));
        auto h = file.list.newHistogram();
        h->channels = doublets.back().h.channels;
        file.list.addHistogram(std::move(h));
    }
    const std::string path = file.write(dir.path("doublets.hst"));
    int converged = 0;
    int covered = 0;
    for (std::size_t n = 0; n < doublets.size(); ++n) {
        const test::Doublet& d = doublets[n];
        const auto channels = [](int first, int last) {
            return std::to_string(first + 1) + ":" + std::to_string(last + 1);
        };
        const CliRun run =
            runCli("fit " + path + " --histogram " + std::to_string(n + 1) + " --range " +
                   channels(d.firstChannel, d.lastChannel) + " --add linear,gauss@" +
                   channels(d.firstChannel, d.middle()) + " --add gauss@" +
                   channels(d.middle() + 1, d.lastChannel) + " --json");
        const auto fit = nlohmann::json::parse(run.out);
        if (fit["ok"] != true) {
            continue;
        }
        ++converged;
        const auto& peaks = fit["components"];
        const bool swapped = peaks[1]["parameters"][1] > peaks[2]["parameters"][1];
        for (std::size_t k = 0; k < 2; ++k) {
            const auto& peak = peaks[1 + (k != swapped)];
            covered += std::abs(peak["parameters"][0].get<double>() - d.areas[k]) <=
                       3 * peak["errors"][0].get<double>();
        }
    }
    EXPECT_GE(converged, 27);
    EXPECT_GE(covered, 0.9 * 2 * converged) << covered << " of " << 2 * converged;
}

// --start sets a component's parameters before the components after it take theirs.
TEST_F(CliTest, FitStartsAreSetOutrightOrRefusedWithAReason) {
    const std::string path =
        spectrumFile(dir, "flat.hst", 64, 1.0, 10, [](int i) { return 20 + i % 3; });
    const std::string fit = "fit " + path + " --histogram 1 --range 1:64 ";
    // The constant and the line make the fit fail at once, so it prints the starting values: the
    // Gaussian's from the counts above the constant set to 11 (9 + i % 3 in channel i), not
    // above the smallest count.
    const CliRun singular =
        runCli(fit + "--add const,gauss,linear --start 3:3,0.5 --start 1:11 --json");
    EXPECT_EQ(singular.status, 3);
    const auto starts = nlohmann::json::parse(singular.out)["components"];
    EXPECT_EQ(starts[0]["parameters"], nlohmann::json::array({11.0}));
    EXPECT_EQ(starts[1]["parameters"][0], 639.0);
    EXPECT_EQ(starts[2]["parameters"], nlohmann::json::array({3.0, 0.5}));
    for (const auto& [arguments, reason] : std::vector<std::pair<std::string, std::string>>{
             {"--add gauss --start 2:1,2,3", "--start 2: there is no component 2 (1 added)"},
             {"--add gauss --start 1:1,2", "--start 1: gauss has 3 parameters"},
             {"--add gauss@60:65", "component 1: its range is not among channels 1..64"}}) {
        const CliRun run = runCli(fit + arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    }
    for (const std::string bad : {"--add gauss@1-5", "--add gauss@", "--add gauss --start 1",
                                  "--add gauss --start x:1,2,3", "--add gauss --start 1:1,nan,3"}) {
        EXPECT_EQ(runCli(fit + bad).status, 1) << bad;
    }
}

// The arithmetic window's composition, scripted: F x N -+ G x M added to the list.
TEST_F(CliTest, ArithAddsTheWeightedSumOrDifferenceOfTwoHistograms) {
    const std::string in = threeHistograms(), out = dir.path("arith.hst");
    const CliRun run =
        runCli("arith " + in +
               " --histogram 1 --second 2 --factor 2 --second-factor 0.5 --subtract " + out);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "4\t 4. Co-60\t150\n");
    const auto saved = parseHistogramFile(test::readBytes(out));
    ASSERT_EQ(saved.histograms.size(), 4u);
    const Histogram& difference = *saved.histograms[3];
    EXPECT_EQ(difference.channels, (std::vector<std::int32_t>{200, -50, 0, 0, 0, 0, 0, 0}))
        << "-101 x 0.5 truncates toward zero";
    EXPECT_EQ(difference.exposure, 20.0) << "2 x the first's exposure alone when subtracting";
    EXPECT_EQ(difference.comment.view(), cp1251FromUtf8("Композиция"));

    // Without a second histogram, the first is added to itself, back into the file.
    ASSERT_EQ(runCli("arith " + in + " --histogram 3").status, 0);
    const auto doubled = parseHistogramFile(test::readBytes(in));
    ASSERT_EQ(doubled.histograms.size(), 4u);
    EXPECT_EQ(doubled.histograms[3]->channels[2], 204);
    EXPECT_EQ(doubled.histograms[3]->exposure, 60.0);
    for (const std::string bad :
         {" --second 5", " --factor x", " --factor inf", " --histogram 0"}) {
        EXPECT_EQ(runCli("arith " + in + bad).status, 1) << bad;
    }
    EXPECT_EQ(parseHistogramFile(test::readBytes(in)).histograms.size(), 4u)
        << "refused runs leave the file as it was";
}

TEST_F(CliTest, NoisePrintsTheNoiseTrackOfARange) {
    const std::string path = spectrumFile(dir, "noise.hst", 8, 1.0, 10, [](int i) {
        return std::array{10, 12, 8, 10, -30, -40, 0, 0}[static_cast<std::size_t>(i)];
    });
    const CliRun run = runCli("noise " + path + " --histogram 1 --range 1:4");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Имя:\t 1. \nКаналы:\t1-4\nСреднее:\t10.00\nСигма:\t1.41\n"
                       "Сигма Пуассон:\t3.16\n");
    const auto negative =
        nlohmann::json::parse(runCli("noise " + path + " --histogram 1 --range 5:6 --json").out);
    EXPECT_TRUE(negative["mean"] == -35.0 && negative["sigma"] == 5.0) << negative;
    EXPECT_TRUE(negative["poissonSigma"].is_null()) << "a negative mean has no Poisson sigma";
    // By default the file's visible range, channels 2 to 7 of the second histogram here.
    const std::string three = threeHistograms();
    const auto visible =
        nlohmann::json::parse(runCli("noise " + three + " --histogram 2 --json").out);
    EXPECT_TRUE(visible["first"] == 1 && visible["last"] == 6) << visible;
    EXPECT_DOUBLE_EQ(visible["mean"].get<double>(), 101.0 / 6);
    for (const std::string bad :
         {" --histogram 1 --range 0:4", " --histogram 1 --range 3:9", " --histogram 2",
          " --range 1:4", " --histogram x --histogram 1"}) {
        EXPECT_EQ(runCli("noise " + path + bad).status, 1) << bad;
    }
}

// Peaks at channels 100.3 and 300.6 (0-based), 2 keV per channel.
TEST_F(CliTest, PeaksAddsTheFoundGaussiansSavesAndPrintsTheCentres) {
    const std::string in = spectrumFile(dir, "two.hst", 512, 2.0, 10, [](int i) {
        return std::lround(gauss(i, 60000, 100.3, 3) + gauss(i, 40000, 300.6, 4));
    });
    const std::string out = dir.path("found.hst");
    const CliRun run = runCli("peaks " + in + " --histogram 1 --search-range 8 " + out);
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "channel\tkeV\n101.30\t200.60\n301.60\t601.20\n");
    const auto saved = parseHistogramFile(test::readBytes(out));
    ASSERT_EQ(saved.histograms.size(), 2u);
    const Histogram& added = *saved.histograms[1];
    EXPECT_EQ(added.name.view(), " 2. ");
    EXPECT_EQ(added.total, saved.histograms[0]->total);
    EXPECT_TRUE(added.channels[100] > 0 && added.channels[200] == 0);
    EXPECT_EQ(runCli("peaks " + in + " --histogram 1 --range 150:250 " + out).out,
              "channel\tkeV\n");
    const std::string bad = textFile("bad.hst", "nope");
    for (const auto& [arguments, status] : std::vector<std::pair<std::string, int>>{
             {in + " --histogram 2 " + out, 1},
             {in + " --histogram 1 --range 0:9 " + out, 1},
             {in + " --histogram 1 --search-range x " + out, 1},
             {in + " --histogram 1", 1},
             {in + " --histogram x --histogram 1 " + out, 1},
             {bad + " --histogram 1 " + out, 2}}) {
        EXPECT_EQ(runCli("peaks " + arguments).status, status) << arguments;
    }
}

// The smoothing and the peak extraction of the program, scripted: the same channels as the
// core's filters, the result added, saved into OUT or back into the file.
TEST_F(CliTest, SmoothAndExtractAddTheFilteredCopyAndSaveTheList) {
    const std::string in = spectrumFile(dir, "in.hst", 400, 1.0, 10, [](int i) {
        return std::lround(gauss(i, 30000, 150.2, 3) + 200.0 - 0.3 * i + (i * 37 % 11));
    });
    const auto source = parseHistogramFile(test::readBytes(in));
    ASSERT_EQ(source.histograms.size(), 1u);
    const ChannelCounts channels = source.histograms[0]->channels;

    struct Case {
        std::string arguments;
        FilterKind kind;
        double parameter;
    };
    for (const Case& c :
         {Case{"--radius 3", FilterKind::Mean, 3}, Case{"--sigma 2.5", FilterKind::Gauss, 2.5},
          Case{"", FilterKind::Mean, 1}}) {
        const std::string out = dir.path("smoothed.hst");
        const CliRun run = runCli("smooth " + in + " " + c.arguments + " " + out);
        ASSERT_EQ(run.status, 0) << c.arguments << run.err;
        const auto saved = parseHistogramFile(test::readBytes(out));
        ASSERT_EQ(saved.histograms.size(), 2u);
        ChannelCounts expected = channels;
        filterChannels(expected, c.kind, c.parameter);
        EXPECT_EQ(saved.histograms[1]->channels, expected) << c.arguments;
        EXPECT_EQ(saved.histograms[1]->comment.view(), cp1251FromUtf8("Результат фильтрации"));
        EXPECT_EQ(run.out, "2\t" + saved.histograms[1]->name.str() + "\t" +
                               std::to_string(saved.histograms[1]->total) + "\n");
    }

    // Without OUT the copy is added to the file itself, which keeps its first histogram.
    ASSERT_EQ(runCli("extract " + in + " --reject 7 --smooth 2").status, 0);
    const auto extended = parseHistogramFile(test::readBytes(in));
    ASSERT_EQ(extended.histograms.size(), 2u);
    EXPECT_EQ(extended.histograms[0]->channels, channels);
    ChannelCounts expected = channels;
    ChannelFilter filter;
    subtractContinuum(expected, 7, 2, filter);
    EXPECT_EQ(extended.histograms[1]->channels, expected);
    EXPECT_EQ(extended.histograms[1]->comment.view(), cp1251FromUtf8("Континуум удален"));
    ASSERT_EQ(runCli("smooth " + in + " --histogram 2 --radius 1").status, 0);
    EXPECT_EQ(parseHistogramFile(test::readBytes(in)).histograms.size(), 3u);

    // Another analyser's file can only be the source of a histogram file.
    const std::string csv = textFile("in.csv", "0,5\n1,7\n2,9\n3,4\n");
    EXPECT_EQ(runCli("smooth " + csv).status, 1);
    ASSERT_EQ(runCli("smooth " + csv + " " + dir.path("from_csv.hst")).status, 0);
    EXPECT_EQ(parseHistogramFile(test::readBytes(dir.path("from_csv.hst"))).histograms.size(), 2u);
    const std::string bad = textFile("bad.hst", "nope");
    for (const auto& [arguments, status] :
         std::vector<std::pair<std::string, int>>{{"smooth " + in + " --radius 2 --sigma 1", 1},
                                                  {"smooth " + in + " --radius -1", 1},
                                                  {"smooth " + in + " --sigma 0", 1},
                                                  {"smooth " + in + " --histogram 9", 1},
                                                  {"extract " + in + " --reject x", 1},
                                                  {"extract " + in + " --smooth", 1},
                                                  {"extract " + in + " a.hst b.hst", 1},
                                                  {"extract " + bad, 2},
                                                  {"smooth " + dir.path("missing.hst"), 1}}) {
        EXPECT_EQ(runCli(arguments).status, status) << arguments;
    }
    EXPECT_EQ(parseHistogramFile(test::readBytes(in)).histograms.size(), 3u)
        << "refused runs leave the file as it was";
    EXPECT_EQ(runCli("smooth --help").status, 0);
}

TEST_F(CliTest, MeasureAppendsRunsOnTheSimulatorAndMemtestFindsInjectedFaults) {
    const std::string out = dir.path("runs.hst");
    for (int run = 1; run <= 2; ++run) {
        ASSERT_EQ(runCli("measure --exposure 0.2 --name Cs --sources cs137 " + out).status, 0);
        const auto parsed = parseHistogramFile(test::readBytes(out));
        ASSERT_EQ(parsed.histograms.size(), static_cast<std::size_t>(run));
        const Histogram& h = *parsed.histograms.back();
        EXPECT_EQ(h.channels.size(), 2048u);
        EXPECT_NEAR(h.exposure, 0.2, 0.05);
        EXPECT_TRUE(h.total > 0u && h.total == sumChannels(h, 0, 2047));
    }
    // memtest 1 passes with a dead cell: it reads as all ones.
    for (const auto& [arguments, status] :
         std::vector<std::pair<std::string, int>>{{"measure --exposure x " + out, 1},
                                                  {"measure --exposure 0x5 " + out, 1},
                                                  {"memtest 0", 0},
                                                  {"memtest random --fault dead:7", 2},
                                                  {"memtest 1 --fault dead:7", 0},
                                                  {"memtest 2", 1}}) {
        EXPECT_EQ(runCli(arguments).status, status) << arguments;
    }
}

TEST_F(CliTest, ShippedDemoFileReadsAndTheGeneratorReproducesItByteForByte) {
    const CliRun run = runCli(std::string("info --json ") + KV_DEMO_FILE);
    EXPECT_EQ(nlohmann::json::parse(run.out)["channelCount"], 2048);
    const std::string made = dir.path("demo.hst");
    ASSERT_EQ(std::system((std::string(KV_MAKE_DEMO_PATH) + " " + made).c_str()), 0);
    EXPECT_EQ(test::readBytes(made), test::readBytes(KV_DEMO_FILE));
}

TEST_F(CliTest, WindowsEvaluatesTheCountWindowsOfAConfiguration) {
    ListFile file;
    for (const std::int32_t count : {1, 0}) { // flat: 101 per window; empty: N3 below 2
        auto h = file.list.newHistogram();
        std::fill(h->channels.begin(), h->channels.end(), count);
        h->exposure = 1.0;
        file.list.addHistogram(std::move(h));
    }
    const std::string path = file.write(dir.path("x.hst")), config = dir.path("x.cnf");
    AppConfig narrow;
    narrow.countWindows.windowUpper[0] = 9;
    const auto bytes = encodeAppConfig(narrow);
    test::writeBytes(config, {bytes.begin(), bytes.end()});

    const auto lines = linesOf(runCli("windows " + path + " --histogram 1").out);
    EXPECT_EQ(lines,
              (std::vector<std::string>{"Окна: 1-101 201-301 601-701", "N1=101.000", "N2=101.000",
                                        "N3=101.000", "C1=1.0000", "C2=1.0000"}));
    const CliRun failed =
        runCli("windows " + path + " --histogram 2 --config " + config + " --json");
    ASSERT_EQ(failed.status, 0);
    const auto json = nlohmann::json::parse(failed.out);
    EXPECT_TRUE(json["ok"] == false && json["c1"].is_null());
    EXPECT_EQ(json["windows"][0], nlohmann::json({0, 9}));
    test::writeBytes(dir.path("bad.hst"), {'n', 'o'});
    for (const auto& [arguments, status] :
         std::vector<std::pair<std::string, int>>{{path, 1},
                                                  {path + " --histogram 3", 1},
                                                  {dir.path("none.hst") + " --histogram 1", 1},
                                                  {dir.path("bad.hst") + " --histogram 1", 2}}) {
        EXPECT_EQ(runCli("windows " + arguments).status, status) << arguments;
    }
}

TEST_F(CliTest, ExportWritesTheMarkedHistogramsOrEachInAFileOfItsOwn) {
    const std::string in = threeHistograms();
    const CliRun marked = runCli("export " + in + " " + dir.path("out.txt"));
    ASSERT_EQ(marked.status, 0);
    EXPECT_EQ(marked.out, dir.path("out.txt") + "\n");
    const std::string head =
        "   Канал\t         2\r\n       1\t0.0000E+00\r\n       2\t1.0100E+02\r\n";
    EXPECT_EQ(test::readText(dir.path("out.txt")).substr(0, head.size()), head);

    const CliRun each = runCli("export " + in + " --all --per-histogram --names --energy --y " +
                               "intensity " + dir.path("s.dat"));
    ASSERT_EQ(each.status, 0);
    EXPECT_EQ(linesOf(each.out),
              (std::vector{dir.path("s0001.dat"), dir.path("s0002.dat"), dir.path("s0003.dat")}));
    // Name and comment lines, then channel 1 at 3 keV with 101 counts in 20 s.
    EXPECT_NE(test::readText(dir.path("s0002.dat"))
                  .find("abc. x\r\n\r\n    1.00\t0.0000E+00\r\n"
                        "    3.00\t5.0500E+00\r\n"),
              std::string::npos);

    for (const char* bad : {"--all --histogram 1", "--histogram 4", "--y foo", "--histogram 0"}) {
        EXPECT_EQ(runCli("export " + in + " " + bad + " " + dir.path("x.txt")).status, 1) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path("x.txt")));
}

// Every verb that writes, given a name too long for the system, a symbolic-link loop, a FIFO
// (also behind a link) or a directory as its output.
TEST_F(CliTest, ImpossibleOrSpecialOutputsAreRefusedWithAMessage) {
    const std::string demo = quoted(KV_DEMO_FILE), database = quoted(KV_DATABASE_PATH);
    ASSERT_EQ(runCli("db export " + database + " " + inDir("lines.txt")).status, 0);
    std::filesystem::create_symlink("loop2.hst", dir.path("loop1.hst"));
    std::filesystem::create_symlink("loop1.hst", dir.path("loop2.hst"));
    const test::FifoGuard fifo(dir.path("fifo.hst"));
    std::filesystem::create_symlink("fifo.hst", dir.path("to-fifo.hst"));
    std::filesystem::create_directory(dir.path("directory.hst"));
    const auto entries = [this] {
        const std::filesystem::directory_iterator it(dir.root());
        return std::distance(begin(it), end(it));
    };
    const auto before = entries();

    for (const std::string& out :
         {std::string(252, 'x') + ".hst", std::string("loop1.hst"), std::string("fifo.hst"),
          std::string("to-fifo.hst"), std::string("directory.hst")}) {
        for (const std::string& verb :
             {"measure --exposure 0.01 " + inDir(out), "merge " + inDir(out) + " " + demo,
              "peaks " + demo + " --histogram 1 " + inDir(out), "smooth " + demo + " " + inDir(out),
              "extract " + demo + " " + inDir(out), "convert " + demo + " " + inDir(out),
              "export " + demo + " --all " + inDir(out), "db export " + database + " " + inDir(out),
              "db import " + inDir("lines.txt") + " " + inDir(out)}) {
            const CliRun finished = runCli(verb);
            EXPECT_EQ(finished.status, 1) << verb;
            EXPECT_TRUE(finished.err.starts_with("kvantira-cli: ")) << verb;
        }
    }
    EXPECT_EQ(entries(), before) << "nothing written, nothing left";
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("fifo.hst")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("loop1.hst")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("directory.hst")));
    EXPECT_FALSE(fifo.rescuedAReader());
}

// A FIFO given where a file is read must not hold the tool: it is refused at once.
TEST_F(CliTest, SpecialInputsAreRefusedWithoutWaiting) {
    const std::string demo = quoted(KV_DEMO_FILE);
    const test::FifoGuard fifo(dir.path("fifo.spe"));
    const std::string f = inDir("fifo.spe");
    for (const std::string& verb :
         {"info " + f, "merge " + inDir("out.hst") + " " + f,
          "convert " + f + " " + inDir("out.hst"), "search " + demo + " --config " + f,
          "search " + demo + " --db " + f, "windows " + demo + " --histogram 1 --config " + f,
          "db list " + f, "db import " + f + " " + inDir("out.DAT"),
          "smooth " + f + " " + inDir("out.hst"), "extract " + f,
          "smooth " + demo + " --config " + f + " " + inDir("out.hst")}) {
        const CliRun finished = runCli(verb);
        EXPECT_NE(finished.status, -1) << verb;
        EXPECT_NE(finished.err.find("fifo.spe"), std::string::npos) << verb;
    }
    EXPECT_FALSE(fifo.rescuedAReader()) << "a verb blocked on the FIFO";
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.hst")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.DAT")));
}

// Four loops of measure appending to one file: each run waits for the one before to save, so
// every histogram ends up in the file.
TEST_F(CliTest, ConcurrentMeasuresAppendingToOneFileLoseNothing) {
    constexpr int kLoops = 4;
    constexpr int kRuns = 5;
    const std::string script = "for k in $(seq " + std::to_string(kLoops) +
                               "); do (for i in $(seq " + std::to_string(kRuns) + "); do " +
                               KV_CLI_PATH + " measure --exposure 0.01 " + inDir("runs.hst") +
                               " >/dev/null 2>&1 || echo failed; done) & done; wait";
    const std::string failures = dir.path("failures.txt");
    ASSERT_EQ(std::system(("(" + script + ") >'" + failures + "'").c_str()), 0);
    EXPECT_EQ(test::readText(failures), "") << "a run failed";
    std::filesystem::remove(failures);

    const ParsedHistogramFile parsed = parseHistogramFile(test::readBytes(dir.path("runs.hst")));
    EXPECT_EQ(parsed.condition, FileCondition::Complete);
    EXPECT_EQ(parsed.histograms.size(), static_cast<std::size_t>(kLoops * kRuns));
    const std::filesystem::directory_iterator it(dir.root());
    EXPECT_EQ(std::distance(begin(it), end(it)), 1) << "no temporary or lock file left";
}

} // namespace
} // namespace kv
