// kv_make_isotope_library: writes data/isotopes.txt, the text form of the shipped isotope line
// database, from the reference table data/nuclides/gamma_lines.tsv (columns isotope,
// energy_keV, intensity_per_decay, source). Every line of at least 0.5 % per decay is kept with
// its numbers exactly as the table prints them; each isotope is enabled for identification and
// carries its source as a note. Isotopes are in the order the database window sorts them.
//
// usage: kv_make_isotope_library gamma_lines.tsv isotopes.txt

#include "model/cp1251.h"
#include "platform/files.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr double kSmallestIntensity = 0.005; // emissions per decay

constexpr std::string_view kHeader =
    "# The isotope line library shipped with Kvantira, built into SPECTORS.DAT by\n"
    "# 'kvantira-cli db import'. Made by tools/make_isotope_library.cpp from\n"
    "# data/nuclides/gamma_lines.tsv: every gamma line of at least 0.5 % per decay (and the\n"
    "# 511 keV annihilation line of positron emitters), energy in keV and intensity in emissions\n"
    "# per decay of the named nuclide, from the LNHB/DDEP Lara files (Lu-176 from ENSDF).\n"
    "# Provenance: data/README.md.\n";

struct Line {
    std::string energy;    // as the table prints it
    std::string intensity; // as the table prints it
    double energyKeV = 0.0;
};

struct Isotope {
    std::string name;
    std::vector<Line> lines;
    std::vector<std::string> sources; // distinct, in table order
};

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
            isotope = isotopes.insert(isotopes.end(), Isotope{std::string(fields[0]), {}, {}});
        }
        isotope->lines.push_back({std::string(fields[1]), std::string(fields[2]), energy});
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
        std::stable_sort(isotope.lines.begin(), isotope.lines.end(),
                         [](const Line& a, const Line& b) { return a.energyKeV < b.energyKeV; });
        text += "\n" + isotope.name + "\n";
        for (const Line& line : isotope.lines) {
            text += line.energy + "\t" + line.intensity + "\n";
        }
        text += "*\n";
        for (const std::string& source : isotope.sources) {
            text += "# " + source + "\n";
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
