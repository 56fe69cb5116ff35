// Runs a fuzz target without libFuzzer, so the suite's own compiler builds it and every test
// run checks it: each file of the corpus paths given (files, or folders of files), then cheap
// mutations of them for a few seconds. The mutations come from a fixed seed, the n-th always
// the same, so a run that fails is repeated by running it again. An input that breaks the
// target is written to "<program>.failing" in the working folder before the program dies;
// either build of the target replays it (kv_replay_<target> FILE, kv_fuzz_<target> FILE).
//
//   kv_replay_<target> [--seconds S] [--mutations N] PATH...

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Sanitizer runtimes end a program without a signal; they call this hook first when present.
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace {

using Input = std::vector<std::uint8_t>;

// The input being run and where it goes when it breaks the target, for the handlers below,
// which may only make system calls.
const std::uint8_t* g_running = nullptr;
std::size_t g_runningSize = 0;
const char* g_runningWhat = "";
std::array<char, 4096> g_failingPath{};

void writeToStderr(const char* text) {
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void keepFailingInput() {
    const int file = ::open(g_failingPath.data(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (file >= 0) {
        std::size_t written = 0;
        while (written < g_runningSize) {
            const ssize_t n = ::write(file, g_running + written, g_runningSize - written);
            if (n <= 0) {
                break;
            }
            written += static_cast<std::size_t>(n);
        }
        ::close(file);
    }
    for (const char* text : {"failing input (", g_runningWhat, ") kept in ",
                             static_cast<const char*>(g_failingPath.data()), "\n"}) {
        writeToStderr(text);
    }
}

void onFatalSignal(int signal) {
    keepFailingInput();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void run(std::span<const std::uint8_t> input, const std::string& what) {
    g_runningWhat = what.c_str();
    g_running = input.data();
    g_runningSize = input.size();
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

// SplitMix64: small, fast and the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        return z ^ (z >> 31);
    }
    // Uniform enough in 0..n-1 for n > 0.
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

private:
    std::uint64_t m_state;
};

// Values that sit on the edges readers check: counts and sizes, signs, NaN and infinity.
constexpr std::array<std::uint64_t, 16> kEdgeWords{
    0,      1,      2,          3,          0x7F,       0x80,     0xFF,     0x7FFF,
    0x8000, 0xFFFF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x100000, 0x100001, 0xFFFFFFFFFFFFFFFF};
constexpr std::array<std::uint64_t, 7> kEdgeDoubles{
    0x7FF8000000000000, // NaN
    0x7FF0000000000000, // infinity
    0xFFF0000000000000, // -infinity
    0x8000000000000000, // -0
    0x0000000000000001, // the smallest subnormal
    0x7FEFFFFFFFFFFFFF, // the largest double
    0x3FF0000000000000, // 1
};
// Pieces of the text forms: numbers at the edges of their range, line ends, marks.
constexpr std::array<std::string_view, 18> kTokens{
    "\r\n",   "\n",     " ",   "\t",  "0",         "-1", "2147483648", "-2147483649", "1e400",
    "1e-400", "5e-324", "nan", "inf", "0x1p-1074", "0x", "*",          "#",           "1.5E+02"};

void putWord(Input& bytes, std::size_t at, std::uint64_t word, std::size_t width) {
    for (std::size_t k = 0; k < width && at + k < bytes.size(); ++k) {
        bytes[at + k] = static_cast<std::uint8_t>(word >> (8 * k));
    }
}

void mutateOnce(Input& bytes, const std::vector<Input>& corpus, Random& random) {
    const std::size_t at = bytes.empty() ? 0 : random.below(bytes.size());
    switch (random.below(10)) {
    case 0: // flip a bit
        if (!bytes.empty()) {
            bytes[at] ^= static_cast<std::uint8_t>(1u << random.below(8));
        }
        break;
    case 1: // any byte
        if (!bytes.empty()) {
            bytes[at] = static_cast<std::uint8_t>(random.next());
        }
        break;
    case 2: { // an edge value as an integer of 1, 2, 4 or 8 bytes
        const std::size_t width = std::size_t{1} << random.below(4);
        putWord(bytes, at, kEdgeWords[random.below(kEdgeWords.size())], width);
        break;
    }
    case 3: // an edge value as a double
        putWord(bytes, at, kEdgeDoubles[random.below(kEdgeDoubles.size())], 8);
        break;
    case 4: { // a token of the text forms
        const std::string_view token = kTokens[random.below(kTokens.size())];
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), token.begin(), token.end());
        break;
    }
    case 5: { // erase a piece
        const std::size_t n = std::min(bytes.size() - at, 1 + random.below(16));
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
    }
    case 6: { // repeat a piece
        const std::size_t n = std::min(bytes.size() - at, 1 + random.below(64));
        const Input piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        break;
    }
    case 7: // cut the end off
        bytes.resize(at);
        break;
    case 8: { // the start of this input, the end of another
        const Input& other = corpus[random.below(corpus.size())];
        const std::size_t from = other.empty() ? 0 : random.below(other.size());
        bytes.resize(at);
        bytes.insert(bytes.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
        break;
    }
    default: { // a byte changed by a little, as counts and digits are
        if (!bytes.empty()) {
            bytes[at] = static_cast<std::uint8_t>(bytes[at] + random.below(7) - 3);
        }
        break;
    }
    }
}

// The n-th mutation: one to four changes of one corpus input, the same every run.
Input mutation(std::uint64_t n, const std::vector<Input>& corpus, std::size_t& source) {
    Random random(0x4B76616E74697261 ^ (n * 0x9E3779B97F4A7C15));
    source = random.below(corpus.size());
    Input bytes = corpus[source];
    for (std::size_t k = 1 + random.below(4); k > 0; --k) {
        mutateOnce(bytes, corpus, random);
    }
    return bytes;
}

Input readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Input(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--seconds S] [--mutations N] PATH...\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 2.0;
    std::uint64_t mutations = UINT64_MAX;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--seconds" || arg == "--mutations") && i + 1 < argc) {
            const char* value = argv[++i];
            char* end = nullptr;
            if (arg == "--seconds") {
                seconds = std::strtod(value, &end);
            } else {
                mutations = std::strtoull(value, &end, 10);
            }
            if (end == value || *end != '\0') {
                return usage(argv[0]);
            }
        } else if (arg.starts_with("-")) {
            return usage(argv[0]);
        } else if (std::filesystem::is_directory(argv[i])) {
            std::vector<std::filesystem::path> inFolder;
            for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
                if (entry.is_regular_file()) {
                    inFolder.push_back(entry.path());
                }
            }
            std::sort(inFolder.begin(), inFolder.end());
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (std::filesystem::is_regular_file(argv[i])) {
            files.emplace_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such file or folder: %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    if (files.empty()) {
        return usage(argv[0]);
    }

    const std::string failingPath = std::filesystem::path(argv[0]).filename().string() + ".failing";
    failingPath.copy(g_failingPath.data(), g_failingPath.size() - 1);
    for (const int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        std::signal(signal, onFatalSignal);
    }
    if (__sanitizer_set_death_callback) {
        __sanitizer_set_death_callback(keepFailingInput);
    }

    std::vector<Input> corpus;
    for (const auto& path : files) {
        corpus.push_back(readFile(path));
        run(corpus.back(), path.string());
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::uint64_t n = 0;
    for (; n < mutations && std::chrono::steady_clock::now() < deadline; ++n) {
        std::size_t source = 0;
        const Input bytes = mutation(n, corpus, source);
        run(bytes, "mutation " + std::to_string(n) + " of " + files[source].string());
    }
    std::printf("%zu corpus inputs and %llu mutations passed\n", corpus.size(),
                static_cast<unsigned long long>(n));
    return 0;
}
