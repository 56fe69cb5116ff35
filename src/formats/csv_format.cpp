#include "formats/csv_format.h"

#include "formats/dates_and_titles.h"
#include "model/append_format.h"
#include "model/text_scan.h"

#include <array>
#include <cstdio>

namespace kv {

namespace {

constexpr std::string_view kSeparators = ",;";
constexpr std::string_view kTitleKey = "title";
constexpr std::string_view kLiveKey = "live time s";
constexpr std::string_view kRealKey = "real time s";
constexpr std::string_view kStartKey = "start";
constexpr std::string_view kCalibrationKey = "energy calibration keV";

// Reads one "# key: value" comment into the spectrum; other comments are passed over.
void readComment(std::string_view comment, ImportedSpectrum& s, std::vector<double>& calibration) {
    const std::size_t colon = comment.find(':');
    if (colon == comment.npos) {
        return;
    }
    const std::string_view key = trimmed(comment.substr(0, colon));
    const std::string_view value = trimmed(comment.substr(colon + 1));
    if (key == kTitleKey) {
        s.title = titleText(value);
    } else if (key == kLiveKey || key == kRealKey) {
        const auto seconds = wholeNumber(value);
        if (seconds && *seconds >= 0.0) {
            (key == kLiveKey ? s.liveTimeSeconds : s.realTimeSeconds) = *seconds;
        }
    } else if (key == kStartKey) {
        const auto f = digitGroups(value); // year, month, day, hour, minute, second
        if (f.size() >= 6) {
            s.startTime = validTime(f[0], f[1], f[2], f[3], f[4], f[5]);
        }
    } else if (key == kCalibrationKey) {
        calibration = leadingNumbers(value);
    }
}

// The quadratic through three points (x, E), lowest power first; Newton's divided differences.
std::vector<double> quadraticThrough(const std::array<double, 3>& x,
                                     const std::array<double, 3>& e) {
    const double d01 = (e[1] - e[0]) / (x[1] - x[0]);
    const double d12 = (e[2] - e[1]) / (x[2] - x[1]);
    const double c2 = (d12 - d01) / (x[2] - x[0]);
    const double c1 = d01 - c2 * (x[0] + x[1]);
    const double c0 = e[0] - c1 * x[0] - c2 * x[0] * x[0];
    return {c0, c1, c2};
}

} // namespace

ImportResult readCsv(std::string_view text) {
    ImportedSpectrum s;
    s.format = SpectrumFormat::Csv;
    std::vector<double> commentCalibration;
    std::vector<double> first;
    std::string_view firstFall; // the row whose first column is not above the one before
    bool headerAllowed = true;
    for (const std::string_view rawLine : splitLines(text)) {
        const std::string_view line = trimmed(rawLine);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '#') {
            readComment(line.substr(1), s, commentCalibration);
            continue;
        }
        const auto fields = splitFields(line, kSeparators);
        const auto x = fields.size() == 2 ? wholeNumber(fields[0]) : std::nullopt;
        const auto y = fields.size() == 2 ? wholeNumber(fields[1]) : std::nullopt;
        if (!x || !y) {
            if (headerAllowed) {
                headerAllowed = false;
                continue;
            }
            return ImportResult::refused(RefusalReason::CsvNotTwoNumbers,
                                         FilePosition::lineOf(text, line));
        }
        headerAllowed = false;
        const auto count = countFrom(*y);
        if (!count || s.channels.size() == static_cast<std::size_t>(kMaxChannelCount)) {
            return ImportResult::refused(RefusalReason::CsvBadCount,
                                         FilePosition::lineOf(text, line));
        }
        if (firstFall.empty() && !first.empty() && *x <= first.back()) {
            firstFall = line;
        }
        first.push_back(*x);
        s.channels.push_back(*count);
    }
    if (s.channels.empty()) {
        return ImportResult::refused(RefusalReason::CsvNoRows);
    }

    bool channelNumbers = true;
    for (std::size_t i = 0; i < first.size(); ++i) {
        channelNumbers = channelNumbers && first[i] == first[0] + static_cast<double>(i);
    }
    if (channelNumbers) {
        if (commentCalibration.size() >= 2) {
            s.calibration = ImportedCalibration{commentCalibration, first[0]};
        }
    } else if (!firstFall.empty()) {
        return ImportResult::refused(RefusalReason::CsvFirstColumnNotRising,
                                     FilePosition::lineOf(text, firstFall));
    } else if (first.size() >= 2) {
        const std::size_t last = first.size() - 1;
        const std::size_t mid = last / 2;
        s.calibration = ImportedCalibration{
            mid == 0 || mid == last ? std::vector<double>{first[0], first[last] - first[0]}
                                    : quadraticThrough({0.0, double(mid), double(last)},
                                                       {first[0], first[mid], first[last]}),
            0.0};
    }
    ImportResult result;
    result.spectra.push_back(std::move(s));
    return result;
}

std::string writeCsv(const ImportedSpectrum& spectrum) {
    std::string out;
    out.reserve(spectrum.channels.size() * 12 + 256);
    const auto comment = [&](std::string_view key, const std::string& value) {
        out += "# ";
        out += key;
        out += ": ";
        out += value;
        out += '\n';
    };
    comment(kTitleKey, spectrum.title);
    comment(kLiveKey, shortestNumberText(spectrum.liveTimeSeconds));
    comment(kRealKey, shortestNumberText(spectrum.realTimeSeconds));
    if (const auto& t = spectrum.startTime) {
        char date[48];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                      t->hour, t->minute, t->second);
        comment(kStartKey, date);
    }
    if (spectrum.calibration) {
        std::string terms;
        for (const double c : shiftedPolynomial(spectrum.calibration->coefficients,
                                                spectrum.calibration->firstChannelPosition)) {
            terms += (terms.empty() ? "" : " ") + shortestNumberText(c);
        }
        comment(kCalibrationKey, terms);
    }
    out += "channel,counts\n";
    for (std::size_t i = 0; i < spectrum.channels.size(); ++i) {
        out += std::to_string(i);
        out += ',';
        out += std::to_string(spectrum.channels[i]);
        out += '\n';
    }
    return out;
}

} // namespace kv
