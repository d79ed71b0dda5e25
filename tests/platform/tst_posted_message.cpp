#include <QCoreApplication>
#include <QTest>

#include <thread>
#include <vector>

#include "platform/posted_message.h"

namespace {
struct Received {
    unsigned message;
    quintptr wParam;
    qintptr lParam;
};

// Stands in for a window: records every posted message it is given.
class Window : public QObject {
public:
    std::vector<Received> received;

protected:
    bool event(QEvent* e) override {
        if (const platform::PostedMessageEvent* m = platform::postedMessageOf(e)) {
            received.push_back({m->message, m->wParam, m->lParam});
            return true;
        }
        return QObject::event(e);
    }
};
} // namespace

class TestPostedMessage : public QObject {
    Q_OBJECT

private slots:
    void carriesItsParameters_data();
    void carriesItsParameters();
    void manyWorkersAllDelivered();
    void handledWhileWorkersPost();
};

void TestPostedMessage::carriesItsParameters_data() {
    QTest::addColumn<uint>("message");
    QTest::addColumn<quintptr>("wParam");
    QTest::addColumn<qintptr>("lParam");
    QTest::newRow("receive refresh") << uint(platform::kUserMessage) << quintptr(1) << qintptr(0);
    QTest::newRow("transmit started") << uint(platform::kUserMessage) << quintptr(2) << qintptr(0);
    QTest::newRow("full-width parameters") << uint(platform::kUserMessage + 7) << ~quintptr(0) << qintptr(-1);
}

// Posted from a worker thread, the message reaches the window on the window's
// thread once events are processed.
void TestPostedMessage::carriesItsParameters() {
    QFETCH(uint, message);
    QFETCH(quintptr, wParam);
    QFETCH(qintptr, lParam);
    Window window;
    std::thread worker([&] { platform::postMessage(&window, message, wParam, lParam); });
    worker.join();
    QVERIFY(window.received.empty());
    QCoreApplication::sendPostedEvents(&window);
    QCOMPARE(window.received.size(), std::size_t(1));
    QCOMPARE(window.received[0].message, message);
    QCOMPARE(window.received[0].wParam, wParam);
    QCOMPARE(window.received[0].lParam, lParam);
}

// Every message of every worker arrives, and one worker's messages keep
// their order.
void TestPostedMessage::manyWorkersAllDelivered() {
    constexpr int kWorkers = 4;
    constexpr int kEach = 500;
    Window window;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&window, w] {
            for (int i = 0; i < kEach; ++i) {
                platform::postMessage(&window, platform::kUserMessage, quintptr(w), qintptr(i));
            }
        });
    }
    for (auto& t : workers) {
        t.join();
    }
    QCoreApplication::sendPostedEvents(&window);
    QCOMPARE(window.received.size(), std::size_t(kWorkers * kEach));
    std::vector<qintptr> next(kWorkers, 0);
    for (const Received& r : window.received) {
        QVERIFY(r.wParam < kWorkers);
        QCOMPARE(r.lParam, next[r.wParam]);
        ++next[r.wParam];
    }
}

// The window handles messages while workers are still posting, with no join
// in between: the receiver's reads of each event must be ordered after the
// poster's writes (ThreadSanitizer checks this build of the test).
void TestPostedMessage::handledWhileWorkersPost() {
    constexpr int kWorkers = 3;
    constexpr int kEach = 2000;
    Window window;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&window, w] {
            for (int i = 0; i < kEach; ++i) {
                platform::postMessage(&window, platform::kUserMessage, quintptr(w), qintptr(i));
            }
        });
    }
    while (window.received.size() < std::size_t(kWorkers * kEach)) {
        QCoreApplication::sendPostedEvents(&window);
    }
    for (auto& t : workers) {
        t.join();
    }
    QCOMPARE(window.received.size(), std::size_t(kWorkers * kEach));
}

QTEST_GUILESS_MAIN(TestPostedMessage)
#include "tst_posted_message.moc"
