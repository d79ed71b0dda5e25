#include "platform/dialog.h"

#include "platform/message_service.h"
#include "platform/posted_message.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>

#include <algorithm>
#include <memory>

namespace platform {

namespace {

QString plainCaption(QString caption) {
    // "&Start" shows as Start with an underlined S; "&&" is a literal "&".
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return caption;
}

int g_messageDepth = 0;

testing::NotificationObserver& notificationObserver() {
    static testing::NotificationObserver observer;
    return observer;
}

} // namespace

// ---------------------------------------------------------------- DataExchange

DataExchange::DataExchange(Dialog& dialog, bool saveAndValidate) : dialog_(dialog), save_(saveAndValidate) {}

void DataExchange::fail(int id, const QString& message) {
    failed_ = true;
    // A read that fails while the user is still looking at a range message
    // (focus changes can start another read) is refused quietly.
    if (g_messageDepth == 0) {
        ++g_messageDepth;
        MessageService::messageBox(&dialog_, message, MessageService::applicationCaption(),
                                   MessageIcon::Warning, MessageButtons::Ok);
        --g_messageDepth;
    }
    dialog_.focusItem(id);
}

void DataExchange::text(int id, QString& value) {
    if (skip())
        return;
    QWidget* widget = dialog_.item(id);
    if (!widget)
        return;
    if (auto* multi = qobject_cast<MultiLineEdit*>(widget)) {
        if (save_) {
            value = MultiLineEdit::fromWidgetText(multi->toPlainText());
        } else {
            const QString shown = MultiLineEdit::toWidgetText(value);
            if (multi->toPlainText() != shown)
                multi->setPlainText(shown);
        }
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (save_)
            value = line->text();
        else if (line->text() != value)
            line->setText(value);
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (save_)
            value = combo->currentText();
        else if (combo->currentText() != value)
            combo->setCurrentIndex(combo->findText(value));
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        if (save_)
            value = button->text();
        else if (button->text() != value)
            button->setText(value);
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (save_)
            value = label->text();
        else if (label->text() != value)
            label->setText(value);
    }
}

void DataExchange::text(int id, std::string& value) {
    QString text = QString::fromStdString(value);
    this->text(id, text);
    if (save_ && !failed_)
        value = text.toStdString();
}

void DataExchange::maxChars(int id, QString& value, int maxLength) {
    if (skip())
        return;
    if (save_) {
        if (value.size() > maxLength)
            fail(id, QStringLiteral("Enter no more than %1 characters.").arg(maxLength));
        return;
    }
    if (auto* line = dialog_.edit(id))
        line->setMaxLength(maxLength);
}

void DataExchange::maxChars(int id, std::string& value, int maxLength) {
    QString text = QString::fromStdString(value);
    maxChars(id, text, maxLength);
}

void DataExchange::numberImpl(int id, int64_t& value, int64_t minimum, int64_t maximum, bool isSigned) {
    if (skip())
        return;
    QWidget* widget = dialog_.item(id);
    if (!widget)
        return;
    if (!save_) {
        QString shown = isSigned ? QString::number(value) : QString::number(static_cast<uint64_t>(value));
        text(id, shown);
        return;
    }
    QString typed;
    text(id, typed);
    bool ok = false;
    const qlonglong parsed = typed.trimmed().toLongLong(&ok);
    if (!ok) {
        fail(id, QStringLiteral("Please enter an integer."));
        return;
    }
    if (parsed < minimum || parsed > maximum) {
        fail(id, QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum));
        return;
    }
    value = parsed;
}

void DataExchange::check(int id, int& state) {
    if (skip())
        return;
    auto* box = qobject_cast<QAbstractButton*>(dialog_.item(id));
    if (!box)
        return;
    if (save_)
        state = box->isChecked() ? 1 : 0;
    else if (box->isChecked() != (state != 0))
        dialog_.setCheckedQuietly(box, state != 0);
}

void DataExchange::check(int id, bool& state) {
    int value = state ? 1 : 0;
    check(id, value);
    state = value != 0;
}

void DataExchange::check(int id, uint8_t& state) {
    int value = state;
    check(id, value);
    if (save_)
        state = static_cast<uint8_t>(value);
}

