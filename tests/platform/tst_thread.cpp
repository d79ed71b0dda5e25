#include <QTest>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <pthread.h>
#include <unistd.h>

#include "platform/thread.h"

using namespace std::chrono_literals;

namespace {
// What a started thread reports back. Shared, because the detached thread
// may still be leaving its body when the test has moved on.
struct Report {
    std::mutex mutex;
    std::condition_variable changed;
    bool ran = false;
    std::size_t stackSize = 0;
    pthread_t self{};

    bool waitUntilRan(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [this] { return ran; });
    }
};

std::function<void()> reportingBody(const std::shared_ptr<Report>& report) {
    return [report] {
        std::size_t size = 0;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            pthread_attr_getstacksize(&attr, &size);
            pthread_attr_destroy(&attr);
        }
        std::lock_guard lock(report->mutex);
        report->ran = true;
        report->stackSize = size;
        report->self = pthread_self();
        report->changed.notify_all();
    };
}

#ifdef TARVIK_SANITIZED_BUILD
constexpr std::size_t kFactor = 16;
#else
constexpr std::size_t kFactor = 1;
#endif
} // namespace

class TestThread : public QObject {
    Q_OBJECT

private slots:
    void startedThreadRunsWithItsStack_data();
    void startedThreadRunsWithItsStack();
    void creationFailure();
};

void TestThread::startedThreadRunsWithItsStack_data() {
    QTest::addColumn<qulonglong>("requested");
    QTest::newRow("below the minimum") << 1ULL;
    QTest::newRow("32768") << 32768ULL;
    QTest::newRow("1 MiB") << 1048576ULL;
}

void TestThread::startedThreadRunsWithItsStack() {
    QFETCH(qulonglong, requested);
    auto report = std::make_shared<Report>();
    const auto id = platform::startThread(reportingBody(report), requested);
    QVERIFY(id.has_value());
    QVERIFY(report->waitUntilRan(10s));
    std::lock_guard lock(report->mutex);
    QVERIFY(pthread_equal(report->self, *id));
    // At least what was asked for (times the sanitizer factor), never below the system minimum.
    const std::size_t needed = std::max<std::size_t>(requested * kFactor, PTHREAD_STACK_MIN);
    QVERIFY2(report->stackSize >= needed, qPrintable(QString::number(report->stackSize)));
}

void TestThread::creationFailure() {
    platform::testing::failNextThreadStarts(1);
    auto report = std::make_shared<Report>();
    QVERIFY(!platform::startThread(reportingBody(report), 32768).has_value());
    // The hook fails one start only; the body given to it never runs.
    auto next = std::make_shared<Report>();
    QVERIFY(platform::startThread(reportingBody(next), 32768).has_value());
    QVERIFY(next->waitUntilRan(10s));
    std::lock_guard lock(report->mutex);
    QVERIFY(!report->ran);
    QVERIFY(!platform::startThread({}, 32768).has_value());
}

QTEST_APPLESS_MAIN(TestThread)
#include "tst_thread.moc"
