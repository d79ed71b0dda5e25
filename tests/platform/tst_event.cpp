#include <QTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/event.h"

using namespace std::chrono_literals;

class TestEvent : public QObject {
    Q_OBJECT

private slots:
    void signalCounting_data();
    void signalCounting();
    void setReleasesBlockedWaiter();
    void oneSetReleasesOneOfTwoWaiters();
    void creationFailure_data();
    void creationFailure();
};

// Each row: how many sets happen before any wait, then how many waits find
// the event signalled. Signals do not accumulate: one pending at most.
void TestEvent::signalCounting_data() {
    QTest::addColumn<int>("sets");
    QTest::addColumn<int>("successfulWaits");
    QTest::newRow("initially not signalled") << 0 << 0;
    QTest::newRow("set before wait stays signalled") << 1 << 1;
    QTest::newRow("two sets give one wait") << 2 << 1;
    QTest::newRow("many sets give one wait") << 10 << 1;
}

void TestEvent::signalCounting() {
    QFETCH(int, sets);
    QFETCH(int, successfulWaits);
    auto event = platform::createAutoResetEvent();
    QVERIFY(event);
    for (int i = 0; i < sets; ++i) {
        event->set();
    }
    int released = 0;
    while (event->waitFor(0ms)) {
        ++released;
        QVERIFY(released <= sets);
    }
    QCOMPARE(released, successfulWaits);
}

void TestEvent::setReleasesBlockedWaiter() {
    auto event = platform::createAutoResetEvent();
    std::atomic<bool> returned{false};
    std::thread waiter([&] {
        event->wait();
        returned = true;
    });
    event->set();
    waiter.join();
    QVERIFY(returned);
    // The release consumed the signal.
    QVERIFY(!event->waitFor(0ms));
}

void TestEvent::oneSetReleasesOneOfTwoWaiters() {
    auto event = platform::createAutoResetEvent();
    std::mutex mutex;
    std::condition_variable changed;
    int released = 0;
    auto waitOnce = [&] {
        event->wait();
        std::lock_guard lock(mutex);
        ++released;
        changed.notify_all();
    };
    std::thread first(waitOnce);
    std::thread second(waitOnce);
    auto releasedReaches = [&](int count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return released >= count; });
    };
    event->set();
    QVERIFY(releasedReaches(1));
    // The signal went to that one waiter; nothing is left for a later wait.
    QVERIFY(!event->waitFor(0ms));
    event->set();
    QVERIFY(releasedReaches(2));
    first.join();
    second.join();
    QCOMPARE(released, 2);
}

void TestEvent::creationFailure_data() {
    QTest::addColumn<int>("failures");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("four, as many as the program creates") << 4;
}

void TestEvent::creationFailure() {
    QFETCH(int, failures);
    platform::testing::failNextEventCreations(failures);
    for (int i = 0; i < failures; ++i) {
        QVERIFY2(!platform::createAutoResetEvent(), qPrintable(QString::number(i)));
    }
    QVERIFY(platform::createAutoResetEvent());
}

QTEST_APPLESS_MAIN(TestEvent)
#include "tst_event.moc"
