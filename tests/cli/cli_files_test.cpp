// kvantira-cli meets names it cannot write, special files and other writers of the same file:
// a message and exit status 1 instead of a crash or a hang, nothing replaced, nothing lost.

#include "model/histogram_file.h"
#include "support/fifo_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace kv {
namespace {

class CliFilesTest : public ::testing::Test {
protected:
    test::TempDir dir;

    struct Finished {
        int status = -1; // -1 when the tool did not exit by itself (a crash)
        std::string errors;
    };

    // Runs the tool through the shell; paths in arguments are quoted by the caller.
    Finished run(const std::string& arguments) const {
        const std::string errors = dir.path("stderr.txt");
        const int raw = std::system(
            (std::string(KV_CLI_PATH) + " " + arguments + " >/dev/null 2>'" + errors + "'")
                .c_str());
        const std::vector<std::uint8_t> text = test::readBytes(errors);
        std::filesystem::remove(errors);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, std::string(text.begin(), text.end())};
    }

    std::string quoted(const std::string& name) const { return "'" + dir.path(name) + "'"; }
};

// Every verb that writes, given a name too long for the system, a symbolic-link loop, a FIFO
// (also behind a link) or a directory as its output.
TEST_F(CliFilesTest, ImpossibleOrSpecialOutputsAreRefusedWithAMessage) {
    const std::string demo = std::string("'") + KV_DEMO_FILE + "'";
    const std::string database = std::string("'") + KV_DATABASE_PATH + "'";
    ASSERT_EQ(run("db export " + database + " " + quoted("lines.txt")).status, 0);
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
             {"measure --exposure 0.01 " + quoted(out), "merge " + quoted(out) + " " + demo,
              "peaks " + demo + " --histogram 1 " + quoted(out),
              "convert " + demo + " " + quoted(out), "export " + demo + " --all " + quoted(out),
              "db export " + database + " " + quoted(out),
              "db import " + quoted("lines.txt") + " " + quoted(out)}) {
            const Finished finished = run(verb);
            EXPECT_EQ(finished.status, 1) << verb;
            EXPECT_TRUE(finished.errors.starts_with("kvantira-cli: ")) << verb;
        }
    }
    EXPECT_EQ(entries(), before) << "nothing written, nothing left";
    EXPECT_TRUE(std::filesystem::is_fifo(dir.path("fifo.hst")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("loop1.hst")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path("directory.hst")));
    EXPECT_FALSE(fifo.rescuedAReader());
}

// A FIFO given where a file is read must not hold the tool: it is refused at once.
TEST_F(CliFilesTest, SpecialInputsAreRefusedWithoutWaiting) {
    const std::string demo = std::string("'") + KV_DEMO_FILE + "'";
    const test::FifoGuard fifo(dir.path("fifo.spe"));
    const std::string f = quoted("fifo.spe");
    for (const std::string& verb :
         {"info " + f, "merge " + quoted("out.hst") + " " + f,
          "convert " + f + " " + quoted("out.hst"), "search " + demo + " --config " + f,
          "search " + demo + " --db " + f, "windows " + demo + " --histogram 1 --config " + f,
          "db list " + f, "db import " + f + " " + quoted("out.DAT")}) {
        const Finished finished = run(verb);
        EXPECT_NE(finished.status, -1) << verb;
        EXPECT_NE(finished.errors.find("fifo.spe"), std::string::npos) << verb;
    }
    EXPECT_FALSE(fifo.rescuedAReader()) << "a verb blocked on the FIFO";
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.hst")));
    EXPECT_FALSE(std::filesystem::exists(dir.path("out.DAT")));
}

// Four loops of measure appending to one file: each run waits for the one before to save, so
// every histogram ends up in the file.
TEST_F(CliFilesTest, ConcurrentMeasuresAppendingToOneFileLoseNothing) {
    constexpr int kLoops = 4;
    constexpr int kRuns = 5;
    const std::string script = "for k in $(seq " + std::to_string(kLoops) +
                               "); do (for i in $(seq " + std::to_string(kRuns) + "); do " +
                               KV_CLI_PATH + " measure --exposure 0.01 " + quoted("runs.hst") +
                               " >/dev/null 2>&1 || echo failed; done) & done; wait";
    const std::string failures = dir.path("failures.txt");
    ASSERT_EQ(std::system(("(" + script + ") >'" + failures + "'").c_str()), 0);
    EXPECT_TRUE(test::readBytes(failures).empty()) << "a run failed";
    std::filesystem::remove(failures);

    const ParsedHistogramFile parsed = parseHistogramFile(test::readBytes(dir.path("runs.hst")));
    EXPECT_EQ(parsed.condition, FileCondition::Complete);
    EXPECT_EQ(parsed.histograms.size(), static_cast<std::size_t>(kLoops * kRuns));
    const std::filesystem::directory_iterator it(dir.root());
    EXPECT_EQ(std::distance(begin(it), end(it)), 1) << "no temporary or lock file left";
}

} // namespace
} // namespace kv
