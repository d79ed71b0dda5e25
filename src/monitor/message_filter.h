#pragma once
// Sorting and the search box over the monitor's table: a message row stays
// when its PGN, identifier, address, name, signal names or data bytes
// contain the search text; its signal rows follow it.

#include <QSortFilterProxyModel>

namespace monitor {

class MessageFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit MessageFilter(QObject* parent = nullptr);
    void setSearchText(const QString& text);
    const QString& searchText() const { return needle_; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString needle_;
};

} // namespace monitor
