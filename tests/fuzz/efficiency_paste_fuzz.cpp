// Efficiency points pasted into the efficiency window. Every line that starts with two numbers
// gives a point, read as "%lf%lf" (checked here against the C library's strtod), at most 20 of
// them; text without such a line leaves the table as it was. The table is then sorted by
// energy, and the curve through points of sane size is a number everywhere.

#include "analysis/efficiency.h"
#include "fuzz_checks.h"

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

using kv::fuzz::require;
using Point = std::pair<double, double>;

// The two numbers at the start of a line as strtod reads them, or nothing when either is
// missing or lies beyond the range of a double (ERANGE, or a subnormal).
std::optional<Point> libraryPair(std::string_view line) {
    // strtod reads up to a zero byte, which no number or space holds: the line ends there.
    const std::string text(line.substr(0, line.find('\0')));
    const char* at = text.c_str();
    std::array<double, 2> values{};
    for (double& value : values) {
        char* end = nullptr;
        errno = 0;
        value = std::strtod(at, &end);
        if (end == at || errno == ERANGE || (value != 0.0 && std::fabs(value) < DBL_MIN)) {
            return std::nullopt;
        }
        at = end;
    }
    return Point{values[0], values[1]};
}

// The points of the first 20 lines (ended by "\n" or "\r\n") that start with two numbers.
std::vector<Point> libraryPoints(std::string_view text) {
    std::vector<Point> points;
    while (!text.empty() && points.size() < kv::kMaxEfficiencyPoints) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (end != std::string_view::npos && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (const auto point = libraryPair(line)) {
            points.push_back(*point);
        }
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return points;
}

std::vector<std::pair<std::uint64_t, std::uint64_t>>
inFixedOrder(const std::vector<Point>& points) {
    kv::IsotopeRecord asLines;
    for (const auto& [energy, value] : points) {
        asLines.lines.push_back({energy, value});
    }
    return kv::fuzz::linesInFixedOrder(asLines);
}

kv::EfficiencyCalibration threePoints() {
    kv::EfficiencyCalibration table;
    table.efficiencyPointCount = 3;
    table.efficiencyEnergy = {59.5, 661.7, 1332.5};
    table.efficiencyValue = {0.3, 0.05, 0.02};
    return table;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = kv::fuzz::textOf(data, size);
    const std::vector<Point> expected = libraryPoints(text);
    const kv::EfficiencyCalibration before = threePoints();
    kv::EfficiencyCalibration table = before;
    const bool pasted = kv::pasteEfficiencyPoints(table, text);
    require(pasted == !expected.empty(), "a text pastes when a line starts with two numbers");
    if (!pasted) {
        require(table == before, "a text without points leaves the table as it was");
        return 0;
    }

    const std::size_t n = kv::efficiencyPointCount(table);
    require(n == expected.size() && table.efficiencyPointCount == static_cast<std::int32_t>(n),
            "every line that starts with two numbers is a point, 20 at most");
    std::vector<Point> points;
    for (std::size_t i = 0; i < n; ++i) {
        points.emplace_back(table.efficiencyEnergy[i], table.efficiencyValue[i]);
    }
    require(inFixedOrder(points) == inFixedOrder(expected),
            "the points hold the numbers the lines start with");
    const bool anyNaN = std::any_of(points.begin(), points.end(),
                                    [](const Point& p) { return std::isnan(p.first); });
    require(anyNaN ||
                std::is_sorted(points.begin(), points.end(),
                               [](const Point& a, const Point& b) { return a.first < b.first; }),
            "the table is sorted by energy");

    // Between, beyond and at points of measurable size (energies from 1 eV to 100 MeV,
    // efficiencies within 1e-100..1e100, either of them possibly 0 or negative as typed), the
    // curve is a number.
    const auto measurable = [](double x, double from, double to) {
        return x == 0.0 || (std::fabs(x) >= from && std::fabs(x) <= to);
    };
    if (std::all_of(points.begin(), points.end(), [&](const Point& p) {
            return measurable(p.first, 1e-3, 1e5) && measurable(p.second, 1e-100, 1e100);
        })) {
        for (const Point& p : points) {
            for (const double energy : {p.first, p.first + 0.5, p.first - 0.5, 2 * p.first + 1.0}) {
                require(!std::isnan(kv::efficiencyAt(table, energy)), "the efficiency is a number");
            }
        }
    }
    return 0;
}
