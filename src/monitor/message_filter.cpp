#include "monitor/message_filter.h"

#include "monitor/message_model.h"

namespace monitor {

MessageFilter::MessageFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(MessageModel::SortRole);
    setDynamicSortFilter(true);
}

void MessageFilter::setSearchText(const QString& text) {
    const QString needle = text.trimmed().toLower();
    if (needle == needle_)
        return;
    needle_ = needle;
    invalidateFilter();
}

bool MessageFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (needle_.isEmpty() || sourceParent.isValid())
        return true;
    const QModelIndex row = sourceModel()->index(sourceRow, 0, sourceParent);
    return row.data(MessageModel::SearchTextRole).toString().contains(needle_);
}

} // namespace monitor
