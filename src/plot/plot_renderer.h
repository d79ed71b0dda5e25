#pragma once

#include "plot/axis_ticks.h"
#include "plot/sample_store.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

namespace plot {

class PlotData;
class TimeView;

// Auto-scaling of the value axes: every signal on its own axis, or one
// axis per unit shared by the signals that have it.
enum class ScaleMode { PerSignal, PerUnit };

struct ValueAxis {
    double min = 0;
    double max = 1;
    QColor colour;
    QString caption;
    AxisTicks ticks;
    QRect rect;
};

// Where everything of one drawing goes: the plot area, the time window it
// shows, the value axes and each signal's axis (in PlotData's order).
struct PlotFrame {
    QRect area;
    QRect plotRect;
    double t0 = 0;
    double t1 = 1;
    std::vector<ValueAxis> axes;
    std::vector<int> axisOfSignal;

    double timeAt(double x) const;
    double xOf(double t) const;
    double yOf(const ValueAxis& axis, double v) const;
};

// Draws a plot with QPainter: value axes on the left in the signals'
// colours, the time axis below, and each signal as a line reduced to the
// minimum and maximum of every pixel column.
class PlotRenderer {
public:
    static PlotFrame layout(const QRect& area, const PlotData& data, const TimeView& view, ScaleMode mode,
                            const QFontMetrics& metrics);
    static void paint(QPainter& painter, const PlotFrame& frame, const PlotData& data,
                      std::optional<double> cursorTime);
};

} // namespace plot
