// The J1708 buffer and refill, the row summaries, the schedule decision and
// passes over the rows on a clock the test sets.
#include "fake_transmit_io.h"
#include "transmit/row_summary.h"
#include "transmit/schedule.h"
#include "transmit/transmit_table.h"
#include "transmit/tx1708_buffer.h"

#include <QTest>

using namespace transmit;
using testsupport::FakeTransmitIo;

Q_DECLARE_METATYPE(std::vector<uint8_t>)
Q_DECLARE_METATYPE(std::vector<uint16_t>)
Q_DECLARE_METATYPE(transmit::RowDecision)

namespace {

std::unique_ptr<TxMessage> rowMessage(int32_t protocol, int16_t broadcastCount, uint16_t delay,
                                      uint16_t interval, std::vector<uint8_t> bytes = {8, 0x80, 0xF3}) {
    auto message = newTxMessage(protocol);
    message->broadcastCount = broadcastCount;
    message->delay = delay;
    message->interval = interval;
    message->length = int16_t(bytes.size());
    std::copy(bytes.begin(), bytes.end(), message->buffer.begin());
    return message;
}

// Runs passes with the clock standing at each millisecond from `from` to `to`.
void passesOver(TransmitTable& table, FakeTransmitIo& io, uint32_t runStart, uint32_t from, uint32_t to) {
    for (uint32_t t = from; t != to + 1; ++t) {
        io.clock = t;
        table.servePass(runStart, io);
    }
}

std::vector<uint32_t> sendTimes(const FakeTransmitIo& io) {
    std::vector<uint32_t> times;
    for (const auto& send : io.sends())
        times.push_back(send.at);
    return times;
}

} // namespace

class TransmitLogicTest : public QObject {
    Q_OBJECT
private slots:
    void newRecordPerProtocol();
    void j1708Buffer_data();
    void j1708Buffer();
    void j1708Refill();
    void summary_data();
    void summary();
    void decide_data();
    void decide();
    void target_data();
    void target();
    void broadcastThreeDelayInterval();
    void unlimitedAndNever();
    void rejectedSendRetried();
    void rowsInOrderAndNoClient();
    void newRunKeepsLastSentTime();
    void clockWrapsPast32Bits();
    void passesOnlyAtDueReadings_data();
    void passesOnlyAtDueReadings();
    void clearCountDuringRun();
    void runStartZeroesCounts();
};

void TransmitLogicTest::newRecordPerProtocol() {
    for (auto [protocol, capacity] : {std::pair{1, 506}, {2, 514}, {3, 1791}}) {
        auto message = newTxMessage(protocol);
        QVERIFY(message);
        QCOMPARE(int(message->buffer.size()), capacity);
        QCOMPARE(int(message->buffer[0]), protocol == kJ1850 ? 3 : 0);
        QCOMPARE(message->length, int16_t(0));
        QCOMPARE(message->sentOnce, uint8_t(0));
    }
    QVERIFY(!newTxMessage(0));
    QVERIFY(!newTxMessage(4));
}

void TransmitLogicTest::j1708Buffer_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<int>("mid");
    QTest::addColumn<int>("pid");
    QTest::addColumn<std::vector<uint16_t>>("data");
    QTest::addColumn<int>("broadcast");
    QTest::addColumn<int>("delay");
    QTest::addColumn<std::vector<uint8_t>>("bytes");
    QTest::addColumn<int>("storedBroadcast");
    QTest::addColumn<int>("storedDelay");
    QTest::newRow("no data") << 0 << 0x80 << 0xF3 << std::vector<uint16_t>{} << 1 << 0
                             << std::vector<uint8_t>{0, 0x80, 0xF3} << 1 << 0;
    QTest::newRow("two bytes") << 8 << 0xC8 << 0x0A << std::vector<uint16_t>{1, 2} << -1 << 1000
                               << std::vector<uint8_t>{8, 0xC8, 0x0A, 1, 2} << -1 << 1000;
    QTest::newRow("value above 255 keeps its low byte")
        << 1 << 2 << 3 << std::vector<uint16_t>{0x3E7} << 0 << 65535 << std::vector<uint8_t>{1, 2, 3, 0xE7}
        << 0 << 65535;
    std::vector<uint16_t> nineteen(19);
    std::vector<uint8_t> full = {3, 4, 5};
    for (int i = 0; i < 19; ++i) {
        nineteen[i] = uint16_t(0x10 + i);
        full.push_back(uint8_t(0x10 + i));
    }
    QTest::newRow("nineteen bytes") << 3 << 4 << 5 << nineteen << 32767 << 70000 << full << 32767
                                    << 70000 % 65536;
}

