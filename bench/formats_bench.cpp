// Reading a 16384-channel spectrum of another analyser from memory: an ASCII SPE (one count a
// line) and an N42 document of the same counts (CountedZeroes, 8 spectra as a portal writes
// them), beside splitting the same SPE text into numbers with strtol as the floor any text
// reader has to pay. Counts are seeded pseudo-random with the zeros real spectra have.

#include "formats/n42_format.h"
#include "formats/spe_format.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>

namespace kv {

namespace {

constexpr std::size_t kChannels = 16384;

ImportedSpectrum spectrum() {
    ImportedSpectrum s;
    std::mt19937 random(7);
    std::poisson_distribution<int> counts(40.0);
    for (std::size_t i = 0; i < kChannels; ++i) {
        s.channels.push_back(i < 80 || i % 9 == 0 ? 0 : counts(random));
    }
    s.liveTimeSeconds = 629.17;
    s.realTimeSeconds = 639.92;
    s.calibration = ImportedCalibration{{0.14, 0.1874, -2.1e-9}, 0.0};
    return s;
}

std::string n42Text(const ImportedSpectrum& s, int detectors) {
    std::string channels;
    for (std::size_t i = 0; i < s.channels.size();) {
        std::size_t zeros = 0;
        while (i + zeros < s.channels.size() && s.channels[i + zeros] == 0) {
            ++zeros;
        }
        channels +=
            zeros ? "0 " + std::to_string(zeros) + " " : std::to_string(s.channels[i]) + " ";
        i += zeros ? zeros : 1;
    }
    std::string text = "<?xml version=\"1.0\"?>\n<N42InstrumentData><Measurement><DetectorData>"
                       "<StartTime>2010-04-17T17:33:19.409Z</StartTime>"
                       "<DetectorMeasurement><SpectrumMeasurement>\n";
    for (int d = 0; d < detectors; ++d) {
        text += "<Spectrum Detector=\"A" + std::to_string(d) +
                "\"><RealTime>PT639.92S</RealTime><LiveTime>PT629.17S</LiveTime>"
                "<Calibration Type=\"Energy\"><Equation Model=\"Polynomial\"><Coefficients>"
                "0.14 0.1874 -2.1e-09</Coefficients></Equation></Calibration>"
                "<ChannelData Compression=\"CountedZeroes\">" +
                channels + "</ChannelData></Spectrum>\n";
    }
    return text + "</SpectrumMeasurement></DetectorMeasurement></DetectorData></Measurement>"
                  "</N42InstrumentData>\n";
}

void readSpe16384(benchmark::State& state) {
    const std::string text = writeSpe(spectrum());
    for (auto _ : state) {
        benchmark::DoNotOptimize(readSpe(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readSpe16384)->Unit(benchmark::kMicrosecond);

void strtolOverSpe16384(benchmark::State& state) {
    const std::string text = writeSpe(spectrum());
    for (auto _ : state) {
        long sum = 0;
        const char* p = text.c_str() + text.find("$DATA:") + 6;
        for (char* end = nullptr;; p = end) {
            const long value = std::strtol(p, &end, 10);
            if (end == p) {
                break;
            }
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(strtolOverSpe16384)->Unit(benchmark::kMicrosecond);

void readN42(benchmark::State& state) {
    const std::string text = n42Text(spectrum(), static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kv::readN42(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readN42)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

} // namespace

} // namespace kv
