#include "diagnostics/node_table_model.h"

#include <QBrush>
#include <QColor>

namespace diagnostics {

NodeTableModel::NodeTableModel(const NetworkModel& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

bool NodeTableModel::refresh() {
    std::vector<uint8_t> addresses;
    for (const auto& [address, node] : model_.nodes())
        addresses.push_back(address);
    if (addresses != addresses_) {
        beginResetModel();
        addresses_ = std::move(addresses);
        endResetModel();
        return true;
    }
    if (!addresses_.empty())
        emit dataChanged(index(0, 0), index(int(addresses_.size()) - 1, ColumnCount - 1));
    return false;
}

int NodeTableModel::addressAt(int row) const {
    return row >= 0 && row < int(addresses_.size()) ? addresses_[std::size_t(row)] : -1;
}

int NodeTableModel::rowOf(uint8_t address) const {
    for (std::size_t row = 0; row < addresses_.size(); ++row)
        if (addresses_[row] == address)
            return int(row);
    return -1;
}

int NodeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(addresses_.size());
}

int NodeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString NodeTableModel::cellText(const Node& node, int column) const {
    const std::optional<decode::Name> name =
        node.name ? std::optional(decode::splitName(*node.name)) : std::nullopt;
    auto nameField = [&](auto field) { return name ? QString::number(field(*name)) : QString(); };
    switch (column) {
    case Address:
        return QString::fromStdString(hexByte(node.address)) +
               (ownAddress_ == node.address ? QStringLiteral(" (this window)") : QString());
    case NameHex:
        return node.name ? QString::fromStdString(nameHex(*node.name)) : QStringLiteral("not claimed");
    case Manufacturer:
        return nameField([](const decode::Name& n) { return n.manufacturerCode; });
    case Function:
        return nameField([](const decode::Name& n) { return n.function; });
    case VehicleSystem:
        return nameField([](const decode::Name& n) { return n.vehicleSystem; });
    case EcuInstance:
        return nameField([](const decode::Name& n) { return n.ecuInstance; });
    case IndustryGroup:
        return nameField([](const decode::Name& n) { return n.industryGroup; });
    case ArbitraryAddress:
        return name ? (name->arbitraryAddressCapable ? QStringLiteral("yes") : QStringLiteral("no"))
                    : QString();
    case LastHeard:
        return QString::fromStdString(ageText(node.lastHeard, model_.now()));
    case Lamps:
        return node.active ? QString::fromStdString(lampSummary(node.active->lamps)) : QString();
    case Faults:
        return QString::fromStdString(faultSummary(node));
    case ComponentId:
        return QString::fromStdString(idText(node.componentId));
    case SoftwareId:
        return QString::fromStdString(idText(node.softwareId));
    case EcuId:
        return QString::fromStdString(idText(node.ecuId));
    case ClearActive:
        return QString::fromStdString(clearOutcomeText(node.clearActive.outcome));
    case ClearPreviouslyActive:
        return QString::fromStdString(clearOutcomeText(node.clearPreviouslyActive.outcome));
    default:
        return {};
    }
}

QVariant NodeTableModel::data(const QModelIndex& index, int role) const {
    const int address = addressAt(index.row());
    const Node* node = address >= 0 ? model_.node(uint8_t(address)) : nullptr;
    if (!node)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
        if (role == Qt::ToolTipRole && index.column() == NameHex && node->name)
            return QString::fromStdString(nameDescription(*node->name));
        return cellText(*node, index.column());
    }
    if (role == Qt::ForegroundRole && index.column() == Faults && node->activeStale)
        return QBrush(QColor(0x8a, 0x8a, 0x8a));
    return {};
}

QVariant NodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const captions[ColumnCount] = {"Address",
                                                      "NAME",
                                                      "Manufacturer",
                                                      "Function",
                                                      "Vehicle system",
                                                      "ECU instance",
                                                      "Industry group",
                                                      "Arbitrary address",
                                                      "Last heard",
                                                      "Lamps",
                                                      "Faults",
                                                      "Component ID",
                                                      "Software ID",
                                                      "ECU identification",
                                                      "Clear active (DM11)",
                                                      "Clear previously active (DM3)"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(captions[section]) : QVariant();
}

} // namespace diagnostics