void TransmitLogicTest::j1708Buffer() {
    QFETCH(int, priority);
    QFETCH(int, mid);
    QFETCH(int, pid);
    QFETCH(std::vector<uint16_t>, data);
    QFETCH(int, broadcast);
    QFETCH(int, delay);
    QFETCH(std::vector<uint8_t>, bytes);
    Tx1708Fields fields;
    fields.priority = uint8_t(priority);
    fields.mid = uint8_t(mid);
    fields.pid = uint8_t(pid);
    fields.dataCount = uint8_t(data.size());
    std::copy(data.begin(), data.end(), fields.dataValue.begin());
    fields.broadcastCount = broadcast;
    fields.delay = delay;
    fields.interval = delay + 1;
    const auto message = buildTx1708Message(fields);
    QCOMPARE(message->protocol, int32_t(kJ1708));
    QCOMPARE(int(message->length), int(bytes.size()));
    QCOMPARE(std::vector<uint8_t>(message->buffer.begin(), message->buffer.begin() + message->length), bytes);
    QVERIFY(std::all_of(message->buffer.begin() + message->length, message->buffer.end(),
                        [](uint8_t b) { return b == 0; }));
    QTEST(int(message->broadcastCount), "storedBroadcast");
    QTEST(int(message->delay), "storedDelay");
    QCOMPARE(int(message->interval), (delay + 1) % 65536);
    QCOMPARE(message->sentOnce, uint8_t(0));
    QCOMPARE(message->lastSentTime, 0u);
}

void TransmitLogicTest::j1708Refill() {
    auto message = rowMessage(kJ1708, -1, 65535, 500, {8, 0xC8, 0x0A, 1, 2});
    Tx1708Fields fields;
    fields.dataValue.fill(0x77);
    QVERIFY(refillTx1708Fields(*message, fields));
    QCOMPARE(int(fields.priority), 8);
    QCOMPARE(int(fields.mid), 0xC8);
    QCOMPARE(int(fields.pid), 0x0A);
    QCOMPARE(int(fields.dataCount), 2);
    QCOMPARE(int(fields.dataValue[0]), 1);
    QCOMPARE(int(fields.dataValue[1]), 2);
    QCOMPARE(int(fields.dataValue[2]), 0x77); // beyond the count: kept
    QCOMPARE(fields.broadcastCount, -1);
    QCOMPARE(fields.delay, 65535); // zero-extended
    QCOMPARE(fields.interval, 500);
    // Not a J1708 record, or shorter than its head: untouched. (A record with
    // more data bytes than edits refills the first 19: tst_transmit_config.)
    const Tx1708Fields before = fields;
    auto other = rowMessage(kJ1850, 1, 0, 0, {3, 0, 0, 8, 0, 0});
    QVERIFY(!refillTx1708Fields(*other, fields));
    auto shortOne = rowMessage(kJ1708, 1, 0, 0, {1, 2});
    QVERIFY(!refillTx1708Fields(*shortOne, fields));
    QCOMPARE(fields.dataValue, before.dataValue);
    QCOMPARE(fields.mid, before.mid);
}

void TransmitLogicTest::summary_data() {
    QTest::addColumn<QString>("head");
    QTest::addColumn<std::vector<uint16_t>>("data");
    QTest::addColumn<QString>("expected");
    QTest::newRow("J1708 head only") << QString::fromStdString(summaryHead1708(0x80, 0xF3))
                                     << std::vector<uint16_t>{} << "TXJ1708  80  F3  ";
    QTest::newRow("J1708 two bytes") << QString::fromStdString(summaryHead1708(0x80, 0xF3))
                                     << std::vector<uint16_t>{1, 2} << "TXJ1708  80  F3    01  02";
    QTest::newRow("J1708 single digits") << QString::fromStdString(summaryHead1708(0xC8, 0x0A))
                                         << std::vector<uint16_t>{0xF, 0x3E7} << "TXJ1708  C8  0A    0F  3E7";
    QTest::newRow("J1850 zero padded")
        << QString::fromStdString(summaryHead1850("80000")) << std::vector<uint16_t>{} << "TXJ1850  080000  ";
    QTest::newRow("J1850 decimal") << QString::fromStdString(summaryHead1850("524288"))
                                   << std::vector<uint16_t>{0x3E} << "TXJ1850  524288    3E";
    QTest::newRow("J1939 zero padded") << QString::fromStdString(summaryHead1939("18FEF100"))
                                       << std::vector<uint16_t>{} << "TXJ1939  18FEF100  ";
    QTest::newRow("J1939 short") << QString::fromStdString(summaryHead1939("EF00"))
                                 << std::vector<uint16_t>{1} << "TXJ1939  0000EF00    01";
    QTest::newRow("J1939 longer than eight") << QString::fromStdString(summaryHead1939("4294967295"))
                                             << std::vector<uint16_t>{} << "TXJ1939  4294967295  ";
}

