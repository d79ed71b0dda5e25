#pragma once

namespace plot {

// The visible time window. Following live, its right edge is the newest
// sample's time; a pan or zoom by the user, or a pause, holds it still
// until followLive().
class TimeView {
public:
    static constexpr double defaultSpan = 30.0;
    static constexpr double minSpan = 1e-3;
    static constexpr double maxSpan = 1e7;

    double start() const { return end() - span_; }
    double end() const { return following_ ? liveEnd_ : end_; }
    double span() const { return span_; }
    bool isFollowing() const { return following_; }

    // The newest sample's time, where a following view ends.
    void setLiveEnd(double t) { liveEnd_ = t; }
    double liveEnd() const { return liveEnd_; }

    void followLive() { following_ = true; }
    void hold();
    // Moves the window by that many seconds (later for positive values).
    void pan(double seconds);
    // Scales the span by factor (below 1 zooms in) keeping anchorTime where
    // it is on screen; a following view keeps following at its right edge.
    void zoom(double factor, double anchorTime);
    void zoomAroundCentre(double factor) { zoom(factor, start() + span_ / 2); }

private:
    double span_ = defaultSpan;
    double end_ = 0;
    double liveEnd_ = 0;
    bool following_ = true;
};

} // namespace plot
