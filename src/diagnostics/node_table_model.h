#pragma once
// The node list of the Diagnostics window: one row per address, in address
// order, over the network model.

#include "diagnostics/diagnostic_text.h"
#include "diagnostics/network_model.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace diagnostics {

class NodeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Address,
        NameHex,
        Manufacturer,
        Function,
        VehicleSystem,
        EcuInstance,
        IndustryGroup,
        ArbitraryAddress,
        LastHeard,
        Lamps,
        Faults,
        ComponentId,
        SoftwareId,
        EcuId,
        ClearActive,
        ClearPreviouslyActive,
        ColumnCount
    };

    explicit NodeTableModel(const NetworkModel& model, QObject* parent = nullptr);

    // Follows the network model: rows added or removed when its nodes
    // changed (then it returns true), every cell refreshed otherwise.
    bool refresh();
    // The window's own address, marked as such in the list.
    void setOwnAddress(std::optional<uint8_t> address) { ownAddress_ = address; }
    // The address of a row, or -1.
    int addressAt(int row) const;
    int rowOf(uint8_t address) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString cellText(const Node& node, int column) const;

    const NetworkModel& model_;
    std::vector<uint8_t> addresses_;
    std::optional<uint8_t> ownAddress_;
};

} // namespace diagnostics
