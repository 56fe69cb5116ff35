#include "fitting/least_squares.h"

#include <cmath>
#include <utility>
#include <vector>

namespace kv {

namespace {

constexpr double kSingularLimit = 1e-10;

// Interchanges move the value leaving row (column) k negated into the other row (column); the
// undoing at the end negates the other way, which restores the signs of the inverse.
void swapRowsNegating(FitMatrix& a, int k, int r, int n) {
    for (int j = 0; j < n; ++j) {
        const double t = -a.at(k, j);
        a.at(k, j) = a.at(r, j);
        a.at(r, j) = t;
    }
}

void swapColumnsNegating(FitMatrix& a, int k, int c, int n) {
    for (int i = 0; i < n; ++i) {
        const double t = -a.at(i, k);
        a.at(i, k) = a.at(i, c);
        a.at(i, c) = t;
    }
}

} // namespace

// Gauss-Jordan inversion with complete pivoting, as in the classic MATINV routine of
// Bevington, "Data Reduction and Error Analysis for the Physical Sciences" (1969), ch. 9.
bool invertMatrix(FitMatrix& a, int n) {
    if (n < 1 || n > kMaxFitParameters) {
        return false;
    }
    std::array<int, kMaxFitParameters> pivotRow{};
    std::array<int, kMaxFitParameters> pivotColumn{};
    double determinant = 1.0;

    for (int k = 0; k < n; ++k) {
        // The first largest element in row-major order wins; the diagonal wins ties with it.
        double largest = a.at(k, k);
        pivotRow[k] = k;
        pivotColumn[k] = k;
        for (int r = k; r < n; ++r) {
            for (int c = k; c < n; ++c) {
                if (std::abs(a.at(r, c)) > std::abs(largest)) {
                    largest = a.at(r, c);
                    pivotRow[k] = r;
                    pivotColumn[k] = c;
                }
            }
        }
        if (pivotRow[k] > k) {
            swapRowsNegating(a, k, pivotRow[k], n);
        }
        if (pivotColumn[k] > k) {
            swapColumnsNegating(a, k, pivotColumn[k], n);
        }

        const double pivot = a.at(k, k);
        if (!(std::abs(pivot) >= kSingularLimit)) {
            return false;
        }
        for (int i = 0; i < n; ++i) {
            if (i != k) {
                a.at(i, k) /= -pivot;
            }
        }
        for (int i = 0; i < n; ++i) {
            if (i == k) {
                continue;
            }
            for (int j = 0; j < n; ++j) {
                if (j != k) {
                    a.at(i, j) = a.at(i, k) * a.at(k, j) + a.at(i, j);
                }
            }
        }
        for (int j = 0; j < n; ++j) {
            if (j != k) {
                a.at(k, j) /= pivot;
            }
        }
        determinant *= pivot;
        if (!(std::abs(determinant) >= kSingularLimit)) {
            return false;
        }
        a.at(k, k) = 1.0 / pivot;
    }

    for (int k = n - 2; k >= 0; --k) {
        if (const int r = pivotRow[k]; r > k) {
            for (int i = 0; i < n; ++i) {
                const double t = a.at(i, k);
                a.at(i, k) = -a.at(i, r);
                a.at(i, r) = t;
            }
        }
        if (const int c = pivotColumn[k]; c > k) {
            for (int j = 0; j < n; ++j) {
                const double t = a.at(k, j);
                a.at(k, j) = -a.at(c, j);
                a.at(c, j) = t;
            }
        }
    }
    return true;
}

bool fitPolynomial(std::span<const double> x, std::span<const double> y,
                   std::span<double> coefficients) {
    const int n = static_cast<int>(coefficients.size());
    if (n < 1 || n > kMaxFitParameters || x.size() != y.size()) {
        return false;
    }
    const std::size_t m = x.size();
    // basis[j * m + i] = x[i]^j, by repeated multiplication.
    std::vector<double> basis(static_cast<std::size_t>(n) * m);
    for (std::size_t i = 0; i < m; ++i) {
        basis[i] = 1.0;
    }
    for (int j = 1; j < n; ++j) {
        const double* previous = &basis[static_cast<std::size_t>(j - 1) * m];
        double* power = &basis[static_cast<std::size_t>(j) * m];
        for (std::size_t i = 0; i < m; ++i) {
            power[i] = previous[i] * x[i];
        }
    }
    const auto row = [&](int j) {
        return std::span(basis).subspan(static_cast<std::size_t>(j) * m, m);
    };

    FitMatrix normal;
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
            double sum = 0.0;
            const auto bj = row(j);
            const auto bk = row(k);
            for (std::size_t i = 0; i < m; ++i) {
                sum += bj[i] * bk[i];
            }
            normal.at(j, k) = sum;
        }
    }
    if (!invertMatrix(normal, n)) {
        return false;
    }
    std::array<double, kMaxFitParameters> g{};
    for (int j = 0; j < n; ++j) {
        const auto bj = row(j);
        for (std::size_t i = 0; i < m; ++i) {
            g[static_cast<std::size_t>(j)] += bj[i] * y[i];
        }
    }
    for (int j = 0; j < n; ++j) {
        double c = 0.0;
        for (int k = 0; k < n; ++k) {
            c += normal.at(j, k) * g[static_cast<std::size_t>(k)];
        }
        coefficients[static_cast<std::size_t>(j)] = c;
    }
    return true;
}

} // namespace kv
