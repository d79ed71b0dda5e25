#pragma once

#include "plot/sample_store.h"

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

namespace plot {

struct PlotSignal {
    int id = -1;
    QString name;
    QString unit;
    QColor colour;
    SampleStore samples;

    PlotSignal(std::size_t capacity) : samples(capacity) {}
    // "Name (unit)", or the name alone.
    QString title() const;
};

// The signals of one plot, in the order they were added, each with a colour
// no other shown signal has.
class PlotData {
public:
    static constexpr int maxSignals = 8;

    explicit PlotData(std::size_t capacityPerSignal = SampleStore::defaultCapacity)
        : capacity_(capacityPerSignal) {}

    // The new signal's id, the existing id for a name already shown, -1
    // when maxSignals are shown.
    int add(const QString& name, const QString& unit);
    bool remove(int id);
    PlotSignal* find(int id);
    const PlotSignal* find(int id) const;
    int idOf(const QString& name) const;
    const std::vector<std::unique_ptr<PlotSignal>>& entries() const { return entries_; }
    int count() const { return int(entries_.size()); }

    // False when the sample was refused (counted in rejectedCount).
    bool append(int id, double t, double v);
    std::uint64_t rejectedCount() const { return rejected_; }
    void countRejected(std::uint64_t n) { rejected_ += n; }
    void clearSamples();

    // The newest sample's time over all signals; false when there is none.
    bool latestTime(double* t) const;

    // What the cursor at time t reads: every signal's value there (the last
    // sample at or before t) with its unit, as one sentence.
    QString readoutAt(double t) const;

    static QColor colourForSlot(int slot);

private:
    std::vector<std::unique_ptr<PlotSignal>> entries_;
    std::size_t capacity_;
    std::uint64_t rejected_ = 0;
    int nextId_ = 1;
};

} // namespace plot
