// The J1850 message builder driven as a user would: the header fields, the
// identifier typed in both bases and left, arrows at their range ends,
// refused values, OK refused then accepted, reopening, and Create Message in
// the Transmit window.
#include "res/ids/transmit_ids.h"
#include "res/ids/tx1850_ids.h"
#include "support/ui_helpers.h"
#include "transmit/transmit1850_form.h"
#include "transmit/transmit_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

using namespace res;
using namespace testsupport;
using transmit::Transmit1850Form;

using Bytes = std::vector<uint8_t>;

namespace {
Bytes bytesOf(const transmit::TxMessage& message) {
    return {message.buffer.begin(), message.buffer.begin() + message.length};
}
QString textOf(platform::Dialog& dialog, int id) {
    return dialog.edit(id)->text();
}
// Acts in the next builder that opens; a builder still open after the
// action (a failed check returned early) is closed with a code no test expects.
void inBuilder(std::function<void(platform::Dialog&)> action) {
    whenModalRuns([action](platform::Dialog& d) {
        action(d);
        if (d.isVisible())
            d.endDialog(-2);
    });
}
// Picks an Address Type entry with the keyboard, as a user would.
void pickAddressType(platform::Dialog& d, int index) {
    QComboBox* combo = d.comboBox(IDC_TX1850_ADDRESS_TYPE);
    combo->setFocus();
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Up);
}
// priority, address type, type modifier, target, source.
Bytes headerOf(const Transmit1850Form& f) {
    return {f.priority, uint8_t(f.addressType), f.typeModifier, f.target, f.source};
}
} // namespace

class Tx1850FormTest : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void firstOpeningUnchanged();
    void typedMessage();
    void identifierTyped_data();
    void identifierTyped();
    void decimalMode();
    void arrowsAtRangeEnds();
    void refusedValuesThenOk();
    void reopenAfterOkAndCancel();
    void refillFromRow();
    void createMessageInTransmitWindow();
};

void Tx1850FormTest::layout() {
    Transmit1850Form form;
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("J1850 Transmit Message Builder"));
        QCOMPARE(textOf(d, IDC_TX1850_IFR), QStringLiteral("Not allowed"));
        QVERIFY(!d.isItemEnabled(IDC_TX1850_IFR));
        QComboBox* combo = d.comboBox(IDC_TX1850_ADDRESS_TYPE);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("Functional"));
        QCOMPARE(combo->itemText(1), QStringLiteral("Physical"));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(d.isItemEnabled(IDC_TX1850_TARGET_HEX));
        QVERIFY(!d.isItemEnabled(IDC_TX1850_TARGET_DEC));
        QVERIFY(!d.isItemEnabled(IDC_SOURCE_DEC));
        for (int i = 0; i < 9; ++i) {
            QVERIFY(!d.isItemEnabled(kTxDataEdit[i]));
            QCOMPARE(d.upDown(kTxDataSpin[i])->accessibleName(),
                     QStringLiteral("Data byte %1 arrows").arg(i + 1));
        }
        QVERIFY(!d.item(kTxDataEdit[9]));
        QCOMPARE(d.edit(IDC_TX1850_TARGET_HEX)->accessibleName(),
                 QStringLiteral("Target/Primary ID hexadecimal"));
        QCOMPARE(d.upDown(IDC_TX1850_TYPE_MODIFIER_SPIN)->accessibleName(),
                 QStringLiteral("Type Modifier arrows"));
        QCOMPARE(combo->accessibleName(), QStringLiteral("Address Type"));
        QCOMPARE(d.edit(IDC_TX1850_IFR)->accessibleName(), QStringLiteral("IFR"));
        const QImage image = d.grab().toImage();
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("TARVIK_SAVE_LAYOUTS"))
            image.save(qEnvironmentVariable("TARVIK_SAVE_LAYOUTS") + "/tx1850.png");
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDCANCEL));
}

