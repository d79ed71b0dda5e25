#pragma once

#include "plot/plot_renderer.h"
#include "plot/time_view.h"

#include <QWidget>

#include <optional>

namespace plot {

class PlotData;

// The drawing area of the Signal Plot window. Mouse: drag pans, the wheel
// zooms around the pointer, moving the pointer moves the cursor. Keys:
// Left/Right pan, +/- zoom, Home follows live again, Shift+Left/Right move
// the cursor, Space pauses or resumes.
class PlotCanvas : public QWidget {
    Q_OBJECT
public:
    explicit PlotCanvas(const PlotData& data, QWidget* parent = nullptr);

    TimeView& view() { return view_; }
    const TimeView& view() const { return view_; }
    ScaleMode scaleMode() const { return scaleMode_; }
    void setScaleMode(ScaleMode mode);

    std::optional<double> cursorTime() const { return cursor_; }
    void setCursorTime(double t);

    // Called when samples arrived: repaints if the view follows them.
    void samplesAdded();
    // Takes the newest sample's time as the live edge (before any drawing).
    void updateLiveEnd();
    void followLive();
    void hold();
    void zoomBy(double factor);

    // The frame of the last drawing (or of one at the current size).
    PlotFrame frame() const;
    QImage renderImage(const QSize& size) const;

    QSize sizeHint() const override { return {900, 480}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

signals:
    // The view or the cursor moved, or the scales may have changed.
    void viewChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;

private:
    void changed();

    const PlotData& data_;
    TimeView view_;
    ScaleMode scaleMode_ = ScaleMode::PerSignal;
    std::optional<double> cursor_;
    std::optional<double> dragLastX_;
};

} // namespace plot
