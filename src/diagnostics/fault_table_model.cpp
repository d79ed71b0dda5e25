#include "diagnostics/fault_table_model.h"

#include <QBrush>
#include <QColor>

namespace diagnostics {

FaultTableModel::FaultTableModel(const NetworkModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

void FaultTableModel::showNode(std::optional<uint8_t> address) {
    if (address == address_) {
        // The same node again: keep the view's selection and scrolling.
        refresh();
        return;
    }
    address_ = address;
    beginResetModel();
    rows_ = rowsOf(address_ ? model_.node(*address_) : nullptr);
    endResetModel();
}

std::vector<FaultTableModel::Row> FaultTableModel::rowsOf(const Node* node) const {
    std::vector<Row> rows;
    if (!node)
        return rows;
    if (node->active)
        for (const decode::Dtc& code : node->active->codes)
            rows.push_back({node->activeStale ? QStringLiteral("Active (stale)") : QStringLiteral("Active"),
                            code, node->activeStale});
    if (node->previouslyActive)
        for (const decode::Dtc& code : node->previouslyActive->codes)
            rows.push_back({QStringLiteral("Previously active"), code, false});
    return rows;
}

void FaultTableModel::refresh() {
    std::vector<Row> rows = rowsOf(address_ ? model_.node(*address_) : nullptr);
    if (rows.size() != rows_.size()) {
        beginResetModel();
        rows_ = std::move(rows);
        endResetModel();
        return;
    }
    rows_ = std::move(rows);
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size()) - 1, ColumnCount - 1));
}

int FaultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int FaultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FaultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[std::size_t(index.row())];
    if (role == Qt::ForegroundRole && row.stale)
        return QBrush(QColor(0x8a, 0x8a, 0x8a));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    switch (index.column()) {
    case Kind:
        return row.kind;
    case Spn:
        return QString::fromStdString(spnText(row.code.spn, spnName_));
    case Fmi:
        return QString::fromStdString(fmiWords(row.code.fmi));
    case Occurrences:
        return QString::number(row.code.occurrenceCount);
    case ConversionMethod:
        return QString::number(row.code.conversionMethod ? 1 : 0);
    default:
        return {};
    }
}

QVariant FaultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const captions[ColumnCount] = {"Code", "SPN", "FMI", "Occurrences",
                                                      "Conversion method"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(captions[section]) : QVariant();
}

} // namespace diagnostics
