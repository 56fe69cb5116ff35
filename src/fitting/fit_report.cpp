#include "fitting/fit_report.h"

#include "model/strings.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>

namespace kv {

namespace {

constexpr double kRelativeFwhmPercent = 235.5; // 100 x 2.355
constexpr double kFwhmPerSigma = 2.35;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Appends format with its conversions (%d, %f with flags, width and precision) replaced by the
// values in order. The table's strings use "%" also as a literal sign ("%0.2f% \r\n"), which
// printf would take for a conversion: a "%" that does not begin a complete conversion is copied
// as it is. Values that are not finite show as "?".
void appendFormatted(std::string& out, std::string_view format,
                     std::initializer_list<double> values) {
    auto value = values.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const std::size_t end = format[i] == '%' && value != values.end()
                                    ? format.find_first_not_of("-+ #0123456789.", i + 1)
                                    : std::string_view::npos;
        const char conversion = end == std::string_view::npos ? '\0' : format[end];
        if (conversion != 'd' && conversion != 'f') {
            out += format[i];
            continue;
        }
        const std::string conversionText(format.substr(i, end - i + 1));
        const double v = *value++;
        char number[512];
        if (!std::isfinite(v)) {
            out += '?';
        } else if (conversion == 'd') {
            std::snprintf(number, sizeof number, conversionText.c_str(), static_cast<int>(v));
            out += number;
        } else {
            std::snprintf(number, sizeof number, conversionText.c_str(), v);
            out += number;
        }
        i = end;
    }
}

} // namespace

std::string fitReport(const ComponentTable& table, std::span<const double> errors,
                      double exposureSeconds, const EnergyCalibration& calibration,
                      std::int32_t channelCount) {
    std::string out(text(StringId::FitFinished));
    std::size_t vector = 0;
    for (int k = 0; k < table.componentCount(); ++k) {
        const FitComponent& c = table.component(k);
        const auto& p = c.parameters;
        const double number = k + 1;
        switch (c.kind) {
        case ComponentKind::Gaussian:
            appendFormatted(out, text(StringId::FitGaussianLine),
                            {number, p[1] != 0.0 ? kRelativeFwhmPercent * p[2] / p[1] : kNaN});
            break;
        case ComponentKind::Exponential:
            appendFormatted(out, text(StringId::FitExponentialLine), {number});
            break;
        case ComponentKind::Mcp: {
            const McpShape shape = mcpShape(c);
            appendFormatted(out, text(StringId::FitMcpLine),
                            {number, shape.poissonMean, shape.amplitudeMean});
            break;
        }
        case ComponentKind::Constant:
            appendFormatted(out, text(StringId::FitConstantLine), {number});
            break;
        case ComponentKind::Linear:
            appendFormatted(out, text(StringId::FitLinearLine), {number});
            break;
        }
        const bool shaped = c.kind == ComponentKind::Gaussian ||
                            c.kind == ComponentKind::Exponential || c.kind == ComponentKind::Mcp;
        for (int j = 0; j < c.parameterCount(); ++j, ++vector) {
            const double sigma = vector < errors.size() ? errors[vector] : 0.0;
            const double pj = p[static_cast<std::size_t>(j)];
            if (!shaped) {
                appendFormatted(out, text(StringId::FitParameterLine), {j + 1.0, pj, sigma});
            } else if (j == 0) {
                appendFormatted(out, text(StringId::FitAreaLine),
                                {1, pj, sigma, pj / exposureSeconds});
            } else if (j == 1) {
                appendFormatted(
                    out, text(StringId::FitCentreLine),
                    {2, pj + 1.0, sigma, calibration.channelToEnergy(pj, channelCount)});
            } else {
                // The width in keV from the energy width of one channel at the position.
                const double keVPerChannel = calibration.channelToEnergy(p[1] + 0.5, channelCount) -
                                             calibration.channelToEnergy(p[1] - 0.5, channelCount);
                appendFormatted(out, text(StringId::FitWidthLine),
                                {3, pj, sigma, kFwhmPerSigma * pj * keVPerChannel});
            }
        }
        out += "\r\n";
    }
    return out;
}

} // namespace kv
