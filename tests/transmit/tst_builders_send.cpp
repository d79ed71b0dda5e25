// A J1939 and a J1850 row built through their builders in the Transmit
// window, then sent by the transmit thread through the binding to the test
// driver on the J1939 and J1850 clients, with the counts shown rising.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "platform/thread.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx1850_ids.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"
#include "transmit/transmit1850_form.h"
#include "transmit/transmit_dlg.h"
#include "transmit/tx1939_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

using namespace res;
using namespace testsupport;
using namespace transmit;

class BuildersSendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void builtRowsSentOnTheirClients();
};

void BuildersSendTest::initTestCase() {
    QVERIFY(connect::loadDriverForTest(kTestDriverName));
}

void BuildersSendTest::builtRowsSentOnTheirClients() {
    TestDriverControl driver;
    QVERIFY(driver.isValid());
    driver.reset();
    auto& binding = connect::driverBinding();
    binding.connectedProtocols = connect::J1850_BIT | connect::J1939_BIT;
    binding.j1850ClientId = 5;
    binding.j1939ClientId = 7;

    // The window, its builders and the thread live to the end of the process.
    auto* shared = new TransmitShared;
    shared->transmitEvent = platform::createAutoResetEvent().release();
    platform::startThread([shared] { runTransmitThread(*shared, driverTransmitIo()); }, 0x8000);
    auto* tx1850 = new Transmit1850Form;
    auto* tx1939 = new Tx1939Dlg;
    auto* window = new TransmitDlg(*shared);
    window->setBuilder(1, tx1850);
    window->setBuilder(2, tx1939);
    window->create();
    window->enableProtocolControls(connect::Protocol::J1850);
    window->enableProtocolControls(connect::Protocol::J1939);
    window->show();

    clickItem(*window, kTransmitRowIds[0].radio);
    clickItem(*window, IDC_TX_J1850);
    whenModalRuns([](platform::Dialog& d) {
        typeInto(d, IDC_PRIORITY, QStringLiteral("3"));
        QComboBox* combo = d.comboBox(IDC_TX1850_ADDRESS_TYPE);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down); // Physical
        typeInto(d, IDC_TX1850_TYPE_MODIFIER, QStringLiteral("2"));
        typeInto(d, IDC_TX1850_TARGET_HEX, QStringLiteral("6A"));
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("F1"));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 2);
        typeInto(d, kTxDataEdit[0], QStringLiteral("1"));
        typeInto(d, kTxDataEdit[1], QStringLiteral("3E"));
        clickItem(d, platform::IDOK);
    });
    clickItem(*window, IDC_TX_CREATE);

    clickItem(*window, kTransmitRowIds[1].radio);
    clickItem(*window, IDC_TX_J1939);
    whenModalRuns([](platform::Dialog& d) {
        typeInto(d, IDC_PRIORITY, QStringLiteral("6"));
        typeInto(d, IDC_PGN_HEX, QStringLiteral("FE"));
        typeInto(d, IDC_DEST_HEX, QStringLiteral("CA"));
        typeInto(d, IDC_TXB_BROADCAST, QStringLiteral("2"));
        clickItem(d, platform::IDOK);
    });
    clickItem(*window, IDC_TX_CREATE);
    QCOMPARE(window->edit(kTransmitRowIds[0].summary)->text(), QStringLiteral("TXJ1850  6E6AF1    01  3E"));
    QCOMPARE(window->edit(kTransmitRowIds[1].summary)->text(), QStringLiteral("TXJ1939  18FECA00  "));

    clickItem(*window, IDC_TX_START);
    QTRY_COMPARE(window->edit(IDC_TX_TOTAL)->text(), QStringLiteral("3"));
    QCOMPARE(window->edit(kTransmitRowIds[0].count)->text(), QStringLiteral("1"));
    QCOMPARE(window->edit(kTransmitRowIds[1].count)->text(), QStringLiteral("2"));
    clickItem(*window, IDC_TX_START);
    QTRY_VERIFY(shared->threadIdle.load());

    QStringList sends;
    for (const QString& call : driver.calls())
        if (call.startsWith(QStringLiteral("SendMessage")))
            sends << call;
    // Which row goes first depends on when the clock ticks past the rows'
    // zero delay; the row order itself is tested on a controlled clock.
    sends.sort();
    QCOMPARE(sends, (QStringList{"SendMessage 5 [03 00 02 6E 6A F1 01 3E] 8 0 0 -> 0",
                                 "SendMessage 7 [CA FE 00 06 00 00] 6 0 0 -> 0",
                                 "SendMessage 7 [CA FE 00 06 00 00] 6 0 0 -> 0"}));
    window->hide();
}

QTEST_MAIN(BuildersSendTest)
#include "tst_builders_send.moc"
