// For intervals 0, 1, 10 and 100 ms: one unlimited J1708 row sent through our
// driver (device 102, the quiet bus) by the transmit thread; prints the
// spacing between sends (median, 99th percentile, worst) against the
// interval + 1 ms the schedule allows, and the thread's processor time. Then
// the thread's processor time during a run whose rows all wait: fifteen
// rows that have sent their count and one with a 60 s interval.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "transmit/transmit_thread.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <time.h>
#include <vector>

using namespace transmit;

namespace {

double nowMicros(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// The program's io, timing each good send.
class TimedIo : public TransmitIo {
public:
    uint32_t now() override { return driverTransmitIo().now(); }
    uint8_t connectedProtocols() override { return driverTransmitIo().connectedProtocols(); }
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t block) override {
        const double at = nowMicros(CLOCK_MONOTONIC);
        const int16_t result = driverTransmitIo().send(client, bytes, length, block);
        if (result == 0) {
            std::lock_guard lock(mutex);
            times.push_back(at);
        }
        return result;
    }
    int16_t clientId(int32_t protocol) override { return driverTransmitIo().clientId(protocol); }
    void post(QObject*, unsigned) override {}

    std::mutex mutex;
    std::vector<double> times;
};

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!connect::loadDriverForTest("ZT121032")) {
        std::fprintf(stderr, "libZT121032.so not found\n");
        return 1;
    }
    auto& binding = connect::driverBinding();
    const int16_t client = binding.clientConnect(nullptr, 102, "J1708", 0, 0, 0);
    if (connect::isDriverError(client)) {
        std::fprintf(stderr, "ClientConnect J1708 failed: %d\n", client);
        return 1;
    }
    binding.j1708ClientId = client;
    binding.connectedProtocols = connect::J1708_BIT;

    auto* io = new TimedIo;
    auto* shared = new TransmitShared;
    shared->transmitEvent = platform::createAutoResetEvent().release();
    const auto thread = platform::startThread([shared, io] { runTransmitThread(*shared, *io); }, 0x8000);
    clockid_t threadClock{};
    if (!thread || pthread_getcpuclockid(*thread, &threadClock) != 0) {
        std::fprintf(stderr, "no transmit thread\n");
        return 1;
    }
    const auto runFor = [&](std::chrono::milliseconds length) {
        const double cpu0 = nowMicros(threadClock);
        const double wall0 = nowMicros(CLOCK_MONOTONIC);
        shared->requestStart();
        std::this_thread::sleep_for(length);
        shared->requestStop();
        while (!shared->threadIdle.load())
            std::this_thread::yield();
        return 100.0 * (nowMicros(threadClock) - cpu0) / (nowMicros(CLOCK_MONOTONIC) - wall0);
    };

    std::printf("interval  allowed  sends  median    p99       worst     (spacing, ms)  thread CPU\n");
    for (int interval : {0, 1, 10, 100}) {
        const int seconds = interval == 100 ? 5 : 2;
        auto record = newTxMessage(kJ1708);
        const uint8_t bytes[] = {8, 0x80, 0xF3, 1, 2};
        std::copy(std::begin(bytes), std::end(bytes), record->buffer.begin());
        record->length = 5;
        record->broadcastCount = -1;
        record->interval = uint16_t(interval);
        shared->table.replace(0, std::move(record));
        {
            std::lock_guard lock(io->mutex);
            io->times.clear();
        }
        const double cpu = runFor(std::chrono::seconds(seconds));
        std::vector<double> spacing;
        {
            std::lock_guard lock(io->mutex);
            for (size_t i = 1; i < io->times.size(); ++i)
                spacing.push_back((io->times[i] - io->times[i - 1]) / 1000.0);
        }
        if (spacing.empty()) {
            std::printf("%8d  no sends\n", interval);
            continue;
        }
        std::printf("%8d  %7d  %5zu  %-8.3f  %-8.3f  %-8.3f                 %5.1f%% of one core\n", interval,
                    interval + 1, spacing.size() + 1, percentile(spacing, 0.5), percentile(spacing, 0.99),
                    *std::max_element(spacing.begin(), spacing.end()), cpu);
    }

    for (int row = 0; row < kTransmitRows; ++row) {
        auto record = newTxMessage(kJ1708);
        record->buffer[0] = 8;
        record->length = 3;
        record->broadcastCount = row == 0 ? -1 : 1;
        record->interval = row == 0 ? 60000 : 0;
        shared->table.replace(row, std::move(record));
    }
    runFor(std::chrono::milliseconds(100)); // every row sends once
    std::printf("rows waiting (15 sent their count, 1 at a 60 s interval): thread CPU %.2f%% of one core\n",
                runFor(std::chrono::seconds(5)));
    binding.clientDisconnect(client);
    std::fflush(stdout);
    std::_Exit(0); // the transmit thread never ends
}
