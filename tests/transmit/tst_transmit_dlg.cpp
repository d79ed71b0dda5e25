// The Transmit window: creating, replacing and deleting rows, the one message
// per protocol rule, Start/Stop, Close, Echo, counts and notifications.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "fake_builder.h"
#include "fake_transmit_io.h"
#include "platform/posted_message.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx1708_ids.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"
#include "transmit/transmit_dlg.h"

#include <QApplication>
#include <QRadioButton>
#include <QTest>

using namespace res;
using namespace testsupport;
using namespace transmit;

namespace {

// A window on a shared record of its own, with every protocol's client open
// and stand-in J1850 and J1939 builders.
struct Fixture {
    TransmitShared* shared = new TransmitShared; // the thread side may outlive a test
    TransmitDlg window{*shared};
    FakeBuilder j1850{kJ1850};
    FakeBuilder j1939{kJ1939};
    Fixture() {
        shared->transmitEvent = platform::createAutoResetEvent().release();
        window.setBuilder(1, &j1850);
        window.setBuilder(2, &j1939);
        window.create();
    }
    void enableAll() {
        for (auto protocol : {connect::Protocol::J1708, connect::Protocol::J1850, connect::Protocol::J1939})
            window.enableProtocolControls(protocol);
    }
    void select(int row, int protocolId) {
        clickItem(window, kTransmitRowIds[row].radio);
        clickItem(window, protocolId);
    }
    QString summaryShown(int row) { return window.edit(kTransmitRowIds[row].summary)->text(); }
    QString countShown(int row) { return window.edit(kTransmitRowIds[row].count)->text(); }
};

// Creates a J1708 message MID 80 PID F3 through the real builder.
void createJ1708(Fixture& f, int row) {
    f.select(row, IDC_TX_J1708);
    whenModalRuns([](platform::Dialog& d) {
        typeInto(d, IDC_MID_HEX, QStringLiteral("80"));
        typeInto(d, IDC_PID_HEX, QStringLiteral("F3"));
        clickItem(d, platform::IDOK);
    });
    clickItem(f.window, IDC_TX_CREATE);
}

} // namespace

class TransmitDlgTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void layout();
    void noClientOpen();
    void protocolDefaultOnShow();
    void onePerProtocol();
    void replaceAcrossProtocols();
    void cancelKeepsRow();
    void deleteMessage();
    void countsOwnedByTransmitSide();
    void startStopAndClose();
    void echoTwice();
};

void TransmitDlgTest::initTestCase() {
    QVERIFY(connect::loadDriverForTest(kTestDriverName));
}

void TransmitDlgTest::layout() {
    Fixture f;
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Transmit"));
    for (int row = 0; row < kTransmitRows; ++row) {
        QCOMPARE(f.window.isItemEnabled(kTransmitRowIds[row].radio), row < 3);
        QVERIFY(f.window.edit(kTransmitRowIds[row].summary)->isReadOnly());
        QVERIFY(!f.window.edit(kTransmitRowIds[row].count)->accessibleName().isEmpty());
    }
    QVERIFY(!f.window.isItemEnabled(IDC_TX_PLAYBACK));
    QVERIFY(!f.window.isItemEnabled(IDC_TX_J1708));
    QVERIFY(f.window.radioButton(kTransmitRowIds[0].radio)->isChecked());
    QCOMPARE(f.window.button(IDC_TX_START)->text(), QStringLiteral("&Start"));
    if (qEnvironmentVariableIsSet("TARVIK_RENDER_DIR")) {
        f.enableAll();
        f.window.rowSummary[0] = QStringLiteral("TXJ1708  80  F3    01  02");
        f.window.updateData(false);
        f.window.grab().save(qEnvironmentVariable("TARVIK_RENDER_DIR") + QStringLiteral("/transmit.png"));
    }
}

void TransmitDlgTest::noClientOpen() {
    Fixture f;
    f.window.show();
    QCOMPARE(f.window.selectedProtocol, -1);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(f.j1850.opened + f.j1939.opened, 0);
    QVERIFY(f.summaryShown(0).isEmpty());
    f.window.hide();
}

