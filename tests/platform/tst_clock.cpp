#include <QTest>

#include <chrono>
#include <thread>

#include "platform/clock.h"

using namespace std::chrono_literals;

class TestClock : public QObject {
    Q_OBJECT

private slots:
    void followsSteadyClock();
    void deadlineOfAReading();
};

// Over a stretch of real time the tick count advances by the same number of
// milliseconds (within the rounding of two reads) and never goes back.
void TestClock::followsSteadyClock() {
    const auto steadyStart = std::chrono::steady_clock::now();
    const std::uint32_t tickStart = platform::tickCount();
    // Counted from the start of this process, not from some clock epoch.
    QVERIFY2(tickStart < 60000U, qPrintable(QString::number(tickStart)));
    std::uint32_t previous = tickStart;
    while (std::chrono::steady_clock::now() - steadyStart < 60ms) {
        const std::uint32_t now = platform::tickCount();
        QVERIFY(std::uint32_t(now - previous) < 1000U);
        previous = now;
        std::this_thread::yield();
    }
    const auto steadyMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - steadyStart)
            .count();
    const std::uint32_t ticks = platform::tickCount() - tickStart;
    QVERIFY2(ticks + 2 >= steadyMs && ticks <= steadyMs + 2,
             qPrintable(QStringLiteral("%1 ticks over %2 ms").arg(ticks).arg(steadyMs)));
}

// A wait until tickTime(t) never ends before tickCount() reads t, and the
// moment of a reading already passed is not in the future.
void TestClock::deadlineOfAReading() {
    for (std::uint32_t ahead : {1U, 2U, 3U}) {
        const std::uint32_t start = platform::tickCount();
        std::this_thread::sleep_until(platform::tickTime(start + ahead));
        QVERIFY(std::uint32_t(platform::tickCount() - start) >= ahead);
        QVERIFY(platform::tickTime(start) <= std::chrono::steady_clock::now());
    }
}

QTEST_APPLESS_MAIN(TestClock)
#include "tst_clock.moc"
