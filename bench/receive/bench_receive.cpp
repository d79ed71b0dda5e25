// Floods the receive threads from the test driver (every read returns a
// message at once) and prints what the receive path sustains: messages per
// second per protocol and all three at once, how often the text box is
// rewritten, the UI thread's worst delay in answering an event, and memory.
#include "platform/library.h"
#include "platform/thread.h"
#include "receive/receive_dlg.h"
#include "receive/receive_threads.h"
#include "support/test_driver_control.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

using connect::Protocol;

namespace {

constexpr int16_t kClients[3] = {1, 2, 3};
const char* const kNames[3] = {"J1708", "J1850", "J1939"};

std::vector<uint8_t> floodMessage(Protocol protocol) {
    switch (protocol) {
    case Protocol::J1708:
        return {0, 1, 0x23, 0x45, 0x80, 0x54, 1, 2, 3, 4, 5, 6, 7, 8};
    case Protocol::J1850:
        return {0, 1, 0x23, 0x45, 0, 0, 0, 0, 0x68, 0x6A, 0xF1, 1, 2, 3, 4};
    case Protocol::J1939:
        break;
    }
    return {0, 1, 0x23, 0x45, 0x00, 0xEA, 0x00, 6, 0xF9, 0x00, 0x00, 0xEE, 0x00, 1, 2, 3, 4, 5};
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Figures {
    double messagesPerSecond = 0;
    double refreshesPerSecond = 0;
    double worstDelayMs = 0;
    long residentStartKiB = 0;
    long residentEndKiB = 0;
};

// Runs the flood on the given protocols for the duration while the UI
// thread serves the window, and pings itself every 10 ms to see how late it
// answers.
Figures run(receive::ReceiveDlg& dlg, const testsupport::TestDriverControl& driver,
            std::initializer_list<Protocol> protocols, int milliseconds) {
    receive::ReceiveShared& shared = receive::receiveShared();
    Figures figures;
    const uint64_t linesBefore = shared.text.linesAdded();
    const uint64_t refreshesBefore = dlg.controlRefreshes();
    for (Protocol protocol : protocols)
        driver.setReadFlood(kClients[int(protocol)], floodMessage(protocol));
    shared.receiveStopped = 0;
    for (Protocol protocol : protocols)
        shared.receiveEvent(protocol).load()->set();

    QElapsedTimer clock;
    clock.start();
    qint64 worstNs = 0;
    QElapsedTimer pingSent;
    QTimer pinger;
    pinger.setInterval(10);
    QObject::connect(&pinger, &QTimer::timeout, [&] {
        pingSent.start();
        QTimer::singleShot(0, [&] { worstNs = std::max(worstNs, pingSent.nsecsElapsed()); });
    });
    pinger.start();
    QTimer::singleShot(200, [&] { figures.residentStartKiB = residentKiB(); });
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    pinger.stop();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.residentEndKiB = residentKiB();

    shared.receiveStopped = 1;
    for (Protocol protocol : protocols)
        driver.setReadFlood(kClients[int(protocol)], {});
    while (!(shared.isWaiting(Protocol::J1708) && shared.isWaiting(Protocol::J1850) &&
             shared.isWaiting(Protocol::J1939)))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();

    figures.messagesPerSecond = double(shared.text.linesAdded() - linesBefore) / seconds;
    figures.refreshesPerSecond = double(dlg.controlRefreshes() - refreshesBefore) / seconds;
    figures.worstDelayMs = double(worstNs) / 1e6;
    return figures;
}

void print(const char* name, const Figures& f) {
    std::printf(
        "%-12s %12.0f msg/s   box rewritten %5.1f /s   worst UI delay %6.2f ms   RSS %ld -> %ld KiB\n", name,
        f.messagesPerSecond, f.refreshesPerSecond, f.worstDelayMs, f.residentStartKiB, f.residentEndKiB);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int milliseconds = argc > 1 ? std::max(500, std::atoi(argv[1])) : 3000;

    testsupport::TestDriverControl driver;
    connect::DriverBinding& binding = connect::driverBinding();
    binding.libraryFileName = std::string(testsupport::kTestDriverName) + ".dll";
    binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
    binding.resolveEntryPoints();
    if (!driver.isValid() || !binding.RP1210_ReadMessage.load()) {
        std::fprintf(stderr, "test driver %s not found\n", testsupport::kTestDriverName);
        return 1;
    }
    binding.j1708ClientId = kClients[0];
    binding.j1850ClientId = kClients[1];
    binding.j1939ClientId = kClients[2];
    binding.connectedProtocols = connect::J1708_BIT | connect::J1850_BIT | connect::J1939_BIT;

    receive::ReceiveShared& shared = receive::receiveShared();
    auto* events = new platform::AutoResetEvent[3]; // never destroyed: the threads wait on them
    shared.j1708ReceiveEvent = &events[0];
    shared.j1850ReceiveEvent = &events[1];
    shared.j1939ReceiveEvent = &events[2];
    for (auto body : {receive::J1708ReceiveThread, receive::J1850ReceiveThread, receive::J1939ReceiveThread})
        platform::startThread(body, 0x8000);

    receive::ReceiveDlg dlg;
    dlg.create();
    dlg.show();

    std::printf("Receive path, test driver flood, %d ms per run, %ld CPUs\n", milliseconds,
                sysconf(_SC_NPROCESSORS_ONLN));
    for (int p = 0; p < 3; ++p)
        print(kNames[p], run(dlg, driver, {Protocol(p)}, milliseconds));
    print("all three", run(dlg, driver, {Protocol::J1708, Protocol::J1850, Protocol::J1939}, milliseconds));
    const Figures longRun =
        run(dlg, driver, {Protocol::J1708, Protocol::J1850, Protocol::J1939}, milliseconds * 3);
    print("all, longer", longRun);
    std::printf("notifications %llu, events posted %llu\n",
                static_cast<unsigned long long>(shared.refresh.notifications()),
                static_cast<unsigned long long>(shared.refresh.eventsPosted()));
    std::printf("peak RSS %ld KiB\n", peakKiB());
    std::fflush(stdout);
    _exit(0); // the threads run for the life of the process
}
