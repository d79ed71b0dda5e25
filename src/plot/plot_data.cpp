#include "plot/plot_data.h"

#include "plot/axis_ticks.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace plot {

QString PlotSignal::title() const {
    return unit.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, unit);
}

QColor PlotData::colourForSlot(int slot) {
    // Eight hues told apart by most colour-blind readers, all dark enough for
    // a white background.
    static const std::array<QRgb, maxSignals> colours = {0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7,
                                                         0x8C6D00, 0x56B4E9, 0x222222, 0xE69F00};
    return QColor::fromRgb(colours[std::size_t(slot) % colours.size()]);
}

int PlotData::add(const QString& name, const QString& unit) {
    if (int existing = idOf(name); existing >= 0)
        return existing;
    if (count() >= maxSignals)
        return -1;
    int slot = 0;
    for (; slot < maxSignals; ++slot) {
        const QColor colour = colourForSlot(slot);
        if (std::none_of(entries_.begin(), entries_.end(),
                         [&](const auto& s) { return s->colour == colour; }))
            break;
    }
    auto entry = std::make_unique<PlotSignal>(capacity_);
    entry->id = nextId_++;
    entry->name = name;
    entry->unit = unit;
    entry->colour = colourForSlot(slot);
    entries_.push_back(std::move(entry));
    return entries_.back()->id;
}

bool PlotData::remove(int id) {
    auto it = std::find_if(entries_.begin(), entries_.end(), [id](const auto& s) { return s->id == id; });
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

PlotSignal* PlotData::find(int id) {
    for (auto& s : entries_)
        if (s->id == id)
            return s.get();
    return nullptr;
}

const PlotSignal* PlotData::find(int id) const {
    return const_cast<PlotData*>(this)->find(id);
}

int PlotData::idOf(const QString& name) const {
    for (const auto& s : entries_)
        if (s->name == name)
            return s->id;
    return -1;
}

bool PlotData::append(int id, double t, double v) {
    PlotSignal* s = find(id);
    if (!s)
        return false;
    if (!s->samples.append(t, v)) {
        ++rejected_;
        return false;
    }
    return true;
}

void PlotData::clearSamples() {
    for (auto& s : entries_)
        s->samples.clear();
}

bool PlotData::latestTime(double* t) const {
    bool any = false;
    for (const auto& s : entries_) {
        if (s->samples.empty())
            continue;
        const double last = s->samples.time(s->samples.size() - 1);
        if (!any || last > *t)
            *t = last;
        any = true;
    }
    return any;
}

QString PlotData::readoutAt(double t) const {
    QStringList parts;
    for (const auto& s : entries_) {
        double v = 0;
        QString text = s->name + QLatin1Char(' ');
        if (!s->samples.valueAt(t, &v))
            text += QStringLiteral("no data");
        else if (s->unit.isEmpty())
            text += formatValue(v);
        else
            text += formatValue(v) + QLatin1Char(' ') + s->unit;
        parts << text;
    }
    return QStringLiteral("At %1 s: %2").arg(QString::number(t, 'f', 3), parts.join(QStringLiteral("; ")));
}

} // namespace plot