void TransmitDlgTest::protocolDefaultOnShow() {
    Fixture f;
    f.window.enableProtocolControls(connect::Protocol::J1939);
    f.window.show();
    QCOMPARE(f.window.selectedProtocol, 2);
    QVERIFY(f.window.radioButton(IDC_TX_J1939)->isChecked());
    f.window.hide();
    f.window.enableProtocolControls(connect::Protocol::J1708);
    f.window.show();
    QCOMPARE(f.window.selectedProtocol, 2); // J1708 enabled: left as it is
    f.window.hide();
}

void TransmitDlgTest::onePerProtocol() {
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    createJ1708(f, 0);
    QCOMPARE(f.summaryShown(0), QStringLiteral("TXJ1708  80  F3  "));
    QCOMPARE(int(f.window.j1708Rows), 1);
    QCOMPARE(f.window.table().copyOf(0)->length, int16_t(3));

    f.select(1, IDC_TX_J1708);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("You may only create one message per protocol")});
    QCOMPARE(messages.messages()[0].caption, QStringLiteral("Restricted"));
    QCOMPARE(f.window.table().protocolOf(1), 0);

    // Row 1 again: the builder opens filled from the row.
    f.window.tx1708.mid = 0x11;
    f.window.tx1708.midText = QStringLiteral("11");
    f.select(0, IDC_TX_J1708);
    QString shown;
    whenModalRuns([&shown](platform::Dialog& d) {
        shown = d.edit(IDC_MID_HEX)->text();
        typeInto(d, IDC_PID_HEX, QStringLiteral("1"));
        clickItem(d, platform::IDOK);
    });
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(shown, QStringLiteral("80"));
    QCOMPARE(f.summaryShown(0), QStringLiteral("TXJ1708  80  01  "));
    QCOMPARE(int(f.window.j1708Rows), 1);
}

