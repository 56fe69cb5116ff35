#include "formats/spe_format.h"

#include "formats/dates_and_titles.h"
#include "model/append_format.h"
#include "model/cp1251.h"
#include "model/text_scan.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace kv {

namespace {

// Each section's content: the text between its "$NAME:" line and the next section.
std::map<std::string_view, std::string_view> sectionsOf(std::string_view text) {
    std::map<std::string_view, std::string_view> sections;
    std::string_view name;
    std::size_t contentStart = 0;
    std::size_t lineStart = 0;
    const auto close = [&](std::size_t end) {
        if (!name.empty() && !sections.contains(name)) {
            sections[name] = text.substr(contentStart, end - contentStart);
        }
    };
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == text.npos) {
            lineEnd = text.size();
        }
        const std::string_view line = trimmed(text.substr(lineStart, lineEnd - lineStart));
        if (line.size() >= 2 && line.front() == '$' && line.back() == ':') {
            close(lineStart);
            name = line.substr(1, line.size() - 2);
            contentStart = std::min(lineEnd + 1, text.size());
        }
        lineStart = lineEnd + 1;
    }
    close(text.size());
    return sections;
}

std::string_view firstLine(std::string_view content) {
    return trimmed(content.substr(0, content.find('\n')));
}

std::optional<ImportedCalibration>
calibrationOf(const std::map<std::string_view, std::string_view>& sections) {
    ImportedCalibration calibration;
    if (const auto mca = sections.find("MCA_CAL"); mca != sections.end()) {
        // A term count, then the coefficients. Some writers put "%2" for the count: only
        // its digits are read, and without any the coefficients on the next line decide.
        const auto lines = splitLines(mca->second);
        if (lines.size() >= 2) {
            const auto count = digitGroups(lines[0]);
            calibration.coefficients = leadingNumbers(trimmed(lines[1]));
            if (!count.empty() && count.front() >= 1 &&
                static_cast<std::size_t>(count.front()) < calibration.coefficients.size()) {
                calibration.coefficients.resize(static_cast<std::size_t>(count.front()));
            }
        }
    }
    if (calibration.coefficients.size() < 2) {
        if (const auto fit = sections.find("ENER_FIT"); fit != sections.end()) {
            calibration.coefficients = leadingNumbers(firstLine(fit->second));
        }
    }
    if (calibration.coefficients.size() < 2) {
        return std::nullopt;
    }
    return calibration;
}

std::optional<SystemTime> startTimeOf(std::string_view line) {
    const auto f = digitGroups(line); // month, day, year, hour, minute, second
    if (f.size() < 6) {
        return std::nullopt;
    }
    return validTime(fullYear(f[2]), f[0], f[1], f[3], f[4], f[5]);
}

} // namespace

ImportResult readSpe(std::string_view text) {
    const auto sections = sectionsOf(text);
    const auto data = sections.find("DATA");
    if (data == sections.end()) {
        return ImportResult::refused(RefusalReason::SpeNoData);
    }
    const std::string_view content = data->second;
    const auto range = splitFields(content.substr(0, content.find('\n')));
    const auto first = range.size() == 2 ? wholeInteger(range[0]) : std::nullopt;
    const auto last = range.size() == 2 ? wholeInteger(range[1]) : std::nullopt;
    if (!first || !last || *first < 0 || *last < *first || *last - *first >= kMaxChannelCount) {
        return ImportResult::refused(RefusalReason::SpeBadChannelRange,
                                     FilePosition::lineOf(text, content));
    }
    const auto count = static_cast<std::size_t>(*last - *first + 1);

    ImportedSpectrum s;
    s.format = SpectrumFormat::Spe;
    s.channels.reserve(count);
    const std::string_view counts = content.substr(std::min(content.find('\n'), content.size()));
    if (const std::size_t stop = appendCounts(counts, s.channels, count); stop != counts.size()) {
        return ImportResult::refused(RefusalReason::SpeCountsNotChannels,
                                     FilePosition::lineOf(text, counts.substr(stop)));
    }
    if (s.channels.size() != count) {
        // Short: where the counts end, on the line of the last one (or of the range).
        const std::string_view written = trimmed(content);
        return ImportResult::refused(
            RefusalReason::SpeCountsNotChannels,
            FilePosition::lineOf(text, written.substr(written.size() - 1)));
    }

    if (const auto id = sections.find("SPEC_ID"); id != sections.end()) {
        s.title = titleText(firstLine(id->second));
    }
    if (const auto date = sections.find("DATE_MEA"); date != sections.end()) {
        s.startTime = startTimeOf(firstLine(date->second));
    }
    if (const auto times = sections.find("MEAS_TIM"); times != sections.end()) {
        const auto values = leadingNumbers(firstLine(times->second));
        if (values.size() != 2 || values[0] < 0.0 || values[1] < 0.0) {
            return ImportResult::refused(RefusalReason::SpeBadTimes,
                                         FilePosition::lineOf(text, times->second));
        }
        s.liveTimeSeconds = values[0];
        s.realTimeSeconds = values[1];
    }
    s.calibration = calibrationOf(sections);
    if (s.calibration) {
        s.calibration->firstChannelPosition = static_cast<double>(*first);
    }
    ImportResult result;
    result.spectra.push_back(std::move(s));
    return result;
}

namespace {

std::string upperExponent(std::string number) {
    for (char& c : number) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return number;
}

} // namespace

std::string writeSpe(const ImportedSpectrum& spectrum) {
    std::string out;
    out.reserve(spectrum.channels.size() * 10 + 512);
    const auto line = [&](std::string_view text) {
        out += text;
        out += "\r\n";
    };
    line("$SPEC_ID:");
    // A title that reads as a section of its own ("$DATA:") would end the section it names.
    std::string title = cp1251FromUtf8(spectrum.title);
    if (title.size() >= 2 && title.front() == '$' && title.back() == ':') {
        title.front() = ' ';
    }
    line(title);
    if (spectrum.startTime) {
        const SystemTime& t = *spectrum.startTime;
        char date[48];
        std::snprintf(date, sizeof date, "%02d/%02d/%04d %02d:%02d:%02d", t.month, t.day, t.year,
                      t.hour, t.minute, t.second);
        line("$DATE_MEA:");
        line(date);
    }
    line("$MEAS_TIM:");
    line(shortestNumberText(spectrum.liveTimeSeconds) + " " +
         shortestNumberText(spectrum.realTimeSeconds));
    line("$DATA:");
    line("0 " + std::to_string(static_cast<long long>(spectrum.channels.size()) - 1));
    for (const std::int32_t count : spectrum.channels) {
        char field[16];
        std::snprintf(field, sizeof field, "%8d", count);
        line(field);
    }
    if (spectrum.calibration) {
        // Written in the file's own numbering from channel 0: shift any other origin away.
        const auto c = shiftedPolynomial(spectrum.calibration->coefficients,
                                         spectrum.calibration->firstChannelPosition);
        std::string terms;
        for (const double value : c) {
            terms += (terms.empty() ? "" : " ") + upperExponent(shortestNumberText(value));
        }
        line("$ENER_FIT:");
        line(upperExponent(shortestNumberText(c.empty() ? 0.0 : c[0])) + " " +
             upperExponent(shortestNumberText(c.size() > 1 ? c[1] : 0.0)));
        line("$MCA_CAL:");
        line(std::to_string(c.size()));
        line(terms + " keV");
    }
    return out;
}

} // namespace kv
