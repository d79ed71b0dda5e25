#include "support/ui_helpers.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace testsupport {

MessageRecorder::MessageRecorder(int answer) : answer_(answer) {
    platform::MessageService::setMessageHandler([this](const platform::MessageRequest& request) {
        messages_.push_back(request);
        return answer_;
    });
}

MessageRecorder::~MessageRecorder() {
    platform::MessageService::setMessageHandler({});
}

QStringList MessageRecorder::texts() const {
    QStringList all;
    for (const auto& message : messages_)
        all << message.text;
    return all;
}

FileDialogAnswer::FileDialogAnswer(std::optional<QString> path) : path_(std::move(path)) {
    platform::MessageService::setFileHandler([this](const platform::FileRequest& request) {
        requests_.push_back(request);
        return path_;
    });
}

FileDialogAnswer::~FileDialogAnswer() {
    platform::MessageService::setFileHandler({});
}

void whenModalRuns(std::function<void(platform::Dialog&)> action) {
    // Polls until a modal Dialog is running, then acts once.
    auto* timer = new QTimer;
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action, started] {
        ++*started;
        auto* dialog = qobject_cast<platform::Dialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->isRunningModal() && dialog->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(*dialog);
        } else if (*started > 1000) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal dialog started within 5 seconds");
        }
    });
    timer->start(5);
}

void typeInto(platform::Dialog& dialog, int editId, const QString& text) {
    QLineEdit* edit = dialog.edit(editId);
    Q_ASSERT_X(edit, "typeInto", "no such edit");
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

void clickItem(platform::Dialog& dialog, int id) {
    QWidget* widget = dialog.item(id);
    Q_ASSERT_X(widget, "clickItem", "no such control");
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    else
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

void pressArrow(platform::Dialog& dialog, int upDownId, int step, int count) {
    platform::UpDown* upDown = dialog.upDown(upDownId);
    Q_ASSERT_X(upDown, "pressArrow", "no such up-down");
    QToolButton* arrow = step > 0 ? upDown->upButton() : upDown->downButton();
    for (int i = 0; i < count; ++i) {
        if (arrow->isEnabled())
            QTest::mouseClick(arrow, Qt::LeftButton);
    }
}

void leaveItem(platform::Dialog& dialog, int id) {
    QWidget* widget = dialog.item(id);
    Q_ASSERT_X(widget, "leaveItem", "no such control");
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &event);
}

QString accessibleName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QString accessibleDescription(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Description) : QString();
}

bool actAccessibly(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QAccessibleActionInterface* actions = accessible ? accessible->actionInterface() : nullptr;
    if (!actions)
        return false;
    const QStringList names = actions->actionNames();
    QString chosen;
    for (const QString& name :
         {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::toggleAction()})
        if (names.contains(name) && chosen.isEmpty())
            chosen = name;
    if (chosen.isEmpty())
        return false;
    actions->doAction(chosen);
    // The press action shows the button down for a moment before it clicks.
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return QTest::qWaitFor([button] { return !button->isDown(); }, 5000);
    return true;
}

} // namespace testsupport
