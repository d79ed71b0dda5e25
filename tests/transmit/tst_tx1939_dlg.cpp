// The J1939 message builder driven as a user would: typing fields and
// identifiers in both bases, arrows at their range ends, refused values, OK
// refused then accepted, reopening, and Create Message in the Transmit window.
#include "res/ids/transmit_ids.h"
#include "res/ids/tx1939_ids.h"
#include "support/ui_helpers.h"
#include "transmit/transmit_dlg.h"
#include "transmit/tx1939_dlg.h"

#include <QApplication>
#include <QTest>

using namespace res;
using namespace testsupport;
using transmit::Tx1939Dlg;

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
// The five fields as one list: priority, page, pf, destination, source.
Bytes fieldsOf(const Tx1939Dlg& dlg) {
    return {dlg.priority, dlg.page, dlg.pf, dlg.destination, dlg.source};
}
} // namespace

class Tx1939DlgTest : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void typedMessages_data();
    void typedMessages();
    void identifierTyped_data();
    void identifierTyped();
    void arrowsAtRangeEnds();
    void dataBytesInBothBases();
    void refusedValuesThenOk();
    void reopenAfterOkAndCancel();
    void refillFromRow();
    void createMessageInTransmitWindow();
};

void Tx1939DlgTest::layout() {
    Tx1939Dlg dlg;
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("1939 Transmit Message Builder"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("0"));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("1"));
        QVERIFY(d.isItemEnabled(IDC_PGN_HEX));
        QVERIFY(!d.isItemEnabled(IDC_PGN_DEC));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(!d.isItemEnabled(kTxDataEdit[i]));
            QCOMPARE(d.edit(kTxDataEdit[i])->accessibleName(), QStringLiteral("Data byte %1").arg(i + 1));
            QCOMPARE(d.upDown(kTxDataSpin[i])->accessibleName(),
                     QStringLiteral("Data byte %1 arrows").arg(i + 1));
        }
        QVERIFY(!d.item(kTxDataEdit[8])); // 8 data bytes only
        QCOMPARE(d.edit(IDC_DEST_DEC)->accessibleName(), QStringLiteral("Destination decimal"));
        QCOMPARE(d.upDown(IDC_TXB_DATA_COUNT_SPIN)->accessibleName(), QStringLiteral("Data Count arrows"));
        const QImage image = d.grab().toImage();
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("TARVIK_SAVE_LAYOUTS"))
            image.save(qEnvironmentVariable("TARVIK_SAVE_LAYOUTS") + "/tx1939.png");
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDCANCEL));
}

void Tx1939DlgTest::typedMessages_data() {
    QTest::addColumn<QString>("priority");
    QTest::addColumn<QString>("pgn");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<Bytes>("buffer");
    QTest::addColumn<QString>("summary");
    QTest::newRow("destination specific")
        << "6"
        << "ea"
        << "ff"
        << "f9" << QStringList{"0", "ee", "0"} << "18EAFFF9"
        << Bytes{0x00, 0xEA, 0x00, 0x06, 0xF9, 0xFF, 0x00, 0xEE, 0x00} << "TXJ1939  18EAFFF9    00  EE  00";
    QTest::newRow("broadcast") << "6"
                               << "FE"
                               << "CA"
                               << "0" << QStringList{} << "18FECA00"
                               << Bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00} << "TXJ1939  18FECA00  ";
    QTest::newRow("short identifier padded with 0")
        << "0"
        << "1"
        << "2"
        << "3" << QStringList{"12"} << "10203" << Bytes{0x00, 0x01, 0x00, 0x00, 0x03, 0x02, 0x12}
        << "TXJ1939  00010203    12";
}

