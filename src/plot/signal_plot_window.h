#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <span>

#include "plot/sample_store.h"

class QAction;
class QComboBox;
class QLabel;
class QTableView;
class QPushButton;

namespace plot {

class PlotCanvas;
class PlotData;
class SignalTableModel;

// The Signal Plot window: up to eight signals drawn over a common time axis,
// each in its own colour and on its own value scale. Callers on the UI
// thread add signals and feed samples in batches; the window stores them
// (bounded per signal, see SampleStore::capacity) and repaints at most once
// per event-loop pass however many batches arrive.
class SignalPlotWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxSignals = 8;

    explicit SignalPlotWindow(QWidget* parent = nullptr);
    ~SignalPlotWindow() override;

    // Adds a signal and returns its id, or the id it already has when a
    // signal of that name is shown; -1 when eight signals are shown. Ids are
    // never reused within one window.
    int addSignal(const QString& name, const QString& unit);
    // Removes the signal and its samples; an unknown id is ignored.
    void removeSignal(int id);
    bool hasSignal(const QString& name) const;
    // The id of the signal of that name, -1 if none.
    int signalId(const QString& name) const;
    int signalCount() const;

    // Samples of one signal in time order. A sample older than the signal's
    // last one, or with a time that is not a finite number, is refused and
    // counted (rejectedSampleCount); a non-finite value is kept and drawn as
    // a gap. Samples for an unknown id are ignored.
    void appendSample(int id, double timeSeconds, double value);
    void appendSamples(int id, std::span<const Sample> samples);
    quint64 rejectedSampleCount() const;

    // Drops every signal's samples, keeping the signals.
    void clearSamples();

    // The view: following live (the newest sample at the right edge) or
    // held still (paused, or after a pan or zoom by the user).
    bool isFollowingLive() const;
    void setPaused(bool paused);
    bool isPaused() const { return !isFollowingLive(); }

    // The cursor's time and the text that reads out every signal's value
    // there (also the plot area's accessible description).
    void setCursorTime(double timeSeconds);
    QString cursorReadout() const;

    // Exports; false (and the reason in errorText) when the file cannot be
    // written. CSV holds every stored sample: one time column and one
    // column per signal, a cell empty where that signal has no sample.
    bool exportPng(const QString& fileName, QString* errorText = nullptr) const;
    bool exportCsv(const QString& fileName, QString* errorText = nullptr) const;

    PlotCanvas* canvas() const { return canvas_; }

signals:
    // The user removed a signal from the plot (the caller stops feeding it).
    void signalRemoved(int id, const QString& name);

private:
    void removeSelectedSignals();
    void chooseAndExportPng();
    void chooseAndExportCsv();
    void viewChanged();
    void signalsChanged();

    std::unique_ptr<PlotData> data_;
    PlotCanvas* canvas_ = nullptr;
    SignalTableModel* tableModel_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* readout_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QComboBox* scaleModeBox_ = nullptr;
};

} // namespace plot
