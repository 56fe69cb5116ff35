#include "formats/iec_format.h"

#include "formats/dates_and_titles.h"
#include "model/text_scan.h"

#include <algorithm>
#include <utility>

namespace kv {

namespace {

constexpr std::size_t kMarkSize = 4;
constexpr std::size_t kFirstDataLine = 4;
constexpr std::size_t kFirstTitleLine = 5;
constexpr std::size_t kLastTitleLine = 8;

std::optional<SystemTime> startTimeOf(std::string_view line) {
    const auto f = digitGroups(line);
    if (f.size() < 6) {
        return std::nullopt;
    }
    int day = f[0];
    int month = f[1];
    if (month > 12 && day <= 12) {
        std::swap(day, month);
    }
    return validTime(fullYear(f[2]), month, day, f[3], f[4], f[5]);
}

// The channel number and counts of a data line, or nothing for any other line.
std::optional<std::pair<std::int64_t, std::vector<std::string_view>>>
dataLine(std::string_view line) {
    auto fields = splitFields(line);
    if (fields.size() < 2) {
        return std::nullopt;
    }
    const auto channel = wholeInteger(fields.front());
    if (!channel) {
        return std::nullopt;
    }
    fields.erase(fields.begin());
    return std::pair{*channel, std::move(fields)};
}

} // namespace

ImportResult readIec(std::string_view text) {
    std::vector<std::string_view> lines;
    for (const std::string_view line : splitLines(text)) {
        if (line.size() < kMarkSize || line.front() != 'A') {
            if (trimmed(line).empty()) {
                continue;
            }
            return ImportResult::refused(RefusalReason::IecUnmarkedLine,
                                         FilePosition::lineOf(text, line));
        }
        lines.push_back(line.substr(kMarkSize));
    }
    if (lines.size() <= kFirstDataLine) {
        return ImportResult::refused(RefusalReason::IecShortHeader);
    }
    const auto header = leadingNumbers(lines[1]);
    if (header.size() < 3 || header[0] < 0.0 || header[1] < 0.0 || header[2] < 1.0 ||
        header[2] > kMaxChannelCount || header[2] != static_cast<std::int32_t>(header[2])) {
        return ImportResult::refused(RefusalReason::IecBadTimesOrChannels,
                                     FilePosition::lineOf(text, lines[1]));
    }
    const auto count = static_cast<std::size_t>(header[2]);

    ImportedSpectrum s;
    s.format = SpectrumFormat::Iec;
    s.liveTimeSeconds = header[0];
    s.realTimeSeconds = header[1];
    s.startTime = startTimeOf(lines[2]);
    for (std::size_t i = kFirstTitleLine; i <= kLastTitleLine && i < lines.size(); ++i) {
        if (s.title.empty()) {
            s.title = titleText(lines[i]);
        }
    }

    // The data begin at the first line of whole numbers numbered 0 or 1 after the header.
    std::size_t i = kFirstDataLine;
    std::optional<std::int64_t> firstChannel;
    for (; i < lines.size(); ++i) {
        const auto data = dataLine(lines[i]);
        if (data && (data->first == 0 || data->first == 1) &&
            std::all_of(data->second.begin(), data->second.end(),
                        [](std::string_view f) { return wholeInteger(f).has_value(); })) {
            firstChannel = data->first;
            break;
        }
    }
    if (!firstChannel) {
        return ImportResult::refused(RefusalReason::IecNoData);
    }
    s.channels.reserve(count);
    for (; i < lines.size() && s.channels.size() < count; ++i) {
        const auto data = dataLine(lines[i]);
        if (!data || data->first != *firstChannel + static_cast<std::int64_t>(s.channels.size())) {
            return ImportResult::refused(RefusalReason::IecDataLineOutOfPlace,
                                         FilePosition::lineOf(text, lines[i]));
        }
        for (const std::string_view field : data->second) {
            const auto value = wholeInteger(field);
            const auto countValue = value ? countFrom(static_cast<double>(*value)) : std::nullopt;
            if (!countValue) {
                return ImportResult::refused(RefusalReason::IecBadCount,
                                             FilePosition::lineOf(text, lines[i]));
            }
            // The last line is filled up to its full width beyond the last channel.
            if (s.channels.size() < count) {
                s.channels.push_back(*countValue);
            }
        }
    }
    if (s.channels.size() != count) {
        return ImportResult::refused(RefusalReason::IecTooFewCounts,
                                     FilePosition::lineOf(text, lines.back()));
    }

    ImportedCalibration calibration;
    calibration.coefficients = leadingNumbers(lines[3]);
    calibration.firstChannelPosition = static_cast<double>(*firstChannel);
    if (programCoefficients(calibration)) {
        s.calibration = calibration;
    }
    ImportResult result;
    result.spectra.push_back(std::move(s));
    return result;
}

} // namespace kv