void DataExchange::radio(int firstId, int& index) {
    if (skip())
        return;
    auto found = dialog_.radioGroupOf_.find(firstId);
    if (found == dialog_.radioGroupOf_.end())
        return;
    QButtonGroup* group = found->second;
    const QList<QAbstractButton*> buttons = group->buttons();
    if (save_) {
        index = -1;
        for (int i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked()) {
                index = i;
                break;
            }
        return;
    }
    if (index >= 0 && index < buttons.size()) {
        if (!buttons[index]->isChecked())
            dialog_.setCheckedQuietly(buttons[index], true);
    } else if (group->checkedButton()) {
        group->setExclusive(false);
        dialog_.setCheckedQuietly(group->checkedButton(), false);
        group->setExclusive(true);
    }
}

void DataExchange::comboIndex(int id, int& index) {
    if (skip())
        return;
    QComboBox* combo = dialog_.comboBox(id);
    if (!combo)
        return;
    if (save_)
        index = combo->currentIndex();
    else if (combo->currentIndex() != index)
        combo->setCurrentIndex(index);
}

void DataExchange::comboText(int id, QString& value) {
    if (skip())
        return;
    QComboBox* combo = dialog_.comboBox(id);
    if (!combo)
        return;
    if (save_) {
        value = combo->currentIndex() >= 0 ? combo->currentText() : QString();
        return;
    }
    const int index = combo->findText(value, Qt::MatchStartsWith);
    if (index >= 0 && index != combo->currentIndex())
        combo->setCurrentIndex(index);
}

// ---------------------------------------------------------------- Dialog

Dialog::Dialog(int templateId, QWidget* parent) : QDialog(parent), templateId_(templateId) {}

Dialog::~Dialog() {
    notificationsOn_ = false;
}

QRect Dialog::mapDialogRect(int x, int y, int width, int height) const {
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
}

void Dialog::destroyControls() {
    notificationsOn_ = false;
    deferredTextChanges_.clear();
    for (QWidget* widget : allWidgets_)
        delete widget;
    for (QButtonGroup* group : radioGroups_)
        delete group;
    allWidgets_.clear();
    radioGroups_.clear();
    radioGroupOf_.clear();
    controls_.clear();
    created_ = false;
}

QWidget* Dialog::makeControl(const ControlSpec& spec) {
    QWidget* widget = nullptr;
    const QString caption = spec.caption;
    switch (spec.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        button->setDefault(spec.kind == ControlKind::DefPushButton);
        widget = button;
        break;
    }
    case ControlKind::IconButton: {
        auto* button = new QPushButton(this);
        button->setAutoDefault(false);
        button->setIconSize(QSize(32, 32));
        button->setFlat(true);
        widget = button;
        break;
    }
    case ControlKind::CheckBox:
        widget = new QCheckBox(caption, this);
        break;
    case ControlKind::RadioButton:
        widget = new QRadioButton(caption, this);
        break;
    case ControlKind::Label: {
        auto* label = new QLabel(caption, this);
        label->setTextFormat(Qt::PlainText);
        if (spec.style & RightText)
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        widget = label;
        break;
    }
    case ControlKind::GroupBox:
        widget = new QGroupBox(plainCaption(caption), this);
        break;
    case ControlKind::Edit: {
        auto* edit = new Edit(this);
        edit->setText(caption);
        edit->setReadOnly(spec.style & ReadOnly);
        if (spec.style & DigitsOnly)
            edit->setValidator(
                new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
        if (spec.style & RightText)
            edit->setAlignment(Qt::AlignRight);
        widget = edit;
        break;
    }
    case ControlKind::MultiLineEdit: {
        auto* edit = new MultiLineEdit(this);
        edit->setPlainText(caption);
        edit->setReadOnly(spec.style & ReadOnly);
        widget = edit;
        break;
    }
    case ControlKind::ComboBox: {
        auto* combo = new QComboBox(this);
        if (!caption.isEmpty())
            combo->addItems(caption.split(QLatin1Char('\n')));
        combo->setCurrentIndex(-1);
        widget = combo;
        break;
    }
    case ControlKind::UpDown: {
        auto* upDown = new UpDown(this);
        upDown->setAutoBuddy(spec.style & AutoBuddy);
        widget = upDown;
        break;
    }
    case ControlKind::Picture: {
        if (spec.style & Notify) {
            widget = new PictureButton(this);
            break;
        }
        auto* picture = new Picture(this);
        if (spec.style & Sunken)
            picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        widget = picture;
        break;
    }
    }
    widget->setGeometry(mapDialogRect(spec.x, spec.y, spec.width, spec.height));
    widget->setEnabled(!(spec.style & Disabled));
    if (spec.style & Hidden)
        widget->hide();
    // The template's name, where it gives one, tells apart controls that
    // share a caption (each protocol's "Filter"). A control without one is
    // named by its caption as it reads at the moment (Qt's default), so a
    // caption the window changes (Start/Stop) is announced as shown. A text
    // label is read by what it shows (a number, say); the template's name
    // then describes it.
    if (spec.kind == ControlKind::Label && !spec.caption.isEmpty())
        widget->setAccessibleDescription(spec.accessibleName);
    else if (!spec.accessibleName.isEmpty())
        widget->setAccessibleName(spec.accessibleName);
    if (spec.id != IDC_STATIC)
        widget->setObjectName(QStringLiteral("control%1").arg(spec.id));
    return widget;
}

