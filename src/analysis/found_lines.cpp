#include "analysis/found_lines.h"

#include <algorithm>

namespace kv {

bool FoundLines::append(const FoundLine& line) {
    if (full()) {
        return false;
    }
    m_lines.push_back(line);
    return true;
}

bool FoundLines::insertByEnergy(const FoundLine& line) {
    if (full()) {
        return false;
    }
    const auto at = std::upper_bound(
        m_lines.begin(), m_lines.end(), line.energy,
        [](double energy, const FoundLine& existing) { return energy < existing.energy; });
    m_lines.insert(at, line);
    return true;
}

void FoundLines::remove(std::size_t index) {
    if (index < m_lines.size()) {
        m_lines.erase(m_lines.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

} // namespace kv