void TransmitLogicTest::summary() {
    QFETCH(QString, head);
    QFETCH(std::vector<uint16_t>, data);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(appendDataSummary(head.toStdString(), data.data(), int(data.size()))),
             expected);
}

void TransmitLogicTest::decide_data() {
    QTest::addColumn<int>("broadcast");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("sentOnce");
    QTest::addColumn<uint>("lastSent");
    QTest::addColumn<int>("count");
    QTest::addColumn<uint>("now");
    QTest::addColumn<uint>("runStart");
    QTest::addColumn<RowDecision>("decision");
    using D = RowDecision;
    QTest::newRow("delay 0, same ms") << 1 << 0 << 0 << false << 0u << 0 << 100u << 100u << D::WaitDelay;
    QTest::newRow("delay 0, next ms") << 1 << 0 << 0 << false << 0u << 0 << 101u << 100u << D::Send;
    QTest::newRow("delay exactly reached")
        << 1 << 1000 << 0 << false << 0u << 0 << 1100u << 100u << D::WaitDelay;
    QTest::newRow("delay passed") << 1 << 1000 << 0 << false << 0u << 0 << 1101u << 100u << D::Send;
    QTest::newRow("count reached") << 3 << 0 << 0 << false << 0u << 3 << 500u << 0u << D::Exhausted;
    QTest::newRow("count below") << 3 << 0 << 0 << false << 0u << 2 << 500u << 0u << D::Send;
    QTest::newRow("never") << 0 << 0 << 0 << false << 0u << 0 << 500u << 0u << D::Exhausted;
    QTest::newRow("negative other than -1") << -2 << 0 << 0 << false << 0u << 0 << 500u << 0u << D::Exhausted;
    QTest::newRow("unlimited") << -1 << 0 << 0 << false << 0u << 100000 << 500u << 0u << D::Send;
    QTest::newRow("interval not passed")
        << -1 << 0 << 500 << true << 1000u << 1 << 1500u << 0u << D::WaitInterval;
    QTest::newRow("interval passed") << -1 << 0 << 500 << true << 1000u << 1 << 1501u << 0u << D::Send;
    QTest::newRow("interval ignored before first send")
        << -1 << 0 << 500 << false << 1000u << 0 << 1200u << 0u << D::Send;
    QTest::newRow("interval 0 same ms") << -1 << 0 << 0 << true << 700u << 1 << 700u << 0u << D::WaitInterval;
    QTest::newRow("delay across wrap") << 1 << 10 << 0 << false << 0u << 0 << 5u << 0xFFFFFFFAu << D::Send;
    QTest::newRow("delay waiting across wrap")
        << 1 << 20 << 0 << false << 0u << 0 << 5u << 0xFFFFFFFAu << D::WaitDelay;
    QTest::newRow("interval across wrap")
        << -1 << 0 << 10 << true << 0xFFFFFFFEu << 1 << 8u << 0u << D::WaitInterval;
    QTest::newRow("interval passed across wrap")
        << -1 << 0 << 10 << true << 0xFFFFFFFEu << 1 << 9u << 0xFFFFFF00u << D::Send;
}

void TransmitLogicTest::decide() {
    QFETCH(int, broadcast);
    QFETCH(int, delay);
    QFETCH(int, interval);
    QFETCH(bool, sentOnce);
    QFETCH(uint, lastSent);
    QFETCH(int, count);
    QFETCH(uint, now);
    QFETCH(uint, runStart);
    auto message = rowMessage(kJ1708, int16_t(broadcast), uint16_t(delay), uint16_t(interval));
    message->sentOnce = sentOnce;
    message->lastSentTime = lastSent;
    QFETCH(RowDecision, decision);
    QCOMPARE(decideRow(*message, count, now, runStart), decision);
    // The sleep a pass asks for ends at the first reading that decides Send.
    const std::optional<uint32_t> wait = msUntilDue(*message, count, now, runStart);
    QCOMPARE(!wait, decision == RowDecision::Exhausted);
    if (!wait)
        return;
    QCOMPARE(*wait == 0, decision == RowDecision::Send);
    QCOMPARE(decideRow(*message, count, now + *wait, runStart), RowDecision::Send);
    if (*wait > 0)
        QVERIFY(decideRow(*message, count, now + *wait - 1, runStart) != RowDecision::Send);
}

