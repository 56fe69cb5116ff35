#include "analysis/found_lines.h"

#include <algorithm>

namespace kv {

bool FoundLines::append(const FoundLine& line) {
    if (full()) {
        return false;
    }
    m_lines.push_back(line);
    m_rateErrors.emplace_back();
    return true;
}

bool FoundLines::insertByEnergy(const FoundLine& line) {
    if (full()) {
        return false;
    }
    const auto at = std::upper_bound(
        m_lines.begin(), m_lines.end(), line.energy,
        [](double energy, const FoundLine& existing) { return energy < existing.energy; });
    m_rateErrors.insert(m_rateErrors.begin() + (at - m_lines.begin()), std::nullopt);
    m_lines.insert(at, line);
    return true;
}

void FoundLines::remove(std::size_t index) {
    if (index < m_lines.size()) {
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(index));
        m_rateErrors.erase(m_rateErrors.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void FoundLines::setRateError(std::size_t index, std::optional<double> error) {
    if (index < m_rateErrors.size()) {
        m_rateErrors[index] = error;
    }
}

} // namespace kv
