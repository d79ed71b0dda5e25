#pragma once
// The trouble codes of the node chosen in the Diagnostics window: its active
// codes (latest DM1) first, then its previously active ones (latest DM2).

#include "diagnostics/diagnostic_text.h"
#include "diagnostics/network_model.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace diagnostics {

class FaultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Kind, Spn, Fmi, Occurrences, ConversionMethod, ColumnCount };

    explicit FaultTableModel(const NetworkModel& model, QObject* parent = nullptr);

    // Shows the codes of this node (none: no rows); for the node already
    // shown, the same as refresh().
    void showNode(std::optional<uint8_t> address);
    void setSpnNameLookup(SpnNameLookup lookup) { spnName_ = std::move(lookup); }
    // Takes the node's codes again from the network model.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QString kind;
        decode::Dtc code;
        bool stale;
    };
    std::vector<Row> rowsOf(const Node* node) const;

    const NetworkModel& model_;
    std::optional<uint8_t> address_;
    std::vector<Row> rows_;
    SpnNameLookup spnName_;
};

} // namespace diagnostics
