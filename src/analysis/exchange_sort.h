#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace kv {

// The exchange sort the stored tables have always been ordered with: for every i < j, elements
// i and j are exchanged when outOfOrder(i, j). Kept instead of std::sort because the order it
// leaves equal elements in is what files and lists have shown, and because it needs no strict
// weak order (a NaN cannot make it misbehave). It takes time growing with the square of the
// table; exchangeSortByKey below gives the same order in O(n log n) for tables ordered by a
// number.
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

// The two orders the tables are sorted in by a number of each element:
enum class ExchangeOrder {
    Descending,            // outOfOrder(i, j) = key(i) < key(j)
    AscendingSwappingTies, // outOfOrder(i, j) = key(i) >= key(j)
};

// Where exchangeSort with that order leaves the elements of these keys: result[p] is the index
// of the element that ends at position p. A NaN key compares false either way, so its element
// never moves; -0 and +0 are equal. O(n log n) time, O(n) memory.
std::vector<std::size_t> exchangeSortedOrder(std::span<const double> keys, ExchangeOrder order);

// Sorts items into the order exchangeSort leaves them in, by key(item), a double.
template <class T, class Key>
void exchangeSortByKey(std::vector<T>& items, Key key, ExchangeOrder order) {
    std::vector<double> keys;
    keys.reserve(items.size());
    for (const T& item : items) {
        keys.push_back(key(item));
    }
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const std::size_t from : exchangeSortedOrder(keys, order)) {
        sorted.push_back(std::move(items[from]));
    }
    items = std::move(sorted);
}

} // namespace kv
