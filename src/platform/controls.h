#pragma once
// The platform's controls on Qt widgets: an edit that reports losing the
// focus, a picture, a picture that works as a button, and an up-down control
// kept apart from the edit it steps, with a notification before each change
// that its owner may veto.

#include <QAbstractButton>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <functional>
#include <utility>

class QToolButton;

namespace platform {

class Edit : public QLineEdit {
    Q_OBJECT
public:
    explicit Edit(QWidget* parent = nullptr);
signals:
    void focusLost();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

class MultiLineEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MultiLineEdit(QWidget* parent = nullptr);

    // Dialog members hold "\r\n" line ends, as the native edit does; the
    // Qt widget works with "\n".
    static QString toWidgetText(const QString& text);
    static QString fromWidgetText(const QString& text);

    // Changes the text at its two ends only: keeps its first keepLength
    // characters and puts front before them. Only the new lines are laid
    // out, where setPlainText lays out every line again. Leaves no undo
    // step, as setPlainText does not; the cursor stays with its text, and a
    // view scrolled down keeps showing the same lines.
    void replaceEnds(const QString& front, qsizetype keepLength);
signals:
    void focusLost();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

class Picture : public QLabel {
    Q_OBJECT
public:
    explicit Picture(QWidget* parent = nullptr);
    void setIcon(const QIcon& icon);
    QIcon icon() const { return icon_; }

private:
    QIcon icon_;
};

// A picture the user clicks, such as a two-position switch: a button drawn
// as its icon alone, so it takes the focus, answers Space and offers the
// press action to assistive technology like any other button.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The arrow pair of an up-down control. A press asks the owner first
// (position and signed step); unless vetoed, the position moves by the step,
// clamped to the range, and an automatic buddy shows the new position.
class UpDown : public QWidget {
    Q_OBJECT
public:
    // Returns true to veto the change.
    using DeltaHandler = std::function<bool(int position, int step)>;

    explicit UpDown(QWidget* parent = nullptr);

    void setBuddy(QWidget* buddy);
    QWidget* buddy() const { return buddy_; }
    void setAutoBuddy(bool on) { autoBuddy_ = on; }
    bool autoBuddy() const { return autoBuddy_; }

    // 16-bit range: both ends are taken as signed 16-bit values.
    void setRange(int low, int high);
    void setRange32(int low, int high);
    std::pair<int, int> range() const { return {low_, high_}; }

    // Position setters clamp into the range; setPos carries only 16 bits.
    void setPos(int position);
    void setPos32(int position);
    int pos() const;

    void setDeltaHandler(DeltaHandler handler) { deltaHandler_ = std::move(handler); }

    // Normally the arrows are dead while the buddy is disabled; a window can
    // let them step a field that the user may not type into.
    void setStepsWhileBuddyDisabled(bool on);

    // What one press of an arrow does; the arrow buttons and the buddy's
    // Up/Down keys call it, and so can tests.
    void step(int delta);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }
    // Names the arrows after the field they step ("<field> up"), so the
    // arrows of a window's fields are not all "Up" and "Down".
    void nameArrowsFor(const QString& field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool effectivelyEnabled() const;
    void refreshArrows();
    int clamp(int value) const;
    void writeBuddy();

    QToolButton* up_;
    QToolButton* down_;
    QWidget* buddy_ = nullptr;
    bool autoBuddy_ = false;
    bool stepsWhileBuddyDisabled_ = false;
    int low_ = 0;
    int high_ = 100;
    int position_ = 0;
    DeltaHandler deltaHandler_;
};

} // namespace platform
