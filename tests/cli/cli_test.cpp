// Runs the built kvantira-cli as a user would and checks its output, files and exit codes.

#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
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
