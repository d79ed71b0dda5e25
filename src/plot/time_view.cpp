#include "plot/time_view.h"

#include <algorithm>
#include <cmath>

namespace plot {

void TimeView::hold() {
    if (following_)
        end_ = liveEnd_;
    following_ = false;
}

void TimeView::pan(double seconds) {
    if (!std::isfinite(seconds))
        return;
    hold();
    end_ += seconds;
}

void TimeView::zoom(double factor, double anchorTime) {
    if (!(factor > 0) || !std::isfinite(factor) || !std::isfinite(anchorTime))
        return;
    const double newSpan = std::clamp(span_ * factor, minSpan, maxSpan);
    if (!following_) {
        // The anchor keeps its fraction of the window.
        const double fraction = std::clamp((anchorTime - start()) / span_, 0.0, 1.0);
        const double newStart = anchorTime - fraction * newSpan;
        end_ = newStart + newSpan;
    }
    span_ = newSpan;
}

} // namespace plot
