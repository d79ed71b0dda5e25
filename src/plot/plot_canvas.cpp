#include "plot/plot_canvas.h"

#include "plot/plot_data.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace plot {

namespace {
constexpr double panStep = 0.1;     // of the span, per arrow key
constexpr double cursorStep = 0.01; // of the span, per Shift+arrow
constexpr double zoomStep = 2.0;    // per +/- key
} // namespace

PlotCanvas::PlotCanvas(const PlotData& data, QWidget* parent) : QWidget(parent), data_(data) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Plot"));
    setToolTip(QStringLiteral("Drag or Left/Right to pan, wheel or +/- to zoom, Home to follow live, "
                              "Shift+Left/Right to move the cursor"));
}

void PlotCanvas::setScaleMode(ScaleMode mode) {
    scaleMode_ = mode;
    changed();
}

void PlotCanvas::setCursorTime(double t) {
    if (!std::isfinite(t))
        return;
    cursor_ = t;
    changed();
}

void PlotCanvas::samplesAdded() {
    if (view_.isFollowing())
        changed();
}

void PlotCanvas::updateLiveEnd() {
    double latest = 0;
    if (data_.latestTime(&latest))
        view_.setLiveEnd(latest);
}

void PlotCanvas::followLive() {
    view_.followLive();
    changed();
}

void PlotCanvas::hold() {
    updateLiveEnd();
    view_.hold();
    changed();
}

void PlotCanvas::zoomBy(double factor) {
    updateLiveEnd();
    view_.zoomAroundCentre(factor);
    changed();
}

void PlotCanvas::changed() {
    update();
    emit viewChanged();
}

PlotFrame PlotCanvas::frame() const {
    return PlotRenderer::layout(rect(), data_, view_, scaleMode_, fontMetrics());
}

QImage PlotCanvas::renderImage(const QSize& size) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setFont(font());
    const PlotFrame f = PlotRenderer::layout(image.rect(), data_, view_, scaleMode_, painter.fontMetrics());
    PlotRenderer::paint(painter, f, data_, cursor_);
    return image;
}

void PlotCanvas::paintEvent(QPaintEvent*) {
    updateLiveEnd();
    QPainter painter(this);
    PlotRenderer::paint(painter, frame(), data_, cursor_);
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void PlotCanvas::keyPressEvent(QKeyEvent* event) {
    updateLiveEnd();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const double direction = event->key() == Qt::Key_Left ? -1 : 1;
        if (shift) {
            const double from = cursor_.value_or(view_.start() + view_.span() / 2);
            setCursorTime(from + direction * cursorStep * view_.span());
        } else {
            view_.pan(direction * panStep * view_.span());
            changed();
        }
        return;
    }
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1 / zoomStep);
        return;
    case Qt::Key_Minus:
        zoomBy(zoomStep);
        return;
    case Qt::Key_Home:
        followLive();
        return;
    case Qt::Key_Space:
        if (view_.isFollowing())
            hold();
        else
            followLive();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragLastX_ = event->position().x();
        setCursor(Qt::ClosedHandCursor);
    }
    setFocus(Qt::MouseFocusReason);
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
    const PlotFrame f = frame();
    const double x = event->position().x();
    if (dragLastX_) {
        updateLiveEnd();
        const double dx = x - *dragLastX_;
        dragLastX_ = x;
        if (f.plotRect.width() > 0 && dx != 0) {
            view_.pan(-dx * view_.span() / f.plotRect.width());
            changed();
        }
        return;
    }
    if (f.plotRect.contains(event->position().toPoint()))
        setCursorTime(f.timeAt(x));
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragLastX_.reset();
        unsetCursor();
    }
}

void PlotCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    updateLiveEnd();
    view_.zoom(std::pow(0.8, steps), frame().timeAt(event->position().x()));
    changed();
    event->accept();
}

} // namespace plot