void Dialog::build() {
    destroyControls();
    const DialogTemplate* layout = findDialogTemplate(templateId_);
    if (!layout)
        return;
    setWindowTitle(layout->title);
    Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
    if (layout->systemMenu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (layout->minimizeBox)
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setFixedSize(mapDialogRect(0, 0, layout->width, layout->height).size());

    QButtonGroup* currentGroup = nullptr;
    for (const ControlSpec& spec : layout->controls) {
        QWidget* widget = makeControl(spec);
        allWidgets_.push_back(widget);
        if (spec.id != IDC_STATIC)
            controls_[spec.id] = widget;
        const int id = spec.id;

        if (spec.kind == ControlKind::RadioButton) {
            if (!currentGroup || (spec.style & Group)) {
                currentGroup = new QButtonGroup(this);
                radioGroups_.push_back(currentGroup);
            }
            currentGroup->addButton(static_cast<QRadioButton*>(widget));
            radioGroupOf_[id] = currentGroup;
        }

        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            connectButton(button, id);
        } else if (auto* edit = qobject_cast<Edit*>(widget)) {
            connect(edit, &QLineEdit::textChanged, this,
                    [this, id] { notify(id, Notification::TextChanged); });
            connect(edit, &Edit::focusLost, this, [this, id] { notify(id, Notification::FocusLost); });
        } else if (auto* multi = qobject_cast<MultiLineEdit*>(widget)) {
            connect(multi, &QPlainTextEdit::textChanged, this,
                    [this, id] { notify(id, Notification::TextChanged); });
            connect(multi, &MultiLineEdit::focusLost, this,
                    [this, id] { notify(id, Notification::FocusLost); });
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            connect(combo, &QComboBox::activated, this, [this, id] { notify(id, Notification::SelChanged); });
        } else if (auto* upDown = qobject_cast<UpDown*>(widget)) {
            upDown->setDeltaHandler([this, id](int position, int step) {
                return notificationsOn_ && onUpDownDelta(id, position, step);
            });
        }
        if (spec.kind == ControlKind::GroupBox)
            widget->lower();
    }

    // Up-downs find their buddies once every control exists.
    for (const ControlSpec& spec : layout->controls) {
        if (spec.kind != ControlKind::UpDown || !spec.buddy)
            continue;
        auto* upDown = static_cast<UpDown*>(controls_[spec.id]);
        QWidget* buddy = item(spec.buddy);
        upDown->setBuddy(buddy);
        if (buddy && (spec.style & AlignRight)) {
            // The arrows sit inside the right end of the edit, as the native
            // control places itself.
            QRect box = buddy->geometry();
            const int arrows = std::max(12, box.height() * 2 / 3);
            upDown->setGeometry(box.right() - arrows + 1, box.top(), arrows, box.height());
            buddy->setGeometry(box.left(), box.top(), box.width() - arrows, box.height());
        }
        if (upDown->accessibleName().isEmpty() && buddy)
            upDown->setAccessibleName(buddy->accessibleName() + QStringLiteral(" arrows"));
        if (buddy && !buddy->accessibleName().isEmpty())
            upDown->nameArrowsFor(buddy->accessibleName());
    }
    created_ = true;
    notificationsOn_ = true;
}

