// The J1708 message builder driven as a user would: typing, arrows, the
// display base, refused values and OK.
#include "res/ids/tx1708_ids.h"
#include "support/ui_helpers.h"
#include "transmit/tx1708_dlg.h"

#include <QApplication>
#include <QTest>

using namespace res;
using namespace testsupport;
using transmit::Tx1708Dlg;

namespace {
std::vector<uint8_t> bytesOf(const transmit::TxMessage& message) {
    return {message.buffer.begin(), message.buffer.begin() + message.length};
}
QString textOf(platform::Dialog& dialog, int id) {
    return dialog.edit(id)->text();
}
// Replaces an edit's text in one change, as pasting does.
void pasteInto(platform::Dialog& dialog, int id, const QString& text) {
    dialog.edit(id)->setFocus();
    dialog.edit(id)->selectAll();
    dialog.edit(id)->insert(text);
}
} // namespace

class Tx1708DlgTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsGiveHeadOnly();
    void typedMessage();
    void dataCountArrows();
    void dataTextsInBothBases();
    void broadcastDownToUnlimited();
    void refusedValues();
    void refillShowsRecord();
    void cancelKeepsFields();
};

void Tx1708DlgTest::defaultsGiveHeadOnly() {
    Tx1708Dlg dlg;
    whenModalRuns([](platform::Dialog& d) {
        QVERIFY(!d.isItemEnabled(IDC_TX1708_CHECKSUM_HEX));
        QVERIFY(!d.isItemEnabled(IDC_TX1708_CHECKSUM_DEC));
        QCOMPARE(textOf(d, IDC_TX1708_CHECKSUM_HEX), QStringLiteral("0"));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("1"));
        for (int id : kTxDataEdit)
            QVERIFY(!d.isItemEnabled(id));
        if (qEnvironmentVariableIsSet("TARVIK_RENDER_DIR"))
            d.grab().save(qEnvironmentVariable("TARVIK_RENDER_DIR") + QStringLiteral("/tx1708.png"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    const auto message = dlg.buildMessage();
    QCOMPARE(bytesOf(*message), (std::vector<uint8_t>{0, 0, 0}));
    QCOMPARE(message->broadcastCount, int16_t(1));
    QCOMPARE(QString::fromStdString(dlg.summary()), QStringLiteral("TXJ1708  00  00  "));
}

void Tx1708DlgTest::typedMessage() {
    Tx1708Dlg dlg;
    whenModalRuns([](platform::Dialog& d) {
        typeInto(d, IDC_TX1708_PRIORITY, QStringLiteral("8"));
        typeInto(d, IDC_MID_HEX, QStringLiteral("c8"));
        typeInto(d, IDC_PID_HEX, QStringLiteral("a"));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 2);
        typeInto(d, kTxDataEdit[0], QStringLiteral("1"));
        typeInto(d, kTxDataEdit[1], QStringLiteral("2"));
        typeInto(d, IDC_TXB_DELAY, QStringLiteral("1000"));
        typeInto(d, IDC_TXB_INTERVAL, QStringLiteral("500"));
        QCOMPARE(textOf(d, IDC_MID_HEX), QStringLiteral("C8"));
        QCOMPARE(textOf(d, IDC_MID_DEC), QStringLiteral("200"));
        QCOMPARE(d.upDown(IDC_MID_DEC_SPIN)->pos(), 200);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    const auto message = dlg.buildMessage();
    QCOMPARE(bytesOf(*message), (std::vector<uint8_t>{8, 0xC8, 0x0A, 1, 2}));
    QCOMPARE(message->length, int16_t(5));
    QCOMPARE(message->delay, uint16_t(1000));
    QCOMPARE(message->interval, uint16_t(500));
    QCOMPARE(QString::fromStdString(dlg.summary()), QStringLiteral("TXJ1708  C8  0A    01  02"));
}

void Tx1708DlgTest::dataCountArrows() {
    Tx1708Dlg dlg;
    dlg.dataCount = 2;
    dlg.dataValue[0] = 0x11;
    dlg.dataValue[1] = 0x22;
    whenModalRuns([](platform::Dialog& d) {
        QVERIFY(d.isItemEnabled(kTxDataEdit[1]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[2]));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1);
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("3"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[2]));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("11"));
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("22"));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, +1, 30); // clamped at 19
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("19"));
        for (int id : kTxDataEdit)
            QVERIFY(d.isItemEnabled(id));
        pressArrow(d, IDC_TXB_DATA_COUNT_SPIN, -1, 18);
        QVERIFY(d.isItemEnabled(kTxDataEdit[0]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[1]));
        // A data byte's arrows step its text and value.
        pressArrow(d, kTxDataSpin[0], +1, 2);
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("13"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(int(dlg.dataCount), 1);
    QCOMPARE(int(dlg.dataValue[0]), 0x13);
    QCOMPARE(dlg.buildMessage()->length, int16_t(4));
}

void Tx1708DlgTest::dataTextsInBothBases() {
    Tx1708Dlg dlg;
    dlg.dataCount = 3;
    dlg.dataValue[2] = 255;
    whenModalRuns([](platform::Dialog& d) {
        pasteInto(d, kTxDataEdit[0], QStringLiteral("1g4"));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("1"));
        QCOMPARE(textOf(d, kTxDataEdit[2]), QStringLiteral("FF"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, kTxDataEdit[2]), QStringLiteral("255"));
        QVERIFY(d.isItemEnabled(IDC_MID_DEC));
        QVERIFY(!d.isItemEnabled(IDC_MID_HEX));
        typeInto(d, kTxDataEdit[1], QStringLiteral("12a"));
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("12A"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        QCOMPARE(textOf(d, kTxDataEdit[2]), QStringLiteral("FF"));
        QCOMPARE(textOf(d, kTxDataEdit[1]), QStringLiteral("C"));
        clickItem(d, IDC_DISPLAY_SWITCH);
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(int(dlg.dataValue[0]), 1);
    QCOMPARE(int(dlg.dataValue[1]), 12);
    QVERIFY(!dlg.hexMode);
    // Reopened in decimal mode: decimal edits enabled, texts decimal.
    whenModalRuns([](platform::Dialog& d) {
        QVERIFY(d.isItemEnabled(IDC_PID_DEC));
        QCOMPARE(textOf(d, kTxDataEdit[2]), QStringLiteral("255"));
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDCANCEL));
}

void Tx1708DlgTest::broadcastDownToUnlimited() {
    Tx1708Dlg dlg;
    MessageRecorder messages;
    whenModalRuns([](platform::Dialog& d) {
        pressArrow(d, IDC_TXB_BROADCAST_SPIN, -1, 3);
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        typeInto(d, IDC_TXB_BROADCAST, QStringLiteral("7"));
        QTest::keyClicks(d.edit(IDC_TXB_BROADCAST), QStringLiteral("-")); // digits only: no minus
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("7"));
        pressArrow(d, IDC_TXB_BROADCAST_SPIN, -1, 8);
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(dlg.broadcastCount, int16_t(-1));
    QCOMPARE(dlg.buildMessage()->broadcastCount, int16_t(-1));
}

void Tx1708DlgTest::refusedValues() {
    Tx1708Dlg dlg;
    MessageRecorder messages;
    whenModalRuns([&messages](platform::Dialog& d) {
        typeInto(d, IDC_TXB_DELAY, QStringLiteral("70000"));
        QCOMPARE(messages.messages().size(), size_t(1));
        QVERIFY(messages.texts().first().contains(QStringLiteral("0 and 65535")));
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("7000"));
        messages.clear();
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("25")); // a refused count stays shown
        QCOMPARE(messages.messages().size(), size_t(1));
        QCOMPARE(textOf(d, IDC_TXB_DATA_COUNT), QStringLiteral("25"));
        clickItem(d, platform::IDOK);
        QVERIFY(d.isVisible());
        QCOMPARE(messages.messages().size(), size_t(2));
        QVERIFY(messages.texts().last().contains(QStringLiteral("0 and 19")));
        typeInto(d, IDC_TXB_DATA_COUNT, QStringLiteral("4"));
        QVERIFY(d.isItemEnabled(kTxDataEdit[3]));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(dlg.delay, 7000);
    QCOMPARE(int(dlg.dataCount), 4);
}

void Tx1708DlgTest::refillShowsRecord() {
    auto record = transmit::newTxMessage(transmit::kJ1708);
    const std::vector<uint8_t> bytes = {5, 0x80, 0xF3, 0xAB};
    std::copy(bytes.begin(), bytes.end(), record->buffer.begin());
    record->length = 4;
    record->broadcastCount = -1;
    record->delay = 40000;
    record->interval = 250;
    Tx1708Dlg dlg;
    dlg.refillFrom(*record);
    whenModalRuns([](platform::Dialog& d) {
        QCOMPARE(textOf(d, IDC_MID_HEX), QStringLiteral("80"));
        QCOMPARE(textOf(d, IDC_PID_DEC), QStringLiteral("243"));
        QCOMPARE(textOf(d, IDC_TX1708_PRIORITY), QStringLiteral("5"));
        QCOMPARE(textOf(d, kTxDataEdit[0]), QStringLiteral("AB"));
        QCOMPARE(textOf(d, IDC_TXB_DELAY), QStringLiteral("40000"));
        QCOMPARE(textOf(d, IDC_TXB_BROADCAST), QStringLiteral("-1"));
        QCOMPARE(d.upDown(IDC_TXB_DELAY_SPIN)->pos(), 40000);
        QVERIFY(d.isItemEnabled(kTxDataEdit[0]));
        QVERIFY(!d.isItemEnabled(kTxDataEdit[1]));
        clickItem(d, platform::IDOK);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDOK));
    QCOMPARE(bytesOf(*dlg.buildMessage()), bytes);
}

void Tx1708DlgTest::cancelKeepsFields() {
    Tx1708Dlg dlg;
    dlg.mid = 0x21;
    dlg.midText = QStringLiteral("21");
    whenModalRuns([](platform::Dialog& d) {
        typeInto(d, IDC_MID_HEX, QStringLiteral("44"));
        clickItem(d, platform::IDCANCEL);
    });
    QCOMPARE(dlg.openBuilder(), int(platform::IDCANCEL));
    // Cancel keeps what the last read put into the members.
    QCOMPARE(int(dlg.mid), 0x44);
    QVERIFY(dlg.suppressSync);
}

QTEST_MAIN(Tx1708DlgTest)
#include "tst_tx1708_dlg.moc"
