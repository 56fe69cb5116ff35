// Reading and writing a histogram file of 1000 histograms of 2048 channels, each beside plain
// I/O of the same number of bytes in the same run, so the cost of the format shows as a ratio
// that does not depend on the machine. The file stays in the page cache, so the reads measure
// the processor's work; the writes include the flush to the disk that saving does.

#include "model/app_config.h"
#include "model/document.h"
#include "model/document_state.h"
#include "model/histogram_file.h"
#include "model/histogram_list.h"
#include "platform/files.h"
#include "silent_ui.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

// Standard C++ can neither create a unique directory nor flush a file to the disk, so this
// measurement program calls POSIX for the scratch directory (mkdtemp) and for the plain
// baseline's flush (fsync), which matches the one writeFileReplacing does.
#include <stdlib.h>
#include <unistd.h>

namespace kv {

namespace {

constexpr int kHistogramCount = 1000;
constexpr std::int32_t kChannelCount = 2048;

// The list every benchmark works on, its file's bytes, and a scratch directory holding that
// file, removed when the program ends.
class Sample {
public:
    Sample() : m_list(m_state) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kv-file-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("kv_file_bench: cannot create a temporary directory");
            std::exit(EXIT_FAILURE);
        }
        m_directory = pattern;
        m_list.setChannelCount(kChannelCount);
        for (int k = 0; k < kHistogramCount; ++k) {
            auto h = m_list.newHistogram();
            h->name.assign("Spectrum");
            h->exposure = 600.0;
            for (std::int32_t ch = 0; ch < kChannelCount; ++ch) {
                h->channels[static_cast<std::size_t>(ch)] = (ch * 7 + k) % 5000;
            }
            h->total = sumChannels(*h, 0, kChannelCount - 1);
            m_list.addHistogram(std::move(h));
        }
        m_bytes = encodeHistogramFile(m_list, m_config);
        const WriteOutcome outcome = writeFileReplacing(filePath(), m_bytes);
        if (!outcome.written) {
            std::fprintf(stderr, "kv_file_bench: cannot write %s: %s\n", filePath().c_str(),
                         outcome.reason.c_str());
            std::exit(EXIT_FAILURE);
        }
    }
    ~Sample() {
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
    }
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    const HistogramList& list() const { return m_list; }
    const AppConfig& config() const { return m_config; }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    std::string path(const std::string& name) const { return m_directory + "/" + name; }
    std::string filePath() const { return path("sample.hst"); }

private:
    DocumentState m_state;
    HistogramList m_list;
    AppConfig m_config;
    std::vector<std::uint8_t> m_bytes;
    std::string m_directory;
};

const Sample& sample() {
    static const Sample instance;
    return instance;
}

void countBytes(benchmark::State& state) {
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(sample().bytes().size()));
}

// The file's bytes into newly allocated memory with one call: what any reader has to pay,
// since a read's results must live somewhere new.
void BM_PlainRead(benchmark::State& state) {
    const std::string path = sample().filePath();
    const std::size_t size = sample().bytes().size();
    for (auto _ : state) {
        const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        const std::size_t read = file ? std::fread(buffer.get(), 1, size, file) : 0;
        if (file) {
            std::fclose(file);
        }
        if (read != size) {
            state.SkipWithError("plain read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    countBytes(state);
}

// What the user waits for after choosing the file in Open: the whole read into the list,
// including freeing the histograms the previous read left there.
void BM_ReadHistogramFile(benchmark::State& state) {
    const std::string path = sample().filePath();
    SilentUi ui;
    DocumentState documentState;
    HistogramList list(documentState);
    AppConfig config;
    Document document(list, config, documentState, ui);
    for (auto _ : state) {
        if (document.openFromCommandLine(path) != ReadOutcome::Read ||
            list.histogramCount() != kHistogramCount) {
            state.SkipWithError("histogram file read failed");
            break;
        }
    }
    countBytes(state);
}

// The same number of bytes written and flushed to the disk, as the saving writer flushes them.
void BM_PlainWrite(benchmark::State& state) {
    const std::string path = sample().path("plain.bin");
    const std::vector<std::uint8_t>& bytes = sample().bytes();
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                       std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
        if (file) {
            written = std::fclose(file) == 0 && written;
        }
        if (!written) {
            state.SkipWithError("plain write failed");
            break;
        }
    }
    countBytes(state);
}

// Save: encoding the list and replacing the file through a flushed temporary one.
void BM_WriteHistogramFile(benchmark::State& state) {
    const std::string path = sample().path("saved.hst");
    for (auto _ : state) {
        if (!writeFileReplacing(path, encodeHistogramFile(sample().list(), sample().config()))
                 .written) {
            state.SkipWithError("histogram file write failed");
            break;
        }
    }
    countBytes(state);
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadHistogramFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteHistogramFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

} // namespace kv
