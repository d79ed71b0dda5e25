// The program as a new user runs it: our driver's device 101 (the simulated
// truck) on all three protocols, the Receive window started with its default
// (non-blocking) reads. Prints the process's CPU use over the measuring time,
// read from /proc, and how many lines were received meanwhile.
// Arguments: [seconds] [device] [monitor]; "104 monitor" watches the busy
// truck with the Bus Monitor open beside the Receive window.
#include "app/tarvik_app.h"
#include "connect/driver_binding.h"
#include "res/ids/connection_ids.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "support/ui_helpers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// User plus system CPU time, in seconds, from a /proc stat file.
double cpuSeconds(const std::string& statPath = "/proc/self/stat") {
    std::ifstream in(statPath);
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold spaces.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        else if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// CPU seconds of each thread of the process, by thread id.
std::map<std::string, double> threadCpu() {
    std::map<std::string, double> cpu;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        cpu[task.path().filename().string()] = cpuSeconds(task.path().string() + "/stat");
    return cpu;
}

void runFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qtApp(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const QString device = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("101");
    const bool withMonitor = argc > 3 && std::string(argv[3]) == "monitor";
    MessageRecorder messages;
    app::TarvikDlg::endProcess() = [](int) {};
    auto* tarvik = new app::TarvikApp; // left to the process's end, as the receive threads are
    if (!tarvik->initInstance()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    whenModalRuns([device](platform::Dialog& d) {
        typeInto(d, res::IDC_DEVICE_ID, device);
        clickItem(d, res::IDC_DEVICE);
        // The busy truck offers J1939 only: a refused Init would leave the
        // connection failed.
        if (device == QStringLiteral("101")) {
            clickItem(d, res::IDC_INIT_UART);
            clickItem(d, res::IDC_INIT_1850);
        }
        whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
        clickItem(d, res::IDC_INIT_CAN);
        clickItem(d, platform::IDOK);
    });
    clickItem(tarvik->mainWindow(), res::IDC_CONNECT);
    // The busy truck offers J1939 only; the truck all three protocols.
    const uint8_t connected = connect::driverBinding().connectedProtocols.load();
    if (connected != 7 && !(device != QStringLiteral("101") && connected == 4)) {
        std::fprintf(stderr, "could not connect the device's protocols\n");
        return 1;
    }
    clickItem(tarvik->mainWindow(), res::IDC_RECEIVE_WINDOW);
    receive::ReceiveDlg& receive = tarvik->mainWindow().receiveWindow();
    clickItem(receive, res::IDC_RX_START);
    if (withMonitor)
        clickItem(tarvik->mainWindow(), res::IDC_MONITOR_WINDOW);
    runFor(1000); // settle

    const int linesBefore = receive.itemText(res::IDC_RX_MESSAGES).toInt();
    const double cpuBefore = cpuSeconds();
    const auto threadsBefore = threadCpu();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    const int lines = receive.itemText(res::IDC_RX_MESSAGES).toInt() - linesBefore;
    std::printf("device %s%s, %s, non-blocking reads, %.1f s: CPU %.1f %% of one core, "
                "%.0f messages/s received\n",
                qPrintable(device), withMonitor ? " with the Bus Monitor open" : "",
                connected == 7 ? "three protocols" : "J1939", elapsed, 100.0 * cpu / elapsed,
                double(lines) / elapsed);
    if (monitor::MonitorWindow* monitor = tarvik->mainWindow().monitorWindow()) {
        const monitor::BusTotals totals = monitor->store().totals();
        std::printf("  the Bus Monitor counted %llu J1939 messages in %d rows\n",
                    static_cast<unsigned long long>(totals.j1939Frames), monitor->model().messageCount());
    }
    // The busiest threads: the user-interface thread is the process's id.
    std::vector<std::pair<double, std::string>> busiest;
    for (const auto& [tid, seconds] : threadCpu()) {
        const auto before = threadsBefore.find(tid);
        busiest.emplace_back(seconds - (before == threadsBefore.end() ? 0.0 : before->second), tid);
    }
    std::sort(busiest.rbegin(), busiest.rend());
    const std::string uiThread = std::to_string(getpid());
    for (std::size_t i = 0; i < std::min<std::size_t>(6, busiest.size()); ++i)
        std::printf("  thread %s%s: %.1f %%\n", busiest[i].second.c_str(),
                    busiest[i].second == uiThread ? " (user interface)" : "",
                    100.0 * busiest[i].first / elapsed);
    std::fflush(stdout);
    _exit(0); // the receive threads run for the life of the process
}
