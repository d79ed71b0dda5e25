// The wait of a non-blocking read on an empty queue: short for a caller that
// polls now and then, the whole bound only for one that polls a single client
// back to back. Times are given, not measured.
#include "clients/empty_read_wait.h"

#include <QtTest>

#include <thread>

using zt::EmptyReadWait;
using zt::Micros;
using zt::ReaderMark;

class EmptyReadWaitTest : public QObject {
    Q_OBJECT
private slots:
    void waitAfterAnEmptyRead_data() {
        QTest::addColumn<Micros>("bound");
        QTest::addColumn<QByteArray>("between"); // what happens after the first empty read
        QTest::addColumn<Micros>("expected");
        QTest::newRow("first empty read") << Micros(20000) << QByteArray("nothing yet") << Micros(1000);
        QTest::newRow("polled again at once") << Micros(20000) << QByteArray("at once") << Micros(20000);
        QTest::newRow("polled again at the gap's edge")
            << Micros(20000) << QByteArray("500 us") << Micros(20000);
        QTest::newRow("polled again later") << Micros(20000) << QByteArray("501 us") << Micros(1000);
        QTest::newRow("another client read between")
            << Micros(20000) << QByteArray("other read") << Micros(1000);
        QTest::newRow("another thread polls") << Micros(20000) << QByteArray("other thread") << Micros(1000);
        QTest::newRow("a message was read") << Micros(20000) << QByteArray("message") << Micros(1000);
        QTest::newRow("bound below the first wait")
            << Micros(300) << QByteArray("nothing yet") << Micros(300);
        QTest::newRow("bound below, polled at once") << Micros(300) << QByteArray("at once") << Micros(300);
        QTest::newRow("bound 0") << Micros(0) << QByteArray("at once") << Micros(0);
    }
    void waitAfterAnEmptyRead() {
        QFETCH(Micros, bound);
        QFETCH(QByteArray, between);
        QFETCH(Micros, expected);
        EmptyReadWait wait(bound);
        const ReaderMark reader{7, 40};
        ReaderMark next{7, 41};
        Micros now = 5'000'000;
        if (between != "nothing yet") {
            wait.returnedEmpty(reader, now);
            if (between == "500 us")
                now += 500;
            else if (between == "501 us")
                now += 501;
            else if (between == "other read")
                next.reads = 42;
            else if (between == "other thread")
                next.thread = 8;
            else if (between == "message")
                wait.returnedOther();
        }
        QCOMPARE(wait.waitFor(next, now), expected);
    }

    // Each thread counts its own reads; marks of different threads differ.
    void marksCountReadsPerThread() {
        const ReaderMark first = zt::markRead();
        const ReaderMark second = zt::markRead();
        QCOMPARE(second.thread, first.thread);
        QCOMPARE(second.reads, first.reads + 1);
        ReaderMark other;
        std::thread([&] { other = zt::markRead(); }).join();
        QVERIFY(other.thread != first.thread);
        QCOMPARE(other.reads, uint64_t(1));
    }
};

QTEST_APPLESS_MAIN(EmptyReadWaitTest)
#include "tst_empty_read_wait.moc"