void TransmitLogicTest::target_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("connected");
    QTest::addColumn<int>("target");
    const int j1708 = int(SendTarget::J1708), j1850 = int(SendTarget::J1850), j1939 = int(SendTarget::J1939),
              none = int(SendTarget::NoClient);
    QTest::newRow("J1708 open") << 1 << 1 << j1708;
    QTest::newRow("J1850 open") << 2 << 2 << j1850;
    QTest::newRow("J1939 open") << 3 << 4 << j1939;
    QTest::newRow("all open, J1939") << 3 << 7 << j1939;
    QTest::newRow("J1708 closed") << 1 << 6 << none;
    QTest::newRow("J1850 closed") << 2 << 5 << none;
    QTest::newRow("J1939 closed") << 3 << 3 << none;
    QTest::newRow("nothing open") << 1 << 0 << none;
}

void TransmitLogicTest::target() {
    QFETCH(int, protocol);
    QFETCH(int, connected);
    QTEST(int(sendTarget(protocol, uint8_t(connected))), "target");
}

void TransmitLogicTest::broadcastThreeDelayInterval() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, 3, 1000, 500));
    table.startRun(io);
    passesOver(table, io, 0, 0, 4000);
    QCOMPARE(sendTimes(io), (std::vector<uint32_t>{1001, 1502, 2003}));
    QCOMPARE(table.counts().rowCount[0], 3);
    QCOMPARE(table.counts().totalTransmitted, 3);
    const auto posts = io.posts();
    QCOMPARE(posts, (std::vector<unsigned>{TX_STARTED, TX_SENT, TX_SENT, TX_SENT}));
    const auto sends = io.sends();
    QCOMPARE(sends[0].client, int16_t(101));
    QCOMPARE(sends[0].bytes, (std::vector<uint8_t>{8, 0x80, 0xF3}));
}

void TransmitLogicTest::unlimitedAndNever() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, -1, 0, 9));
    table.replace(1, rowMessage(kJ1850, 0, 0, 0, {3, 0, 0, 8, 0, 0}));
    passesOver(table, io, 0, 0, 1000);
    QCOMPARE(table.counts().rowCount[0], 100); // at 1, 11, ..., 991
    QCOMPARE(table.counts().rowCount[1], 0);
    for (const auto& send : io.sends())
        QCOMPARE(send.client, int16_t(101));
}

void TransmitLogicTest::rejectedSendRetried() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, 1, 0, 0));
    io.queueResult(-1);
    io.queueResult(0x80);
    io.queueResult(1);
    passesOver(table, io, 0, 1, 3);
    QCOMPARE(io.attempts(), 3);
    QCOMPARE(table.counts().totalTransmitted, 0);
    QVERIFY(!table.copyOf(0)->sentOnce);
    passesOver(table, io, 0, 4, 10);
    QCOMPARE(io.attempts(), 4);
    QCOMPARE(sendTimes(io), std::vector<uint32_t>{4});
    QCOMPARE(table.copyOf(0)->lastSentTime, 4u);
    QCOMPARE(table.counts().rowCount[0], 1);
}

void TransmitLogicTest::rowsInOrderAndNoClient() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(2, rowMessage(kJ1708, 1, 0, 0));
    table.replace(0, rowMessage(kJ1939, 1, 0, 0, {0xF1, 0xFE, 0, 6, 0xF9, 0xFF, 1}));
    table.blocking = 1;
    io.clock = 1;
    table.servePass(0, io);
    auto sends = io.sends();
    QCOMPARE(int(sends.size()), 2);
    QCOMPARE(sends[0].client, int16_t(103)); // row 1 first
    QCOMPARE(sends[1].client, int16_t(101));
    QCOMPARE(sends[0].block, int16_t(1));
    QCOMPARE(sends[0].bytes.size(), size_t(7));
    // No open client: counted as sent without a driver call.
    io.clear();
    io.connected = 0;
    table.replace(5, rowMessage(kJ1850, 2, 0, 0, {3, 0, 0, 8, 0, 0}));
    passesOver(table, io, 0, 2, 3);
    QCOMPARE(io.attempts(), 0);
    QCOMPARE(table.counts().rowCount[5], 2);
    QCOMPARE(table.counts().totalTransmitted, 4);
}

