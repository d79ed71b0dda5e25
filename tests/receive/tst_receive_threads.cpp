// The receive threads against the test driver: which reads become lines,
// the lines in both bases, the cap and the count, the stop flag and the
// refresh notifications.
#include "platform/posted_message.h"
#include "receive/display_line.h"
#include "receive/receive_threads.h"
#include "receive_test_env.h"

#include <QCoreApplication>
#include <QTest>

using connect::Protocol;
using Bytes = std::vector<uint8_t>;

Q_DECLARE_METATYPE(Protocol)

namespace {

// Stands in for the receive window: takes the refresh notifications.
class RefreshRecorder : public QObject {
public:
    RefreshRecorder() { receive::receiveShared().refresh.setTarget(this); }
    ~RefreshRecorder() override { receive::receiveShared().refresh.setTarget(nullptr); }
    int events = 0;
    uint64_t covered = 0;

protected:
    bool event(QEvent* e) override {
        const platform::PostedMessageEvent* posted = platform::postedMessageOf(e);
        if (posted == nullptr)
            return QObject::event(e);
        if (posted->message == platform::kUserMessage && posted->wParam == receive::RX_REFRESH &&
            posted->lParam == 0) {
            ++events;
            covered += receive::receiveShared().refresh.consume();
        }
        return true;
    }
};

receive::ReceiveText& text() {
    return receive::receiveShared().text;
}

Bytes sized(Protocol protocol, int length) {
    Bytes bytes(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        bytes[std::size_t(i)] = uint8_t(i * 7 + int(protocol));
    return bytes;
}

} // namespace

class TestReceiveThreads : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scriptedReads_data();
    void scriptedReads();
    void readResults_data();
    void readResults();
    void noTrafficAddsNothing();
    void blockingPollWaitsInTheDriver();
    void baseToggledBetweenTwoMessages();
    void cap101AndCount();
    void notificationsCoverEveryMessage();
    void stopPausesAndStraySignalDoesNothing();
};

void TestReceiveThreads::init() {
    QVERIFY(rxtest::pauseAndReset());
}
void TestReceiveThreads::cleanup() {
    QVERIFY(rxtest::pauseAndReset());
}

void TestReceiveThreads::scriptedReads_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("line");
    const Bytes j1708 = rxtest::message(74565, {0x80, 0x54, 0x12, 0x34});
    const Bytes j1850 = rxtest::message(1000, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, 0x01, 0x00});
    const Bytes j1939 = rxtest::message(1000, {0x00, 0xEA, 0x00, 6, 0xF9, 0x00, 0x00, 0xEE, 0x00});
    QTest::newRow("J1708 hex") << Protocol::J1708 << j1708 << true
                               << "RXJ1708  00074565  80     54       12  34\r\n";
    QTest::newRow("J1708 dec") << Protocol::J1708 << j1708 << false
                               << "RXJ1708  00074565  128     084       018  052\r\n";
    QTest::newRow("J1850 hex") << Protocol::J1850 << j1850 << true
                               << "RXJ1850  00001000  686AF1        01  00\r\n";
    QTest::newRow("J1850 dec") << Protocol::J1850 << j1850 << false
                               << "RXJ1850  00001000  06843121        001  000\r\n";
    QTest::newRow("J1939 hex") << Protocol::J1939 << j1939 << true
                               << "RXJ1939  00001000  18EA00F9    00  EE  00\r\n";
    QTest::newRow("J1939 dec") << Protocol::J1939 << j1939 << false
                               << "RXJ1939  00001000  0417988857    000  238  000\r\n";
}

void TestReceiveThreads::scriptedReads() {
    QFETCH(Protocol, protocol);
    QFETCH(Bytes, bytes);
    QFETCH(bool, hex);
    QFETCH(QString, line);
    const auto& driver = rxtest::setUp();
    RefreshRecorder window;
    receive::receiveShared().hexMode = hex ? 1 : 0;
    driver.queueRead(rxtest::clientOf(protocol), bytes);
    rxtest::wake({protocol});
    QTRY_COMPARE(text().messageCount(), 1u);
    QCOMPARE(QString::fromStdString(text().rxText()), line);
    QTRY_COMPARE(window.covered, uint64_t(1));
}

