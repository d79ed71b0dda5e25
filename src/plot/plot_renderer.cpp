#include "plot/plot_renderer.h"

#include "plot/column_reduction.h"
#include "plot/plot_data.h"
#include "plot/time_view.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

constexpr int topMargin = 22;
constexpr int bottomMargin = 28;
constexpr int rightMargin = 12;
constexpr int minAxisWidth = 36;
const QColor gridColour(0xE4, 0xE4, 0xE4);
const QColor frameColour(0x80, 0x80, 0x80);
const QColor textColour(0x30, 0x30, 0x30);

// The visible range padded a little so lines do not run along the frame; a
// flat signal gets a band around its value.
void padRange(double* min, double* max) {
    if (*max > *min) {
        const double pad = (*max - *min) * 0.05;
        *min -= pad;
        *max += pad;
        return;
    }
    const double band = std::max(std::abs(*min) * 0.05, 0.5);
    *min -= band;
    *max += band;
}

// Where the line between samples a and b crosses time t.
double interpolate(const Sample& a, const Sample& b, double t) {
    if (!(b.timeSeconds > a.timeSeconds))
        return b.value;
    return a.value + (b.value - a.value) * (t - a.timeSeconds) / (b.timeSeconds - a.timeSeconds);
}

} // namespace

double PlotFrame::timeAt(double x) const {
    if (plotRect.width() <= 0)
        return t0;
    return t0 + (x - plotRect.left()) * (t1 - t0) / plotRect.width();
}

double PlotFrame::xOf(double t) const {
    return plotRect.left() + (t - t0) * plotRect.width() / (t1 - t0);
}

double PlotFrame::yOf(const ValueAxis& axis, double v) const {
    // Far-off values are clamped: the painter clips, but needs finite numbers.
    const double y = plotRect.bottom() - (v - axis.min) * plotRect.height() / (axis.max - axis.min);
    return std::clamp(y, double(plotRect.top() - 10000), double(plotRect.bottom() + 10000));
}

PlotFrame PlotRenderer::layout(const QRect& area, const PlotData& data, const TimeView& view, ScaleMode mode,
                               const QFontMetrics& metrics) {
    PlotFrame frame;
    frame.area = area;
    frame.t0 = view.start();
    frame.t1 = view.end();

    // Each signal's visible extremes, gathered onto its axis.
    std::vector<ValueRange> ranges;
    for (const auto& s : data.entries()) {
        int axisIndex = -1;
        if (mode == ScaleMode::PerUnit && !s->unit.isEmpty()) {
            for (std::size_t i = 0; i < frame.axisOfSignal.size(); ++i)
                if (data.entries()[i]->unit == s->unit)
                    axisIndex = frame.axisOfSignal[i];
        }
        if (axisIndex < 0) {
            axisIndex = int(frame.axes.size());
            ValueAxis axis;
            axis.colour = s->colour;
            axis.caption = s->unit.isEmpty() ? s->name.left(6) : s->unit;
            frame.axes.push_back(axis);
            ranges.emplace_back();
        } else {
            frame.axes[std::size_t(axisIndex)].colour = textColour;
        }
        frame.axisOfSignal.push_back(axisIndex);
        const SampleStore& samples = s->samples;
        ranges[std::size_t(axisIndex)].include(
            samples.range(samples.lowerBound(frame.t0), samples.lowerBound(frame.t1)));
    }

    const int plotHeight = std::max(1, area.height() - topMargin - bottomMargin);
    const int maxTicks = std::max(2, plotHeight / 40);
    int left = area.left();
    for (std::size_t i = 0; i < frame.axes.size(); ++i) {
        ValueAxis& axis = frame.axes[i];
        if (!ranges[i].empty) {
            axis.min = ranges[i].min;
            axis.max = ranges[i].max;
        } else {
            axis.min = 0;
            axis.max = 1;
        }
        padRange(&axis.min, &axis.max);
        axis.ticks = niceTicks(axis.min, axis.max, maxTicks);
        int width = std::max(minAxisWidth, metrics.horizontalAdvance(axis.caption) + 8);
        for (double v : axis.ticks.values)
            width = std::max(width, metrics.horizontalAdvance(formatTick(v, axis.ticks.step)) + 12);
        axis.rect = QRect(left, area.top() + topMargin, width, plotHeight);
        left += width;
    }
    if (frame.axes.empty())
        left += minAxisWidth;
    frame.plotRect =
        QRect(left, area.top() + topMargin, std::max(1, area.right() - rightMargin - left), plotHeight);
    return frame;
}

