#include "formats/n42_format.h"

#include "formats/dates_and_titles.h"
#include "model/text_scan.h"

#include <pugixml.hpp>

#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace kv {

namespace {

// Element names without their namespace prefix ("n42:Spectrum" is "Spectrum").
std::string_view localName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == name.npos ? name : name.substr(colon + 1);
}

pugi::xml_node child(const pugi::xml_node& node, std::string_view name) {
    for (const pugi::xml_node c : node.children()) {
        if (c.type() == pugi::node_element && localName(c) == name) {
            return c;
        }
    }
    return {};
}

// Every element of the document in document order, without recursion (deep nesting cannot
// exhaust the stack).
template <typename Visit> void forEachElement(const pugi::xml_document& document, Visit visit) {
    pugi::xml_node node = document.first_child();
    while (node) {
        if (node.type() == pugi::node_element) {
            visit(node);
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
        }
        if (node) {
            node = node.next_sibling();
        }
    }
}

// The line of an offset into text that pugixml gives, where it knows one (-1 when not).
FilePosition lineAt(std::string_view text, std::ptrdiff_t offset) {
    return offset < 0 ? FilePosition{}
                      : FilePosition::line(lineNumberAt(text, static_cast<std::size_t>(offset)));
}

std::string_view textOf(const pugi::xml_node& node) {
    return trimmed(node.child_value());
}

std::optional<SystemTime> startTimeOf(std::string_view text) {
    // "2010-04-17T17:33:19.409Z": the fraction after the seconds gives the milliseconds.
    const auto f = digitGroups(text.substr(0, text.find_first_of(".Z+", 10)));
    if (f.size() < 6) {
        return std::nullopt;
    }
    int milliseconds = 0;
    if (const std::size_t dot = text.find('.', 10); dot != text.npos) {
        for (std::size_t i = dot + 1, scale = 100; i < text.size() && i <= dot + 3;
             ++i, scale /= 10) {
            if (text[i] < '0' || text[i] > '9') {
                break;
            }
            milliseconds += (text[i] - '0') * static_cast<int>(scale);
        }
    }
    return validTime(f[0], f[1], f[2], f[3], f[4], f[5], milliseconds);
}

// Calls counts(count) for each count written and zeros(n) for each run of n zeros of
// CountedZeroes text ("0 n" stands for n zeros); false at a field that is not a count or a run
// that is not a whole number from 1 to kMaxChannelCount.
template <typename Counts, typename Zeros>
bool scanCountedZeroes(std::string_view text, Counts counts, Zeros zeros) {
    std::size_t at = 0;
    for (std::string_view field = nextField(text, at); !field.empty();
         field = nextField(text, at)) {
        const auto count = wholeCount(field);
        if (!count) {
            return false;
        }
        if (*count != 0) {
            counts(*count);
            continue;
        }
        const auto run = wholeNumber(nextField(text, at));
        if (!run || *run < 1.0 || *run != std::floor(*run) ||
            *run > static_cast<double>(kMaxChannelCount)) {
            return false;
        }
        zeros(static_cast<std::size_t>(*run));
    }
    return true;
}

// The channels CountedZeroes text expands to, found before anything is allocated for them:
// a few bytes of text can stand for a million channels. Nothing when it is not such text.
std::optional<std::size_t> countedZeroesLength(std::string_view text) {
    std::size_t length = 0;
    const bool read = scanCountedZeroes(
        text, [&](std::int32_t) { ++length; }, [&](std::size_t run) { length += run; });
    return read ? std::optional(length) : std::nullopt;
}

void expandCountedZeroes(std::string_view text, std::vector<std::int32_t>& out) {
    scanCountedZeroes(
        text, [&](std::int32_t count) { out.push_back(count); },
        [&](std::size_t run) { out.resize(out.size() + run, 0); });
}

std::optional<std::vector<double>> coefficientsIn(const pugi::xml_node& calibration) {
    // 2006: Calibration / Equation / Coefficients; 2012: EnergyCalibration / CoefficientValues.
    pugi::xml_node values = child(calibration, "CoefficientValues");
    if (!values) {
        values = child(child(calibration, "Equation"), "Coefficients");
    }
    if (!values) {
        return std::nullopt;
    }
    const std::string_view text = textOf(values);
    auto numbers = leadingNumbers(text);
    if (numbers.size() < 2 || numbers.size() != splitFields(text).size()) {
        return std::nullopt;
    }
    return numbers;
}

