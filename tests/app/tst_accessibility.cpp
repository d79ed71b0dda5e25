// Every window as assistive technology and the keyboard reach it: each
// control that takes the focus or acts has a name of its own within its
// window, and each button, box, radio button, arrow and Dec/Hex switch does
// through its accessible action what a click does, once.
#include "app/about_dlg.h"
#include "app/tarvik_dlg.h"
#include "connect/driver_selection.h"
#include "connect/init_can_dlg.h"
#include "connect/init_vqt_dlg.h"
#include "res/ids/connection_ids.h"
#include "res/ids/filt1708_ids.h"
#include "res/ids/filt1939_ids.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "res/ids/transmit_ids.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <fstream>
#include <map>
#include <set>

using namespace testsupport;
using platform::Notification;

namespace {

// What a window shows and what the driver was asked, after a refresh.
struct Effect {
    QStringList commands;
    QStringList texts;
    QList<bool> checks;
    QStringList states; // enabled, and what assistive technology is told
    bool operator==(const Effect&) const = default;
};

Effect effectOf(platform::Dialog& dialog, const TestDriverControl& driver) {
    dialog.updateData(false);
    Effect effect;
    for (const QString& call : driver.calls())
        if (call.startsWith("SendCommand"))
            effect.commands << call;
    for (QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (auto* line = qobject_cast<QLineEdit*>(control))
            effect.texts << line->text();
        else if (auto* box = qobject_cast<QAbstractButton*>(control))
            effect.checks << box->isChecked();
        effect.states
            << QStringLiteral("%1 %2").arg(control->isEnabled()).arg(accessibleDescription(control));
    }
    return effect;
}

// Clicks a box on its indicator, anything else in its middle.
void click(QAbstractButton* button) {
    const bool box = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {},
                      box ? QPoint(6, button->height() / 2) : button->rect().center());
}

// The control of a row: the button with that id, or one arrow of an up-down.
QAbstractButton* controlOf(platform::Dialog& dialog, int id, int arrow) {
    if (arrow == 0)
        return dialog.button(id);
    platform::UpDown* upDown = dialog.upDown(id);
    return arrow > 0 ? upDown->upButton() : upDown->downButton();
}

// A radio button that is already on cannot be toggled on again; turn it off
// first, as the program itself would, so both ways start alike.
void turnOffRadio(QAbstractButton* button) {
    if (!qobject_cast<QRadioButton*>(button) || !button->isChecked())
        return;
    QButtonGroup* group = button->group();
    if (group)
        group->setExclusive(false);
    button->setChecked(false);
    if (group)
        group->setExclusive(true);
}

// The texts of a window's edits and the positions of its up-downs.
struct Fields {
    std::vector<std::pair<QLineEdit*, QString>> texts;
    std::vector<std::pair<platform::UpDown*, int>> positions;
    bool operator==(const Fields&) const = default;
};

Fields fieldsOf(platform::Dialog& dialog) {
    Fields fields;
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>())
        fields.texts.emplace_back(edit, edit->text());
    for (platform::UpDown* upDown : dialog.findChildren<platform::UpDown*>())
        fields.positions.emplace_back(upDown, upDown->pos());
    return fields;
}

void restore(const Fields& fields) {
    for (const auto& [edit, text] : fields.texts)
        edit->setText(text);
    for (const auto& [upDown, position] : fields.positions)
        upDown->setPos32(position);
}

// The roles a user acts on; what lies inside one (a list's items, a box's
// text) is read in its context and is not looked into.
bool isControlRole(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::Dial:
    case QAccessible::List:
    case QAccessible::Table:
    case QAccessible::Tree:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid:
    case QAccessible::PageTab:
    case QAccessible::Link:
        return true;
    default:
        return false;
    }
}

// The name of every shown control in a window's accessible tree.
void collectControlNames(QAccessibleInterface* node, QStringList& names) {
    for (int i = 0; node && i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        if (isControlRole(child->role()))
            names << child->text(QAccessible::Name);
        else
            collectControlNames(child, names);
    }
}

// Names given to more than one control of the window, or to none.
QStringList sharedOrMissingNames(QWidget* window) {
    QStringList names;
    collectControlNames(QAccessible::queryAccessibleInterface(window), names);
    QStringList faults;
    std::set<QString> seen;
    for (const QString& name : names) {
        if (name.isEmpty())
            faults << QStringLiteral("(a control without a name)");
        else if (!seen.insert(name).second && !faults.contains(name))
            faults << name;
    }
    return faults;
}

