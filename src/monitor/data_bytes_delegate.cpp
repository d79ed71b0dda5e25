#include "monitor/data_bytes_delegate.h"

#include "monitor/message_model.h"

#include <QApplication>
#include <QPainter>

namespace monitor {

void DataBytesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QList<int> changed = index.data(MessageModel::ChangedBytesRole).value<QList<int>>();
    if (changed.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background and selection as usual, then the bytes by hand.
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const QString text = base.text;
    base.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

    const QRect area =
        style->subElementRect(QStyle::SE_ItemViewItemText, &base, widget).adjusted(2, 0, -2, 0);
    const QFontMetrics metrics(base.font);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor textColour = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor markColour(255, 200, 60);
    painter->save();
    painter->setClipRect(area);
    int x = area.left();
    const int byteWidth = metrics.horizontalAdvance(QStringLiteral("00"));
    const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
    int byte = 0;
    for (qsizetype at = 0; at + 1 < text.size() && x < area.right(); at += 3, ++byte) {
        if (text.at(at) == QLatin1Char('.') || text.at(at + 1) == QLatin1Char('.')) {
            painter->setPen(textColour);
            painter->drawText(QRect(x, area.top(), area.right() - x, area.height()),
                              Qt::AlignVCenter | Qt::AlignLeft, text.mid(at));
            break;
        }
        const QRect cell(x, area.top() + 1, byteWidth, area.height() - 2);
        const bool mark = changed.contains(byte);
        if (mark) {
            painter->fillRect(cell.adjusted(-1, 0, 1, 0), markColour);
            painter->setPen(Qt::black);
        } else {
            painter->setPen(textColour);
        }
        painter->drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, text.mid(at, 2));
        x += byteWidth + gap;
    }
    painter->restore();
}

} // namespace monitor
