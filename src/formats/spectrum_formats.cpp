#include "formats/spectrum_formats.h"

#include "formats/chn_format.h"
#include "formats/csv_format.h"
#include "formats/iec_format.h"
#include "formats/n42_format.h"
#include "formats/spe_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <new>
#include <utility>

namespace kv {

namespace {

constexpr std::array<std::pair<std::string_view, SpectrumFormat>, 8> kExtensions{{
    {"hst", SpectrumFormat::Hst},
    {"spe", SpectrumFormat::Spe},
    {"chn", SpectrumFormat::Chn},
    {"iec", SpectrumFormat::Iec},
    {"csv", SpectrumFormat::Csv},
    {"txt", SpectrumFormat::Csv},
    {"n42", SpectrumFormat::N42},
    {"xml", SpectrumFormat::N42},
}};

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

WrittenSpectrum refusedWriting(RefusalReason reason) {
    return {{}, FormatRefusal{reason, {}, {}}};
}

bool isDuration(double seconds) {
    return std::isfinite(seconds) && seconds >= 0.0;
}

// What every format's reader would refuse or lose: times that are not durations, and
// coefficients that cannot be written as numbers.
std::optional<RefusalReason> unwritableValue(const ImportedSpectrum& spectrum) {
    if (!isDuration(spectrum.liveTimeSeconds) || !isDuration(spectrum.realTimeSeconds)) {
        return RefusalReason::TimesNotDurations;
    }
    if (const auto& c = spectrum.calibration) {
        const auto written = shiftedPolynomial(c->coefficients, c->firstChannelPosition);
        if (!std::all_of(written.begin(), written.end(),
                         [](double v) { return std::isfinite(v); })) {
            return RefusalReason::CalibrationNotFinite;
        }
    }
    return std::nullopt;
}

ImportResult readAs(SpectrumFormat format, std::span<const std::uint8_t> bytes) {
    switch (format) {
    case SpectrumFormat::Spe:
        return readSpe(asText(bytes));
    case SpectrumFormat::Chn:
        return readChn(bytes);
    case SpectrumFormat::Iec:
        return readIec(asText(bytes));
    case SpectrumFormat::Csv:
        return readCsv(asText(bytes));
    case SpectrumFormat::N42:
        return readN42(asText(bytes));
    case SpectrumFormat::Hst:
    case SpectrumFormat::Unknown:
        break;
    }
    return ImportResult::refused(RefusalReason::FormatNotRead);
}

} // namespace

SpectrumFormat formatFromExtension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == path.npos || (slash != path.npos && dot < slash)) {
        return SpectrumFormat::Unknown;
    }
    std::string extension(path.substr(dot + 1));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& [name, format] : kExtensions) {
        if (extension == name) {
            return format;
        }
    }
    return SpectrumFormat::Unknown;
}

SpectrumFormat formatFromContent(std::span<const std::uint8_t> bytes) {
    const std::string_view text = asText(bytes);
    if (text.starts_with("KVANTIRA1.0")) {
        return SpectrumFormat::Hst;
    }
    if (bytes.size() >= kChnHeaderSize && bytes[0] == 0xff && bytes[1] == 0xff) {
        return SpectrumFormat::Chn;
    }
    if (text.starts_with("$SPEC_ID") || text.starts_with("$DATA") ||
        text.starts_with("$SPEC_REM")) {
        return SpectrumFormat::Spe;
    }
    if (text.starts_with("A004")) {
        return SpectrumFormat::Iec;
    }
    const std::string_view head = text.substr(0, 4096);
    if (head.find("<N42InstrumentData") != head.npos ||
        head.find("<RadInstrumentData") != head.npos ||
        head.find(":N42InstrumentData") != head.npos ||
        head.find(":RadInstrumentData") != head.npos) {
        return SpectrumFormat::N42;
    }
    return SpectrumFormat::Unknown;
}

ImportResult readSpectrumFile(std::span<const std::uint8_t> bytes, std::string_view path) {
    SpectrumFormat format = formatFromExtension(path);
    if (format == SpectrumFormat::Unknown) {
        format = formatFromContent(bytes);
    }
    // Every reader checks counts before it allocates, but a large file can still need more
    // memory than there is.
    try {
        return readAs(format, bytes);
    } catch (const std::bad_alloc&) {
        return ImportResult::refused(RefusalReason::OutOfMemory);
    }
}

bool canWrite(SpectrumFormat format) {
    return format == SpectrumFormat::Spe || format == SpectrumFormat::Chn ||
           format == SpectrumFormat::Csv;
}

WrittenSpectrum writeSpectrumFile(const ImportedSpectrum& spectrum, SpectrumFormat format) {
    if (!canWrite(format)) {
        return refusedWriting(RefusalReason::FormatNotWritten);
    }
    if (const auto reason = unwritableValue(spectrum)) {
        return refusedWriting(*reason);
    }
    const auto bytesOf = [](const std::string& text) {
        return WrittenSpectrum{std::vector<std::uint8_t>(text.begin(), text.end()), {}};
    };
    switch (format) {
    case SpectrumFormat::Spe:
        return bytesOf(writeSpe(spectrum));
    case SpectrumFormat::Csv:
        return bytesOf(writeCsv(spectrum));
    case SpectrumFormat::Chn: {
        const bool tooManyTerms = spectrum.calibration &&
                                  spectrum.calibration->coefficients.size() > 3 &&
                                  std::any_of(spectrum.calibration->coefficients.begin() + 3,
                                              spectrum.calibration->coefficients.end(),
                                              [](double c) { return c != 0.0; });
        if (spectrum.channels.size() > 65535) {
            return refusedWriting(RefusalReason::ChnTooManyChannels);
        }
        if (tooManyTerms) {
            return refusedWriting(RefusalReason::ChnCalibrationAboveQuadratic);
        }
        if (std::max(spectrum.liveTimeSeconds, spectrum.realTimeSeconds) > kChnLongestSeconds) {
            return refusedWriting(RefusalReason::ChnTimeTooLong);
        }
        return {writeChn(spectrum), {}};
    }
    case SpectrumFormat::Iec:
    case SpectrumFormat::N42:
    case SpectrumFormat::Hst:
    case SpectrumFormat::Unknown:
        break;
    }
    return refusedWriting(RefusalReason::FormatNotWritten);
}

} // namespace kv
