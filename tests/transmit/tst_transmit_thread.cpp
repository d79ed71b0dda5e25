// The transmit thread through the real binding and the test driver: the run
// start, rejected sends retried, rows in row order, Stop mid-pass, the
// notifications it posts, and what ends its sleep between passes.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "fake_transmit_io.h"
#include "platform/posted_message.h"
#include "platform/thread.h"
#include "support/test_driver_control.h"
#include "transmit/transmit_thread.h"

#include <QCoreApplication>
#include <QTest>

using namespace transmit;
using testsupport::FakeTransmitIo;
using testsupport::TestDriverControl;

namespace {

// Records the codes posted to it.
class Receiver : public QObject {
public:
    std::vector<unsigned> codes;
    bool event(QEvent* event) override {
        if (event->type() == platform::PostedMessageEvent::type()) {
            codes.push_back(unsigned(static_cast<platform::PostedMessageEvent*>(event)->wParam));
            return true;
        }
        return QObject::event(event);
    }
};

// A shared record with its own transmit thread; both live to the end of the process.
TransmitShared& startThread(TransmitIo& io) {
    auto* shared = new TransmitShared;
    shared->transmitEvent = platform::createAutoResetEvent().release();
    platform::startThread([shared, &io] { runTransmitThread(*shared, io); }, 0x8000);
    return *shared;
}

std::unique_ptr<TxMessage> message(int32_t protocol, int16_t broadcastCount, std::vector<uint8_t> bytes) {
    auto record = newTxMessage(protocol);
    record->broadcastCount = broadcastCount;
    record->length = int16_t(bytes.size());
    std::copy(bytes.begin(), bytes.end(), record->buffer.begin());
    return record;
}

QStringList sendsIn(const QStringList& calls) {
    QStringList sends;
    for (const QString& call : calls)
        if (call.startsWith(QStringLiteral("SendMessage")))
            sends << call;
    return sends;
}

// Stops the run from inside the first send, as a Stop pressed mid-pass.
class StopInFirstSend : public FakeTransmitIo {
public:
    TransmitShared* shared = nullptr;
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) override {
        if (attempts() == 0)
            shared->requestStop();
        return FakeTransmitIo::send(client, bytes, length, block);
    }
};

// The test driver through the real binding, on a clock that reads 1000 at
// the run start and then moves one millisecond per pass over three rows.
class DriverOnPassClock : public TransmitIo {
public:
    std::atomic<uint32_t> readings{0};
    std::atomic<int> runsStarted{0};
    uint32_t now() override { return 1000 + (readings.fetch_add(1) + 2) / 3; }
    uint8_t connectedProtocols() override { return driverTransmitIo().connectedProtocols(); }
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) override {
        return driverTransmitIo().send(client, bytes, length, block);
    }
    int16_t clientId(int32_t protocol) override { return driverTransmitIo().clientId(protocol); }
    void post(QObject*, unsigned code) override {
        if (code == TX_STARTED)
            ++runsStarted;
    }
    // The clock moves by being read, so a pass is all the waiting there is.
    void sleepUntil(std::optional<uint32_t>, TransmitWake&, uint64_t) override {}
};

} // namespace

class TransmitThreadTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rejectedSendsRetried();
    void rowsInRowOrder();
    void stopMidPass();
    void startWithoutStopSeenStartsNewRun();
    void sleepsUntilDueOrChange();

private:
    TestDriverControl* driver_ = nullptr;
};

void TransmitThreadTest::initTestCase() {
    QVERIFY(connect::loadDriverForTest(testsupport::kTestDriverName));
    driver_ = new TestDriverControl;
    QVERIFY(driver_->isValid());
}

void TransmitThreadTest::rejectedSendsRetried() {
    driver_->reset();
    auto& binding = connect::driverBinding();
    binding.connectedProtocols = connect::J1708_BIT;
    binding.j1708ClientId = 2;
    for (int16_t result : {int16_t(-1), int16_t(0x80), int16_t(1)})
        driver_->queueResult("SendMessage", result);
    TransmitShared& shared = startThread(driverTransmitIo());
    Receiver window;
    shared.table.attach(&window);
    shared.table.replace(0, message(kJ1708, 1, {8, 0x80, 0xF3}));
    shared.table.blocking = 1;
    shared.requestStart();
    QTRY_COMPARE(shared.table.counts().totalTransmitted, 1);
    shared.requestStop();
    QTRY_VERIFY(shared.threadIdle.load());
    const QStringList sends = sendsIn(driver_->calls());
    QCOMPARE(sends,
             (QStringList{"SendMessage 2 [08 80 F3] 3 0 1 -> -1", "SendMessage 2 [08 80 F3] 3 0 1 -> 128",
                          "SendMessage 2 [08 80 F3] 3 0 1 -> 1", "SendMessage 2 [08 80 F3] 3 0 1 -> 0"}));
    QTRY_COMPARE(window.codes, (std::vector<unsigned>{TX_STARTED, TX_SENT}));
    shared.table.detach(&window);
}