void Tx1850FormTest::firstOpeningUnchanged() {
    Transmit1850Form form;
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("80000"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    const auto message = form.buildMessage();
    QCOMPARE(message->protocol, int32_t(transmit::kJ1850));
    QCOMPARE(bytesOf(*message), (Bytes{3, 0, 0, 0x08, 0, 0}));
    QCOMPARE(message->broadcastCount, int16_t(1));
    QCOMPARE(QString::fromStdString(form.summary()), QStringLiteral("TXJ1850  080000  "));
}

void Tx1850FormTest::typedMessage() {
    Transmit1850Form form;
    inBuilder([](platform::Dialog& d) {
        typeInto(d, IDC_PRIORITY, QStringLiteral("3"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("680000"));
        pickAddressType(d, 1);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("6C0000"));
        typeInto(d, IDC_TX1850_TYPE_MODIFIER, QStringLiteral("2"));
        typeInto(d, IDC_TX1850_TARGET_HEX, QStringLiteral("6a"));
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("f1"));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QStringLiteral("6A"));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_DEC), QStringLiteral("106"));
        QCOMPARE(d.upDown(IDC_SOURCE_DEC_SPIN)->pos(), 0xF1);
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 2);
        typeInto(d, kTxDataEdit[0], QStringLiteral("1"));
        typeInto(d, kTxDataEdit[1], QStringLiteral("3e"));
        typeInto(d, IDC_TXB_INTERVAL, QStringLiteral("100"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("6E6AF1"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(form.identifier, 0x6E6AF1u);
    const auto message = form.buildMessage();
    QCOMPARE(bytesOf(*message), (Bytes{3, 0, 2, 0x6E, 0x6A, 0xF1, 0x01, 0x3E}));
    QCOMPARE(message->length, int16_t(8));
    QCOMPARE(message->interval, uint16_t(100));
    QCOMPARE(QString::fromStdString(form.summary()), QStringLiteral("TXJ1850  6E6AF1    01  3E"));
}

void Tx1850FormTest::identifierTyped_data() {
    QTest::addColumn<bool>("hexMode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<uint32_t>("identifier");
    QTest::addColumn<Bytes>("header");
    QTest::addColumn<QString>("shown");
    QTest::newRow("FFFFFF: H cleared")
        << true << "ffffff" << 0xEFFFFFu << Bytes{7, 1, 3, 0xFF, 0xFF} << "EFFFFF";
    QTest::newRow("7FFFFF") << true << "7FFFFF" << 0x6FFFFFu << Bytes{3, 1, 3, 0xFF, 0xFF} << "6FFFFF";
    QTest::newRow("1234567: above bit 23 dropped")
        << true << "1234567" << 0x2B4567u << Bytes{1, 0, 3, 0x45, 0x67} << "2B4567";
    QTest::newRow("K set") << true << "0" << 0x080000u << Bytes{0, 0, 0, 0, 0} << "80000";
    QTest::newRow("decimal") << false << "16777215" << 0xEFFFFFu << Bytes{7, 1, 3, 0xFF, 0xFF} << "15728639";
    QTest::newRow("no number keeps the identifier")
        << true << "x" << 0x080000u << Bytes{0, 0, 0, 0, 0} << "80000";
}

void Tx1850FormTest::identifierTyped() {
    QFETCH(bool, hexMode);
    QFETCH(QString, typed);
    QFETCH(uint32_t, identifier);
    QFETCH(Bytes, header);
    QFETCH(QString, shown);
    Transmit1850Form form;
    form.hexMode = hexMode;
    form.ComposeIdentifier();
    inBuilder([&](platform::Dialog& d) {
        typeInto(d, IDC_IDENTIFIER, typed);
        leaveItem(d, IDC_IDENTIFIER);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), shown);
        QCOMPARE(textOf(d, IDC_PRIORITY), QString::number(header[0]));
        QCOMPARE(d.comboBox(IDC_TX1850_ADDRESS_TYPE)->currentIndex(), int(header[1]));
        QCOMPARE(textOf(d, IDC_TX1850_TYPE_MODIFIER), QString::number(header[2]));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QString::number(header[3], 16).toUpper());
        QCOMPARE(textOf(d, IDC_SOURCE_DEC), QString::number(header[4]));
        QCOMPARE(d.upDown(IDC_TX1850_TARGET_DEC_SPIN)->pos(), int(header[3]));
        QCOMPARE(d.upDown(IDC_SOURCE_HEX_SPIN)->pos(), int(header[4]));
        QCOMPARE(d.upDown(IDC_PRIORITY_SPIN)->pos(), int(header[0]));
        QCOMPARE(d.upDown(IDC_TX1850_TYPE_MODIFIER_SPIN)->pos(), int(header[2]));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(form.identifier, identifier);
    QCOMPARE(headerOf(form), header);
    QCOMPARE(form.identifierText, shown);
}

void Tx1850FormTest::decimalMode() {
    Transmit1850Form form;
    MessageRecorder messages;
    inBuilder([&messages](platform::Dialog& d) {
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("524288"));
        QVERIFY(d.isItemEnabled(IDC_TX1850_TARGET_DEC));
        QVERIFY(d.isItemEnabled(IDC_SOURCE_DEC));
        QVERIFY(!d.isItemEnabled(IDC_TX1850_TARGET_HEX));
        QVERIFY(!d.isItemEnabled(IDC_SOURCE_HEX));
        typeInto(d, IDC_TX1850_TARGET_DEC, QStringLiteral("106"));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QStringLiteral("6A"));
        QCOMPARE(d.upDown(IDC_TX1850_TARGET_HEX_SPIN)->pos(), 106);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QString::number(0x086A00));
        typeInto(d, IDC_TX1850_TARGET_DEC, QStringLiteral("256"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 255")));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_DEC), QStringLiteral("25"));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1);
        typeInto(d, kTxDataEdit[0], QStringLiteral("200"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("C8"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("81900"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QVERIFY(!form.hexMode);
    QCOMPARE(form.target, uint8_t(25));
    // The summary shows the identifier as displayed: decimal, padded with 0.
    QCOMPARE(QString::fromStdString(form.summary()), QStringLiteral("TXJ1850  530688    C8"));
}

void Tx1850FormTest::arrowsAtRangeEnds() {
    Transmit1850Form form;
    form.target = 0xFE;
    form.targetText = QStringLiteral("FE");
    form.dataCount = 8;
    form.ComposeIdentifier();
    inBuilder([](platform::Dialog& d) {
        pressArrow(d, IDC_TX1850_TARGET_HEX_SPIN, +1, 3);
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QStringLiteral("FF"));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_DEC), QStringLiteral("255"));
        QCOMPARE(d.upDown(IDC_TX1850_TARGET_DEC_SPIN)->pos(), 255);
        pressArrow(d, IDC_SOURCE_HEX_SPIN, -1);
        QCOMPARE(textOf(d, IDC_SOURCE_HEX), QStringLiteral("0"));
        pressArrow(d, IDC_PRIORITY_SPIN, +1, 9);
        QCOMPARE(textOf(d, IDC_PRIORITY), QStringLiteral("7"));
        pressArrow(d, IDC_TX1850_TYPE_MODIFIER_SPIN, +1, 5);
        QCOMPARE(textOf(d, IDC_TX1850_TYPE_MODIFIER), QStringLiteral("3"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("EBFF00"));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[8]));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 3);
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("9"));
        for (int i = 0; i < 9; ++i)
            QVERIFY(d.isItemEnabled(kTxDataEdit[i]));
        pressArrow(d, kTxDataSpin[8], -1);
        QCOMPARE(textOf(d, kTxDataEdit[8]), QStringLiteral("0"));
        pressArrow(d, kTxDataSpin[8], +1, 2);
        QCOMPARE(textOf(d, kTxDataEdit[8]), QStringLiteral("2"));
        typeInto(d, IDC_TXB_BROADCAST, QStringLiteral("0"));
        pressArrow(d, IDC_TXB_BROADCAST_SPIN, -1);
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        pressArrow(d, IDC_TXB_BROADCAST_SPIN, -1);
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(headerOf(form), (Bytes{7, 0, 3, 0xFF, 0}));
    QCOMPARE(form.dataValue[8], uint16_t(2));
    QCOMPARE(form.broadcastCount, int16_t(-1));
    const auto message = form.buildMessage();
    QCOMPARE(message->length, int16_t(15));
    QCOMPARE(message->buffer[3], uint8_t(0xEB));
    QCOMPARE(message->buffer[14], uint8_t(2));
    QCOMPARE(message->broadcastCount, int16_t(-1));
}

void Tx1850FormTest::refusedValuesThenOk() {
    Transmit1850Form form;
    MessageRecorder messages;
    inBuilder([&messages](platform::Dialog& d) {
        typeInto(d, IDC_TXB_DELAY, QStringLiteral("65536"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 65535")));
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("6553")); // the last good value
        messages.clear();
        typeInto(d, IDC_TX1850_TYPE_MODIFIER, QStringLiteral("4"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 3")));
        QCOMPARE(textOf(d, IDC_TX1850_TYPE_MODIFIER), QStringLiteral("0"));
        messages.clear();
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("10")); // a refused count stays shown
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 9")));
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("10"));
        messages.clear();
        clickItem(d, platform::IDOK);
        QVERIFY(d.isVisible());
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 9")));
        // Corrected, the window works on: the fields keep synchronising.
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("9"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[8]));
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("f1"));
        QCOMPARE(textOf(d, IDC_SOURCE_DEC), QStringLiteral("241"));
        typeInto(d, IDC_TXB_DELAY, QStringLiteral("65535"));
        messages.clear();
        clickItem(d, platform::IDOK);
        QVERIFY(messages.messages().empty());
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(form.delay, 65535);
    QCOMPARE(int(form.dataCount), 9);
    QCOMPARE(form.source, uint8_t(0xF1));
    QCOMPARE(form.buildMessage()->delay, uint16_t(65535));
    QVERIFY(form.suppressSync);
}

void Tx1850FormTest::reopenAfterOkAndCancel() {
    Transmit1850Form form;
    inBuilder([](platform::Dialog& d) {
        typeInto(d, IDC_TX1850_TARGET_HEX, QStringLiteral("10"));
        pickAddressType(d, 1);
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1);
        typeInto(d, kTxDataEdit[0], QStringLiteral("ab"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(form.identifierText, QString::number(0x0C1000));
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QString::number(0x0C1000));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_DEC), QStringLiteral("16"));
        QVERIFY(d.isItemEnabled(IDC_TX1850_TARGET_DEC));
        QCOMPARE(d.comboBox(IDC_TX1850_ADDRESS_TYPE)->currentIndex(), 1);
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("171"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[0]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[1]));
        pickAddressType(d, 0);
        typeInto(d, IDC_TX1850_TARGET_DEC, QStringLiteral("32"));
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDCANCEL));
    QCOMPARE(form.target, uint8_t(32)); // Cancel keeps what the last read put into the members
    QCOMPARE(form.addressType, 0);
    QVERIFY(form.suppressSync);
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QStringLiteral("20"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QString::number(0x082000));
        QCOMPARE(d.comboBox(IDC_TX1850_ADDRESS_TYPE)->currentIndex(), 0);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(bytesOf(*form.buildMessage()), (Bytes{3, 0, 1, 0x08, 0x20, 0x00, 0xAB}));
}

void Tx1850FormTest::refillFromRow() {
    auto record = transmit::newTxMessage(transmit::kJ1850);
    const Bytes bytes{3, 0, 2, 0x6E, 0x6A, 0xF1, 0x01, 0x3E};
    std::copy(bytes.begin(), bytes.end(), record->buffer.begin());
    record->length = 8;
    record->broadcastCount = -1;
    record->delay = 40000;
    Transmit1850Form form;
    form.refillFrom(*record);
    QCOMPARE(form.identifierText, QStringLiteral("6E6AF1"));
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_PRIORITY), QStringLiteral("3"));
        QCOMPARE(d.comboBox(IDC_TX1850_ADDRESS_TYPE)->currentIndex(), 1);
        QCOMPARE(textOf(d, IDC_TX1850_TYPE_MODIFIER), QStringLiteral("2"));
        QCOMPARE(textOf(d, IDC_TX1850_TARGET_HEX), QStringLiteral("6A"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("6E6AF1"));
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("3E"));
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("40000"));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        QCOMPARE(d.upDown(IDC_TX1850_TYPE_MODIFIER_SPIN)->pos(), 2);
        QVERIFY(d.isItemEnabled(kTxDataEdit[1]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[2]));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(form.openBuilder(), int(platform::IDOK));
    QCOMPARE(bytesOf(*form.buildMessage()), bytes);
}