void TransmitLogicTest::newRunKeepsLastSentTime() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, -1, 0, 500));
    passesOver(table, io, 0, 1, 100); // sent at 1
    table.startRun(io);
    QCOMPARE(table.counts().rowCount[0], 0);
    passesOver(table, io, 50, 51, 800); // a new run at 50: still waits for 1 + 500
    QCOMPARE(sendTimes(io), (std::vector<uint32_t>{1, 502}));
    QCOMPARE(table.counts().rowCount[0], 1);
    // A replacing record starts without sentOnce: only its delay applies.
    table.replace(0, rowMessage(kJ1708, -1, 0, 500));
    passesOver(table, io, 50, 801, 801);
    QCOMPARE(sendTimes(io).back(), 801u);
    QCOMPARE(table.counts().rowCount[0], 2); // the row's count is kept
}

void TransmitLogicTest::clockWrapsPast32Bits() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, 3, 5, 4));
    const uint32_t start = 0xFFFFFFF0u;
    passesOver(table, io, start, start, 20);
    QCOMPARE(sendTimes(io), (std::vector<uint32_t>{0xFFFFFFF6u, 0xFFFFFFFBu, 0}));
}

// Passing only at the readings the passes ask to be woken at sends what a
// pass at every millisecond sends.
void TransmitLogicTest::passesOnlyAtDueReadings_data() {
    QTest::addColumn<uint>("runStart");
    QTest::newRow("from 0") << 0u;
    QTest::newRow("across the wrap") << 0xFFFFFFC0u;
}

void TransmitLogicTest::passesOnlyAtDueReadings() {
    QFETCH(uint, runStart);
    const auto fill = [](TransmitTable& table) {
        table.replace(0, rowMessage(kJ1708, 3, 7, 5));
        table.replace(2, rowMessage(kJ1939, -1, 0, 13));
        table.replace(5, rowMessage(kJ1850, 2, 30, 0, {3, 0, 0, 8, 0, 0}));
    };
    TransmitTable everyMs, atDue;
    FakeTransmitIo everyMsIo, atDueIo;
    fill(everyMs);
    fill(atDue);
    passesOver(everyMs, everyMsIo, runStart, runStart, runStart + 200);
    atDueIo.clock = runStart;
    int passes = 0;
    while (uint32_t(atDueIo.clock.load() - runStart) <= 200) {
        const std::optional<uint32_t> due = atDue.servePass(runStart, atDueIo);
        QVERIFY(due);
        QVERIFY(*due != atDueIo.clock.load());
        atDueIo.clock = *due;
        ++passes;
    }
    QCOMPARE(sendTimes(atDueIo), sendTimes(everyMsIo));
    QCOMPARE(atDue.counts().totalTransmitted, everyMs.counts().totalTransmitted);
    QVERIFY(passes <= atDue.counts().totalTransmitted + 1);
}

void TransmitLogicTest::clearCountDuringRun() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, 2, 0, 0));
    passesOver(table, io, 0, 1, 10);
    QCOMPARE(table.counts().rowCount[0], 2);
    table.clearCounts();
    passesOver(table, io, 0, 11, 20);
    QCOMPARE(sendTimes(io), (std::vector<uint32_t>{1, 2, 11, 12}));
    QCOMPARE(table.counts().totalTransmitted, 2);
}

void TransmitLogicTest::runStartZeroesCounts() {
    TransmitTable table;
    FakeTransmitIo io;
    table.replace(0, rowMessage(kJ1708, -1, 0, 0));
    passesOver(table, io, 0, 1, 5);
    QCOMPARE(table.counts().totalTransmitted, 5);
    table.startRun(io);
    const RowCounts zero = table.counts();
    QCOMPARE(zero.totalTransmitted, 0);
    QCOMPARE(zero.rowCount[0], 0);
    // Deleting a row zeroes its count but not the total.
    passesOver(table, io, 5, 6, 7);
    table.remove(0);
    QCOMPARE(table.counts().rowCount[0], 0);
    QCOMPARE(table.counts().totalTransmitted, 2);
}

QTEST_GUILESS_MAIN(TransmitLogicTest)
#include "tst_transmit_logic.moc"
