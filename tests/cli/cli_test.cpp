// Runs the built kvantira-cli as a user would and checks its output, files and exit codes.

#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace kv {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

CliRun runCli(const std::string& arguments) {
    CliRun run;
    const std::string command = std::string(KV_CLI_PATH) + " " + arguments + " 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

class CliTest : public ::testing::Test {
protected:
    test::TempDir dir;

    std::string threeHistograms() {
        DocumentState state;
        HistogramList list(state);
        list.setChannelCount(8);
        int k = 0;
        for (const char* name : {"7. Co-60", "abc. x", "1.5 MeV"}) {
            auto h = list.newHistogram();
            h->channels[static_cast<std::size_t>(k)] = 100 + k;
            h->total = static_cast<std::uint32_t>(100 + k);
            h->exposure = 10.0 * ++k;
            h->kind = k == 2 ? 16 : 0;
            list.addHistogram(std::move(h));
            list.rename(list.currentIndex(), name);
        }
        AppConfig config;
        config.channelScale = 8;
        config.coefficients = {1.0, 2.0, 0.0, 0.0, 0.0};
        config.firstChannel = 1;
        config.lastChannel = 6;
        const std::string path = dir.path("three.hst");
        test::writeBytes(path, encodeHistogramFile(list, config));
        return path;
    }
};

TEST_F(CliTest, InfoListsHistogramsAsTheProgramNumbersThem) {
    const CliRun run = runCli("info " + threeHistograms());
    ASSERT_EQ(run.status, 0);
    const auto lines = linesOf(run.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 10), " 1. Co-60\t");
    EXPECT_EQ(lines[2].substr(0, 11), " 2. abc. x\t");
    EXPECT_EQ(lines[3].substr(0, 10), " 3. 5 MeV\t");
    EXPECT_NE(lines[2].find("\tmarked\t"), std::string::npos);
    EXPECT_NE(run.out.find("visible range: channels 2 to 7"), std::string::npos);
}

TEST_F(CliTest, InfoJsonCarriesChannelsAndTrailer) {
    const CliRun run = runCli("info --json " + threeHistograms());
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["channelCount"], 8);
    ASSERT_EQ(json["histograms"].size(), 3u);
    EXPECT_EQ(json["histograms"][2]["name"], " 3. 5 MeV");
    EXPECT_EQ(json["histograms"][2]["channels"][2], 102);
    EXPECT_EQ(json["histograms"][1]["marked"], true);
    EXPECT_EQ(json["histograms"][1]["exposure"], 20.0);
    EXPECT_EQ(json["calibration"]["channelScale"], 8);
    EXPECT_EQ(json["range"]["first"], 1);
    EXPECT_EQ(json["range"]["last"], 6);
}

TEST_F(CliTest, MergeOfAFileWithItselfRenumbersAndKeepsEverythingElse) {
    const std::string in = threeHistograms();
    const std::string out = dir.path("six.hst");
    ASSERT_EQ(runCli("merge " + out + " " + in + " " + in).status, 0);

    const auto source = parseHistogramFile(test::readBytes(in));
    const auto merged = parseHistogramFile(test::readBytes(out));
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
    const std::string good = threeHistograms();
    test::writeBytes(dir.path("bad.hst"), {'n', 'o', 'p', 'e'});
    EXPECT_EQ(runCli("info " + dir.path("bad.hst")).status, 2);
    EXPECT_EQ(runCli("info " + dir.path("missing.hst")).status, 1);
    EXPECT_EQ(runCli("").status, 1);
    EXPECT_EQ(runCli("frobnicate").status, 1);
    EXPECT_EQ(runCli("info").status, 1);
    EXPECT_EQ(runCli("merge " + dir.path("out.hst")).status, 1);
    EXPECT_EQ(runCli("merge " + dir.path("out.hst") + " " + good + " " + dir.path("bad.hst")).status,
              2);
    EXPECT_EQ(runCli("merge " + dir.path("out.hst") + " " + good + " " + dir.path("missing.hst"))
                  .status,
              1);
    EXPECT_TRUE(test::readBytes(dir.path("out.hst")).empty());
    EXPECT_EQ(runCli("--help").status, 0);
    EXPECT_EQ(runCli("merge --help").status, 0);
}

// One noise-free Gaussian (area 10000, centre channel 100.4, sigma 3) on a level of 50, with an
// energy calibration of 2 keV per channel, and a one-channel spike at the end of the spectrum.
std::string peakFile(const test::TempDir& dir) {
    DocumentState state;
    HistogramList list(state);
    list.setChannelCount(256);
    auto h = list.newHistogram();
    for (int i = 0; i < 256; ++i) {
        const double t = (i - 100.4) / 3.0;
        h->channels[static_cast<std::size_t>(i)] =
            static_cast<std::int32_t>(std::lround(10000 / (std::sqrt(2 * M_PI) * 3) *
                                                  std::exp(-t * t / 2) + 50));
    }
    h->channels[254] = 0;
    h->channels[255] = 1000;
    h->exposure = 100;
    list.addHistogram(std::move(h));
    AppConfig config;
    config.channelScale = 256;
    config.termCount = 2;
    config.coefficients = {0.0, 2.0, 0, 0, 0};
    const std::string path = dir.path("peak.hst");
    test::writeBytes(path, encodeHistogramFile(list, config));
    return path;
}