void Dialog::connectButton(QAbstractButton* button, int id) {
    if (!button->isCheckable()) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { notify(id, Notification::Clicked); });
        return;
    }
    // A box or radio button reports the user's toggle by any means: a click
    // or Space, and also the accessible toggle action, which changes the
    // state without a click. A click on a radio button that is already on
    // changes nothing and is reported by the click itself; the program's own
    // setting of the state is not reported at all.
    auto toggledSincePress = std::make_shared<bool>(false);
    connect(button, &QAbstractButton::pressed, this, [toggledSincePress] { *toggledSincePress = false; });
    connect(button, &QAbstractButton::toggled, this, [this, id, button, toggledSincePress](bool checked) {
        *toggledSincePress = true;
        if (settingChecks_ > 0)
            return;
        // Of a radio group only the button turned on reports.
        if (!checked && qobject_cast<QRadioButton*>(button))
            return;
        notify(id, Notification::Clicked);
    });
    connect(button, &QAbstractButton::clicked, this, [this, id, toggledSincePress] {
        if (!*toggledSincePress)
            notify(id, Notification::Clicked);
        *toggledSincePress = false;
    });
}

void Dialog::setCheckedQuietly(QAbstractButton* button, bool checked) {
    ++settingChecks_;
    button->setChecked(checked);
    --settingChecks_;
}

int Dialog::doModal() {
    build();
    if (!created_)
        return -1;
    runningModal_ = true;
    endedBeforeExec_.reset();
    setModal(true);
    onInitDialog();
    int result = 0;
    if (endedBeforeExec_) {
        result = *endedBeforeExec_;
    } else {
        inExec_ = true;
        result = exec();
        inExec_ = false;
    }
    runningModal_ = false;
    notificationsOn_ = false;
    return result;
}

bool Dialog::create() {
    build();
    if (!created_)
        return false;
    onInitDialog();
    return true;
}

void Dialog::endDialog(int code) {
    if (runningModal_ && !inExec_) {
        endedBeforeExec_ = code;
    } else if (runningModal_) {
        done(code);
    } else {
        setResult(code);
        hide();
    }
}

bool Dialog::updateData(bool saveAndValidate) {
    DataExchange dx(*this, saveAndValidate);
    if (saveAndValidate) {
        doDataExchange(dx);
        return !dx.failed();
    }
    ++refreshDepth_;
    doDataExchange(dx);
    --refreshDepth_;
    if (refreshDepth_ == 0) {
        // A handler that ran mid-refresh and read the controls would have
        // taken the old texts of controls not yet refreshed into members.
        std::vector<int> changed;
        changed.swap(deferredTextChanges_);
        for (int id : changed)
            notify(id, Notification::TextChanged);
    }
    return !dx.failed();
}

QWidget* Dialog::item(int id) const {
    auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}
Edit* Dialog::edit(int id) const {
    return qobject_cast<Edit*>(item(id));
}
MultiLineEdit* Dialog::multiLineEdit(int id) const {
    return qobject_cast<MultiLineEdit*>(item(id));
}
QAbstractButton* Dialog::button(int id) const {
    return qobject_cast<QAbstractButton*>(item(id));
}
QCheckBox* Dialog::checkBox(int id) const {
    return qobject_cast<QCheckBox*>(item(id));
}
QRadioButton* Dialog::radioButton(int id) const {
    return qobject_cast<QRadioButton*>(item(id));
}
QComboBox* Dialog::comboBox(int id) const {
    return qobject_cast<QComboBox*>(item(id));
}
UpDown* Dialog::upDown(int id) const {
    return qobject_cast<UpDown*>(item(id));
}
Picture* Dialog::picture(int id) const {
    return qobject_cast<Picture*>(item(id));
}

