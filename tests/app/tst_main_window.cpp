// The main window's states, Connect and Disconnect in their order, Close,
// the key filter and start-up, driven headless with the test driver.
#include "app/about_dlg.h"
#include "app/tarvik_dlg.h"
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "connect/init_vqt_dlg.h"
#include "platform/event.h"
#include "receive/receive_threads.h"
#include "res/icons.h"
#include "res/ids/connection_ids.h"
#include "res/ids/main_ids.h"
#include "res/templates.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"
#include "tarvik_version.h"
#include "transmit/transmit_thread.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace testsupport;

namespace {
bool shows(QAbstractButton* button, int iconId) {
    return button->icon().pixmap(32).toImage() == res::loadIcon(iconId).pixmap(32).toImage();
}

int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::NoDotAndDotDot | QDir::Dirs).size());
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    connect::InitVQTDlg* connection_ = nullptr;
    app::TarvikDlg* main_ = nullptr;
    int endedWith_ = -1;

    // Connect: Device, then the given Init buttons, then Done.
    void connectWith(QList<int> initButtons) {
        whenModalRuns([initButtons](platform::Dialog& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(0);
            clickItem(d, res::IDC_DEVICE);
            for (int id : initButtons)
                clickItem(d, id);
            clickItem(d, platform::IDOK);
        });
        clickItem(*main_, res::IDC_CONNECT);
    }

