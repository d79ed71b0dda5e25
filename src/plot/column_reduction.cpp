#include "plot/column_reduction.h"

namespace plot {

double columnBoundary(double t0, double t1, int columns, int column) {
    if (column >= columns)
        return t1;
    return t0 + (t1 - t0) * column / columns;
}

std::vector<ColumnExtent> reduceColumns(const SampleStore& store, double t0, double t1, int columns) {
    std::vector<ColumnExtent> result(std::size_t(std::max(columns, 0)));
    if (columns <= 0 || store.empty() || !(t1 > t0))
        return result;
    std::size_t begin = store.lowerBound(t0);
    for (int c = 0; c < columns; ++c) {
        const std::size_t end = store.lowerBound(columnBoundary(t0, t1, columns, c + 1));
        ColumnExtent& column = result[std::size_t(c)];
        column.begin = begin;
        column.end = end;
        if (begin < end)
            column.range = store.range(begin, end);
        begin = end;
    }
    return result;
}

} // namespace plot