// The program's windows that are not among the ones named in the rows: any
// other top-level window or dialog, wherever it is owned.
QList<QWidget*> otherWindows(const std::set<const QWidget*>& named) {
    QList<QWidget*> windows;
    for (QWidget* widget : QApplication::allWidgets()) {
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog) && !named.count(widget))
            windows << widget;
    }
    return windows;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    MessageRecorder messages_;
    FileDialogAnswer files_{std::nullopt};
    connect::InitVQTDlg* connection_ = nullptr;
    app::TarvikDlg* main_ = nullptr;
    std::map<int, int> clicks_; // notifications Clicked per control id

    // Runs check inside the named window while it is up.
    void inWindow(const QString& name, const std::function<void(platform::Dialog&)>& check) {
        receive::ReceiveDlg& receive = main_->receiveWindow();
        transmit::TransmitDlg& transmit = main_->transmitWindow();
        const std::map<QString, platform::Dialog*> modeless = {
            {"main", main_}, {"receive", &receive}, {"transmit", &transmit}};
        if (auto found = modeless.find(name); found != modeless.end()) {
            found->second->show();
            check(*found->second);
            return;
        }
        connect::InitCANDlg claim;
        app::AboutDlg about;
        const std::map<QString, platform::Dialog*> modal = {{"connection", connection_},
                                                            {"address claim", &claim},
                                                            {"J1708 filter", &receive.j1708Filter},
                                                            {"J1939 filter", &receive.j1939Filter},
                                                            {"J1708 builder", &transmit.tx1708},
                                                            {"J1850 builder", &transmit.tx1850},
                                                            {"J1939 builder", &transmit.tx1939},
                                                            {"about", &about}};
        platform::Dialog* window = modal.at(name);
        whenModalRuns([&check](platform::Dialog& d) {
            check(d);
            d.endDialog(platform::IDCANCEL);
        });
        window->doModal();
    }

    std::set<const QWidget*> namedWindows() {
        receive::ReceiveDlg& receive = main_->receiveWindow();
        transmit::TransmitDlg& transmit = main_->transmitWindow();
        return {main_,
                connection_,
                &receive,
                &transmit,
                &receive.j1708Filter,
                &receive.j1939Filter,
                &transmit.tx1708,
                &transmit.tx1850,
                &transmit.tx1939};
    }

    // Runs check inside a window not named in the rows while it is up.
    void inOtherWindow(QWidget* window, const std::function<void(QWidget&)>& check) {
        auto* dialog = qobject_cast<platform::Dialog*>(window);
        if (!dialog || dialog->isCreated() || dialog->isVisible()) {
            const bool shown = window->isVisible();
            window->show();
            check(*window);
            if (!shown)
                window->hide();
            return;
        }
        whenModalRuns([&check](platform::Dialog& d) {
            check(d);
            d.endDialog(platform::IDCANCEL);
        });
        dialog->doModal();
    }

    static constexpr const char* kWindowNames[] = {
        "main",     "connection",    "address claim", "receive",       "J1708 filter", "J1939 filter",
        "transmit", "J1708 builder", "J1850 builder", "J1939 builder", "about"};

    static void addWindowRows() {
        QTest::addColumn<QString>("window");
        for (const char* name : kWindowNames)
            QTest::newRow(name) << QString::fromLatin1(name);
    }

