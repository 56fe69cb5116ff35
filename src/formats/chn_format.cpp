#include "formats/chn_format.h"

#include "formats/dates_and_titles.h"
#include "model/byte_io.h"
#include "model/cp1251.h"
#include "model/text_scan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

namespace kv {

namespace {

constexpr std::int16_t kChnFileType = -1;
constexpr std::int16_t kTrailerWithQuadratic = -102;
constexpr std::int16_t kTrailerLinear = -101;
constexpr std::size_t kChannelCountOffset = 30;
constexpr std::size_t kSampleOffset = 320;
constexpr std::size_t kDescriptionSize = 64;
constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

float f32le(ByteReader& in) {
    return std::bit_cast<float>(in.u32le());
}

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::optional<SystemTime> startTimeOf(std::string_view second, std::string_view date,
                                      std::string_view time) {
    int month = 0;
    for (std::size_t m = 0; m < kMonths.size(); ++m) {
        const std::string_view name = date.substr(2, 3);
        if (std::equal(name.begin(), name.end(), kMonths[m].begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            month = static_cast<int>(m) + 1;
        }
    }
    const auto day = wholeInteger(trimmed(date.substr(0, 2)));
    const auto year = wholeInteger(date.substr(5, 2));
    const auto hour = wholeInteger(time.substr(0, 2));
    const auto minute = wholeInteger(time.substr(2, 2));
    const auto seconds = wholeInteger(trimmed(second));
    if (!day || !year || !hour || !minute || month == 0) {
        return std::nullopt;
    }
    const int century = date[7] == '1' ? 2000 : 1900;
    return validTime(century + static_cast<int>(*year), month, static_cast<int>(*day),
                     static_cast<int>(*hour), static_cast<int>(*minute),
                     static_cast<int>(seconds.value_or(0)));
}

std::string descriptionOf(std::span<const std::uint8_t> field) {
    const std::size_t length = std::min<std::size_t>(field[0], kDescriptionSize - 1);
    const std::string_view text = asText(field.subspan(1, length));
    return titleText(text.substr(0, std::min(text.find('\0'), text.size())));
}

} // namespace

ImportResult readChn(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    const auto type = static_cast<std::int16_t>(in.u16le());
    in.seek(6);
    const std::string_view second = asText(in.view(2));
    const std::uint32_t realTicks = in.u32le();
    const std::uint32_t liveTicks = in.u32le();
    const std::string_view date = asText(in.view(8));
    const std::string_view time = asText(in.view(4));
    const std::uint16_t firstChannel = in.u16le();
    const std::uint16_t count = in.u16le();
    if (type != kChnFileType) {
        return ImportResult::refused(RefusalReason::ChnNoHeader, FilePosition::byte(0));
    }
    if (!in.ok()) {
        return ImportResult::refused(RefusalReason::ChnNoHeader, FilePosition::byte(bytes.size()));
    }
    if (count == 0) {
        return ImportResult::refused(RefusalReason::ChnCountsCutShort,
                                     FilePosition::byte(kChannelCountOffset));
    }
    if (in.remaining() / 4 < count) {
        // At the first count that is not there.
        return ImportResult::refused(RefusalReason::ChnCountsCutShort,
                                     FilePosition::byte(kChnHeaderSize + in.remaining() / 4 * 4));
    }

    ImportedSpectrum s;
    s.format = SpectrumFormat::Chn;
    s.channels.resize(count);
    in.i32leArray(s.channels);
    s.realTimeSeconds = realTicks * kChnTickSeconds;
    s.liveTimeSeconds = liveTicks * kChnTickSeconds;
    s.startTime = startTimeOf(second, date, time);

    if (in.remaining() >= kChnTrailerSize) {
        const auto trailer = in.view(kChnTrailerSize);
        ByteReader t(trailer);
        const auto trailerType = static_cast<std::int16_t>(t.u16le());
        t.u16le();
        ImportedCalibration calibration;
        calibration.coefficients = {f32le(t), f32le(t), f32le(t)};
        if (trailerType == kTrailerLinear) {
            calibration.coefficients.resize(2);
        }
        const bool uncalibrated =
            calibration.coefficients[0] == 0.0 &&
            (calibration.coefficients[1] == 1.0 || calibration.coefficients[1] == 0.0) &&
            (calibration.coefficients.size() == 2 || calibration.coefficients[2] == 0.0);
        if (trailerType == kTrailerWithQuadratic || trailerType == kTrailerLinear) {
            if (!uncalibrated) {
                calibration.firstChannelPosition = firstChannel;
                s.calibration = calibration;
            }
            s.title = descriptionOf(trailer.subspan(kSampleOffset, kDescriptionSize));
        }
    }
    ImportResult result;
    result.spectra.push_back(std::move(s));
    return result;
}

namespace {

std::uint32_t ticksOf(double seconds) {
    const double ticks = std::nearbyint(seconds / kChnTickSeconds);
    if (!(ticks > 0.0)) {
        return 0;
    }
    return ticks >= 4294967295.0 ? std::numeric_limits<std::uint32_t>::max()
                                 : static_cast<std::uint32_t>(ticks);
}

void writeAscii(ByteWriter& out, std::string_view text) {
    out.bytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace

std::vector<std::uint8_t> writeChn(const ImportedSpectrum& spectrum) {
    // The header counts channels in 16 bits; the dispatcher refuses longer spectra.
    const std::size_t count = std::min<std::size_t>(spectrum.channels.size(), 65535);
    std::vector<std::uint8_t> bytes(kChnHeaderSize + 4 * count + kChnTrailerSize, 0);
    ByteWriter out(bytes);
    out.u16le(static_cast<std::uint16_t>(kChnFileType));
    out.u16le(1); // MCA number
    out.u16le(1); // segment
    char second[3] = "  ";
    char date[9] = "        ";
    char time[5] = "    ";
    if (const auto& t = spectrum.startTime;
        t && t->month >= 1 && t->month <= 12 && t->year >= 1900 && t->year <= 2099) {
        std::snprintf(second, sizeof second, "%02d", t->second % 100);
        std::snprintf(date, sizeof date, "%02d%s%02d%c", t->day % 100, kMonths[t->month - 1].data(),
                      t->year % 100, t->year >= 2000 ? '1' : '0');
        std::snprintf(time, sizeof time, "%02d%02d", t->hour % 100, t->minute % 100);
    }
    writeAscii(out, {second, 2});
    out.u32le(ticksOf(spectrum.realTimeSeconds));
    out.u32le(ticksOf(spectrum.liveTimeSeconds));
    writeAscii(out, {date, 8});
    writeAscii(out, {time, 4});
    out.u16le(0); // first channel
    out.u16le(static_cast<std::uint16_t>(count));
    out.i32leArray(std::span(spectrum.channels).first(count));

    out.u16le(static_cast<std::uint16_t>(kTrailerWithQuadratic));
    out.u16le(0);
    std::vector<double> c{0.0, 1.0, 0.0};
    if (spectrum.calibration) {
        c = shiftedPolynomial(spectrum.calibration->coefficients,
                              spectrum.calibration->firstChannelPosition);
        c.resize(3, 0.0);
    }
    for (const double value : c) {
        // A value beyond float32 is not representable in the file: write it as the largest one.
        const double limited = std::clamp<double>(value, -std::numeric_limits<float>::max(),
                                                  std::numeric_limits<float>::max());
        out.u32le(std::bit_cast<std::uint32_t>(static_cast<float>(limited)));
    }
    out.seek(kChnHeaderSize + 4 * count + 28);
    writeAscii(out, "keV");
    const std::string sample = cp1251FromUtf8(spectrum.title).substr(0, kDescriptionSize - 1);
    out.seek(kChnHeaderSize + 4 * count + kSampleOffset);
    out.u8(static_cast<std::uint8_t>(sample.size()));
    writeAscii(out, sample);
    return bytes;
}

} // namespace kv
