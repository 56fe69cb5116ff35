#include "acquisition/memory_test.h"

#include "acquisition/analyser_port.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <string_view>

namespace kv {

namespace {

constexpr std::size_t kTestTextLimit = 63; // bytes of the stored Windows-1251 form

std::unique_ptr<Histogram> testHistogram(const HistogramList& list, StringId name,
                                         const std::vector<std::uint32_t>& words) {
    auto h = list.newHistogram();
    h->name.assign(cp1251FromUtf8(text(name)).substr(0, kTestTextLimit));
    h->comment.assign(cp1251FromUtf8(text(StringId::MemoryTestComment)).substr(0, kTestTextLimit));
    for (std::size_t i = 0; i < words.size(); ++i) {
        h->channels[i] = static_cast<std::int32_t>(words[i]);
    }
    h->exposure = 1.0;
    h->total = sumChannels(*h, 0, static_cast<std::int32_t>(words.size()) - 1);
    return h;
}

} // namespace

std::vector<std::uint32_t> memoryTestPattern(MemoryPattern pattern, std::int32_t n,
                                             std::uint32_t seed) {
    std::vector<std::uint32_t> words(static_cast<std::size_t>(std::max(n, 0)), 0);
    if (pattern == MemoryPattern::Ones) {
        std::fill(words.begin(), words.end(), 0xFFFFFFFFu);
    } else if (pattern == MemoryPattern::Random) {
        std::mt19937 generator(seed);
        for (std::uint32_t& word : words) {
            const std::uint32_t low = generator() & 0xFFFFu;
            const std::uint32_t high = generator() & 0xFFFFu;
            word = low | high << 16;
        }
    }
    return words;
}

double MemoryTestResult::errorPercent() const {
    return channels > 0 ? 100.0 * errors / channels : 0.0;
}

MemoryTestResult runMemoryTest(PortIo& io, std::uint16_t base, HistogramList& list,
                               MemoryPattern pattern, std::uint32_t seed) {
    const std::vector<std::uint32_t> written =
        memoryTestPattern(pattern, list.channelCount(), seed);
    const std::vector<std::uint32_t> read = writeAndReadMemory(io, base, written);

    MemoryTestResult result;
    result.channels = static_cast<std::int32_t>(written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        result.errors += read[i] != written[i] ? 1 : 0;
    }
    if (!result.passed()) {
        list.addHistogram(testHistogram(list, StringId::MemoryTestResultName, read));
        if (pattern == MemoryPattern::Random) {
            list.addHistogram(testHistogram(list, StringId::MemoryTestSourceName, written));
        }
    }
    return result;
}

std::string memoryTestErrorText(const MemoryTestResult& result) {
    // The table's "%0.1f% ошибок" uses its second "%" as a literal sign, which printf would
    // take for a conversion, so only the number goes through snprintf.
    constexpr std::string_view kConversion = "%0.1f";
    const std::string_view format = text(StringId::MemoryTestErrors);
    const std::size_t at = format.find(kConversion);
    char number[32];
    std::snprintf(number, sizeof number, "%0.1f", result.errorPercent());
    if (at == std::string_view::npos) {
        return std::string(number) + std::string(format);
    }
    return std::string(format.substr(0, at)) + number +
           std::string(format.substr(at + kConversion.size()));
}

MemoryTestResult memoryTest(PortIo& io, const Clock& clock, const AnalyserSettings& settings,
                            HistogramList& list, UiServices& ui, MemoryPattern pattern,
                            const std::function<void()>& tested) {
    const auto seed = static_cast<std::uint32_t>(clock.now().count());
    const MemoryTestResult result = runMemoryTest(io, portBase(settings), list, pattern, seed);
    if (tested) {
        tested();
    }
    if (result.passed()) {
        ui.showMessage(StringId::MemoryTestPassed, StringId::GoodNews);
    } else {
        ui.showFormattedMessage(StringId::MemoryTestErrors, memoryTestErrorText(result),
                                StringId::BadNews);
    }
    return result;
}

} // namespace kv