void Tx1939DlgTest::typedMessages() {
    QFETCH(QString, priority);
    QFETCH(QString, pgn);
    QFETCH(QString, destination);
    QFETCH(QString, source);
    QFETCH(QStringList, data);
    QFETCH(QString, identifier);
    QFETCH(Bytes, buffer);
    QFETCH(QString, summary);
    Tx1939Dlg dlg;
    inBuilder([&](platform::Dialog& d) {
        typeInto(d, IDC_PRIORITY, priority);
        typeInto(d, IDC_PGN_HEX, pgn);
        typeInto(d, IDC_DEST_HEX, destination);
        typeInto(d, IDC_SOURCE_HEX, source);
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, int(data.size()));
        for (int i = 0; i < data.size(); ++i)
            typeInto(d, kTxDataEdit[i], data[i]);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), identifier);
        QCOMPARE(textOf(d, IDC_PGN_HEX), pgn.toUpper());
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    const auto message = dlg.buildMessage();
    QCOMPARE(message->protocol, int32_t(transmit::kJ1939));
    QCOMPARE(bytesOf(*message), buffer);
    QCOMPARE(message->length, int16_t(buffer.size()));
    QCOMPARE(QString::fromStdString(dlg.summary()), summary);
}

void Tx1939DlgTest::identifierTyped_data() {
    QTest::addColumn<bool>("hexMode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Bytes>("fields");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hexadecimal") << true << "1cfef1fe" << Bytes{7, 0, 0xFE, 0xF1, 0xFE} << "1CFEF1FE";
    QTest::newRow("bit 25 dropped") << true << "0FFFFFFF" << Bytes{3, 1, 0xFF, 0xFF, 0xFF} << "DFFFFFF";
    QTest::newRow("decimal") << false << "419361278" << Bytes{6, 0, 0xFE, 0xF1, 0xFE} << "419361278";
    QTest::newRow("no number") << true << "g" << Bytes{0, 0, 0, 0, 0} << "0";
}

void Tx1939DlgTest::identifierTyped() {
    QFETCH(bool, hexMode);
    QFETCH(QString, typed);
    QFETCH(Bytes, fields);
    QFETCH(QString, shown);
    Tx1939Dlg dlg;
    dlg.hexMode = hexMode;
    dlg.priority = 5; // replaced by the typed identifier's fields
    dlg.ComposeIdentifier();
    inBuilder([&](platform::Dialog& d) {
        typeInto(d, IDC_IDENTIFIER, typed);
        leaveItem(d, IDC_IDENTIFIER);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), shown);
        QCOMPARE(textOf(d, IDC_PRIORITY), QString::number(fields[0]));
        QCOMPARE(textOf(d, IDC_DEST_HEX), QString::number(fields[3], 16).toUpper());
        QCOMPARE(textOf(d, IDC_SOURCE_DEC), QString::number(fields[4]));
        QCOMPARE(d.upDown(IDC_PGN_DEC_SPIN)->pos(), int(fields[2]));
        QCOMPARE(d.upDown(IDC_PRIORITY_SPIN)->pos(), int(fields[0]));
        // Leaving it again without a change changes nothing.
        d.edit(IDC_IDENTIFIER)->setFocus();
        leaveItem(d, IDC_IDENTIFIER);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), shown);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(fieldsOf(dlg), fields);
    QCOMPARE(dlg.identifierText, shown);
}

void Tx1939DlgTest::arrowsAtRangeEnds() {
    Tx1939Dlg dlg;
    dlg.pf = 0xFE;
    dlg.pfText = QStringLiteral("FE");
    dlg.priority = 6;
    dlg.dataCount = 7;
    dlg.dataValue[0] = 254;
    dlg.ComposeIdentifier();
    inBuilder([](platform::Dialog& d) {
        pressArrow(d, IDC_PGN_HEX_SPIN, +1, 3); // FE, FF, stays FF
        QCOMPARE(textOf(d, IDC_PGN_HEX), QStringLiteral("FF"));
        QCOMPARE(textOf(d, IDC_PGN_DEC), QStringLiteral("255"));
        QCOMPARE(d.upDown(IDC_PGN_DEC_SPIN)->pos(), 255);
        pressArrow(d, IDC_SOURCE_HEX_SPIN, -1, 2); // stays 0
        QCOMPARE(textOf(d, IDC_SOURCE_HEX), QStringLiteral("0"));
        pressArrow(d, IDC_PRIORITY_SPIN, +1, 3); // 7 at most
        QCOMPARE(textOf(d, IDC_PRIORITY), QStringLiteral("7"));
        pressArrow(d, IDC_PAGE_SPIN, +1, 2); // 1 at most
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("1DFF0000"));
        pressArrow(d, kTxDataSpin[0], +1, 3);
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("FF"));
        QCOMPARE(d.upDown(kTxDataSpin[0])->pos(), 255);
        pressArrow(d, kTxDataSpin[1], -1);
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("0"));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[7]));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 4); // 8 at most
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("8"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[7]));
        pressArrow(d, IDC_TXB_DELAY_SPIN, -1);
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("0"));
        pressArrow(d, IDC_TXB_BROADCAST_SPIN, -1, 3); // 1, 0, -1, stays -1
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(fieldsOf(dlg), (Bytes{7, 1, 0xFF, 0, 0}));
    QCOMPARE(dlg.identifier, 0x1DFF0000u);
    QCOMPARE(dlg.dataValue[0], uint16_t(255));
    QCOMPARE(dlg.broadcastCount, int16_t(-1));
    const auto message = dlg.buildMessage();
    QCOMPARE(message->length, int16_t(14));
    QCOMPARE(message->broadcastCount, int16_t(-1));
    QCOMPARE(Bytes(message->buffer.begin(), message->buffer.begin() + 7), (Bytes{0, 0xFF, 1, 7, 0, 0, 0xFF}));
}

