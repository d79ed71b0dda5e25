#pragma once

#include "plot/sample_store.h"

#include <vector>

namespace plot {

// The samples of one pixel column: indices [begin, end) of the store and
// the extremes of their finite values.
struct ColumnExtent {
    std::size_t begin = 0;
    std::size_t end = 0;
    ValueRange range;

    bool hasSamples() const { return begin < end; }
};

// Column c of `columns` spanning [t0, t1) covers the times
// [columnBoundary(c), columnBoundary(c + 1)).
double columnBoundary(double t0, double t1, int columns, int column);

// Per-column minimum and maximum of the samples in [t0, t1): what a line
// plot of that many pixel columns needs, at a cost that depends on the
// columns, not on the number of samples.
std::vector<ColumnExtent> reduceColumns(const SampleStore& store, double t0, double t1, int columns);

} // namespace plot