bool isEnergyCalibration(const pugi::xml_node& node) {
    return localName(node) == "EnergyCalibration" ||
           (localName(node) == "Calibration" &&
            std::string_view(node.attribute("Type").value()) == "Energy");
}

using Coefficients = std::optional<std::vector<double>>;

// What the elements around the spectra hold, each element's children looked up once rather than
// once for every spectrum: a document of thousands of sibling spectra would otherwise take time
// that grows with the square of their number.
class Surroundings {
public:
    explicit Surroundings(const pugi::xml_document& document) : m_document(document) {}

    // The first child of that name on the node or the nearest of its ancestors that has one.
    pugi::xml_node inherited(pugi::xml_node node, std::string_view name) {
        for (; node; node = node.parent()) {
            const auto [at, added] = m_children.try_emplace({node, name});
            if (added) {
                at->second = child(node, name);
            }
            if (at->second) {
                return at->second;
            }
        }
        return {};
    }

    // The spectrum's energy calibration: its own Calibration element, the one its reference
    // attribute names, or the nearest one on an enclosing element.
    Coefficients calibrationOf(const pugi::xml_node& spectrum) {
        for (const pugi::xml_node c : spectrum.children()) {
            if (isEnergyCalibration(c)) {
                return coefficientsIn(c);
            }
        }
        std::string_view reference = spectrum.attribute("energyCalibrationReference").value();
        if (reference.empty()) {
            reference = spectrum.attribute("CalibrationIDs").value();
            reference = reference.substr(0, reference.find(' '));
        }
        if (!reference.empty()) {
            return calibrationWithId(reference);
        }
        for (pugi::xml_node node = spectrum.parent(); node; node = node.parent()) {
            if (const Coefficients& found = calibrationAmongChildren(node)) {
                return found;
            }
        }
        return std::nullopt;
    }

private:
    // The first energy calibration element with that id, in document order, that has
    // coefficients.
    Coefficients calibrationWithId(std::string_view id) {
        if (!m_byIdIndexed) {
            m_byIdIndexed = true;
            forEachElement(m_document, [this](const pugi::xml_node& node) {
                const std::string_view ownId = node.attribute("id") ? node.attribute("id").value()
                                                                    : node.attribute("ID").value();
                if (isEnergyCalibration(node) && !m_byId.contains(ownId)) {
                    if (Coefficients found = coefficientsIn(node)) {
                        m_byId.emplace(ownId, std::move(found));
                    }
                }
            });
        }
        const auto found = m_byId.find(id);
        return found == m_byId.end() ? std::nullopt : found->second;
    }

    // The node's first energy calibration child that has coefficients.
    const Coefficients& calibrationAmongChildren(const pugi::xml_node& node) {
        const auto [at, added] = m_calibrations.try_emplace(node);
        if (added) {
            for (const pugi::xml_node c : node.children()) {
                if (isEnergyCalibration(c)) {
                    if ((at->second = coefficientsIn(c))) {
                        break;
                    }
                }
            }
        }
        return at->second;
    }

    const pugi::xml_document& m_document;
    std::map<std::pair<pugi::xml_node, std::string_view>, pugi::xml_node> m_children;
    std::map<pugi::xml_node, Coefficients> m_calibrations;
    std::map<std::string_view, Coefficients> m_byId;
    bool m_byIdIndexed = false;
};

std::string titleOf(const pugi::xml_node& spectrum) {
    for (const char* attribute : {"Detector", "radDetectorInformationReference", "id", "ID"}) {
        if (const std::string_view value = spectrum.attribute(attribute).value(); !value.empty()) {
            return titleText(value);
        }
    }
    return {};
}

std::optional<double> timeOf(Surroundings& surroundings, const pugi::xml_node& spectrum,
                             std::string_view own, std::string_view enclosing) {
    pugi::xml_node node = child(spectrum, own);
    if (!node && !enclosing.empty()) {
        node = surroundings.inherited(spectrum, enclosing);
    }
    if (!node) {
        return 0.0;
    }
    const auto seconds = durationSeconds(textOf(node));
    return seconds && *seconds >= 0.0 ? seconds : std::nullopt;
}

} // namespace

