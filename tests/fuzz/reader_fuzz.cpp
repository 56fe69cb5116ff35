// Feeds arbitrary bytes to one spectrum reader, chosen by the file extension the build gives
// (KV_FUZZ_EXTENSION). The reader must refuse or read them without a crash, a leak or a read
// outside its input, and whatever it reads must be a spectrum the program can list.

#include "formats/spectrum_formats.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kv::ImportResult result = kv::readSpectrumFile({data, size}, "fuzz." KV_FUZZ_EXTENSION);
    for (const kv::ImportedSpectrum& s : result.spectra) {
        if (s.channels.empty() || s.channels.size() > kv::kMaxChannelCount) {
            std::abort();
        }
        if (s.calibration) {
            (void)kv::programCoefficients(*s.calibration);
        }
        (void)kv::toHistogram(s, "fuzz");
    }
    return 0;
}