TEST_F(CliTest, PeakReportsTheFitInChannelsAndKeV) {
    const std::string path = peakFile(dir);
    const CliRun json = runCli("peak " + path + " --histogram 1 --at 98 --level --json");
    ASSERT_EQ(json.status, 0);
    const auto fit = nlohmann::json::parse(json.out);
    EXPECT_EQ(fit["ok"], true);
    EXPECT_NEAR(fit["centre"].get<double>(), 100.4, 0.01);
    EXPECT_NEAR(fit["energy"].get<double>(), 200.8, 0.02);
    EXPECT_NEAR(fit["fwhm"].get<double>(), 2.36 * 3, 0.02);
    EXPECT_NEAR(fit["fwhmKeV"].get<double>(), 2 * 2.36 * 3, 0.04);
    EXPECT_NEAR(fit["level"].get<double>(), 50, 0.5);

    const CliRun text = runCli("peak " + path + " --histogram 1 --at 98 --level");
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("Положение:     101.40 ± "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Интенсивность: 100.0"), std::string::npos) << "area / exposure";
}

TEST_F(CliTest, PeakFailureAndBadArguments) {
    const std::string path = peakFile(dir);
    const CliRun failed = runCli("peak " + path + " --histogram 1 --at 256");
    EXPECT_EQ(failed.status, 3) << "a one-channel spike is too narrow to fit";
    EXPECT_NE(failed.out.find("Интенсивность: ? ± ?"), std::string::npos);
    EXPECT_NE(failed.out.find("Положение:     256.00 ± ?"), std::string::npos);
    EXPECT_EQ(runCli("peak " + path + " --histogram 2 --at 98").status, 1);
    EXPECT_EQ(runCli("peak " + path + " --histogram 1 --at 0").status, 1);
    EXPECT_EQ(runCli("peak " + path + " --histogram 1 --at x").status, 1);
    EXPECT_EQ(runCli("peak " + path + " --at 98").status, 1);
}

std::string writeText(const test::TempDir& dir, const std::string& name, std::string_view text) {
    const std::string path = dir.path(name);
    test::writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
    return path;
}

std::string textOf(const std::string& path) {
    const auto bytes = test::readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST_F(CliTest, DbImportListAndExportRoundTrip) {
    const std::string in = writeText(dir, "in.txt",
                                     "# two isotopes\n\n"
                                     "Cs-137\n661.6553 0.8501\n*\n\n"
                                     "Co-60\n1173.228 0.9985\n1332.492 0.999826\n# a note\n");
    const std::string database = dir.path("SPECTORS.DAT");
    ASSERT_EQ(runCli("db import " + in + " " + database).status, 0);
    EXPECT_EQ(test::readBytes(database).size(), (18u + 16) + (18u + 2 * 16));

    const CliRun list = runCli("db list " + database);
    ASSERT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "isotopes: 2, lines: 3\nCs-137\t*\t1\nCo-60\t-\t2\n");

    const std::string out = dir.path("out.txt");
    ASSERT_EQ(runCli("db export " + database + " " + out).status, 0);
    EXPECT_EQ(textOf(out), "Cs-137\r\n661.6553\t0.8501\r\n*\r\n\r\n"
                           "Co-60\r\n1173.228\t0.9985\r\n1332.492\t0.999826\r\n");
    const std::string again = dir.path("again.DAT");
    ASSERT_EQ(runCli("db import " + out + " " + again).status, 0);
    EXPECT_EQ(test::readBytes(again), test::readBytes(database));
}

TEST_F(CliTest, DbErrorsHaveTheirExitCodesAndWriteNothing) {
    const std::string database = dir.path("SPECTORS.DAT");
    const std::string good = writeText(dir, "good.txt", "K-40\n1460.822 0.1034\n");
    ASSERT_EQ(runCli("db import " + good + " " + database).status, 0);
    const auto before = test::readBytes(database);

    const std::string cut = writeText(dir, "cut.txt", "K-40\n1460.822 0.1034\n1460.9\n");
    EXPECT_EQ(runCli("db import " + cut + " " + database).status, 2);
    EXPECT_EQ(runCli("db import " + writeText(dir, "empty.txt", "# nothing\n") + " " + database)
                  .status,
              2);
    EXPECT_EQ(runCli("db import " + dir.path("missing.txt") + " " + database).status, 1);
    EXPECT_EQ(test::readBytes(database), before) << "a failed import leaves the database";

    auto damaged = before;
    damaged.push_back(0x01);
    test::writeBytes(dir.path("damaged.DAT"), damaged);
    const CliRun list = runCli("db list " + dir.path("damaged.DAT"));
    EXPECT_EQ(list.status, 2);
    EXPECT_EQ(list.out, "isotopes: 1, lines: 1\nK-40\t-\t1\n") << "what could be read";
    EXPECT_EQ(runCli("db export " + dir.path("damaged.DAT") + " " + dir.path("x.txt")).status, 2);
    EXPECT_TRUE(test::readBytes(dir.path("x.txt")).empty());

    EXPECT_EQ(runCli("db list " + dir.path("missing.DAT")).status, 1);
    EXPECT_EQ(runCli("db").status, 1);
    EXPECT_EQ(runCli("db frobnicate").status, 1);
    EXPECT_EQ(runCli("db import " + good).status, 1);
    EXPECT_EQ(runCli("db --help").status, 0);
}

TEST(CliDb, ShippedLibraryBuildsIntoADatabase) {
    test::TempDir dir;
    const std::string text =
        (std::filesystem::path(KV_DEMO_FILE).parent_path() / "isotopes.txt").string();
    ASSERT_EQ(runCli("db import " + text + " " + dir.path("SPECTORS.DAT")).status, 0);
    const CliRun list = runCli("db list " + dir.path("SPECTORS.DAT"));
    ASSERT_EQ(list.status, 0);
    const auto lines = linesOf(list.out);
    ASSERT_EQ(lines.size(), 53u);
    EXPECT_EQ(lines[0], "isotopes: 52, lines: 298");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Cs-137\t*\t1"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Ac-228\t*\t30"), lines.end());
}

