#pragma once

// The lines the last line search found, in ascending channel order, with the user's edits.
// Energies in keV, rates in counts per second, positions in 0-based channels.

#include <cstddef>
#include <optional>
#include <vector>

namespace kv {

struct FoundLine {
    double energy = 0.0;
    double rate = 0.0;
    double position = 0.0;

    friend bool operator==(const FoundLine&, const FoundLine&) = default;
};

// The table holds at most 100 lines: the search stops there and an addition is refused.
class FoundLines {
public:
    static constexpr std::size_t kCapacity = 100;

    const std::vector<FoundLine>& lines() const { return m_lines; }
    std::size_t size() const { return m_lines.size(); }
    bool full() const { return m_lines.size() >= kCapacity; }

    void clear() {
        m_lines.clear();
        m_rateErrors.clear();
    }

    // False, with the table unchanged, when it is full. The line has no rate error.
    bool append(const FoundLine& line);

    // Adds a line where its energy belongs, after lines of equal energy. False when full.
    bool insertByEnergy(const FoundLine& line);

    // Removes the line at index; an index outside the table does nothing.
    void remove(std::size_t index);

    // The standard error of a line's rate where the areas were refitted (line_quantities.h);
    // nothing for a line the refit did not hold, one added by hand, or outside the table.
    std::optional<double> rateError(std::size_t index) const {
        return index < m_rateErrors.size() ? m_rateErrors[index] : std::nullopt;
    }
    // An index outside the table does nothing.
    void setRateError(std::size_t index, std::optional<double> error);

private:
    std::vector<FoundLine> m_lines;
    std::vector<std::optional<double>> m_rateErrors; // in step with m_lines
};

} // namespace kv
