#include "fitting/component_model.h"

#include "fitting/least_squares.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kv {

namespace {

const double kSqrtTwoPi = std::sqrt(6.283185307179586);
constexpr double kGaussianCut = 6.0;     // |x - P1| / P2 beyond which a Gaussian is 0
constexpr double kExponentialCut = 40.0; // x / P1 beyond which an exponential is 0
constexpr double kMcpCut = 20.0;         // u^2 beyond which the МКП shape is 0
constexpr double kMcpMeanStep = 0.02;
constexpr double kMcpWidthStep = 0.01;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double gaussian(const FitComponent& c, int x) {
    const auto& p = c.parameters;
    const double t = (x - p[1]) / p[2];
    if (std::abs(t) > kGaussianCut) {
        return 0.0;
    }
    return p[0] * std::exp(-t * t / 2.0) / (kSqrtTwoPi * p[2]);
}

double exponential(const FitComponent& c, int x) {
    const auto& p = c.parameters;
    if (x / p[1] > kExponentialCut) {
        return 0.0;
    }
    return p[0] / p[1] * std::exp(-x / p[1]);
}

// The compound Poisson density P0 L e^-(xL + H) I0(2 sqrt(xLH)), written with e^-u^2 and the
// scaled Bessel function so that neither factor overflows.
double mcp(const FitComponent& c, int x) {
    const auto& p = c.parameters;
    const double mean2 = p[1] * p[1];
    const double q = std::min(mean2, p[2] * p[2]);
    const double g = std::sqrt(mean2 - q);
    const double h = (mean2 - q + p[1] * g) / q;
    const double l = (p[1] + g) / q;
    const double u = std::sqrt(x * l) - std::sqrt(h);
    if (u * u > kMcpCut) {
        return 0.0;
    }
    return p[0] * l * std::exp(-u * u) * besselI0Scaled(2.0 * std::sqrt(x * l * h));
}

// The central difference of the МКП shape by parameter j.
double mcpDifference(FitComponent c, int j, double step, int x) {
    const double p = c.parameters[static_cast<std::size_t>(j)];
    c.parameters[static_cast<std::size_t>(j)] = p + step;
    const double above = mcp(c, x);
    c.parameters[static_cast<std::size_t>(j)] = p - step;
    return (above - mcp(c, x)) / (2.0 * step);
}

// A model value as a count: truncated toward zero and held to the int32 range, NaN giving 0,
// so that a component at undefined parameters cannot make the conversion undefined.
std::int32_t truncatedCount(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp<double>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Count-weighted moments of channel numbers over a region, in signed 64-bit sums: the counts
// may be negative (a residual, a spectrum after subtraction), so the sum may be too.
struct SignedMoments {
    std::int64_t sum = 0;
    double firstMoment = 0.0;
    double secondMoment = 0.0;

    void add(int channel, std::int64_t count) {
        sum += count;
        firstMoment += static_cast<double>(channel) * static_cast<double>(count);
        secondMoment += static_cast<double>(channel) * channel * static_cast<double>(count);
    }
    double mean() const { return sum == 0 ? 0.0 : firstMoment / static_cast<double>(sum); }
    double variance() const {
        return sum == 0 ? 0.0 : secondMoment / static_cast<double>(sum) - mean() * mean();
    }
    // Area, mean channel and width of a Gaussian with these moments. A negative variance
    // (negative counts among the positive) gives the width of its magnitude.
    std::array<double, kMaxComponentParameters> gaussian() const {
        return {static_cast<double>(sum), mean(), std::sqrt(std::abs(variance()))};
    }
};

// Starting values from the counts h of the current histogram over region [a, b].
FitComponent startingComponent(ComponentKind kind, const ComponentTable& before,
                               const Histogram& current, FitRegion region) {
    FitComponent c{.kind = kind};
    auto& p = c.parameters;
    const auto& h = current.channels;
    const int a = region.firstChannel;
    const int b = region.lastChannel;
    const auto count = [&h](int i) { return h[static_cast<std::size_t>(i)]; };
    switch (kind) {
    case ComponentKind::Gaussian: {
        // The moments of what the components present so far leave unexplained. Where they
        // already cover the counts (a first Gaussian over both peaks of a doublet), the
        // residual sums to about zero or below, and its moments place nothing: the peak then
        // starts from the moments of the channels the model falls short in, where a missing
        // peak must lie. With no such channel it starts as the counts' own peak. Either way
        // it has an area and a width, so its derivatives are not zero and the fit can run.
        SignedMoments residual;
        SignedMoments shortfall;
        SignedMoments counts;
        for (int i = a; i <= b; ++i) {
            const std::int32_t d = truncatedCount(count(i) - before.modelValue(i));
            residual.add(i, d);
            shortfall.add(i, std::max(d, 0));
            counts.add(i, count(i));
        }
        const SignedMoments& start = residual.sum > 0    ? residual
                                     : shortfall.sum > 0 ? shortfall
                                                         : counts;
        p = start.gaussian();
        break;
    }
    case ComponentKind::Mcp: {
        SignedMoments moments;
        for (int i = a; i <= b; ++i) {
            moments.add(i, count(i));
        }
        // A variance a hair below zero (one channel, rounding) would make the width NaN.
        p = {static_cast<double>(moments.sum), moments.mean(),
             std::sqrt(std::max(moments.variance(), 0.0))};
        break;
    }
    case ComponentKind::Exponential: {
        double s0 = 0.0;
        double s1 = 0.0;
        for (int i = a; i <= b; ++i) {
            s0 += count(i);
            s1 += static_cast<double>(i) * count(i);
        }
        p = {0.0, 1.0, 0.0};
        if (s1 > 0.0) {
            // The area between the boundaries equals the counts there.
            const double length = s1 / s0 - a;
            const double area = s0 / (std::exp(-a / length) - std::exp(-b / length));
            // All counts in channel a (length 0), or a length so short that both ends
            // underflow, would give an infinite area.
            if (std::isfinite(area)) {
                p = {area, length, 0.0};
            }
        }
        break;
    }
    case ComponentKind::Constant:
    case ComponentKind::Linear: {
        const auto first = h.begin() + a;
        p = {static_cast<double>(*std::min_element(first, h.begin() + b + 1)), 0.0, 0.0};
        break;
    }
    }
    return c;
}

} // namespace

int parameterCount(ComponentKind kind) {
    switch (kind) {
    case ComponentKind::Gaussian:
        return 3;
    case ComponentKind::Exponential:
        return 2;
    case ComponentKind::Mcp:
        return 3;
    case ComponentKind::Constant:
        return 1;
    case ComponentKind::Linear:
        return 2;
    }
    return 0;
}

StringId listName(ComponentKind kind) {
    switch (kind) {
    case ComponentKind::Gaussian:
        return StringId::ComponentGaussian;
    case ComponentKind::Exponential:
        return StringId::ComponentExponential;
    case ComponentKind::Mcp:
        return StringId::ComponentMcp;
    case ComponentKind::Constant:
        return StringId::ComponentConstant;
    case ComponentKind::Linear:
        return StringId::ComponentLinear;
    }
    return StringId::ComponentGaussian;
}

double componentFunction(const FitComponent& c, int x) {
    switch (c.kind) {
    case ComponentKind::Gaussian:
        return gaussian(c, x);
    case ComponentKind::Exponential:
        return exponential(c, x);
    case ComponentKind::Mcp:
        return mcp(c, x);
    case ComponentKind::Constant:
        return c.parameters[0];
    case ComponentKind::Linear:
        return c.parameters[0] + x * c.parameters[1];
    }
    return 0.0;
}

std::array<double, kMaxComponentParameters> componentDerivatives(const FitComponent& c, int x) {
    const auto& p = c.parameters;
    switch (c.kind) {
    case ComponentKind::Gaussian: {
        const double d = x - p[1];
        const double s = p[2];
        if (std::abs(d / s) > kGaussianCut) {
            return {};
        }
        const double e = std::exp(-(d / s) * (d / s) / 2.0);
        return {e / (kSqrtTwoPi * s), p[0] * d / (kSqrtTwoPi * s * s * s) * e,
                p[0] * (d * d - s * s) / (kSqrtTwoPi * s * s * s * s) * e};
    }
    case ComponentKind::Exponential: {
        if (x / p[1] > kExponentialCut) {
            return {};
        }
        const double e = std::exp(-x / p[1]);
        return {e / p[1], p[0] * (x - p[1]) / (p[1] * p[1] * p[1]) * e, 0.0};
    }
    case ComponentKind::Mcp:
        return {mcp(c, x) / p[0], mcpDifference(c, 1, kMcpMeanStep, x),
                mcpDifference(c, 2, kMcpWidthStep, x)};
    case ComponentKind::Constant:
        return {1.0, 0.0, 0.0};
    case ComponentKind::Linear:
        return {1.0, static_cast<double>(x), 0.0};
    }
    return {};
}

double besselI0Scaled(double z) {
    const double t = z * 0.26666666666666666;
    if (t <= 1.0) {
        const double y = t * t;
        const double i0 =
            1.0 + y * (3.5156229 +
                       y * (3.0899424 +
                            y * (1.2067492 + y * (0.2659732 + y * (0.0360768 + y * 0.0045813)))));
        return i0 / std::exp(z);
    }
    const double y = 1.0 / t;
    const double scaled =
        0.39894228 +
        y * (0.01328592 +
             y * (0.00225319 +
                  y * (-0.00157565 +
                       y * (0.00916281 +
                            y * (-0.02057706 +
                                 y * (0.02635537 + y * (-0.01647633 + y * 0.00392377)))))));
    return scaled / std::sqrt(z);
}

McpShape mcpShape(const FitComponent& c) {
    const auto& p = c.parameters;
    const double mean2 = p[1] * p[1];
    const double q = std::min(mean2, p[2] * p[2]);
    if (q == 0.0) {
        return {kNaN, kNaN};
    }
    const double g = std::sqrt(mean2 - q);
    return {(mean2 - q + p[1] * g) / q, q / (p[1] + g)};
}

void ComponentTable::setSelected(int index) {
    if (index >= 0 && index < componentCount()) {
        m_selected = index;
    }
}

std::span<double> ComponentTable::parameters(int index) {
    FitComponent& c = m_components[static_cast<std::size_t>(index)];
    return std::span(c.parameters).first(static_cast<std::size_t>(c.parameterCount()));
}

bool ComponentTable::addComponent(ComponentKind kind, const Histogram* current, FitRegion region) {
    const int n = parameterCount(kind);
    if (!current || !region.fits(current->channels.size()) || componentCount() >= kMaxComponents ||
        m_totalParameters == kMaxFitParameters - 1 || m_totalParameters + n > kMaxFitParameters) {
        return false;
    }
    m_components.push_back(startingComponent(kind, *this, *current, region));
    m_totalParameters += n;
    m_selected = componentCount() - 1;
    return true;
}

void ComponentTable::removeComponent(int index) {
    if (index < 0 || index >= componentCount()) {
        return;
    }
    m_totalParameters -= component(index).parameterCount();
    m_components.erase(m_components.begin() + index);
    if (m_selected >= componentCount()) {
        m_selected = componentCount() - 1;
    }
    m_selected = std::max(m_selected, 0);
}

double ComponentTable::modelValue(int x) const {
    double sum = 0.0;
    for (const FitComponent& c : m_components) {
        sum += componentFunction(c, x);
    }
    return sum;
}

} // namespace kv
