#include "monitor/plot_feed.h"

#include "monitor/message_model.h"
#include "plot/signal_plot_window.h"

#include <algorithm>

namespace monitor {

namespace {
QString plotName(const MessageModel& model, int row, const QString& signalName) {
    const MessageSnapshot& snapshot = model.snapshotAt(row);
    if (snapshot.key.protocol == BusProtocol::J1708)
        return QStringLiteral("%1 (MID %2)").arg(signalName).arg(snapshot.key.id);
    return QStringLiteral("%1 (PGN %2 from 0x%3)")
        .arg(signalName)
        .arg(snapshot.key.id)
        .arg(snapshot.key.source, 2, 16, QLatin1Char('0'));
}
} // namespace

PlotFeed::PlotFeed() = default;
PlotFeed::~PlotFeed() = default;

bool PlotFeed::plot(const MessageModel& model, int messageRow, const QString& signalName, const QString& unit,
                    QString* errorText) {
    if (!window_) {
        window_ = std::make_unique<plot::SignalPlotWindow>();
        window_->setWindowTitle(QStringLiteral("Signal Plot"));
        QObject::connect(window_.get(), &plot::SignalPlotWindow::signalRemoved,
                         [this](int id, const QString&) {
                             std::erase_if(plotted_, [id](const Plotted& p) { return p.id == id; });
                         });
    }
    const int id = window_->addSignal(plotName(model, messageRow, signalName), unit);
    if (id < 0) {
        if (errorText)
            *errorText = QStringLiteral("The plot shows at most %1 signals; remove one there first.")
                             .arg(plot::SignalPlotWindow::maxSignals);
        return false;
    }
    if (std::none_of(plotted_.begin(), plotted_.end(), [id](const Plotted& p) { return p.id == id; }))
        plotted_.push_back({model.snapshotAt(messageRow).key, signalName, id, 0});
    feed(model);
    window_->show();
    window_->raise();
    return true;
}

void PlotFeed::feed(const MessageModel& model) {
    for (Plotted& plotted : plotted_) {
        const int row = model.messageRowOf(plotted.key);
        if (row < 0)
            continue;
        const MessageSnapshot& snapshot = model.snapshotAt(row);
        if (plotted.lastFedUs != 0 && snapshot.lastUs <= plotted.lastFedUs)
            continue;
        for (const SignalRow& signal : model.signalsAt(row)) {
            if (signal.name != plotted.signalName || !signal.plottable)
                continue;
            window_->appendSample(plotted.id, double(snapshot.lastUs) / 1e6, signal.number);
            plotted.lastFedUs = snapshot.lastUs;
            break;
        }
    }
}

} // namespace monitor