std::optional<double> durationSeconds(std::string_view text) {
    if (text.empty() || text.front() != 'P') {
        return std::nullopt;
    }
    text.remove_prefix(1);
    double seconds = 0.0;
    bool inTime = false;
    bool any = false;
    while (!text.empty()) {
        if (text.front() == 'T' && !inTime) {
            inTime = true;
            text.remove_prefix(1);
            continue;
        }
        const std::size_t unit = text.find_first_of("DHMS");
        if (unit == text.npos || unit == 0) {
            return std::nullopt;
        }
        const auto value = wholeNumber(text.substr(0, unit));
        const char u = text[unit];
        if (!value || (u == 'D') == inTime) {
            return std::nullopt;
        }
        seconds += *value * (u == 'D' ? 86400.0 : u == 'H' ? 3600.0 : u == 'M' ? 60.0 : 1.0);
        any = true;
        text.remove_prefix(unit + 1);
    }
    return any && std::isfinite(seconds) ? std::optional(seconds) : std::nullopt;
}

ImportResult readN42(std::string_view text) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    if (!parsed) {
        ImportResult refused =
            ImportResult::refused(RefusalReason::XmlError, lineAt(text, parsed.offset));
        refused.refusal->detail = parsed.description();
        return refused;
    }
    const pugi::xml_node rootElement = document.document_element();
    const std::string_view root = localName(rootElement);
    if (root != "N42InstrumentData" && root != "RadInstrumentData") {
        return ImportResult::refused(RefusalReason::N42NotDocument,
                                     lineAt(text, rootElement.offset_debug()));
    }
    ImportResult result;
    Surroundings surroundings(document);
    std::size_t channelsInFile = 0;
    forEachElement(document, [&](const pugi::xml_node& spectrum) {
        const pugi::xml_node data = child(spectrum, "ChannelData");
        if (!result.ok() || localName(spectrum) != "Spectrum" || !data) {
            return;
        }
        ImportedSpectrum s;
        s.format = SpectrumFormat::N42;
        s.title = titleOf(spectrum);
        std::string_view compression = data.attribute("Compression").value();
        if (compression.empty()) {
            compression = data.attribute("compressionCode").value();
        }
        const std::string_view counts = textOf(data);
        // Compressed counts are measured before they are expanded.
        const bool compressed = compression == "CountedZeroes";
        std::optional<std::size_t> length;
        if (compressed) {
            length = countedZeroesLength(counts);
        } else if (appendCounts(counts, s.channels, kMaxChannelCount) == counts.size()) {
            length = s.channels.size();
        }
        if (!length || *length == 0 || *length > static_cast<std::size_t>(kMaxChannelCount)) {
            result = ImportResult::refused(RefusalReason::N42BadChannelData,
                                           lineAt(text, data.offset_debug()));
            return;
        }
        if (*length > kMaxChannelsInFile - channelsInFile) {
            result = ImportResult::refused(RefusalReason::TooManyChannelsInFile,
                                           lineAt(text, data.offset_debug()));
            return;
        }
        channelsInFile += *length;
        if (compressed) {
            s.channels.reserve(*length);
            expandCountedZeroes(counts, s.channels);
        }
        const auto live = timeOf(surroundings, spectrum, "LiveTime", {});
        const auto liveDuration = timeOf(surroundings, spectrum, "LiveTimeDuration", {});
        const auto real = timeOf(surroundings, spectrum, "RealTime", "SampleRealTime");
        const auto realDuration =
            timeOf(surroundings, spectrum, "RealTimeDuration", "RealTimeDuration");
        if (!live || !liveDuration || !real || !realDuration) {
            result = ImportResult::refused(RefusalReason::N42BadTime,
                                           lineAt(text, spectrum.offset_debug()));
            return;
        }
        s.liveTimeSeconds = *live + *liveDuration;
        s.realTimeSeconds = *real + *realDuration;
        pugi::xml_node start = surroundings.inherited(spectrum, "StartTime");
        if (!start) {
            start = surroundings.inherited(spectrum, "StartDateTime");
        }
        if (start) {
            s.startTime = startTimeOf(textOf(start));
        }
        if (auto coefficients = surroundings.calibrationOf(spectrum)) {
            s.calibration = ImportedCalibration{std::move(*coefficients), 0.5};
        }
        result.spectra.push_back(std::move(s));
    });
    if (result.ok() && result.spectra.empty()) {
        return ImportResult::refused(RefusalReason::N42NoSpectrum);
    }
    return result;
}

} // namespace kv