private slots:
    void initTestCase() {
        std::ofstream((dir_.path() + "/rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=TDRV1210\n";
        connect::overrideImplementationIniPath((dir_.path() + "/rp121032.ini").toStdString());
        app::TarvikDlg::endProcess() = [](int) {};
        connection_ = new connect::InitVQTDlg;
        main_ = new app::TarvikDlg;
        connection_->setProtocolInitialisedHandler([this](connect::Protocol protocol) {
            main_->receiveWindow().enableProtocolControls(protocol);
            main_->transmitWindow().enableProtocolControls(protocol);
        });
        QVERIFY(main_->create());
        main_->show();
        whenModalRuns([](platform::Dialog& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(0);
            clickItem(d, res::IDC_DEVICE);
            clickItem(d, res::IDC_INIT_UART);
            clickItem(d, res::IDC_INIT_1850);
            whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
            clickItem(d, res::IDC_INIT_CAN);
            clickItem(d, platform::IDOK);
        });
        clickItem(*main_, res::IDC_CONNECT);
        platform::testing::setNotificationObserver([this](platform::Dialog&, int id, Notification code) {
            if (code == Notification::Clicked)
                ++clicks_[id];
            return false;
        });
    }
    void cleanupTestCase() { platform::testing::setNotificationObserver({}); }

    // Walks every control with the window's handlers held back, so that no
    // action opens another window: names, and one Clicked per click or action.
    void everyControl_data() { addWindowRows(); }
    void everyControl() {
        QFETCH(QString, window);
        platform::testing::setNotificationObserver([this](platform::Dialog&, int id, Notification code) {
            if (code == Notification::Clicked)
                ++clicks_[id];
            return true;
        });
        int acted = 0;
        inWindow(window, [&](platform::Dialog& d) {
            for (QWidget* control : d.findChildren<QWidget*>()) {
                const bool arrow = qobject_cast<platform::UpDown*>(control->parentWidget()) != nullptr;
                if (!control->isVisibleTo(&d) || !control->isEnabled() ||
                    (control->focusPolicy() == Qt::NoFocus && !arrow &&
                     !qobject_cast<platform::UpDown*>(control)))
                    continue;
                if (control->parentWidget() != &d && !arrow)
                    continue; // the inner parts of a list or text box
                const QString what =
                    QStringLiteral("%1 %2").arg(control->objectName(), accessibleName(control));
                QVERIFY2(!accessibleName(control).isEmpty(), qPrintable(control->objectName()));
                auto* button = qobject_cast<QAbstractButton*>(control);
                if (!button)
                    continue;
                ++acted;
                if (arrow) {
                    // An arrow moves the window's fields alike both ways.
                    const Fields before = fieldsOf(d);
                    click(button);
                    const Fields clicked = fieldsOf(d);
                    restore(before);
                    QVERIFY2(actAccessibly(button), qPrintable(what));
                    QVERIFY2(fieldsOf(d) == clicked, qPrintable(what));
                    restore(before);
                    continue;
                }
                const int id = d.idOf(button);
                turnOffRadio(button);
                const bool checkedBefore = button->isChecked();
                clicks_.clear();
                click(button);
                QVERIFY2(clicks_[id] == 1, qPrintable(what + " by click"));
                const bool clickedState = button->isChecked();
                d.checkItem(id, checkedBefore);
                turnOffRadio(button);
                clicks_.clear();
                QVERIFY2(actAccessibly(button), qPrintable(what));
                QVERIFY2(clicks_[id] == 1, qPrintable(what + " by action"));
                QCOMPARE(button->isChecked(), clickedState);
                d.checkItem(id, checkedBefore);
            }
        });
        platform::testing::setNotificationObserver([this](platform::Dialog&, int id, Notification code) {
            if (code == Notification::Clicked)
                ++clicks_[id];
            return false;
        });
        QVERIFY(acted > 0);
    }

    // With the window's handlers: the accessible action has the click's
    // effect, once, and the program setting the control reports nothing.
    void actionDoesWhatAClickDoes_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("arrow"); // 0: the control itself, +1/-1: an up-down's arrow
        QTest::addColumn<QString>("command");
        QTest::newRow("Echo") << "transmit" << int(res::IDC_TX_ECHO) << 0 << "SendCommand 16";
        QTest::newRow("Blocking") << "transmit" << int(res::IDC_TX_BLOCKING) << 0 << "";
        QTest::newRow("Blocking Poll") << "receive" << int(res::IDC_RX_BLOCKING_POLL) << 0 << "";
        QTest::newRow("receive J1708 box") << "receive" << int(res::IDC_RX_J1708) << 0 << "SendCommand 17";
        QTest::newRow("receive J1939 box") << "receive" << int(res::IDC_RX_J1939) << 0 << "SendCommand 17";
        QTest::newRow("J1939 filter criterion")
            << "J1939 filter" << int(res::IDC_FILT1939_USE_PGN) << 0 << "";
        QTest::newRow("receive switch") << "receive" << int(res::IDC_RX_SWITCH) << 0 << "";
        QTest::newRow("J1708 filter switch") << "J1708 filter" << int(res::IDC_DISPLAY_SWITCH) << 0 << "";
        QTest::newRow("J1708 filter PID up") << "J1708 filter" << int(res::IDC_PID_DEC_SPIN) << +1 << "";
        QTest::newRow("J1708 filter PID down") << "J1708 filter" << int(res::IDC_PID_HEX_SPIN) << -1 << "";
    }
    void actionDoesWhatAClickDoes() {
        QFETCH(QString, window);
        QFETCH(int, id);
        QFETCH(int, arrow);
        QFETCH(QString, command);
        TestDriverControl driver;
        inWindow(window, [&](platform::Dialog& d) {
            QAbstractButton* control = controlOf(d, id, arrow);
            QAbstractButton* undo = arrow ? controlOf(d, id, -arrow) : control;
            QVERIFY(control && control->isEnabled());
            if (arrow)
                click(undo); // away from the end of the range
            driver.clearCalls();
            const Effect before = effectOf(d, driver);
            click(control);
            const Effect clicked = effectOf(d, driver);
            QVERIFY(clicked != before);
            if (!command.isEmpty())
                QVERIFY(clicked.commands.filter(command).size() > 0);
            click(undo);
            driver.clearCalls();
            QVERIFY(actAccessibly(control));
            QCOMPARE(effectOf(d, driver), clicked);
            if (!control->isCheckable()) {
                click(undo);
                return;
            }
            // The program setting the box from its member is not a click.
            clicks_.clear();
            driver.clearCalls();
            d.checkItem(id, !d.isItemChecked(id));
            d.updateData(false);
            QCOMPARE(clicks_[id], 0);
            QVERIFY(driver.calls().isEmpty());
            click(control);
        });
    }

    // No two controls of a window share a name on the accessibility bus, so
    // a screen reader can tell them apart: every window of the program, the
    // ones named in the rows and any other it has.
    void namesOfTheirOwn_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<quintptr>("other"); // a window not named in the rows
        for (const char* name : kWindowNames)
            QTest::newRow(name) << QString::fromLatin1(name) << quintptr(0);
        for (QWidget* other : otherWindows(namedWindows()))
            QTest::newRow(other->metaObject()->className()) << QString() << quintptr(other);
    }
    void namesOfTheirOwn() {
        QFETCH(QString, window);
        QFETCH(quintptr, other);
        const auto check = [](QWidget& w) {
            const QStringList faults = sharedOrMissingNames(&w);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
        };
        if (other)
            inOtherWindow(reinterpret_cast<QWidget*>(other), check);
        else
            inWindow(window, check);
    }

    void captionChangeShowsInTheName_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("id");
        QTest::newRow("transmit") << "transmit" << int(res::IDC_TX_START);
        QTest::newRow("receive") << "receive" << int(res::IDC_RX_START);
    }
    void captionChangeShowsInTheName() {
        QFETCH(QString, window);
        QFETCH(int, id);
        inWindow(window, [id](platform::Dialog& d) {
            QWidget* button = d.item(id);
            QCOMPARE(accessibleName(button), QStringLiteral("Start"));
            QVERIFY(actAccessibly(button));
            QCOMPARE(accessibleName(button), QStringLiteral("Stop"));
            QVERIFY(actAccessibly(button));
            QCOMPARE(accessibleName(button), QStringLiteral("Start"));
        });
    }

    // From the keyboard alone: Tab reaches the switch, Space flips it, and
    // assistive technology hears the base.
    void switchFromTheKeyboard_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("id");
        QTest::newRow("receive") << "receive" << int(res::IDC_RX_SWITCH);
        QTest::newRow("J1708 filter") << "J1708 filter" << int(res::IDC_DISPLAY_SWITCH);
        QTest::newRow("J1939 builder") << "J1939 builder" << int(res::IDC_DISPLAY_SWITCH);
    }
    void switchFromTheKeyboard() {
        QFETCH(QString, window);
        QFETCH(int, id);
        inWindow(window, [id](platform::Dialog& d) {
            QWidget* toggle = d.item(id);
            d.activateWindow();
            d.setFocus();
            QWidget* first = d.focusWidget();
            for (int tabs = 0; tabs < 80 && d.focusWidget() != toggle; ++tabs)
                QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Tab);
            QVERIFY2(d.focusWidget() == toggle, qPrintable(first ? first->objectName() : "none"));
            const QString base = accessibleDescription(toggle);
            const QString other = base == "Hexadecimal" ? "Decimal" : "Hexadecimal";
            QVERIFY2(base == "Hexadecimal" || base == "Decimal", qPrintable(base));
            QTest::keyClick(toggle, Qt::Key_Space);
            QCOMPARE(accessibleDescription(toggle), other);
            QTest::keyClick(toggle, Qt::Key_Space);
            QCOMPARE(accessibleDescription(toggle), base);
        });
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
