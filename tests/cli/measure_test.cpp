// kvantira-cli measure and series as processes: stopped by signals, refusing rates no analyser
// counts, keeping the measured spectrum when its file cannot be written, and the series' reports,
// histograms and numbered text files.

#include "model/histogram_file.h"
#include "support/temp_dir.h"
#include "support/write_limit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kv {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far above what any of these runs takes on an idle machine (tens of milliseconds), so that
// only a process that does not end fails, however loaded the machine.
constexpr auto kPatience = 60s;

// kvantira-cli started through env(1) with the given variables set and its standard output and
// error going to files of dir. Killed when it is still running as the object goes.
class CliProcess {
public:
    CliProcess(const test::TempDir& dir, const std::vector<std::string>& arguments,
               const std::vector<std::string>& variables)
        : m_out(dir.path("out.txt")), m_err(dir.path("err.txt")) {
        std::vector<std::string> words{"/usr/bin/env"};
        words.insert(words.end(), variables.begin(), variables.end());
        words.emplace_back(KV_CLI_PATH);
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        m_started = Clock::now();
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }

    ~CliProcess() {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // True once standard error holds text, false when the process ended or patience ran out.
    bool waitForError(std::string_view text) {
        while (Clock::now() - m_started < kPatience && !ended()) {
            if (err().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    void signal(int number) { ::kill(m_pid, number); }

    // The exit status once the process has ended, or nothing when it is still running after
    // kPatience (it is killed then).
    std::optional<int> exitStatus() {
        while (!ended() && Clock::now() - m_started < kPatience) {
            std::this_thread::sleep_for(5ms);
        }
        if (m_status && WIFEXITED(*m_status)) {
            return WEXITSTATUS(*m_status);
        }
        return m_status ? std::optional(-WTERMSIG(*m_status)) : std::nullopt;
    }

    // Seconds since the start.
    double elapsed() const {
        return std::chrono::duration<double>(Clock::now() - m_started).count();
    }

    std::string out() const { return test::readText(m_out); }
    std::string err() const { return test::readText(m_err); }

private:
    bool ended() {
        int status = 0;
        if (!m_status && m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
        }
        return m_pid <= 0 || m_status.has_value();
    }

    std::string m_out;
    std::string m_err;
    pid_t m_pid = -1;
    std::optional<int> m_status;
    Clock::time_point m_started;
};

class MeasureTest : public ::testing::Test {
protected:
    test::TempDir dir;
    // The program directory and the temporary directory of every run, so nothing is written
    // outside the test's directory.
    std::vector<std::string> variables{"KVANTIRA_HOME=" + dir.path("home"), "TMPDIR=" + dir.root()};

    MeasureTest() { std::filesystem::create_directory(dir.path("home")); }

    // The files kept for unsaved measurements in directory.
    static std::vector<std::string> keptIn(const std::string& directory) {
        std::vector<std::string> kept;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            if (entry.path().filename().string().starts_with("kvantira-unsaved-")) {
                kept.push_back(entry.path().string());
            }
        }
        return kept;
    }
};

// One measured spectrum of the simulator, complete.
void expectOneMeasurement(const std::string& path, const std::string& name) {
    const auto kept = parseHistogramFile(test::readBytes(path));
    ASSERT_EQ(kept.condition, FileCondition::Complete) << path;
    ASSERT_EQ(kept.histograms.size(), 1u) << path;
    const Histogram& h = *kept.histograms[0];
    EXPECT_EQ(h.name.view(), " 1. " + name);
    EXPECT_EQ(h.channels.size(), 2048u);
    EXPECT_TRUE(h.total > 0 && h.total == sumChannels(h, 0, 2047));
}

TEST_F(MeasureTest, SigintOrSigtermEndsALongRunPromptlyAndSavesWhatWasCounted) {
    const std::string out = dir.path("runs.hst");
    int runs = 0;
    for (const int signal : {SIGINT, SIGTERM}) {
        // The highest rate: the simulator's busiest drawing must not delay the stop.
        CliProcess measure(dir, {"measure", "--exposure", "3600", "--rate", "1e7", out}, variables);
        ASSERT_TRUE(measure.waitForError("measuring:")) << measure.err();
        measure.signal(signal);
        EXPECT_EQ(measure.exitStatus(), 0) << signal << ": " << measure.err();
        const double elapsed = measure.elapsed();
        EXPECT_NE(measure.out().find("\t(stopped early)\n"), std::string::npos) << measure.out();

        const auto saved = parseHistogramFile(test::readBytes(out));
        ASSERT_EQ(saved.histograms.size(), static_cast<std::size_t>(++runs));
        const Histogram& h = *saved.histograms.back();
        EXPECT_LT(h.exposure, elapsed);
        EXPECT_TRUE(h.total > 0 && h.total == sumChannels(h, 0, 2047));
    }
}

TEST_F(MeasureTest, RatesNoAnalyserCountsAreRefusedBeforeAnythingRuns) {
    const std::string out = dir.path("never.hst");
    const std::vector<std::string> rate = {"KVANTIRA_RATE=1e24"};
    for (const auto& [arguments, environment] :
         std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>{
             {{"measure", "--exposure", "0.2", "--rate", "1e24", out}, {}},
             {{"measure", "--exposure", "0.2", out}, rate}}) {
        std::vector<std::string> all = variables;
        all.insert(all.end(), environment.begin(), environment.end());
        CliProcess measure(dir, arguments, all);
        EXPECT_EQ(measure.exitStatus(), 1);
        EXPECT_NE(measure.err().find("at most 10000000 counts per second"), std::string::npos)
            << measure.err();
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(MeasureTest, ASpectrumThatCannotBeSavedIsKeptBesideAndNotReportedAsSaved) {
    // A disk with room for one spectrum but not for the file it was to join.
    const std::string out = dir.path("full.hst");
    CliProcess first(dir, {"measure", "--exposure", "0.05", out}, variables);
    ASSERT_EQ(first.exitStatus(), 0);
    CliProcess second(dir, {"measure", "--exposure", "0.05", out}, variables);
    ASSERT_EQ(second.exitStatus(), 0);
    const std::vector<std::uint8_t> before = test::readBytes(out);
    {
        const test::WriteLimit limit(before.size() + 1000);
        CliProcess measure(dir, {"measure", "--exposure", "0.05", "--name", "Lost", out},
                           variables);
        EXPECT_EQ(measure.exitStatus(), 1);
        EXPECT_EQ(measure.out(), "");
        const auto kept = keptIn(dir.root());
        ASSERT_EQ(kept.size(), 1u) << measure.err();
        EXPECT_NE(measure.err().find("kept in " + kept[0]), std::string::npos) << measure.err();
        expectOneMeasurement(kept[0], "Lost");
    }
    EXPECT_EQ(test::readBytes(out), before);

    // Nothing can be written at all: said so, and still no line of a saved spectrum.
    {
        const test::WriteLimit limit(4000);
        CliProcess measure(dir, {"measure", "--exposure", "0.05", out}, variables);
        EXPECT_EQ(measure.exitStatus(), 1);
        EXPECT_EQ(measure.out(), "");
        EXPECT_NE(measure.err().find("could not be kept anywhere"), std::string::npos)
            << measure.err();
    }
    EXPECT_EQ(keptIn(dir.root()).size(), 1u);
    EXPECT_TRUE(keptIn(dir.path("home")).empty());
    EXPECT_EQ(test::readBytes(out), before);
}

TEST_F(MeasureTest, ARunWhoseDirectoryVanishedIsKeptInTheProgramDirectory) {
    // The medium is taken away during the run, which is then stopped.
    const std::string medium = dir.path("medium");
    std::filesystem::create_directory(medium);
    CliProcess measure(dir, {"measure", "--exposure", "3600", "--name", "Away", medium + "/a.hst"},
                       variables);
    ASSERT_TRUE(measure.waitForError("measuring:")) << measure.err();
    std::filesystem::remove_all(medium);
    measure.signal(SIGINT);
    EXPECT_EQ(measure.exitStatus(), 1);
    EXPECT_EQ(measure.out(), "");
    const auto kept = keptIn(dir.path("home"));
    ASSERT_EQ(kept.size(), 1u) << measure.err();
    EXPECT_NE(measure.err().find("kept in " + kept[0]), std::string::npos) << measure.err();
    expectOneMeasurement(kept[0], "Away");
}

std::vector<std::string> linesIn(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Four exposures of 0.2 s every 0.3 s: one report line each, started on the period counted from
// the first start (never earlier; the end at exactly N x P is checked on a test clock in the
// acquisition suite), so the series takes at least 1.2 s.
TEST_F(MeasureTest, XraySeriesReportsEveryExposureOnItsPeriod) {
    CliProcess series(dir,
                      {"series", "xray", "--count", "4", "--exposure", "0.2", "--interval", "0.1"},
                      variables);
    ASSERT_EQ(series.exitStatus(), 0) << series.err();
    EXPECT_GE(series.elapsed(), 1.2);
    const std::vector<std::string> lines = linesIn(series.out());
    ASSERT_EQ(lines.size(), 4u) << series.out();
    double previous = -1.0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        // "%7.3f" seconds, then N1 N2 N3 C1 C2 at 13 characters each.
        ASSERT_EQ(lines[k].size(), 7u + 5 * 13) << lines[k];
        const double started = std::stod(lines[k].substr(0, 7));
        EXPECT_GE(started, 0.3 * static_cast<double>(k) - 0.0005) << lines[k];
        EXPECT_GT(started, previous);
        previous = started;
    }
    EXPECT_EQ(lines[0].substr(0, 7), "  0.000");
}

// Cycles triggered by the simulated line until Ctrl-C: the cycles listed are saved and each was
// written to its numbered text file.
TEST_F(MeasureTest, CyclicSeriesKeepsItsCyclesAndTheirTextFilesWhenStopped) {
    const std::string out = dir.path("cycles.hst");
    CliProcess series(dir,
                      {"series", "cyclic", "--cycles", "1000", "--name", "Co", "--trigger",
                       "0.1:0.05", "--text", dir.path("run.txt"), "--names", out},
                      variables);
    ASSERT_TRUE(series.waitForError("completed: 2")) << series.err();
    series.signal(SIGINT);
    ASSERT_EQ(series.exitStatus(), 0) << series.err();

    const auto file = parseHistogramFile(test::readBytes(out));
    const std::size_t cycles = file.histograms.size();
    ASSERT_GE(cycles, 2u);
    ASSERT_LT(cycles, 1000u);
    const std::vector<std::string> listed = linesIn(series.out());
    ASSERT_EQ(listed.size(), cycles);
    for (std::size_t i = 0; i < cycles; ++i) {
        char number[24];
        std::snprintf(number, sizeof number, "%04zu", i + 1);
        EXPECT_EQ(listed[i].substr(0, listed[i].find('\t')),
                  " " + std::to_string(i + 1) + ". Co" + number);
        EXPECT_NEAR(file.histograms[i]->exposure, 0.1, 0.05);
        EXPECT_TRUE(test::readText(dir.path("run" + std::string(number) + ".txt"))
                        .starts_with("Co" + std::string(number) + "\r\n"));
    }
    // The cycle under way at the stop is dropped, text file and all.
    char next[24];
    std::snprintf(next, sizeof next, "%04zu", cycles + 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path("run" + std::string(next) + ".txt")));
}

} // namespace
} // namespace kv
