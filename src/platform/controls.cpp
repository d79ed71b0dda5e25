#include "platform/controls.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace platform {

Edit::Edit(QWidget* parent) : QLineEdit(parent) {}

void Edit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit focusLost();
}

MultiLineEdit::MultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Tab leaves the box as in any dialog, so the keyboard never gets stuck.
    setTabChangesFocus(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QString MultiLineEdit::toWidgetText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

QString MultiLineEdit::fromWidgetText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return result;
}

void MultiLineEdit::replaceEnds(const QString& front, qsizetype keepLength) {
    QTextDocument* doc = document();
    // Lines put in front would push what a reader scrolled down to away
    // from under their eyes: the view moves down with it. At the top it
    // stays at the top, where the new lines appear.
    const int firstShownLine = verticalScrollBar()->value();
    doc->setUndoRedoEnabled(false); // a stream of edits must not pile up undo steps
    // One edit block: the box is laid out and repainted once, not once per end.
    QTextCursor edit(doc);
    edit.beginEditBlock();
    edit.setPosition(int(std::min<qsizetype>(keepLength, doc->characterCount() - 1)));
    edit.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    edit.removeSelectedText();
    edit.setPosition(0);
    edit.insertText(front);
    edit.endEditBlock();
    doc->setUndoRedoEnabled(true);
    if (firstShownLine > 0)
        verticalScrollBar()->setValue(firstShownLine + int(front.count(QLatin1Char('\n'))));
}

void MultiLineEdit::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    emit focusLost();
}

Picture::Picture(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

void Picture::setIcon(const QIcon& icon) {
    icon_ = icon;
    const int side = std::min(width(), height());
    setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(side > 0 ? std::min(side, 32) : 32));
}

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

QSize PictureButton::sizeHint() const {
    return {36, 36};
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int side = std::min({width(), height(), 32});
    QRect target(0, 0, side, side);
    target.moveCenter(rect().center());
    // Pressed, the picture sinks by a pixel as a button face would.
    if (isDown())
        target.translate(1, 1);
    icon().paint(&painter, target, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAccessibleName(QStringLiteral("Up"));
    down_->setAccessibleName(QStringLiteral("Down"));
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::nameArrowsFor(const QString& field) {
    up_->setAccessibleName(field + QStringLiteral(" up"));
    down_->setAccessibleName(field + QStringLiteral(" down"));
}

void UpDown::setBuddy(QWidget* buddy) {
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = buddy;
    if (buddy_)
        buddy_->installEventFilter(this);
    refreshArrows();
}

void UpDown::setRange(int low, int high) {
    setRange32(static_cast<int16_t>(low), static_cast<int16_t>(high));
}

void UpDown::setRange32(int low, int high) {
    low_ = low;
    high_ = high;
}

int UpDown::clamp(int value) const {
    const int lo = std::min(low_, high_);
    const int hi = std::max(low_, high_);
    return std::clamp(value, lo, hi);
}

void UpDown::setPos(int position) {
    setPos32(static_cast<int16_t>(position));
}

void UpDown::setPos32(int position) {
    position_ = clamp(position);
    if (autoBuddy_)
        writeBuddy();
}

int UpDown::pos() const {
    // An automatic buddy's text is the position, as the user may have typed it.
    if (autoBuddy_) {
        if (auto* edit = qobject_cast<QLineEdit*>(buddy_)) {
            bool ok = false;
            const int value = edit->text().toInt(&ok);
            if (ok)
                return clamp(value);
        }
    }
    return position_;
}

void UpDown::writeBuddy() {
    if (auto* edit = qobject_cast<QLineEdit*>(buddy_)) {
        const QString text = QString::number(position_);
        if (edit->text() != text)
            edit->setText(text);
    }
}

void UpDown::setStepsWhileBuddyDisabled(bool on) {
    stepsWhileBuddyDisabled_ = on;
    refreshArrows();
}

bool UpDown::effectivelyEnabled() const {
    return isEnabled() && (stepsWhileBuddyDisabled_ || !buddy_ || buddy_->isEnabled());
}

void UpDown::refreshArrows() {
    up_->setEnabled(effectivelyEnabled());
    down_->setEnabled(effectivelyEnabled());
}

void UpDown::step(int delta) {
    // Like the native control, the arrows are dead while the buddy is
    // disabled, unless the window asked otherwise.
    if (!effectivelyEnabled())
        return;
    const int current = pos();
    if (deltaHandler_ && deltaHandler_(current, delta))
        return;
    // A 64-bit sum keeps a step at the ends of a 32-bit range from wrapping.
    const int64_t candidate = int64_t(current) + delta;
    const int next = clamp(int(std::clamp<int64_t>(candidate, INT32_MIN, INT32_MAX)));
    position_ = next;
    if (autoBuddy_)
        writeBuddy();
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::EnabledChange)
        refreshArrows();
    if (watched == buddy_ && event->type() == QEvent::KeyPress && effectivelyEnabled()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            step(key->key() == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        refreshArrows();
}

} // namespace platform
