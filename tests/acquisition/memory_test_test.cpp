#include "acquisition/memory_test.h"

#include "acquisition/simulated_analyser.h"
#include "model/cp1251.h"
#include "support/fake_ui_services.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

struct Bench {
    DocumentState state;
    HistogramList list{state};
    test::FakeUiServices ui;
    AnalyserSettings analyser;
    test::ManualClock clock;
    SimulatedAnalyser memory{clock};
};

TEST(MemoryTest, PatternsAndTheirSeeds) {
    EXPECT_EQ(memoryTestPattern(MemoryPattern::Zeros, 3, 1), std::vector<std::uint32_t>(3, 0));
    EXPECT_EQ(memoryTestPattern(MemoryPattern::Ones, 3, 1), std::vector<std::uint32_t>(3, ~0u));
    const auto random = memoryTestPattern(MemoryPattern::Random, 2048, 7);
    EXPECT_EQ(random, memoryTestPattern(MemoryPattern::Random, 2048, 7));
    EXPECT_NE(random, memoryTestPattern(MemoryPattern::Random, 2048, 8));
    std::uint32_t ored = 0; // both halves carry random bits
    for (const std::uint32_t word : random) {
        ored |= word;
    }
    EXPECT_EQ(ored, 0xFFFFFFFFu);
}

TEST(MemoryTest, HealthyMemoryPassesEveryPatternAndAddsNothing) {
    for (const auto pattern : {MemoryPattern::Zeros, MemoryPattern::Ones, MemoryPattern::Random}) {
        Bench bench;
        bench.analyser.portBaseIndex = 7;
        const auto result =
            memoryTest(bench.memory, bench.clock, bench.analyser, bench.list, bench.ui, pattern);
        EXPECT_TRUE(result.passed());
        EXPECT_EQ(result.channels, 2048);
        EXPECT_TRUE(bench.list.empty() && bench.state.documentSaved);
        ASSERT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_EQ(bench.ui.messages[0].text, StringId::MemoryTestPassed);
        EXPECT_EQ(bench.ui.messages[0].caption, StringId::GoodNews);
    }
}

TEST(MemoryTest, ErrorShareIsShownWithOneDecimal) {
    const std::pair<int, const char*> cases[] = {{3, "0.1% ошибок в тесте"},
                                                 {1024, "50.0% ошибок в тесте"},
                                                 {2048, "100.0% ошибок в тесте"}};
    for (const auto& [dead, text] : cases) {
        Bench bench;
        for (int channel = 0; channel < dead; ++channel) {
            bench.memory.injectDeadChannel(channel);
        }
        const MemoryTestResult result = memoryTest(bench.memory, bench.clock, bench.analyser,
                                                   bench.list, bench.ui, MemoryPattern::Zeros);
        EXPECT_EQ(result.errors, dead);
        ASSERT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_EQ(bench.ui.messages[0].text, StringId::MemoryTestErrors);
        EXPECT_EQ(bench.ui.messages[0].caption, StringId::BadNews);
        EXPECT_EQ(bench.ui.messages[0].detail, text);
        EXPECT_EQ(bench.list.histogramAt(0)->channels[dead - 1], -1);
    }
}

TEST(MemoryTest, StuckBitIsCaughtByZerosButNotByOnes) {
    Bench bench;
    SimulatedAnalyser& memory = bench.memory;
    for (int channel = 0; channel < kAnalyserChannels; ++channel) {
        memory.injectStuckBits(4 * channel + 2, 0, 0x01); // bit 16 of every word
    }
    EXPECT_TRUE(runMemoryTest(memory, 0x300, bench.list, MemoryPattern::Ones, 1).passed());
    EXPECT_TRUE(bench.list.empty());

    EXPECT_EQ(runMemoryTest(memory, 0x300, bench.list, MemoryPattern::Zeros, 1).errors, 2048);
    ASSERT_EQ(bench.list.histogramCount(), 1); // words are counted, not bits
    const Histogram& readBack = *bench.list.histogramAt(0);
    EXPECT_EQ(utf8FromCp1251(readBack.name.view()), " 1. Тест памяти");
    EXPECT_EQ(utf8FromCp1251(readBack.comment.view()), "Тест памяти");
    EXPECT_EQ(readBack.kind, 0);
    EXPECT_EQ(readBack.exposure, 1.0);
    EXPECT_EQ(readBack.channels, std::vector<std::int32_t>(2048, 0x10000));
    EXPECT_EQ(readBack.total, 2048u * 0x10000u);
    EXPECT_FALSE(bench.state.documentSaved);
}

TEST(MemoryTest, RandomWithErrorsAddsReadBackThenPatternOverTheListChannelCount) {
    Bench bench;
    bench.list.setChannelCount(1024);
    SimulatedAnalyser& memory = bench.memory;
    memory.injectDeadChannel(5);
    const auto result = runMemoryTest(memory, 0x300, bench.list, MemoryPattern::Random, 42);
    EXPECT_EQ(result.channels, 1024);
    EXPECT_EQ(result.errors, 1);
    ASSERT_EQ(bench.list.histogramCount(), 2);
    const auto pattern = memoryTestPattern(MemoryPattern::Random, 1024, 42);
    const Histogram& readBack = *bench.list.histogramAt(0);
    const Histogram& source = *bench.list.histogramAt(1);
    EXPECT_EQ(readBack.channels[5], -1);
    EXPECT_EQ(readBack.channels[6], static_cast<std::int32_t>(pattern[6]));
    EXPECT_EQ(source.channels, std::vector<std::int32_t>(pattern.begin(), pattern.end()));
    EXPECT_EQ(utf8FromCp1251(source.name.view()), " 2. Тест памяти");
    EXPECT_EQ(source.total, sumChannels(source, 0, 1023));
    EXPECT_EQ(bench.list.currentIndex(), 1);
}

} // namespace
} // namespace kv