private slots:
    void initTestCase() {
        std::ofstream((dir_.path() + "/rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=TDRV1210\n";
        connect::overrideImplementationIniPath((dir_.path() + "/rp121032.ini").toStdString());
        app::TarvikDlg::endProcess() = [this](int status) { endedWith_ = status; };
        connection_ = new connect::InitVQTDlg;
        main_ = new app::TarvikDlg;
        connection_->setProtocolInitialisedHandler([this](connect::Protocol protocol) {
            main_->receiveWindow().enableProtocolControls(protocol);
            main_->transmitWindow().enableProtocolControls(protocol);
        });
        QVERIFY(main_->create());
        main_->show();
    }
    void init() {
        TestDriverControl().reset();
        endedWith_ = -1;
    }

    void startsDisconnected() {
        QVERIFY(shows(main_->button(res::IDC_CONNECT), res::IDI_CONNECT));
        QVERIFY(!main_->isItemEnabled(res::IDC_RECEIVE_WINDOW));
        QVERIFY(!main_->isItemEnabled(res::IDC_TRANSMIT_WINDOW));
        QCOMPARE(main_->windowTitle(), QStringLiteral("Tarvik"));
        QVERIFY(main_->receiveWindow().isCreated());
        QVERIFY(main_->transmitWindow().isCreated());
        QVERIFY(!main_->receiveWindow().isVisible());
    }

    void versionReadAloneConnects() {
        connectWith({});
        QVERIFY(shows(main_->button(res::IDC_CONNECT), res::IDI_DISCONNECT));
        QCOMPARE(accessibleName(main_->button(res::IDC_CONNECT)), QStringLiteral("Disconnect"));
        QVERIFY(main_->isItemEnabled(res::IDC_RECEIVE_WINDOW));
        QVERIFY(main_->isItemEnabled(res::IDC_TRANSMIT_WINDOW));
        TestDriverControl driver;
        driver.clearCalls();
        clickItem(*main_, res::IDC_CONNECT); // now disconnects: no client open, no call
        QVERIFY(driver.calls().isEmpty());
        QVERIFY(shows(main_->button(res::IDC_CONNECT), res::IDI_CONNECT));
        QCOMPARE(accessibleName(main_->button(res::IDC_CONNECT)), QStringLiteral("Connect"));
        QVERIFY(!main_->isItemEnabled(res::IDC_RECEIVE_WINDOW));
    }

    void disconnectStopsReceptionThenClosesClientsInOrder() {
        TestDriverControl driver;
        connectWith({res::IDC_INIT_1850, res::IDC_INIT_UART});
        QCOMPARE(int(connect::driverBinding().connectedProtocols.load()), 3);
        receive::ReceiveDlg& receive = main_->receiveWindow();
        receive.startStop();
        QVERIFY(receive.running());
        driver.clearCalls();
        clickItem(*main_, res::IDC_CONNECT);
        QVERIFY(!receive.running());
        const QStringList calls = driver.calls();
        // Reception stops first (its commands), then J1708 (client 1), then
        // J1850 (client 0) disconnect.
        QVERIFY(calls.size() >= 2);
        QCOMPARE(calls.mid(calls.size() - 2),
                 (QStringList{"ClientDisconnect 1 -> 0", "ClientDisconnect 0 -> 0"}));
        for (const QString& call : calls.mid(0, calls.size() - 2))
            QVERIFY2(call.startsWith("SendCommand"), qPrintable(call));
        QCOMPARE(int(connect::driverBinding().connectedProtocols.load()), 0);
        QVERIFY(connection_->statusText.isEmpty());
    }

    // The monitor's own client opens beside the connection's and closes
    // before it on disconnect.
    void monitorHasItsOwnClients() {
        TestDriverControl driver;
        QVERIFY(!main_->isItemEnabled(res::IDC_MONITOR_WINDOW));
        connectWith({res::IDC_INIT_UART});
        QVERIFY(main_->isItemEnabled(res::IDC_MONITOR_WINDOW));
        QVERIFY(main_->isItemEnabled(res::IDC_DIAGNOSTICS_WINDOW));
        QCOMPARE(accessibleName(main_->button(res::IDC_MONITOR_WINDOW)), QStringLiteral("Monitor"));
        QCOMPARE(accessibleName(main_->button(res::IDC_DIAGNOSTICS_WINDOW)), QStringLiteral("Diagnostics"));
        driver.clearCalls();
        clickItem(*main_, res::IDC_MONITOR_WINDOW);
        QVERIFY(main_->monitorWindow() && main_->monitorWindow()->isVisible());
        QCOMPARE(main_->monitorWindow()->windowTitle(), QStringLiteral("Bus Monitor"));
        QVERIFY(driver.calls().contains(QStringLiteral("ClientConnect 101 J1708 0 0 0 -> 1")));
        driver.clearCalls();
        clickItem(*main_, res::IDC_CONNECT);
        QCOMPARE(driver.calls(), (QStringList{"ClientDisconnect 1 -> 0", "ClientDisconnect 0 -> 0"}));
        QVERIFY(!main_->isItemEnabled(res::IDC_MONITOR_WINDOW));
        main_->monitorWindow()->close();
    }

    void failedInitialisationStaysDisconnected() {
        TestDriverControl driver;
        whenModalRuns([&driver](platform::Dialog& d) {
            clickItem(d, res::IDC_DEVICE);
            clickItem(d, res::IDC_INIT_UART);
            driver.queueResult("ClientConnect", ERR_INVALID_DEVICE);
            clickItem(d, res::IDC_INIT_1850);
            clickItem(d, platform::IDOK);
        });
        clickItem(*main_, res::IDC_CONNECT);
        QVERIFY(shows(main_->button(res::IDC_CONNECT), res::IDI_CONNECT));
        QVERIFY(!main_->isItemEnabled(res::IDC_RECEIVE_WINDOW));
        // Closing now closes no client: the window is not connected.
        driver.clearCalls();
        main_->close();
        QCOMPARE(endedWith_, 1);
        QVERIFY(driver.calls().isEmpty());
        main_->show();
        // The J1708 client stays open; the next successful connect and
        // disconnect close it.
        connectWith({});
        driver.clearCalls();
        clickItem(*main_, res::IDC_CONNECT);
        QCOMPARE(driver.calls(), QStringList{"ClientDisconnect 0 -> 0"});
    }

    void closeWhileConnectedDisconnectsFirst() {
        TestDriverControl driver;
        connectWith({res::IDC_INIT_UART});
        driver.clearCalls();
        main_->close();
        QCOMPARE(driver.calls(), QStringList{"ClientDisconnect 0 -> 0"});
        QCOMPARE(endedWith_, 1);
        main_->show();
    }

    // The About box gives the project's version, and each line of its text
    // shows in full inside the window.
    void aboutBoxShowsTheVersionInFull() {
        app::AboutDlg about;
        QStringList texts, cutOff;
        whenModalRuns([&](platform::Dialog& d) {
            for (QLabel* label : d.findChildren<QLabel*>()) {
                if (label->text().isEmpty())
                    continue;
                texts << label->text();
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                if (needed > label->contentsRect().width() || label->geometry().right() >= d.width())
                    cutOff << label->text();
            }
            d.endDialog(platform::IDOK);
        });
        QCOMPARE(about.doModal(), int(platform::IDOK));
        QVERIFY2(cutOff.isEmpty(), qPrintable(cutOff.join('|')));
        QVERIFY2(texts.contains(QStringLiteral("Tarvik Version " TARVIK_VERSION)),
                 qPrintable(texts.join('|')));
    }

    void enterAndEscapeAreDiscarded_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("keypad enter") << int(Qt::Key_Enter);
        QTest::newRow("escape") << int(Qt::Key_Escape);
    }
    void enterAndEscapeAreDiscarded() {
        QFETCH(int, key);
        TestDriverControl driver;
        QAbstractButton* connectButton = main_->button(res::IDC_CONNECT);
        connectButton->setFocus();
        QTest::keyClick(connectButton, Qt::Key(key));
        QTest::keyClick(main_, Qt::Key(key));
        QVERIFY(main_->isVisible());
        QCOMPARE(endedWith_, -1);
        QVERIFY(driver.calls().isEmpty());
    }

    void toolButtonsShowTheOneWindow() {
        connectWith({});
        for (int i = 0; i < 3; ++i) {
            clickItem(*main_, res::IDC_RECEIVE_WINDOW);
            clickItem(*main_, res::IDC_TRANSMIT_WINDOW);
        }
        QVERIFY(main_->receiveWindow().isVisible());
        QVERIFY(main_->transmitWindow().isVisible());
        int receiveWindows = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            receiveWindows += top->windowTitle() == QStringLiteral("Receive");
        QCOMPARE(receiveWindows, 1);
        main_->receiveWindow().hide();
        main_->transmitWindow().hide();
        clickItem(*main_, res::IDC_CONNECT);
    }

    // The Diagnostics window claims an address beside the connection's J1939
    // client, with a NAME of its own, and lets it go first on Disconnect.
    void diagnosticsBesideTheConnection() {
        TestDriverControl driver;
        whenModalRuns([](platform::Dialog& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(0);
            clickItem(d, res::IDC_DEVICE);
            whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
            clickItem(d, res::IDC_INIT_CAN);
            clickItem(d, platform::IDOK);
        });
        clickItem(*main_, res::IDC_CONNECT);
        clickItem(*main_, res::IDC_DIAGNOSTICS_WINDOW);
        diagnostics::DiagnosticsWindow& window = main_->diagnosticsWindow();
        QVERIFY(window.isVisible());
        QTRY_VERIFY2(window.statusText().contains(
                         QStringLiteral("node 0xFA (0xF9 is held by the connection's own client)")),
                     qPrintable(window.statusText()));
        const QStringList claims = driver.calls().filter(QStringLiteral("SendCommand 19 "));
        QCOMPARE(claims.size(), 2);
        QVERIFY(claims[0].startsWith(QStringLiteral("SendCommand 19 0 [F9 01 00 60 01 00 81 00 00")));
        QVERIFY(claims[1].startsWith(QStringLiteral("SendCommand 19 1 [FA 01 00 60 01 01 81 00 00")));
        driver.clearCalls();
        clickItem(*main_, res::IDC_CONNECT);
        QCOMPARE(driver.calls().filter(QStringLiteral("ClientDisconnect")),
                 (QStringList{"ClientDisconnect 1 -> 0", "ClientDisconnect 0 -> 0"}));
        QVERIFY(window.statusText().startsWith(QStringLiteral("Not connected")));
        QVERIFY(!main_->isItemEnabled(res::IDC_DIAGNOSTICS_WINDOW));
        window.hide();
    }

    void workersStartOnlyWithTheirEvents_data() {
        QTest::addColumn<int>("failingEvent"); // 0 none, 1..4 which creation fails
        QTest::addColumn<int>("threads");
        QTest::newRow("all events") << 0 << 4;
        QTest::newRow("third event missing") << 3 << 1;
        QTest::newRow("transmit event missing") << 4 << 3;
    }
    void workersStartOnlyWithTheirEvents() {
        QFETCH(int, failingEvent);
        QFETCH(int, threads);
        // Events are created in the order J1708, J1850, J1939, transmit.
        platform::testing::failEventCreationAt(failingEvent);
        const int before = threadCount();
        app::TarvikDlg second;
        QTRY_COMPARE(threadCount() - before, threads);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