// A series of reads: only results within the protocol's range make lines,
// the others are skipped silently and the next read follows at once.
void TestReceiveThreads::readResults_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<int>("length"); // bytes delivered
    QTest::addColumn<int>("result"); // 0: the length
    QTest::addColumn<bool>("shown");
    QTest::newRow("J1708 5 bytes") << Protocol::J1708 << 5 << 0 << false;
    QTest::newRow("J1708 6 bytes") << Protocol::J1708 << 6 << 0 << true;
    QTest::newRow("J1708 40 bytes") << Protocol::J1708 << 40 << 0 << true;
    QTest::newRow("J1708 505 bytes") << Protocol::J1708 << 505 << 0 << true;
    QTest::newRow("J1708 result 506") << Protocol::J1708 << 6 << 506 << false;
    QTest::newRow("J1708 error code") << Protocol::J1708 << 6 << -134 << false;
    QTest::newRow("J1850 12 bytes") << Protocol::J1850 << 12 << 0 << false;
    QTest::newRow("J1850 13 bytes") << Protocol::J1850 << 13 << 0 << true;
    QTest::newRow("J1850 255 bytes") << Protocol::J1850 << 255 << 0 << true;
    QTest::newRow("J1850 result 256") << Protocol::J1850 << 13 << 256 << false;
    QTest::newRow("J1939 6 bytes") << Protocol::J1939 << 6 << 0 << true;
    QTest::newRow("J1939 1785 bytes") << Protocol::J1939 << 1785 << 0 << true;
    QTest::newRow("J1939 result 1786") << Protocol::J1939 << 10 << 1786 << false;
    QTest::newRow("J1939 error code") << Protocol::J1939 << 10 << -1 << false;
}

void TestReceiveThreads::readResults() {
    QFETCH(Protocol, protocol);
    QFETCH(int, length);
    QFETCH(int, result);
    QFETCH(bool, shown);
    const auto& driver = rxtest::setUp();
    const int16_t client = rxtest::clientOf(protocol);
    const Bytes bytes = sized(protocol, length);
    const Bytes marker = sized(protocol, receive::receiveLimits(protocol).minimumLength);
    driver.queueReadResult(client, bytes, int16_t(result));
    driver.queueRead(client, marker); // always shown: tells the series is through
    rxtest::wake({protocol});
    QTRY_COMPARE(driver.pendingReads(client), 0);
    const uint32_t expected = shown ? 2u : 1u;
    QTRY_COMPARE(text().messageCount(), expected);
    std::string lines = receive::displayLine(protocol, marker, true);
    if (shown)
        lines += receive::displayLine(protocol, bytes, true);
    QCOMPARE(text().rxText(), lines);
}

// Non-blocking reads with nothing waiting: the thread polls, nothing is
// added, nothing is posted.
void TestReceiveThreads::noTrafficAddsNothing() {
    const auto& driver = rxtest::setUp();
    RefreshRecorder window;
    rxtest::wake({Protocol::J1708, Protocol::J1850, Protocol::J1939});
    QTRY_VERIFY(driver.readCallCount() > 3000);
    QCoreApplication::processEvents();
    QCOMPARE(text().messageCount(), 0u);
    QCOMPARE(text().rxText(), std::string());
    QCOMPARE(window.events, 0);
}

// With "Blocking Poll" the thread sits in the driver's read until a message
// comes, instead of polling.
void TestReceiveThreads::blockingPollWaitsInTheDriver() {
    const auto& driver = rxtest::setUp();
    receive::receiveShared().blockingPoll = 1;
    rxtest::wake({Protocol::J1939});
    QTRY_COMPARE(driver.readCallCount(), 1);
    QTest::qWait(50); // a polling thread would read thousands of times meanwhile
    QCOMPARE(driver.readCallCount(), 1);
    driver.queueRead(rxtest::kJ1939Client, sized(Protocol::J1939, 12));
    QTRY_COMPARE(text().messageCount(), 1u);
    QTRY_COMPARE(driver.readCallCount(), 2);
}

