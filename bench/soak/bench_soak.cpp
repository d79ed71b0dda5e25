// Soak run: the program's windows connected to our driver's device 101 (the
// simulated truck) on all three protocols, the receive window running
// (blocking poll), three transmit rows sending every 10 ms with echo on, and
// a second client of the driver flooding J1939 at a fixed rate. Each report period (a minute by
// default) prints the messages received and sent in it, the resident memory
// and the messages the driver dropped for the program; any count that goes
// backwards is reported the moment it is seen.
//
//   bench_soak <minutes> [flood messages per second, default 1000]
//              [report period in seconds, default 60]
#include "app/tarvik_app.h"
#include "connect/driver_binding.h"
#include "res/ids/connection_ids.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx_builder_ids.h"
#include "support/ui_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstring>
#include <functional>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

using namespace testsupport;

namespace {

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Waits, with the event loop running, until done() holds or ms pass.
bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A second client of the driver on device 101 sending a proprietary J1939
// message at a fixed rate from its own thread.
class Flood {
public:
    explicit Flood(int perSecond) : perSecond_(perSecond) {}
    bool start() {
        const auto& b = connect::driverBinding();
        client_ = b.clientConnect(nullptr, 101, "J1939", 0, 0, 0);
        if (connect::isDriverError(client_))
            return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        connect::driverBinding().clientDisconnect(client_);
    }
    long sent() const { return sent_.load(); }
    long failed() const { return failed_.load(); }

private:
    void run() {
        // PGN 0xFF10 (proprietary B), priority 6, source 0x80, global.
        char message[14] = {0x10, char(0xFF), 0x00, 6, char(0x80), char(0xFF)};
        const auto period = std::chrono::nanoseconds(1'000'000'000 / perSecond_);
        auto next = std::chrono::steady_clock::now();
        uint32_t sequence = 0;
        while (!stop_) {
            std::memcpy(message + 6, &sequence, sizeof sequence);
            if (connect::driverBinding().sendMessage(client_, message, sizeof message, 0, 1) == 0) {
                ++sent_;
                ++sequence;
            } else {
                ++failed_;
            }
            next += period;
            std::this_thread::sleep_until(next);
        }
    }

    int perSecond_;
    int16_t client_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<long> sent_{0};
    std::atomic<long> failed_{0};
};

// Messages the driver dropped for a client: queue full plus reader's buffer
// too small (hardware status bytes 20-27).
long droppedFor(int16_t client) {
    auto status = connect::driverBinding().RP1210_GetHardwareStatus.load();
    unsigned char bytes[32] = {};
    if (!status || status(client, reinterpret_cast<char*>(bytes), sizeof bytes, 0) != 0)
        return 0;
    auto number = [&](int at) {
        return long(bytes[at]) << 24 | long(bytes[at + 1]) << 16 | long(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    return number(20) + number(24);
}

bool connectAndStart(app::TarvikApp& app) {
    bool connected = false;
    whenModalRuns([&](platform::Dialog& d) {
        clickItem(d, res::IDC_DEVICE);
        clickItem(d, res::IDC_INIT_UART);
        clickItem(d, res::IDC_INIT_1850);
        whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
        clickItem(d, res::IDC_INIT_CAN);
        clickItem(d, platform::IDOK);
    });
    clickItem(app.mainWindow(), res::IDC_CONNECT);
    connected = connect::driverBinding().connectedProtocols.load() == 7;
    if (!connected)
        return false;

    clickItem(app.mainWindow(), res::IDC_RECEIVE_WINDOW);
    // Readers wait in the driver rather than poll, as a user would set it
    // for a long run on a shared machine.
    clickItem(app.mainWindow().receiveWindow(), res::IDC_RX_BLOCKING_POLL);
    clickItem(app.mainWindow().receiveWindow(), res::IDC_RX_START);

    clickItem(app.mainWindow(), res::IDC_TRANSMIT_WINDOW);
    transmit::TransmitDlg& transmit = app.mainWindow().transmitWindow();
    const int protocols[3] = {res::IDC_TX_J1708, res::IDC_TX_J1850, res::IDC_TX_J1939};
    for (int row = 0; row < 3; ++row) {
        clickItem(transmit, res::kTransmitRowIds[row].radio);
        clickItem(transmit, protocols[row]);
        whenModalRuns([](platform::Dialog& builder) {
            pressArrow(builder, res::IDC_TXB_DATA_COUNT_SPIN, +1, 2);
            pressArrow(builder, res::IDC_TXB_BROADCAST_SPIN, -1, 2); // without limit
            typeInto(builder, res::IDC_TXB_INTERVAL, QStringLiteral("10"));
            clickItem(builder, platform::IDOK);
        });
        clickItem(transmit, res::IDC_TX_CREATE);
    }
    clickItem(transmit, res::IDC_TX_ECHO);
    clickItem(transmit, res::IDC_TX_START);
    return waitFor([&] { return transmit.itemText(res::IDC_TX_TOTAL).toLong() > 0; });
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <minutes> [flood per second] [report seconds]\n", argv[0]);
        return 2;
    }
    const double minutes = std::atof(argv[1]);
    const int floodRate = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int reportSeconds = argc > 3 ? std::atoi(argv[3]) : 60;
    if (minutes <= 0 || floodRate <= 0 || reportSeconds <= 0)
        return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    MessageRecorder boxes; // a message box must not stop the run; counted below

    app::TarvikDlg::endProcess() = [](int) {};
    auto* app = new app::TarvikApp;
    if (!app->initInstance() || !connectAndStart(*app)) {
        std::fprintf(stderr, "could not connect and start (message boxes: %d)\n",
                     int(boxes.messages().size()));
        return 1;
    }
    Flood flood(floodRate);
    if (!flood.start()) {
        std::fprintf(stderr, "the flood client could not connect\n");
        return 1;
    }

    receive::ReceiveDlg& receive = app->mainWindow().receiveWindow();
    transmit::TransmitDlg& transmit = app->mainWindow().transmitWindow();
    auto& binding = connect::driverBinding();
    const int16_t clients[3] = {binding.j1708ClientId.load(), binding.j1850ClientId.load(),
                                binding.j1939ClientId.load()};
    struct Counts {
        long received = 0, sent = 0, rows[3] = {0, 0, 0};
    };
    auto sample = [&] {
        Counts c;
        c.received = receive.itemText(res::IDC_RX_MESSAGES).toLong();
        c.sent = transmit.itemText(res::IDC_TX_TOTAL).toLong();
        for (int row = 0; row < 3; ++row)
            c.rows[row] = transmit.itemText(res::kTransmitRowIds[row].count).toLong();
        return c;
    };

    std::printf("soak: %.1f min, flood %d/s on J1939, report every %d s\n", minutes, floodRate,
                reportSeconds);
    std::printf("period  received/period  sent/period  flood sent  flood failed  driver dropped  VmRSS kB  "
                "backwards\n");
    std::fflush(stdout);
    Counts last = sample(), periodStart = last;
    long lastFlood = 0, backwards = 0, periodBackwards = 0;
    const long startRss = residentKilobytes();
    long maxRss = startRss;
    int period = 0;
    QElapsedTimer clock;
    clock.start();
    const qint64 endAt = qint64(minutes * 60'000);
    qint64 nextReport = qint64(reportSeconds) * 1000;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const Counts now = sample();
        auto check = [&](const char* what, long before, long after) {
            if (after < before) {
                ++backwards;
                ++periodBackwards;
                std::printf("  %s went backwards: %ld -> %ld at %.1f s\n", what, before, after,
                            clock.elapsed() / 1000.0);
            }
        };
        check("received", last.received, now.received);
        check("sent", last.sent, now.sent);
        for (int row = 0; row < 3; ++row)
            check("row count", last.rows[row], now.rows[row]);
        last = now;
        if (clock.elapsed() < nextReport && clock.elapsed() < endAt)
            return;
        nextReport += qint64(reportSeconds) * 1000;
        long dropped = 0;
        for (int16_t client : clients)
            dropped += droppedFor(client);
        const long rss = residentKilobytes();
        maxRss = std::max(maxRss, rss);
        std::printf("%6d  %15ld  %11ld  %10ld  %12ld  %14ld  %8ld  %9ld\n", ++period,
                    now.received - periodStart.received, now.sent - periodStart.sent,
                    flood.sent() - lastFlood, flood.failed(), dropped, rss, periodBackwards);
        std::fflush(stdout);
        periodStart = now;
        lastFlood = flood.sent();
        periodBackwards = 0;
        if (clock.elapsed() >= endAt)
            qtApp.quit();
    });
    poll.start(200);
    qtApp.exec();

    clickItem(transmit, res::IDC_TX_START); // Stop
    flood.stop();
    long dropped = 0;
    for (int16_t client : clients)
        dropped += droppedFor(client);
    const Counts end = sample();
    std::printf("total: received %ld, sent %ld (rows %ld %ld %ld), flood %ld, driver dropped %ld, "
                "counts backwards %ld, message boxes %d, VmRSS start %ld kB end %ld kB max %ld kB\n",
                end.received, end.sent, end.rows[0], end.rows[1], end.rows[2], flood.sent(), dropped,
                backwards, int(boxes.messages().size()), startRss, residentKilobytes(), maxRss);
    for (const QString& text : boxes.texts())
        std::printf("  message box: %s\n", qPrintable(text));
    std::fflush(stdout);
    std::_Exit(backwards == 0 ? 0 : 1); // worker threads are still in their loops
}
