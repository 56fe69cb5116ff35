#include "analysis/exchange_sort.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kv {

namespace {

// Occupied places counted in a Fenwick tree: counts below a place and the place of a rank, in
// O(log n) each.
class PlaceCounts {
public:
    explicit PlaceCounts(std::size_t size) : m_tree(size + 1, 0) {}

    void add(std::size_t place, int amount) {
        for (std::size_t i = place + 1; i < m_tree.size(); i += i & (~i + 1)) {
            m_tree[i] += amount;
        }
    }

    // Occupied places below end.
    std::size_t before(std::size_t end) const {
        int sum = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1)) {
            sum += m_tree[i];
        }
        return static_cast<std::size_t>(sum);
    }

    // The occupied place with rank occupied places before it.
    std::size_t select(std::size_t rank) const {
        std::size_t place = 0;
        std::size_t step = 1;
        while (step * 2 < m_tree.size()) {
            step *= 2;
        }
        auto left = static_cast<int>(rank);
        for (; step > 0; step /= 2) {
            if (place + step < m_tree.size() && m_tree[place + step] <= left) {
                place += step;
                left -= m_tree[place];
            }
        }
        return place; // the tree counts from 1: the place found is place + 1 there
    }

private:
    std::vector<int> m_tree;
};

// The order within one class of equal keys in the descending sort, whose exchanges are strict.
// Two facts make it computable (each checked against the sort itself by the tests):
//  - elements smaller than the class never change the order among the elements at or above it,
//    so it is that of the sort of those alone;
//  - among those, while larger elements remain, a step that starts at an element of the class
//    carries it past the run of class elements that follows it up to the next larger element
//    (the run turns by one), and a step that starts at a larger element moves none of them.
// So, with the class at ascending places q[0..c-1] and g[j] larger elements after q[j] and
// before q[j + 1] (or the end): start empty; for each j, append q[j], then turn the list left
// by g[j]. The list at the end is the order. It is built backwards here, each element put in
// its final slot in O(log c), instead of turning the list.
void orderClass(std::span<const std::size_t> places, std::span<const std::size_t> larger,
                std::span<std::size_t> out) {
    const std::size_t c = places.size();
    PlaceCounts free(c);
    for (std::size_t slot = 0; slot < c; ++slot) {
        free.add(slot, 1);
    }
    // The list after step j occupies the free slots cyclically from the free slot of rank start.
    std::size_t start = 0;
    for (std::size_t j = c; j >= 1; --j) {
        const std::size_t turn = larger[j - 1] % j;
        const std::size_t index = (j - 1 + j - turn) % j; // of q[j - 1] in the list after step j
        const std::size_t rank = (start + index) % j;
        const std::size_t slot = free.select(rank);
        out[slot] = places[j - 1];
        free.add(slot, -1);
        // The list before step j starts just after q[j - 1], cyclically.
        start = j > 1 ? rank % (j - 1) : 0;
    }
}

} // namespace

std::vector<std::size_t> exchangeSortedOrder(std::span<const double> keys, ExchangeOrder order) {
    std::vector<std::size_t> result(keys.size());
    std::iota(result.begin(), result.end(), 0);

    // Elements with a NaN key stay where they are and the others are sorted among the other
    // places as if those were not there. "Larger" below means first in the result.
    std::vector<std::size_t> movable;
    std::vector<double> rank;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!std::isnan(keys[i])) {
            movable.push_back(i);
            rank.push_back(order == ExchangeOrder::Descending ? keys[i] : -keys[i]);
        }
    }
    const std::size_t m = movable.size();
    std::vector<std::size_t> byRank(m);
    std::iota(byRank.begin(), byRank.end(), 0);
    std::stable_sort(byRank.begin(), byRank.end(),
                     [&rank](std::size_t a, std::size_t b) { return rank[a] > rank[b]; });

    std::vector<std::size_t> sorted(m); // places among the movable ones, in result order
    std::vector<std::size_t> larger;
    PlaceCounts placed(m); // the places of the classes done, all larger than the current one
    for (std::size_t first = 0; first < m;) {
        std::size_t end = first + 1;
        while (end < m && rank[byRank[end]] == rank[byRank[first]]) {
            ++end;
        }
        const std::span<const std::size_t> places(byRank.data() + first, end - first);
        const std::span<std::size_t> out(sorted.data() + first, end - first);
        if (order == ExchangeOrder::AscendingSwappingTies) {
            // Exchanging equal elements too, each step carries the class's last element to the
            // front and leaves the others in their order: the class comes out reversed.
            std::reverse_copy(places.begin(), places.end(), out.begin());
        } else {
            larger.resize(places.size());
            for (std::size_t j = 0; j < places.size(); ++j) {
                const std::size_t next = j + 1 < places.size() ? places[j + 1] : m;
                larger[j] = placed.before(next) - placed.before(places[j] + 1);
            }
            orderClass(places, larger, out);
        }
        for (const std::size_t place : places) {
            placed.add(place, 1);
        }
        first = end;
    }
    for (std::size_t k = 0; k < m; ++k) {
        result[movable[k]] = movable[sorted[k]];
    }
    return result;
}

} // namespace kv