// Cs-137 and Co-60 lines on a falling continuum, 0.75 keV per channel from 0 keV.
std::string sourceFile(const test::TempDir& dir) {
    DocumentState state;
    HistogramList list(state);
    auto h = list.newHistogram();
    for (int i = 0; i < 2048; ++i) {
        double value = 3000 * std::exp(-i / 500.0);
        for (const double keV : {661.657, 1173.228, 1332.492}) {
            const double t = (i - keV / 0.75) / 2.5;
            value += 20000 / (std::sqrt(2 * M_PI) * 2.5) * std::exp(-t * t / 2);
        }
        h->channels[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(value);
    }
    h->exposure = 200;
    list.addHistogram(std::move(h));
    AppConfig config;
    config.channelScale = 2048;
    config.termCount = 2;
    config.coefficients = {0.0, 0.75, 0, 0, 0};
    const std::string path = dir.path("source.hst");
    test::writeBytes(path, encodeHistogramFile(list, config));
    return path;
}

TEST_F(CliTest, SearchFindsAndIdentifiesTheLinesOfASource) {
    const std::string path = sourceFile(dir);
    const CliRun run = runCli("search " + path + " --db " + KV_DATABASE_PATH + " --json");
    ASSERT_EQ(run.status, 0);
    const auto lines = nlohmann::json::parse(run.out)["lines"];
    std::vector<std::pair<std::string, double>> identified;
    for (const auto& line : lines) {
        if (!line["isotope"].is_null()) {
            identified.emplace_back(line["isotope"], line["energy"]);
        }
    }
    ASSERT_EQ(identified.size(), 3u) << run.out;
    EXPECT_EQ(identified[0].first, "Cs-137");
    EXPECT_NEAR(identified[0].second, 661.66, 0.1);
    EXPECT_EQ(identified[1].first, "Co-60");
    EXPECT_EQ(identified[2].first, "Co-60");

    const CliRun table = runCli("search " + path + " --db " + KV_DATABASE_PATH);
    ASSERT_EQ(table.status, 0);
    EXPECT_EQ(table.out.substr(0, table.out.find('\n')), "  E(кэВ)  C(имп/с) Изотоп");
    EXPECT_NE(table.out.find("  661.6"), std::string::npos);
    const CliRun csv = runCli("search " + path + " --db " + KV_DATABASE_PATH + " --csv");
    EXPECT_NE(csv.out.find(",Cs-137,661.66"), std::string::npos) << csv.out;
    EXPECT_EQ(runCli("search " + path + " --histogram 2").status, 1);
    EXPECT_EQ(runCli("search " + path + " --config " + dir.path("none.cnf")).status, 1);
}

TEST(CliDemo, ShippedDemoFileReads) {
    const CliRun run = runCli(std::string("info --json ") + KV_DEMO_FILE);
    ASSERT_EQ(run.status, 0);
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["channelCount"], 2048);
    EXPECT_GE(json["histograms"].size(), 1u);
    EXPECT_GE(json["calibration"]["channelScale"], 2);
}

TEST(CliDemo, GeneratorReproducesTheShippedFileByteForByte) {
    test::TempDir dir;
    const std::string made = dir.path("demo.hst");
    ASSERT_EQ(std::system((std::string(KV_MAKE_DEMO_PATH) + " " + made).c_str()), 0);
    EXPECT_EQ(test::readBytes(made), test::readBytes(KV_DEMO_FILE));
}

} // namespace
} // namespace kv
