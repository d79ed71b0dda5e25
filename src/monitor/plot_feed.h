#pragma once
// The signals the user chose to plot, fed to the Signal Plot window from the
// table's refreshes: one sample per new message of the signal's row.

#include "monitor/bus_frame.h"

#include <QString>

#include <memory>
#include <vector>

class QWidget;

namespace plot {
class SignalPlotWindow;
}

namespace monitor {

class MessageModel;

class PlotFeed {
public:
    PlotFeed();
    ~PlotFeed();

    // Adds a signal of a message row and shows the plot window. False (with
    // the reason in errorText) when it cannot be plotted.
    bool plot(const MessageModel& model, int messageRow, const QString& signalName, const QString& unit,
              QString* errorText);
    // Appends the newest values of the plotted signals.
    void feed(const MessageModel& model);
    int plottedCount() const { return int(plotted_.size()); }
    // Null until the first signal is plotted.
    plot::SignalPlotWindow* window() const { return window_.get(); }

private:
    struct Plotted {
        MessageKey key;
        QString signalName;
        int id = -1;
        int64_t lastFedUs = 0;
    };
    std::unique_ptr<plot::SignalPlotWindow> window_;
    std::vector<Plotted> plotted_;
};

} // namespace monitor
