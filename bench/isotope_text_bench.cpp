// "db import": the library text of an isotope line database read into records and put in the
// file's order (lines by descending intensity), for one isotope of the most lines a record
// holds and for the largest database the file allows; and "db export", which writes every
// record's lines by ascending energy.

#include "analysis/isotope_database.h"
#include "analysis/isotope_text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

namespace kv {
namespace {

// Isotopes of lines with random energies and intensities of three significant digits, so that
// equal intensities are common, as in real tables.
std::string libraryText(int isotopes, int lines) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> energy(10.0, 3000.0);
    std::uniform_int_distribution<int> intensity(1, 999);
    std::string text;
    char line[64];
    for (int k = 0; k < isotopes; ++k) {
        text += "Isotope-" + std::to_string(k) + "\n";
        for (int i = 0; i < lines; ++i) {
            std::snprintf(line, sizeof line, "%.3f %.3g\n", energy(random),
                          intensity(random) * 1e-3);
            text += line;
        }
        text += "\n";
    }
    return text;
}

void dbImport(benchmark::State& state) {
    const std::string text =
        libraryText(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        ParsedLibraryText parsed = parseLibraryText(text);
        parsed.database.orderLinesByIntensity(); // as saveDatabase does before it writes
        benchmark::DoNotOptimize(encodeDatabase(parsed.database));
    }
}
BENCHMARK(dbImport)->Args({1, 32767})->Args({256, 32767})->Unit(benchmark::kMillisecond);

void dbExport(benchmark::State& state) {
    const ParsedLibraryText parsed = parseLibraryText(
        libraryText(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatLibraryText(parsed.database));
    }
}
BENCHMARK(dbExport)->Args({1, 32767})->Unit(benchmark::kMillisecond);

} // namespace
} // namespace kv
