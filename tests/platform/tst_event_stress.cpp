#include <QTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/event.h"

using namespace std::chrono_literals;

// Many setters and waiters on one event. Setters hand out one signal at a
// time (a new set only after the previous one was consumed), so every set
// must release exactly one wait: a waiter that wakes with no signal handed
// out, or a signal that is never consumed, is a fault.
class TestEventStress : public QObject {
    Q_OBJECT

private slots:
    void handOver_data();
    void handOver();
};

void TestEventStress::handOver_data() {
    QTest::addColumn<int>("setters");
    QTest::addColumn<int>("waiters");
    QTest::addColumn<int>("setsEach");
    QTest::newRow("one to one") << 1 << 1 << 2000;
    QTest::newRow("one setter, many waiters") << 1 << 8 << 2000;
    QTest::newRow("many setters, one waiter") << 8 << 1 << 250;
    QTest::newRow("many to many") << 6 << 6 << 300;
}

void TestEventStress::handOver() {
    QFETCH(int, setters);
    QFETCH(int, waiters);
    QFETCH(int, setsEach);
    const int total = setters * setsEach;

    auto event = platform::createAutoResetEvent();
    QVERIFY(event);
    std::mutex mutex;
    std::condition_variable changed;
    bool signalOut = false;
    bool stopping = false;
    int consumed = 0;
    int wrongReleases = 0;
    int exited = 0;

    std::vector<std::thread> threads;
    for (int w = 0; w < waiters; ++w) {
        threads.emplace_back([&, w] {
            for (;;) {
                // Mix the two ways of waiting.
                if (w % 2 == 0) {
                    event->wait();
                } else if (!event->waitFor(5ms)) {
                    std::lock_guard lock(mutex);
                    if (stopping && consumed == total) {
                        break;
                    }
                    continue;
                }
                std::lock_guard lock(mutex);
                if (stopping && !signalOut) {
                    break;
                }
                if (!signalOut) {
                    ++wrongReleases;
                }
                signalOut = false;
                ++consumed;
                changed.notify_all();
            }
            std::lock_guard lock(mutex);
            ++exited;
            changed.notify_all();
        });
    }
    std::vector<std::thread> setterThreads;
    for (int s = 0; s < setters; ++s) {
        setterThreads.emplace_back([&] {
            for (int i = 0; i < setsEach; ++i) {
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return !signalOut; });
                    signalOut = true;
                }
                event->set();
            }
        });
    }
    for (auto& t : setterThreads) {
        t.join();
    }
    {
        std::unique_lock lock(mutex);
        QVERIFY(changed.wait_for(lock, 60s, [&] { return consumed == total; }));
        stopping = true;
    }
    // Wake the waiters one by one until all have left; each extra set ends
    // one blocked waiter.
    for (;;) {
        std::unique_lock lock(mutex);
        if (exited == waiters) {
            break;
        }
        const int before = exited;
        lock.unlock();
        event->set();
        lock.lock();
        changed.wait_for(lock, 50ms, [&] { return exited > before; });
    }
    for (auto& t : threads) {
        t.join();
    }
    QCOMPARE(wrongReleases, 0);
    QCOMPARE(consumed, total);
}

QTEST_APPLESS_MAIN(TestEventStress)
#include "tst_event_stress.moc"
