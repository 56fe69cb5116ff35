// kv_make_isotope_library: writes data/isotopes.txt, the text form of the shipped isotope line
// database, from the reference table data/nuclides/gamma_lines.tsv (columns isotope,
// energy_keV, intensity_per_decay, source). Every line of at least 0.5 % per decay and at least
// 30 keV is kept with its numbers exactly as the table prints them; the lines below 30 keV are
// named in a note of their isotope. Each isotope carries its source as a note. Isotopes are in
// the order the database window sorts them.
//
// Three isotopes are shipped disabled (see kShippedDisabled); the others are enabled.
//
// Why 30 keV: identification names an isotope only when every line of at least 1 % inside the
// spectrum's energy span is found, strongest first, until three are. Entrance windows, dead
// layers and discriminator thresholds of common HPGe and NaI(Tl) detectors take away most lines
// below about 30 keV, and a calibrated span reaches down to them all the same: a line there that
// the detector cannot show (Co-57 14.4 keV, Am-241 26.3 keV) would keep a source it plainly
// holds from being named.
//
// usage: kv_make_isotope_library gamma_lines.tsv isotopes.txt

#include "model/cp1251.h"
#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr double kSmallestIntensity = 0.005; // emissions per decay
constexpr double kLowestEnergyKeV = 30.0;

// Isotopes the line check cannot confirm: the one line it would count for each (at least 1 %
// and 30 keV) is a line that spectra show without the isotope, so it would be named wherever
// that line is. They are shipped disabled, with the reason as a note; "Разрешить" in the
// database window takes one into identification where its source is really measured.
constexpr std::pair<std::string_view, std::string_view> kShippedDisabled[] = {
    {"Cd-109", "88.03 keV lies on the lead K X-rays (87.3 keV) of any lead shield"},
    {"F-18", "511 keV is the annihilation line of every spectrum with pair production"},
    {"I-125", "35.49 keV lies on the barium K X-rays (35.0-36.4 keV) of Cs-137 and Ba-133"},
};

constexpr std::string_view kHeader =
    "# The isotope line library shipped with Kvantira, built into SPECTORS.DAT by\n"
    "# 'kvantira-cli db import'. Made by tools/make_isotope_library.cpp from\n"
    "# data/nuclides/gamma_lines.tsv: every gamma line of at least 0.5 % per decay and at\n"
    "# least 30 keV (and the 511 keV annihilation line of positron emitters), energy in keV and\n"
    "# intensity in emissions per decay of the named nuclide, from the LNHB/DDEP Lara files\n"
    "# (Lu-176 from ENSDF). Lines below 30 keV, which most detectors do not show, are left out\n"
    "# so that they cannot keep an isotope from being named; each record names its own.\n"
    "# Every isotope is enabled (\"*\") but Cd-109, F-18 and I-125, whose one line that the\n"
    "# line check counts is shown by spectra without them. Provenance and the reasons:\n"
    "# data/README.md.\n";

struct Line {
    std::string energy;    // as the table prints it
    std::string intensity; // as the table prints it
    double energyKeV = 0.0;
};

struct Isotope {
    std::string name;
    std::vector<Line> lines;
    std::vector<Line> leftOut;        // below kLowestEnergyKeV
    std::vector<std::string> sources; // distinct, in table order
};

std::string lineList(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines) {
        text += (text.empty() ? "" : ", ") + line.energy + " keV (" + line.intensity + ")";
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view row) {
    std::vector<std::string_view> fields;
    for (std::size_t tab; (tab = row.find('\t')) != std::string_view::npos;) {
        fields.push_back(row.substr(0, tab));
        row.remove_prefix(tab + 1);
    }
    fields.push_back(row);
    return fields;
}

bool number(std::string_view text, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

} // namespace

} // namespace kv

int main(int argc, char** argv) {
    using namespace kv;
    if (argc != 3) {
        std::cerr << "usage: kv_make_isotope_library gamma_lines.tsv isotopes.txt\n";
        return 1;
    }
    const auto bytes = readWholeFile(argv[1]);
    if (!bytes) {
        std::cerr << "kv_make_isotope_library: cannot read " << argv[1] << '\n';
        return 1;
    }
    std::string_view table(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    std::vector<Isotope> isotopes;
    bool header = true;
    for (std::size_t row = 1; !table.empty(); ++row) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
        if (std::exchange(header, false) || line.empty()) {
            continue;
        }
        const auto fields = fieldsOf(line);
        double energy = 0.0;
        double intensity = 0.0;
        if (fields.size() != 4 || !number(fields[1], energy) || !number(fields[2], intensity)) {
            std::cerr << "kv_make_isotope_library: " << argv[1] << ':' << row << ": not a line\n";
            return 2;
        }
        if (intensity < kSmallestIntensity) {
            continue;
        }
        auto isotope = std::find_if(isotopes.begin(), isotopes.end(),
                                    [&](const Isotope& i) { return i.name == fields[0]; });
        if (isotope == isotopes.end()) {
            isotope = isotopes.insert(isotopes.end(), Isotope{std::string(fields[0]), {}, {}, {}});
        }
        (energy < kLowestEnergyKeV ? isotope->leftOut : isotope->lines)
            .push_back({std::string(fields[1]), std::string(fields[2]), energy});
        if (std::find(isotope->sources.begin(), isotope->sources.end(), fields[3]) ==
            isotope->sources.end()) {
            isotope->sources.emplace_back(fields[3]);
        }
    }
    std::stable_sort(isotopes.begin(), isotopes.end(), [](const Isotope& a, const Isotope& b) {
        return compareCp1251IgnoringCase(cp1251FromUtf8(a.name), cp1251FromUtf8(b.name)) < 0;
    });

    std::string text(kHeader);
    for (Isotope& isotope : isotopes) {
        // Nothing left to identify it by: a record needs a line.
        if (isotope.lines.empty()) {
            continue;
        }
        std::stable_sort(isotope.lines.begin(), isotope.lines.end(),
                         [](const Line& a, const Line& b) { return a.energyKeV < b.energyKeV; });
        text += "\n" + isotope.name + "\n";
        for (const Line& line : isotope.lines) {
            text += line.energy + "\t" + line.intensity + "\n";
        }
        const auto disabled =
            std::find_if(std::begin(kShippedDisabled), std::end(kShippedDisabled),
                         [&isotope](const auto& entry) { return entry.first == isotope.name; });
        if (disabled == std::end(kShippedDisabled)) {
            text += "*\n";
        }
        for (const std::string& source : isotope.sources) {
            text += "# " + source + "\n";
        }
        if (disabled != std::end(kShippedDisabled)) {
            text += "# disabled: " + std::string(disabled->second) + "\n";
        }
        if (!isotope.leftOut.empty()) {
            text += "# left out, below 30 keV: " + lineList(isotope.leftOut) + "\n";
        }
    }
    const WriteOutcome written = writeFileReplacing(
        argv[2], std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (!written.written) {
        std::cerr << "kv_make_isotope_library: cannot write " << argv[2] << ": " << written.reason
                  << '\n';
        return 1;
    }
    return 0;
}