void TransmitThreadTest::rowsInRowOrder() {
    driver_->reset();
    auto& binding = connect::driverBinding();
    binding.connectedProtocols = connect::J1708_BIT | connect::J1939_BIT;
    binding.j1708ClientId = 1;
    binding.j1939ClientId = 7;
    auto& io = *new DriverOnPassClock; // the thread keeps using it
    TransmitShared& shared = startThread(io);
    shared.table.replace(3, message(kJ1708, 2, {1, 2, 3}));
    shared.table.replace(1, message(kJ1939, 2, {0xF1, 0xFE, 0, 6, 0xF9, 0xFF}));
    shared.table.replace(2, message(kJ1850, 2, {3, 0, 0, 8, 0, 0})); // no J1850 client: counted, not sent
    shared.requestStart();
    QTRY_COMPARE(shared.table.counts().totalTransmitted, 6);
    shared.requestStop();
    QTRY_VERIFY(shared.threadIdle.load());
    const QStringList sends = sendsIn(driver_->calls());
    QCOMPARE(sends.size(), 4);
    for (int i = 0; i < 4; i += 2) {
        QVERIFY(sends[i].startsWith(QStringLiteral("SendMessage 7 [F1 FE 00 06 F9 FF] 6 0 0")));
        QVERIFY(sends[i + 1].startsWith(QStringLiteral("SendMessage 1 [01 02 03] 3 0 0")));
    }
    const RowCounts counts = shared.table.counts();
    QCOMPARE(counts.rowCount[1], 2);
    QCOMPARE(counts.rowCount[2], 2);
    QCOMPARE(counts.rowCount[3], 2);
}

void TransmitThreadTest::stopMidPass() {
    auto& io = *new StopInFirstSend; // the thread keeps using it
    io.autoAdvance = 1;
    TransmitShared& shared = startThread(io);
    io.shared = &shared;
    shared.table.replace(0, message(kJ1708, -1, {1, 2, 3}));
    shared.table.replace(5, message(kJ1939, -1, {1, 2, 3, 4, 5, 6}));
    shared.requestStart();
    QTRY_VERIFY(shared.threadIdle.load() && shared.transmitStopped.load());
    // The pass under way was finished: both rows once, then no more.
    QCOMPARE(shared.table.counts().rowCount[0], 1);
    QCOMPARE(shared.table.counts().rowCount[5], 1);
    QCOMPARE(io.attempts(), 2);
    QTest::qWait(20);
    QCOMPARE(io.attempts(), 2);
    QCOMPARE(shared.table.counts().totalTransmitted, 2); // kept while stopped
}

void TransmitThreadTest::startWithoutStopSeenStartsNewRun() {
    auto& io = *new FakeTransmitIo; // the thread keeps using it
    io.clock = 1000;
    TransmitShared& shared = startThread(io);
    shared.table.replace(0, message(kJ1708, 1, {1, 2, 3}));
    shared.requestStart();
    QTRY_COMPARE(io.posts().size(), size_t(1));
    io.setClock(1001);
    QTRY_COMPARE(shared.table.counts().totalTransmitted, 1);
    // Stop and Start again faster than a pass: a run of its own, counts zeroed.
    shared.requestStop();
    shared.requestStart();
    QTRY_COMPARE(io.posts().size(), size_t(3));
    io.setClock(1002);
    QTRY_COMPARE(io.posts().size(), size_t(4));
    QCOMPARE(io.posts(), (std::vector<unsigned>{TX_STARTED, TX_SENT, TX_STARTED, TX_SENT}));
    shared.requestStop();
    QTRY_VERIFY(shared.threadIdle.load());
    // The Start's signal may still be pending: waking on it starts no run.
    QTest::qWait(20);
    QCOMPARE(shared.table.counts().totalTransmitted, 1);
    QCOMPARE(io.posts().size(), size_t(4));
}

// Between passes the thread sleeps until the first reading at which a row can
// be due, and is woken early only by Clear Count, a row changed, or Stop. Each
// pass ends in one recorded sleep, so the list of sleeps shows every pass.
void TransmitThreadTest::sleepsUntilDueOrChange() {
    using Wakes = std::vector<std::optional<uint32_t>>;
    constexpr std::nullopt_t untilChange = std::nullopt;
    auto& io = *new FakeTransmitIo; // the thread keeps using it
    io.clock = 1000;
    TransmitShared& shared = startThread(io);
    auto row = message(kJ1708, 2, {1, 2, 3});
    row->delay = 100;
    row->interval = 50;
    shared.table.replace(0, std::move(row));
    io.queueResult(-1);
    shared.requestStart();
    QTRY_COMPARE(io.wakes(), (Wakes{1101}));
    io.setClock(1100); // not due yet: no pass
    io.setClock(1101); // the rejected send is tried again a millisecond later
    QTRY_COMPARE(io.wakes(), (Wakes{1101, 1102}));
    io.setClock(1102);
    QTRY_COMPARE(io.wakes(), (Wakes{1101, 1102, 1153}));
    io.setClock(1153); // the second send reaches the count
    QTRY_COMPARE(io.wakes(), (Wakes{1101, 1102, 1153, untilChange}));
    io.setClock(5000);
    shared.table.clearCounts();
    QTRY_COMPARE(io.wakes(), (Wakes{1101, 1102, 1153, untilChange, 5051}));
    io.setClock(5051);
    QTRY_COMPARE(io.wakes(), (Wakes{1101, 1102, 1153, untilChange, 5051, untilChange}));
    shared.table.replace(1, message(kJ1939, 1, {1, 2, 3, 4, 5, 6}));
    QTRY_COMPARE(io.wakes().size(), size_t(7));
    shared.requestStop();
    QTRY_VERIFY(shared.threadIdle.load());
    QCOMPARE(io.wakes(), (Wakes{1101, 1102, 1153, untilChange, 5051, untilChange, untilChange}));
    std::vector<uint32_t> times;
    for (const auto& send : io.sends())
        times.push_back(send.at);
    QCOMPARE(times, (std::vector<uint32_t>{1102, 1153, 5000, 5051, 5051}));
    QCOMPARE(io.attempts(), 6);
}

QTEST_GUILESS_MAIN(TransmitThreadTest)
#include "tst_transmit_thread.moc"