void Dialog::enableItem(int id, bool enabled) {
    if (QWidget* widget = item(id))
        widget->setEnabled(enabled);
}

bool Dialog::isItemEnabled(int id) const {
    QWidget* widget = item(id);
    return widget && widget->isEnabled();
}

QString Dialog::itemText(int id) const {
    QString value;
    DataExchange reader(const_cast<Dialog&>(*this), true);
    reader.text(id, value);
    return value;
}

void Dialog::setItemText(int id, const QString& text) {
    QWidget* widget = item(id);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() == text)
            emit line->textChanged(text);
        else
            line->setText(text);
        return;
    }
    QString value = text;
    DataExchange writer(*this, false);
    writer.text(id, value);
}

void Dialog::setItemIcon(int id, const QIcon& icon, const QString& stateName) {
    QWidget* widget = item(id);
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setIcon(icon);
    else if (auto* shown = qobject_cast<Picture*>(widget))
        shown->setIcon(icon);
    if (widget && !stateName.isEmpty() && widget->accessibleDescription() != stateName)
        widget->setAccessibleDescription(stateName);
}

void Dialog::checkItem(int id, bool checked) {
    if (auto* box = button(id))
        setCheckedQuietly(box, checked);
}

bool Dialog::isItemChecked(int id) const {
    auto* box = button(id);
    return box && box->isChecked();
}

void Dialog::focusItem(int id) {
    QWidget* widget = item(id);
    if (!widget)
        return;
    widget->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->selectAll();
}

int Dialog::idOf(const QWidget* widget) const {
    for (const auto& [id, control] : controls_)
        if (control == widget)
            return id;
    return IDC_STATIC;
}

bool Dialog::notify(int id, Notification code) {
    if (!notificationsOn_)
        return false;
    if (code == Notification::TextChanged && refreshDepth_ > 0) {
        if (std::find(deferredTextChanges_.begin(), deferredTextChanges_.end(), id) ==
            deferredTextChanges_.end())
            deferredTextChanges_.push_back(id);
        return false;
    }
    if (notificationObserver() && notificationObserver()(*this, id, code))
        return true;
    return onCommand(id, code);
}

void testing::setNotificationObserver(NotificationObserver observer) {
    notificationObserver() = std::move(observer);
}

bool Dialog::onCommand(int id, Notification code) {
    return onNotify(id, code);
}

void Dialog::doDataExchange(DataExchange&) {}

bool Dialog::onInitDialog() {
    updateData(false);
    return true;
}

void Dialog::onOK() {
    if (updateData(true))
        endDialog(IDOK);
}

void Dialog::onCancel() {
    endDialog(IDCANCEL);
}

bool Dialog::onNotify(int id, Notification code) {
    if (code != Notification::Clicked)
        return false;
    if (id == IDOK) {
        onOK();
        return true;
    }
    if (id == IDCANCEL) {
        onCancel();
        return true;
    }
    return false;
}

bool Dialog::onUpDownDelta(int, int, int) {
    return false;
}

void Dialog::onShowWindow(bool) {}

bool Dialog::onPostedMessage(unsigned, quintptr, qintptr) {
    return false;
}

void Dialog::onClose() {
    onCommand(IDCANCEL, Notification::Clicked);
}

void Dialog::reject() {
    if (notificationsOn_)
        onCommand(IDCANCEL, Notification::Clicked);
    else
        QDialog::reject();
}

void Dialog::accept() {
    if (notificationsOn_)
        onCommand(IDOK, Notification::Clicked);
    else
        QDialog::accept();
}

bool Dialog::event(QEvent* event) {
    if (const PostedMessageEvent* posted = postedMessageOf(event)) {
        onPostedMessage(posted->message, posted->wParam, posted->lParam);
        return true;
    }
    return QDialog::event(event);
}

void Dialog::closeEvent(QCloseEvent* event) {
    if (notificationsOn_)
        onClose();
    if (isVisible())
        event->ignore();
    else
        event->accept();
}

void Dialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous() && notificationsOn_)
        onShowWindow(true);
}

void Dialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous() && notificationsOn_)
        onShowWindow(false);
}

} // namespace platform