void PlotRenderer::paint(QPainter& painter, const PlotFrame& frame, const PlotData& data,
                         std::optional<double> cursorTime) {
    const QRect& plotRect = frame.plotRect;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(frame.area, Qt::white);
    const QFontMetrics metrics = painter.fontMetrics();

    // Time grid and labels.
    const AxisTicks timeTicks = niceTicks(frame.t0, frame.t1, std::max(2, plotRect.width() / 110));
    for (double t : timeTicks.values) {
        const int x = int(std::lround(frame.xOf(t)));
        painter.setPen(gridColour);
        painter.drawLine(x, plotRect.top(), x, plotRect.bottom());
        painter.setPen(textColour);
        const QString label = formatTick(t, timeTicks.step);
        const int w = metrics.horizontalAdvance(label);
        painter.drawText(x - w / 2, plotRect.bottom() + 4 + metrics.ascent(), label);
    }
    painter.setPen(textColour);
    const QString timeCaption = QStringLiteral("s");
    painter.drawText(plotRect.right() - metrics.horizontalAdvance(timeCaption),
                     plotRect.bottom() + 4 + 2 * metrics.ascent() - 2, timeCaption);

    // Value grid from the first axis, then every axis in its colour.
    if (!frame.axes.empty()) {
        const ValueAxis& first = frame.axes.front();
        painter.setPen(gridColour);
        for (double v : first.ticks.values) {
            const int y = int(std::lround(frame.yOf(first, v)));
            painter.drawLine(plotRect.left(), y, plotRect.right(), y);
        }
    }
    for (const ValueAxis& axis : frame.axes) {
        painter.setPen(QPen(axis.colour, 2));
        const int x = axis.rect.right() - 1;
        painter.drawLine(x, axis.rect.top(), x, axis.rect.bottom());
        painter.setPen(axis.colour);
        for (double v : axis.ticks.values) {
            const int y = int(std::lround(frame.yOf(axis, v)));
            painter.drawLine(x - 4, y, x, y);
            const QString label = formatTick(v, axis.ticks.step);
            painter.drawText(x - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2 - 1, label);
        }
        painter.drawText(axis.rect.left() + 2, axis.rect.top() - 6,
                         metrics.elidedText(axis.caption, Qt::ElideRight, axis.rect.width() - 4));
    }
    painter.setPen(frameColour);
    painter.drawRect(plotRect.adjusted(0, 0, -1, -1));

    if (data.entries().empty()) {
        painter.setPen(textColour);
        painter.drawText(plotRect, Qt::AlignCenter,
                         QStringLiteral("No signals: choose Plot on a signal in the Bus Monitor"));
    }

    // The signals: per pixel column a vertical stroke from the column's
    // minimum to its maximum, joined to the neighbouring columns through
    // their first and last samples. A non-finite value breaks the line.
    painter.setClipRect(plotRect);
    const int columns = plotRect.width();
    std::vector<QPointF> points;
    points.reserve(std::size_t(columns) * 4 + 4);
    for (std::size_t si = 0; si < data.entries().size(); ++si) {
        const PlotSignal& s = *data.entries()[si];
        const SampleStore& samples = s.samples;
        const ValueAxis& axis = frame.axes[std::size_t(frame.axisOfSignal[si])];
        const std::vector<ColumnExtent> extents = reduceColumns(samples, frame.t0, frame.t1, columns);
        const std::size_t firstVisible = samples.lowerBound(frame.t0);
        const std::size_t endVisible = samples.lowerBound(frame.t1);
        const std::size_t visibleCount = endVisible - firstVisible;
        const bool sparse = visibleCount < std::size_t(columns);
        painter.setRenderHint(QPainter::Antialiasing, sparse);
        painter.setPen(QPen(s.colour, sparse ? 1.5 : 1.0));

        auto flushLine = [&] {
            if (points.size() > 1)
                painter.drawPolyline(points.data(), int(points.size()));
            else if (points.size() == 1)
                painter.drawPoint(points.front());
            points.clear();
        };
        auto addPoint = [&](double x, double v) {
            if (!std::isfinite(v)) {
                flushLine();
                return;
            }
            points.emplace_back(x, frame.yOf(axis, v));
        };

        // Lead in from the last sample before the window, cut at its edge.
        if (firstVisible > 0 && firstVisible < samples.size())
            addPoint(plotRect.left(),
                     interpolate(samples.at(firstVisible - 1), samples.at(firstVisible), frame.t0));
        for (int c = 0; c < columns; ++c) {
            const ColumnExtent& column = extents[std::size_t(c)];
            if (!column.hasSamples())
                continue;
            const double x = plotRect.left() + c + 0.5;
            addPoint(x, samples.value(column.begin));
            if (!column.range.empty && column.end - column.begin > 1) {
                addPoint(x, column.range.min);
                addPoint(x, column.range.max);
            }
            addPoint(x, samples.value(column.end - 1));
        }
        if (endVisible > 0 && endVisible < samples.size())
            addPoint(plotRect.right() + 1,
                     interpolate(samples.at(endVisible - 1), samples.at(endVisible), frame.t1));
        flushLine();

        // Few samples in view: mark each one.
        if (visibleCount > 0 && visibleCount * 8 < std::size_t(columns)) {
            painter.setBrush(s.colour);
            for (std::size_t i = firstVisible; i < endVisible; ++i) {
                const double v = samples.value(i);
                if (std::isfinite(v))
                    painter.drawEllipse(QPointF(frame.xOf(samples.time(i)), frame.yOf(axis, v)), 2.5, 2.5);
            }
            painter.setBrush(Qt::NoBrush);
        }
    }

    // The cursor, with a marker where it meets each signal.
    if (cursorTime && *cursorTime >= frame.t0 && *cursorTime <= frame.t1) {
        const double x = frame.xOf(*cursorTime);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(textColour, 1, Qt::DashLine));
        painter.drawLine(QPointF(x, plotRect.top()), QPointF(x, plotRect.bottom()));
        for (std::size_t si = 0; si < data.entries().size(); ++si) {
            const PlotSignal& s = *data.entries()[si];
            double v = 0;
            if (!s.samples.valueAt(*cursorTime, &v) || !std::isfinite(v))
                continue;
            painter.setPen(QPen(s.colour, 2));
            painter.setBrush(Qt::white);
            painter.drawEllipse(QPointF(x, frame.yOf(frame.axes[std::size_t(frame.axisOfSignal[si])], v)), 4,
                                4);
        }
    }
    painter.restore();
}

} // namespace plot
