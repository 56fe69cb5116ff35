#pragma once

// The linear step every fit ends in: the inversion of a small symmetric normal matrix, and the
// unweighted polynomial least-squares fit built on it. Double precision throughout; sums run
// in index order from 0 upward, so results are reproducible to the last bit.

#include <array>
#include <cstddef>
#include <span>

namespace kv {

// The largest number of parameters of any fit in the program.
inline constexpr int kMaxFitParameters = 20;

// A square matrix of order n <= 20 in the upper-left corner of a 20 x 20 row-major array (the
// row stride is always 20). Elements outside the corner are neither read nor written.
struct FitMatrix {
    std::array<double, std::size_t{kMaxFitParameters} * kMaxFitParameters> elements{};

    double& at(int row, int column) { return elements[index(row, column)]; }
    double at(int row, int column) const { return elements[index(row, column)]; }

    static std::size_t index(int row, int column) {
        return static_cast<std::size_t>(row) * kMaxFitParameters + static_cast<std::size_t>(column);
    }
};

// Inverts the n x n corner of a in place by Gauss-Jordan elimination with complete pivoting. False
// when a pivot or the running product of pivots falls below 1e-10 in magnitude; the corner then
// holds partly transformed values. The test on the product reports matrices of uniformly small
// entries as singular (diag(1e-4, 1e-4, 1e-4) is), which the normal matrices of counts never are.
// n outside 1..20 is refused.
bool invertMatrix(FitMatrix& a, int n);

// Fits y = c0 + c1 x + ... + c(n-1) x^(n-1) to the points by unweighted least squares, n being
// coefficients.size() (1..20). True with the coefficients written, lowest power first; false,
// with coefficients untouched, for a singular system or x and y of different lengths.
bool fitPolynomial(std::span<const double> x, std::span<const double> y,
                   std::span<double> coefficients);

} // namespace kv
