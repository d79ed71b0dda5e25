#include "monitor/plot_feed.h"

#include "monitor/message_model.h"

#include <QWidget>

#ifdef TARVIK_HAVE_PLOT
#include "plot/signal_plot_window.h"
#endif

namespace monitor {

#ifdef TARVIK_HAVE_PLOT
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
#endif

struct PlotFeed::Impl {
    QWidget* parentWindow = nullptr;
#ifdef TARVIK_HAVE_PLOT
    std::unique_ptr<plot::SignalPlotWindow> window;
#endif
};

PlotFeed::PlotFeed(QWidget* parentWindow) : impl_(std::make_unique<Impl>()) {
    impl_->parentWindow = parentWindow;
}

PlotFeed::~PlotFeed() = default;

QWidget* PlotFeed::window() const {
#ifdef TARVIK_HAVE_PLOT
    return impl_->window.get();
#else
    return nullptr;
#endif
}

bool PlotFeed::plot(const MessageModel& model, int messageRow, const QString& signalName, const QString& unit,
                    QString* errorText) {
#ifdef TARVIK_HAVE_PLOT
    if (!impl_->window) {
        impl_->window = std::make_unique<plot::SignalPlotWindow>();
        impl_->window->setWindowTitle(QStringLiteral("Signal Plot"));
        QObject::connect(impl_->window.get(), &plot::SignalPlotWindow::signalRemoved,
                         [this](int id, const QString&) {
                             std::erase_if(plotted_, [id](const Plotted& p) { return p.id == id; });
                         });
    }
    const int id = impl_->window->addSignal(plotName(model, messageRow, signalName), unit);
    if (id < 0) {
        if (errorText)
            *errorText = QStringLiteral("The plot shows at most %1 signals; remove one there first.")
                             .arg(plot::SignalPlotWindow::maxSignals);
        return false;
    }
    const MessageKey key = model.snapshotAt(messageRow).key;
    const bool known =
        std::any_of(plotted_.begin(), plotted_.end(), [id](const Plotted& p) { return p.id == id; });
    if (!known)
        plotted_.push_back({key, signalName, id, 0});
    feed(model);
    impl_->window->show();
    impl_->window->raise();
    return true;
#else
    (void)model;
    (void)messageRow;
    (void)signalName;
    (void)unit;
    if (errorText)
        *errorText = QStringLiteral("This build has no Signal Plot window.");
    return false;
#endif
}

void PlotFeed::feed(const MessageModel& model) {
#ifdef TARVIK_HAVE_PLOT
    for (Plotted& plotted : plotted_) {
        const int row = model.messageRowOf(plotted.key);
        if (row < 0)
            continue;
        const MessageSnapshot& snapshot = model.snapshotAt(row);
        if (snapshot.lastUs <= plotted.lastFedUs && plotted.lastFedUs != 0)
            continue;
        for (const SignalRow& signal : model.signalsAt(row)) {
            if (signal.name != plotted.signalName || !signal.plottable)
                continue;
            impl_->window->appendSample(plotted.id, double(snapshot.lastUs) / 1e6, signal.number);
            plotted.lastFedUs = snapshot.lastUs;
            break;
        }
    }
#else
    (void)model;
#endif
}

} // namespace monitor
