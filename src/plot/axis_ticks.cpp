#include "plot/axis_ticks.h"

#include <algorithm>
#include <cmath>

namespace plot {

AxisTicks niceTicks(double min, double max, int maxTicks) {
    AxisTicks ticks;
    if (!std::isfinite(min) || !std::isfinite(max) || !(max > min) || maxTicks < 1)
        return ticks;
    const double rough = (max - min) / maxTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude * 10;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (magnitude * factor >= rough * (1 - 1e-9)) {
            step = magnitude * factor;
            break;
        }
    }
    if (!(step > 0) || !std::isfinite(step))
        return ticks;
    ticks.step = step;
    const double first = std::ceil(min / step - 1e-9);
    const double last = std::floor(max / step + 1e-9);
    for (double k = first; k <= last && ticks.values.size() <= std::size_t(maxTicks); k += 1)
        ticks.values.push_back(k * step);
    return ticks;
}

QString formatTick(double value, double step) {
    int decimals = 0;
    if (step > 0 && step < 1)
        decimals = std::min(15, int(std::ceil(-std::log10(step) - 1e-9)));
    // Values within a hair of zero come from k * step rounding.
    if (std::abs(value) < step * 1e-6)
        value = 0;
    if (std::abs(value) >= 1e9 || (std::abs(value) < 1e-4 && value != 0))
        return QString::number(value, 'g', 4);
    return QString::number(value, 'f', decimals);
}

QString formatValue(double value) {
    if (std::isnan(value))
        return QStringLiteral("n/a");
    return QString::number(value, 'g', 7);
}

} // namespace plot
