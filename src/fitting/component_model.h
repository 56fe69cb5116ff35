#pragma once

// The multi-component model of the approximation window: a stretch of a spectrum described as
// the sum of Gaussian peaks, exponentials, МКП shapes, a constant and a straight line. The
// table of components is a value its owner keeps (it outlives the window); the fit that adjusts
// all parameters together is in fitting/component_fit.h.
//
// Channels x are 0-based channels of the whole spectrum, never counted from the region's start.
// Counts are counts per channel; widths, centres and decay lengths are in channels.

#include "model/histogram.h"
#include "platform/string_id.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace kv {

enum class ComponentKind {
    Gaussian,    // P0 area, P1 centre, P2 standard deviation
    Exponential, // P0 area from channel 0 to infinity, P1 decay length
    Mcp,         // P0 area, P1 mean, P2 standard deviation
    Constant,    // P0 level
    Linear,      // P0 level at channel 0, P1 slope per channel
};

inline constexpr int kMaxComponents = 19;
inline constexpr int kMaxComponentParameters = 3;

// 3, 2, 3, 1 and 2 for the kinds in the order above.
int parameterCount(ComponentKind kind);

// The kind's name in the component list (strings 2080-2084).
StringId listName(ComponentKind kind);

struct FitComponent {
    ComponentKind kind = ComponentKind::Constant;
    std::array<double, kMaxComponentParameters> parameters{}; // the first parameterCount used

    int parameterCount() const { return kv::parameterCount(kind); }
};

// The value of one component c at channel x. Parameters where a kind is undefined (a Gaussian of
// zero width, an exponential of zero length) give infinities or NaN, which the fit turns into a
// failure.
double componentFunction(const FitComponent& c, int x);

// The derivatives by P0 ... P(n-1) at channel x; entries from n on are 0. The МКП shape has no
// closed-form derivatives by P1 and P2: central differences with steps +-0.02 and +-0.01.
std::array<double, kMaxComponentParameters> componentDerivatives(const FitComponent& c, int x);

// I0(z) e^-z by the polynomial approximations 9.8.1 (z <= 3.75) and 9.8.2 (z > 3.75) of
// Abramowitz and Stegun, relative error below 2e-7.
double besselI0Scaled(double z);

// The МКП shape as a compound Poisson distribution: 1 + k amplitudes, k Poisson-distributed with
// mean poissonMean (<m> of the report), each amplitude exponential with mean amplitudeMean (<X>).
// Both NaN when the parameters leave the shape undefined (a zero mean or width).
struct McpShape {
    double poissonMean = 0.0;
    double amplitudeMean = 0.0; // channels
};
McpShape mcpShape(const FitComponent& c);

// The fit region: channels firstChannel to lastChannel of the spectrum, both included, 0-based.
struct FitRegion {
    int firstChannel = 0;
    int lastChannel = 0;

    int size() const { return lastChannel - firstChannel + 1; }
    // A non-empty region inside a spectrum of channelCount channels.
    bool fits(std::size_t channelCount) const {
        return firstChannel >= 0 && firstChannel <= lastChannel &&
               static_cast<std::size_t>(lastChannel) < channelCount;
    }
};

// The components in table order, at most 19 of them with at most 20 parameters together, and
// the selected one. The fit's parameter vector is the concatenation of the components'
// parameters in table order.
class ComponentTable {
public:
    int componentCount() const { return static_cast<int>(m_components.size()); }
    bool empty() const { return m_components.empty(); }
    int totalParameters() const { return m_totalParameters; }

    // The selected component's index; 0 in an empty table.
    int selected() const { return m_selected; }
    // The list's selection; an index outside the table is ignored.
    void setSelected(int index);

    const FitComponent& component(int index) const {
        return m_components[static_cast<std::size_t>(index)];
    }
    // A component's parameters, for the window's edit fields and the fit; kinds never change.
    std::span<double> parameters(int index);

    // Appends a component of that kind with starting values from the counts of current over the
    // region, and selects it. False, with the table unchanged, when there is no current
    // histogram, the region does not lie in it, the table holds 19 components or 19 parameters,
    // or the kind's parameters would take the total beyond 20.
    bool addComponent(ComponentKind kind, const Histogram* current, FitRegion region);

    // Removes one component; the selection stays where it was, held to the table. An index
    // outside the table is ignored.
    void removeComponent(int index);

    // 0 for an index outside the table (the selected index of an empty table).
    double componentValue(int index, int x) const {
        return index >= 0 && index < componentCount() ? componentFunction(component(index), x)
                                                      : 0.0;
    }
    // The sum of all components at x in table order; 0 for an empty table.
    double modelValue(int x) const;

private:
    std::vector<FitComponent> m_components;
    int m_totalParameters = 0;
    int m_selected = 0;
};

} // namespace kv
