#pragma once

#include <QString>

#include <vector>

namespace plot {

// Tick marks at 1, 2 or 5 times a power of ten, at most maxTicks of them
// inside [min, max].
struct AxisTicks {
    double step = 0;
    std::vector<double> values;
};

AxisTicks niceTicks(double min, double max, int maxTicks);

// A tick value written with just the decimals its step needs ("0.25",
// "1500", "-0.1"); no "-0".
QString formatTick(double value, double step);

// A short text for a value read at the cursor or shown in a scale.
QString formatValue(double value);

} // namespace plot