void TransmitDlgTest::replaceAcrossProtocols() {
    Fixture f;
    f.enableAll();
    createJ1708(f, 0);
    f.select(0, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(f.j1850.opened, 1);
    QVERIFY(!f.j1850.refilledFrom); // the row held another protocol's message
    QCOMPARE(int(f.window.j1708Rows), 0);
    QCOMPARE(int(f.window.j1850Rows), 1);
    QCOMPARE(f.summaryShown(0), QStringLiteral("TXJ1850  080000  "));
    // J1939 on row 2, then J1850 on row 2 is refused while row 1 holds J1850.
    MessageRecorder messages;
    f.select(1, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(int(f.window.j1939Rows), 1);
    f.select(1, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(messages.messages().size(), size_t(1));
    // Replacing row 1's J1850 message by J1939 is refused too; J1850 on row 1 refills.
    f.select(0, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_CREATE);
    QVERIFY(f.j1850.refilledFrom);
    QCOMPARE(f.j1850.refilledFrom->protocol, int32_t(kJ1850));
    // Delete row 2's J1939, then row 1's J1850 can become J1939.
    f.select(1, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_DELETE);
    f.select(0, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(int(f.window.j1850Rows), 0);
    QCOMPARE(int(f.window.j1939Rows), 1);
    QCOMPARE(f.window.table().protocolOf(0), int32_t(kJ1939));
}

void TransmitDlgTest::cancelKeepsRow() {
    Fixture f;
    f.enableAll();
    f.select(2, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_CREATE);
    f.j1939.result = platform::IDCANCEL;
    f.j1939.broadcastCount = 9;
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(f.window.table().copyOf(2)->broadcastCount, int16_t(-1));
    QCOMPARE(int(f.window.j1939Rows), 1);
}

void TransmitDlgTest::deleteMessage() {
    Fixture f;
    f.enableAll();
    FakeTransmitIo io;
    f.select(1, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_CREATE);
    io.clock = 5;
    f.window.table().servePass(0, io);
    io.clock = 6;
    f.window.table().servePass(0, io);
    QCOMPARE(f.window.rowCount(1), 2);
    // Empty row: nothing changes.
    f.select(0, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_DELETE);
    QCOMPARE(int(f.window.j1850Rows), 1);
    f.select(1, IDC_TX_J1850);
    clickItem(f.window, IDC_TX_DELETE);
    QCOMPARE(int(f.window.j1850Rows), 0);
    QVERIFY(f.window.rowSummary[1].isEmpty());
    QVERIFY(f.summaryShown(1).isEmpty());
    QCOMPARE(f.countShown(1), QStringLiteral("0"));
    QCOMPARE(f.window.rowCount(1), 0);
    QCOMPARE(f.window.totalTransmitted(), 2);
    QCOMPARE(f.window.edit(IDC_TX_TOTAL)->text(), QStringLiteral("2"));
}

void TransmitDlgTest::countsOwnedByTransmitSide() {
    Fixture f;
    f.enableAll();
    f.select(0, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_CREATE);
    FakeTransmitIo io;
    for (uint32_t t = 1; t <= 3; ++t) {
        io.clock = t;
        f.window.table().servePass(0, io);
    }
    // The controls still show 0: reading them back must not undo the sends.
    QCOMPARE(f.countShown(0), QStringLiteral("0"));
    clickItem(f.window, IDC_TX_BLOCKING);
    QCOMPARE(f.window.table().blocking.load(), 1);
    f.select(1, IDC_TX_J1939);
    clickItem(f.window, IDC_TX_DELETE);
    QCOMPARE(f.window.rowCount(0), 3);
    // TX_SENT shows them.
    platform::postMessage(&f.window, platform::kUserMessage, TX_SENT, 0);
    QTRY_COMPARE(f.countShown(0), QStringLiteral("3"));
    QCOMPARE(f.window.edit(IDC_TX_TOTAL)->text(), QStringLiteral("3"));
    // A run start zeroes them on the transmit side; TX_STARTED shows that.
    f.window.table().startRun(io);
    platform::postMessage(&f.window, platform::kUserMessage, TX_STARTED, 0);
    QTRY_COMPARE(f.countShown(0), QStringLiteral("0"));
}

void TransmitDlgTest::startStopAndClose() {
    Fixture f;
    f.window.show();
    clickItem(f.window, IDC_TX_START);
    QCOMPARE(f.window.button(IDC_TX_START)->text(), QStringLiteral("&Stop"));
    QVERIFY(f.window.running);
    QCOMPARE(f.shared->transmitStopped.load(), uint8_t(0));
    clickItem(f.window, IDC_TX_START);
    QCOMPARE(f.window.button(IDC_TX_START)->text(), QStringLiteral("&Start"));
    QCOMPARE(f.shared->transmitStopped.load(), uint8_t(1));
    clickItem(f.window, IDC_TX_START);
    clickItem(f.window, IDC_TX_CLOSE);
    QVERIFY(!f.window.isVisible());
    QVERIFY(!f.window.running);
    QCOMPARE(f.shared->transmitStopped.load(), uint8_t(1));
    f.window.show();
    QCOMPARE(f.window.button(IDC_TX_START)->text(), QStringLiteral("&Start"));
    // The close box does the same.
    clickItem(f.window, IDC_TX_START);
    f.window.close();
    QVERIFY(!f.window.isVisible());
    QCOMPARE(f.shared->transmitStopped.load(), uint8_t(1));
}

void TransmitDlgTest::echoTwice() {
    TestDriverControl driver;
    driver.reset();
    auto& binding = connect::driverBinding();
    binding.j1708ClientId = 3;
    binding.j1850ClientId = 4;
    binding.j1939ClientId = 5;
    Fixture f;
    clickItem(f.window, IDC_TX_ECHO);
    QVERIFY(f.window.isItemChecked(IDC_TX_ECHO));
    clickItem(f.window, IDC_TX_ECHO);
    QVERIFY(!f.window.isItemChecked(IDC_TX_ECHO));
    QCOMPARE(driver.calls(), (QStringList{
                                 "SendCommand 16 3 [01] 1 -> 0",
                                 "SendCommand 16 4 [01] 1 -> 0",
                                 "SendCommand 16 5 [01] 1 -> 0",
                                 "SendCommand 16 3 [00] 1 -> 0",
                                 "SendCommand 16 4 [00] 1 -> 0",
                                 "SendCommand 16 5 [00] 1 -> 0",
                             }));
    QCOMPARE(f.window.echo, uint8_t(0));
}

QTEST_MAIN(TransmitDlgTest)
#include "tst_transmit_dlg.moc"
