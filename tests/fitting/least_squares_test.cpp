#include "fitting/least_squares.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kv {
namespace {

FitMatrix matrixOf(const std::vector<std::vector<double>>& rows) {
    FitMatrix a;
    a.elements.fill(99.0); // outside the corner: must stay untouched
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows.size(); ++c) {
            a.at(static_cast<int>(r), static_cast<int>(c)) = rows[r][c];
        }
    }
    return a;
}

void expectCorner(const FitMatrix& a, const std::vector<std::vector<double>>& expected,
                  double tolerance = 1e-12) {
    const int n = static_cast<int>(expected.size());
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            EXPECT_NEAR(a.at(r, c),
                        expected[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)],
                        tolerance)
                << "element " << r << "," << c;
        }
    }
    if (n < kMaxFitParameters) {
        EXPECT_EQ(a.at(0, n), 99.0);
        EXPECT_EQ(a.at(n, 0), 99.0);
    }
}

TEST(MatrixInversion, IdentityOfEveryOrderStaysIdentity) {
    for (int n = 1; n <= kMaxFitParameters; ++n) {
        std::vector<std::vector<double>> identity(static_cast<std::size_t>(n),
                                                  std::vector<double>(static_cast<std::size_t>(n)));
        for (int i = 0; i < n; ++i) {
            identity[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 1.0;
        }
        FitMatrix a = matrixOf(identity);
        ASSERT_TRUE(invertMatrix(a, n)) << n;
        expectCorner(a, identity, 0.0);
    }
}

TEST(MatrixInversion, InterchangesAreUndone) {
    FitMatrix swap = matrixOf({{0, 1}, {1, 0}});
    ASSERT_TRUE(invertMatrix(swap, 2));
    expectCorner(swap, {{0, 1}, {1, 0}}, 0.0);

    // Needs row and column interchanges at several stages; inverse worked out by the adjugate.
    FitMatrix a = matrixOf({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}});
    ASSERT_TRUE(invertMatrix(a, 3));
    expectCorner(a, {{-2.0 / 3, -4.0 / 3, 1}, {-2.0 / 3, 11.0 / 3, -2}, {1, -2, 1}});
}

TEST(MatrixInversion, SingularByPivotOrByRunningProduct) {
    FitMatrix equalRows = matrixOf({{1, 2, 3}, {1, 2, 3}, {0, 1, 5}});
    EXPECT_FALSE(invertMatrix(equalRows, 3));
    FitMatrix small = matrixOf({{1e-4, 0, 0}, {0, 1e-4, 0}, {0, 0, 1e-4}});
    EXPECT_FALSE(invertMatrix(small, 3)) << "running product 1e-12";
    FitMatrix mixed = matrixOf({{1e-4, 0, 0}, {0, 1e4, 0}, {0, 0, 1}});
    ASSERT_TRUE(invertMatrix(mixed, 3));
    expectCorner(mixed, {{1e4, 0, 0}, {0, 1e-4, 0}, {0, 0, 1}}, 1e-9);
    FitMatrix any;
    EXPECT_FALSE(invertMatrix(any, 0));
    EXPECT_FALSE(invertMatrix(any, 21));
}

TEST(PolynomialFit, DegenerateInputFailsAndLeavesTheOutput) {
    std::vector<double> c = {5, 6, 7};
    const std::vector<double> sameX = {2, 2, 2, 2};
    const std::vector<double> y = {1, 2, 3, 4};
    EXPECT_FALSE(fitPolynomial(sameX, y, std::span(c).first(2)));
    const std::vector<double> twoX = {0, 1};
    EXPECT_FALSE(fitPolynomial(twoX, std::span(y).first(2), c)) << "fewer points than terms";
    EXPECT_FALSE(fitPolynomial(twoX, y, std::span(c).first(1))) << "lengths differ";
    EXPECT_EQ(c, (std::vector<double>{5, 6, 7}));
}

TEST(PolynomialFit, RecoversNoiseFreePolynomialsOfDegreeOneToFour) {
    // An energy calibration over a spectrum's channels: the x values reach thousands.
    const std::vector<double> truth = {-3.25, 0.731, 2.5e-5, -4.0e-9, 1.5e-12};
    for (std::size_t terms = 2; terms <= 5; ++terms) {
        std::vector<double> x;
        std::vector<double> y;
        for (double channel = 10; channel < 2048; channel += 97) {
            double value = 0.0;
            double power = 1.0;
            for (std::size_t j = 0; j < terms; ++j) {
                value += truth[j] * power;
                power *= channel;
            }
            x.push_back(channel);
            y.push_back(value);
        }
        std::vector<double> c(terms);
        ASSERT_TRUE(fitPolynomial(x, y, c)) << terms;
        for (std::size_t j = 0; j < terms; ++j) {
            EXPECT_NEAR(c[j], truth[j], 1e-9 * std::abs(truth[j])) << terms << " terms, c" << j;
        }
    }
}

} // namespace
} // namespace kv
