// Feeds arbitrary bytes to one spectrum reader, chosen by the file extension the build gives
// (KV_FUZZ_EXTENSION). The reader must refuse or read them without a crash, a leak or a read
// outside its input; a refusal names a place inside the input and keeps no spectra, and
// whatever it reads must be a spectrum the program can list.

#include "formats/spectrum_formats.h"
#include "fuzz_checks.h"

#include <algorithm>
#include <cstdint>

namespace {

bool isInside(const kv::FilePosition& at, const std::uint8_t* data, std::size_t size) {
    switch (at.unit) {
    case kv::FilePosition::Unit::File:
        return true;
    case kv::FilePosition::Unit::Byte:
        return at.value <= size;
    case kv::FilePosition::Unit::Line:
        return at.value >= 1 &&
               at.value <= 1 + static_cast<std::size_t>(std::count(data, data + size, '\n'));
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kv::ImportResult result = kv::readSpectrumFile({data, size}, "fuzz." KV_FUZZ_EXTENSION);
    if (result.refusal) {
        kv::fuzz::require(result.spectra.empty(), "a refused file keeps no spectra");
        kv::fuzz::require(isInside(result.refusal->at, data, size),
                          "a refusal names a place inside the file");
    }
    for (const kv::ImportedSpectrum& s : result.spectra) {
        kv::fuzz::require(!s.channels.empty() && s.channels.size() <= kv::kMaxChannelCount,
                          "a spectrum read has 1 to kMaxChannelCount channels");
        if (s.calibration) {
            (void)kv::programCoefficients(*s.calibration);
        }
        (void)kv::toHistogram(s, "fuzz");
    }
    return 0;
}