void Tx1850FormTest::createMessageInTransmitWindow() {
    auto* shared = new transmit::TransmitShared; // the window's thread side may outlive the test
    shared->transmitEvent = platform::createAutoResetEvent().release();
    Transmit1850Form builder;
    transmit::TransmitDlg window(*shared);
    window.setBuilder(1, &builder);
    window.create();
    window.enableProtocolControls(connect::Protocol::J1850);
    window.show();
    clickItem(window, kTransmitRowIds[0].radio);
    clickItem(window, IDC_TX_J1850);
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("J1850 Transmit Message Builder"));
        clickItem(d, platform::IDOK);
    });
    clickItem(window, IDC_TX_CREATE);
    QCOMPARE(window.j1850Rows, uint8_t(1));
    QCOMPARE(window.edit(kTransmitRowIds[0].summary)->text(), QStringLiteral("TXJ1850  080000  "));
    // Cancel changes nothing.
    inBuilder([](platform::Dialog& d) {
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("F1"));
        clickItem(d, platform::IDCANCEL);
    });
    clickItem(window, IDC_TX_CREATE);
    QCOMPARE(window.edit(kTransmitRowIds[0].summary)->text(), QStringLiteral("TXJ1850  080000  "));
    // A second J1850 row is refused.
    MessageRecorder messages;
    clickItem(window, kTransmitRowIds[2].radio);
    clickItem(window, IDC_TX_CREATE);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("You may only create one message per protocol")});
    QCOMPARE(window.j1850Rows, uint8_t(1));
    window.hide();
}

QTEST_MAIN(Tx1850FormTest)
#include "tst_tx1850_form.moc"
