#pragma once

// Which reader or writer a file goes to: by its extension, else by its first bytes.
//   .spe -> ASCII SPE    .chn -> ORTEC CHN    .iec -> IEC 61455
//   .csv, .txt -> two-column text    .n42, .xml -> N42    .hst -> the program's own files

#include "formats/imported_spectrum.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

SpectrumFormat formatFromExtension(std::string_view path);

// The format the bytes look like, for files whose extension says nothing.
SpectrumFormat formatFromContent(std::span<const std::uint8_t> bytes);

// Reads a file of another analyser: the format of the extension, else of the content. A
// histogram file (.hst) or an unknown format is refused; those open through the document. So is
// a file whose spectra hold more than kMaxChannelsInFile channels, or one that needs more memory
// than there is (nothing is thrown).
ImportResult readSpectrumFile(std::span<const std::uint8_t> bytes, std::string_view path);

// The formats a spectrum can be written in: SPE, CHN and CSV.
bool canWrite(SpectrumFormat format);

struct WrittenSpectrum {
    std::vector<std::uint8_t> bytes;
    std::optional<FormatRefusal> refusal; // why nothing could be written; nothing on success
};

// The file bytes of one spectrum, or why it cannot be written so that the format's reader gives
// it back. Refused: live and real times that are negative or not finite, a calibration that is
// not finite in the file's numbering; for CHN, more than 65535 channels, a term above the
// quadratic or a time beyond its tick counts. A spectrum is refused rather than cut.
WrittenSpectrum writeSpectrumFile(const ImportedSpectrum& spectrum, SpectrumFormat format);

} // namespace kv
