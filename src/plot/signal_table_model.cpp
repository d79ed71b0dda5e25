#include "plot/signal_table_model.h"

#include "plot/axis_ticks.h"
#include "plot/plot_data.h"
#include "plot/plot_renderer.h"

namespace plot {

SignalTableModel::SignalTableModel(const PlotData& data, QObject* parent)
    : QAbstractTableModel(parent), data_(data) {}

int SignalTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : data_.count();
}

int SignalTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SignalTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= data_.count())
        return {};
    const PlotSignal& s = *data_.entries()[std::size_t(index.row())];
    if (role == Qt::DecorationRole && index.column() == NameColumn)
        return s.colour;
    if (role == Qt::ForegroundRole && index.column() == NameColumn)
        return s.colour;
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case NameColumn:
        return s.name;
    case UnitColumn:
        return s.unit;
    case ScaleColumn:
        return std::size_t(index.row()) < scales_.size() ? scales_[std::size_t(index.row())] : QString();
    case CursorColumn: {
        double v = 0;
        if (!cursorTime_)
            return QString();
        return s.samples.valueAt(*cursorTime_, &v) ? formatValue(v) : QStringLiteral("no data");
    }
    default:
        return {};
    }
}

QVariant SignalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return QStringLiteral("Signal");
    case UnitColumn:
        return QStringLiteral("Unit");
    case ScaleColumn:
        return QStringLiteral("Scale");
    case CursorColumn:
        return QStringLiteral("At cursor");
    default:
        return {};
    }
}

void SignalTableModel::reset() {
    beginResetModel();
    scales_.clear();
    endResetModel();
}

void SignalTableModel::refresh(const PlotFrame& frame, std::optional<double> cursorTime) {
    std::vector<QString> scales;
    for (std::size_t i = 0; i < frame.axisOfSignal.size(); ++i) {
        const ValueAxis& axis = frame.axes[std::size_t(frame.axisOfSignal[i])];
        scales.push_back(QStringLiteral("%1 to %2")
                             .arg(QString::number(axis.min, 'g', 4), QString::number(axis.max, 'g', 4)));
    }
    const bool changed = scales != scales_ || cursorTime != cursorTime_;
    scales_ = std::move(scales);
    cursorTime_ = cursorTime;
    if (changed && rowCount() > 0)
        emit dataChanged(index(0, ScaleColumn), index(rowCount() - 1, CursorColumn));
}

int SignalTableModel::idAt(int row) const {
    return row >= 0 && row < data_.count() ? data_.entries()[std::size_t(row)]->id : -1;
}

} // namespace plot
