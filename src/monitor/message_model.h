#pragma once
// The monitor's table as a tree: a row per message, expanding into its
// decoded signals. Fed by the window with the rows that changed since the
// last refresh; it never reads the store itself.

#include "monitor/message_decoder.h"
#include "monitor/message_store.h"

#include <QAbstractItemModel>

#include <optional>
#include <unordered_map>
#include <vector>

namespace monitor {

class MessageModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column {
        Protocol,
        Identifier,
        Name,
        Source,
        Destination,
        Count,
        Period,
        Jitter,
        Age,
        Data,
        ColumnCount
    };
    enum Role {
        SortRole = Qt::UserRole + 1, // numbers for numeric columns
        SearchTextRole,              // what the search box matches, lower case
        ChangedBytesRole,            // QList<int>: data bytes changed in the last second
        SignalNumberRole,            // signal rows: the value as a number (invalid when not plottable)
        SignalUnitRole,
        SignalRawRole,
    };

    explicit MessageModel(const MessageDecoder& decoder, QObject* parent = nullptr);

    // Takes the changed rows (moved from), inserting new ones at the end.
    void apply(std::vector<MessageSnapshot>& changed);
    // The time ages and byte marks are measured against; refreshes those
    // columns.
    void setNow(int64_t nowUs);
    int64_t now() const { return nowUs_; }
    void clear();
    // Names and signals again, after the DBC files changed.
    void redecode();

    int messageRowOf(const MessageKey& key) const;
    const MessageSnapshot& snapshotAt(int row) const { return rows_[std::size_t(row)].snapshot; }
    int messageCount() const { return int(rows_.size()); }
    // The signals of a message row, decoded from its last data.
    const std::vector<SignalRow>& signalsAt(int row) const;
    // The data bytes changed in the last second.
    QList<int> changedBytes(int row) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString hexBytes(const std::vector<uint8_t>& data, int limit);

private:
    struct Row {
        MessageSnapshot snapshot;
        QString name;
        QString searchText;
        bool hasSignals = false;
        mutable std::optional<std::vector<SignalRow>> signalCache;
    };
    void describe(Row& row) const;
    void updateSignals(int row);
    QVariant messageData(const Row& row, int column, int role) const;
    QVariant signalData(const Row& row, int signal, int column, int role) const;

    const MessageDecoder& decoder_;
    std::vector<Row> rows_;
    std::unordered_map<MessageKey, int, MessageKeyHash> rowOfKey_;
    int64_t nowUs_ = 0;
};

} // namespace monitor