// The base is sampled per message: the older line keeps its base.
void TestReceiveThreads::baseToggledBetweenTwoMessages() {
    const auto& driver = rxtest::setUp();
    const Bytes first = rxtest::message(1, {0x80, 0x54, 0xAB});
    const Bytes second = rxtest::message(2, {0x81, 0x55, 0xCD});
    driver.queueRead(rxtest::kJ1708Client, first);
    rxtest::wake({Protocol::J1708});
    QTRY_COMPARE(text().messageCount(), 1u);
    receive::receiveShared().hexMode = 0;
    driver.queueRead(rxtest::kJ1708Client, second);
    QTRY_COMPARE(text().messageCount(), 2u);
    QCOMPARE(text().rxText(), "RXJ1708  00000002  129     085       205\r\n"
                              "RXJ1708  00000001  80     54       AB\r\n");
}

void TestReceiveThreads::cap101AndCount() {
    const auto& driver = rxtest::setUp();
    for (uint32_t n = 1; n <= 102; ++n)
        driver.queueRead(rxtest::kJ1850Client,
                         rxtest::message(n, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, uint8_t(n), 0}));
    rxtest::wake({Protocol::J1850});
    QTRY_COMPARE(text().messageCount(), 102u);
    const std::string all = text().rxText();
    QCOMPARE(std::count(all.begin(), all.end(), '\n'), 101);
    QVERIFY(all.starts_with("RXJ1850  00000102  "));
    QVERIFY(all.ends_with(receive::displayLine(
        Protocol::J1850, rxtest::message(2, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, 2, 0}), true)));
}

// Each message notifies; while the window does not get to its queue, one
// queued event stands for all of them, so nothing piles up, and handling it
// accounts for every message.
void TestReceiveThreads::notificationsCoverEveryMessage() {
    const auto& driver = rxtest::setUp();
    RefreshRecorder window;
    receive::RefreshNotifier& refresh = receive::receiveShared().refresh;
    const uint64_t notifiedBefore = refresh.notifications();
    const uint64_t postedBefore = refresh.eventsPosted();
    for (int n = 0; n < 5000; ++n)
        driver.queueRead(rxtest::kJ1939Client, sized(Protocol::J1939, 10 + n % 20));
    rxtest::wake({Protocol::J1939});
    // Without handling a single event meanwhile.
    QVERIFY(rxtest::waitWithoutEvents([&] { return text().messageCount() == 5000u; }));
    QCOMPARE(refresh.notifications() - notifiedBefore, uint64_t(5000));
    QCOMPARE(refresh.eventsPosted() - postedBefore, uint64_t(1));
    QCoreApplication::sendPostedEvents(&window);
    QCOMPARE(window.events, 1);
    QCOMPARE(window.covered, uint64_t(5000));
    // The next message posts again.
    driver.queueRead(rxtest::kJ1939Client, sized(Protocol::J1939, 10));
    QTRY_COMPARE(window.events, 2);
    QCOMPARE(window.covered, uint64_t(5001));
}

void TestReceiveThreads::stopPausesAndStraySignalDoesNothing() {
    const auto& driver = rxtest::setUp();
    receive::ReceiveShared& shared = receive::receiveShared();
    driver.setReadFlood(rxtest::kJ1708Client, sized(Protocol::J1708, 8));
    rxtest::wake({Protocol::J1708});
    QTRY_VERIFY(text().messageCount() > 100);
    shared.receiveStopped = 1;
    QTRY_VERIFY(shared.isWaiting(Protocol::J1708));
    const uint32_t count = text().messageCount();
    const int reads = driver.readCallCount();
    shared.j1708ReceiveEvent.load()->set(); // stray: the flag is still set
    QTRY_VERIFY(shared.isWaiting(Protocol::J1708));
    QTest::qWait(20);
    QCOMPARE(text().messageCount(), count);
    QCOMPARE(driver.readCallCount(), reads);
}

QTEST_GUILESS_MAIN(TestReceiveThreads)
#include "tst_receive_threads.moc"
