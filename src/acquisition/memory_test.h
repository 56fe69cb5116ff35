#pragma once

// The analyser memory test, the only check of the hardware: a known pattern of one 32-bit word
// per channel is written into the histogram memory, read back (sequence S5) and compared word
// by word. On errors the read-back words, and for the random pattern the written ones, are
// added to the list as histograms so the user can see which channels and bits fail.

#include "acquisition/port_io.h"
#include "model/histogram_list.h"
#include "model/settings.h"
#include "platform/clock.h"
#include "platform/ui_services.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

enum class MemoryPattern { Zeros = 0, Ones = 1, Random = 2 };

// The words of a test over n channels. Random: per channel two successive draws of a generator
// seeded with seed, the low 16 bits of the first in the low half, of the second in the high.
std::vector<std::uint32_t> memoryTestPattern(MemoryPattern pattern, std::int32_t n,
                                             std::uint32_t seed);

struct MemoryTestResult {
    std::int32_t channels = 0; // words tested
    std::int32_t errors = 0;   // words read back different from the written ones

    bool passed() const { return errors == 0; }
    // errors / channels x 100; 0 for an empty test.
    double errorPercent() const;
};

// Tests the list's channel count of words at the analyser at base. Without errors the list is
// left as it was. With errors the read-back histogram ("Тест памяти", 2088) is added, then for
// the random pattern the written one (2086); both have comment 2087, kind 0, exposure 1 s and
// their sum as total. The analyser is left stopped with the read-back words in its memory.
MemoryTestResult runMemoryTest(PortIo& io, std::uint16_t base, HistogramList& list,
                               MemoryPattern pattern, std::uint32_t seed);

// The error message text, "%0.1f% ошибок в тесте" filled in, e.g. "0.1% ошибок в тесте".
std::string memoryTestErrorText(const MemoryTestResult& result);

// The test buttons of the mode dialog: runs the test at the configured port base, seeded with
// the clock's time, and tells the user: 2089 under "Хорошие новости" when it passed, else 2091
// under "Плохие новости" with the filled-in text as the message's detail. tested runs between
// the test and the message (the desktop program shows the histograms added first).
MemoryTestResult memoryTest(PortIo& io, const Clock& clock, const AnalyserSettings& settings,
                            HistogramList& list, UiServices& ui, MemoryPattern pattern,
                            const std::function<void()>& tested = {});

} // namespace kv