void Tx1939DlgTest::dataBytesInBothBases() {
    Tx1939Dlg dlg;
    dlg.dataCount = 2;
    dlg.dataValue[1] = 0xAB;
    inBuilder([](platform::Dialog& d) {
        typeInto(d, kTxDataEdit[0], QStringLiteral("7x"));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("7"));
        QCOMPARE(d.upDown(kTxDataSpin[0])->pos(), 7);
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("171"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("0"));
        QVERIFY(d.isItemEnabled(IDC_DEST_DEC));
        QVERIFY(!d.isItemEnabled(IDC_DEST_HEX));
        typeInto(d, IDC_DEST_DEC, QStringLiteral("240"));
        QCOMPARE(textOf(d, IDC_DEST_HEX), QStringLiteral("F0"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("61440"));
        pressArrow(d, kTxDataSpin[1], +1);
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("172"));
        // A decimal text above 255 is kept: the buffer takes its low 8 bits.
        typeInto(d, kTxDataEdit[0], QStringLiteral("300"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QVERIFY(!dlg.hexMode);
    QCOMPARE(dlg.dataValue[0], uint16_t(300));
    QCOMPARE(dlg.dataValue[1], uint16_t(172));
    QCOMPARE(dlg.buildMessage()->buffer[6], uint8_t(300 & 0xFF));
    QCOMPARE(QString::fromStdString(dlg.summary()), QStringLiteral("TXJ1939  00061440    12C  AC"));
}

void Tx1939DlgTest::refusedValuesThenOk() {
    Tx1939Dlg dlg;
    MessageRecorder messages;
    inBuilder([&messages](platform::Dialog& d) {
        typeInto(d, IDC_TXB_BROADCAST, QStringLiteral("40000"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("-1 and 32767")));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("4000"));
        messages.clear();
        typeInto(d, IDC_TXB_DELAY, QStringLiteral("70000"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 65535")));
        messages.clear();
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("9"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 8")));
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("9"));
        clickItem(d, platform::IDOK); // refused: the window stays and keeps working
        QVERIFY(d.isVisible());
        QCOMPARE(messages.messages().size(), size_t(2));
        typeInto(d, IDC_PGN_HEX, QStringLiteral("f0"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("F00000"));
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("8"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[7]));
        typeInto(d, kTxDataEdit[7], QStringLiteral("5a"));
        QCOMPARE(textOf(d, kTxDataEdit[7]), QStringLiteral("5A"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(dlg.broadcastCount, int16_t(4000));
    QCOMPARE(dlg.delay, 7000);
    QCOMPARE(int(dlg.dataCount), 8);
    QCOMPARE(dlg.dataValue[7], uint16_t(0x5A));
    QCOMPARE(dlg.buildMessage()->length, int16_t(14));
    QVERIFY(dlg.suppressSync);
}

void Tx1939DlgTest::reopenAfterOkAndCancel() {
    Tx1939Dlg dlg;
    inBuilder([](platform::Dialog& d) {
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("F9"));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1);
        typeInto(d, kTxDataEdit[0], QStringLiteral("3e"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    // Reopened: decimal mode, the same fields, the data edit enabled by the showing.
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("249"));
        QCOMPARE(textOf(d, IDC_SOURCE_DEC), QStringLiteral("249"));
        QVERIFY(d.isItemEnabled(IDC_SOURCE_DEC));
        QVERIFY(!d.isItemEnabled(IDC_SOURCE_HEX));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("62"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[0]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[1]));
        typeInto(d, IDC_SOURCE_DEC, QStringLiteral("17"));
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDCANCEL));
    QCOMPARE(dlg.source, uint8_t(17)); // Cancel keeps what the last read put into the members
    QVERIFY(dlg.suppressSync);
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_SOURCE_DEC), QStringLiteral("17"));
        QCOMPARE(textOf(d, IDC_SOURCE_HEX), QStringLiteral("11"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("17"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("11"));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("3E"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(QString::fromStdString(dlg.summary()), QStringLiteral("TXJ1939  00000011    3E"));
}

void Tx1939DlgTest::refillFromRow() {
    auto record = transmit::newTxMessage(transmit::kJ1939);
    const Bytes bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00, 0x42};
    std::copy(bytes.begin(), bytes.end(), record->buffer.begin());
    record->length = 7;
    record->broadcastCount = -1;
    record->delay = 50000;
    record->interval = 100;
    Tx1939Dlg dlg;
    dlg.refillFrom(*record);
    QCOMPARE(dlg.identifierText, QStringLiteral("18FECA00"));
    QVERIFY(!dlg.detached);
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_DEST_HEX), QStringLiteral("CA"));
        QCOMPARE(textOf(d, IDC_PGN_HEX), QStringLiteral("FE"));
        QCOMPARE(textOf(d, IDC_IDENTIFIER), QStringLiteral("18FECA00"));
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("50000"));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("42"));
        QCOMPARE(d.upDown(IDC_DEST_DEC_SPIN)->pos(), 0xCA);
        QVERIFY(d.isItemEnabled(kTxDataEdit[0]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[1]));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(bytesOf(*dlg.buildMessage()), bytes);
}

void Tx1939DlgTest::createMessageInTransmitWindow() {
    auto* shared = new transmit::TransmitShared; // the window's thread side may outlive the test
    shared->transmitEvent = platform::createAutoResetEvent().release();
    Tx1939Dlg builder;
    transmit::TransmitDlg window(*shared);
    window.setBuilder(2, &builder);
    window.create();
    window.enableProtocolControls(connect::Protocol::J1939);
    window.show();
    clickItem(window, kTransmitRowIds[1].radio);
    clickItem(window, IDC_TX_J1939);
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("1939 Transmit Message Builder"));
        typeInto(d, IDC_PRIORITY, QStringLiteral("6"));
        typeInto(d, IDC_PGN_HEX, QStringLiteral("FE"));
        typeInto(d, IDC_DEST_HEX, QStringLiteral("CA"));
        clickItem(d, platform::IDOK);
    });
    clickItem(window, IDC_TX_CREATE);
    QCOMPARE(window.j1939Rows, uint8_t(1));
    QCOMPARE(window.edit(kTransmitRowIds[1].summary)->text(), QStringLiteral("TXJ1939  18FECA00  "));
    QCOMPARE(window.table().protocolOf(1), int32_t(transmit::kJ1939));
    // Editing the row again opens the builder refilled from it.
    builder.destination = 0;
    builder.destinationText = QStringLiteral("0");
    inBuilder([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_DEST_HEX), QStringLiteral("CA"));
        typeInto(d, IDC_SOURCE_HEX, QStringLiteral("F9"));
        clickItem(d, platform::IDOK);
    });
    clickItem(window, IDC_TX_CREATE);
    QCOMPARE(window.j1939Rows, uint8_t(1));
    QCOMPARE(window.edit(kTransmitRowIds[1].summary)->text(), QStringLiteral("TXJ1939  18FECAF9  "));
    const auto record = window.table().copyOf(1);
    QVERIFY(record.has_value());
    QCOMPARE(bytesOf(*record), (Bytes{0xCA, 0xFE, 0x00, 0x06, 0xF9, 0x00}));
    window.hide();
}

QTEST_MAIN(Tx1939DlgTest)
#include "tst_tx1939_dlg.moc"
