#pragma once
// Paints the data column's bytes with those changed in the last second on a
// highlight, so a changing counter or signal stands out at a glance. The
// same marks are in the cell's accessible text.

#include <QStyledItemDelegate>

namespace monitor {

class DataBytesDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace monitor
