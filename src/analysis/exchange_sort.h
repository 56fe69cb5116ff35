#pragma once

#include <cstddef>

namespace kv {

// The exchange sort the stored tables have always been ordered with: for every i < j, elements
// i and j are exchanged when outOfOrder(i, j). Kept instead of std::sort because the order it
// leaves equal elements in is what files and lists have shown, because it needs no strict weak
// order (a NaN cannot make it misbehave), and because the tables are short.
template <class OutOfOrder, class Exchange>
void exchangeSort(std::size_t size, OutOfOrder outOfOrder, Exchange exchange) {
    for (std::size_t i = 0; i < size; ++i) {
        for (std::size_t j = i + 1; j < size; ++j) {
            if (outOfOrder(i, j)) {
                exchange(i, j);
            }
        }
    }
}

} // namespace kv
