// The Bus Monitor on a full 1 Mbit/s bus: 7,600 frames a second from 2,000
// identifiers (1,000 PGNs from two sources each, every PGN in a generated
// 1,000-message DBC), fed through the test driver. Prints the frames
// delivered and counted, the user-interface thread's CPU, the whole
// process's CPU and resident memory over the run.
//
//   bench_monitor [seconds] [sort column]   (defaults 60, 1 = PGN / ID)
#include "connect/driver_binding.h"
#include "decode/dbc_catalog.h"
#include "monitor/monitor_window.h"
#include "platform/library.h"
#include "support/test_driver_control.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sys/resource.h>
#include <thread>

namespace {
constexpr int kMessages = 1000;
constexpr int kSources = 2;
constexpr int kFramesPerSecond = 7600;
constexpr int kSignalsPerMessage = 10;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void writeDbc(const QString& path) {
    std::ofstream dbc(path.toStdString());
    dbc << "VERSION \"\"\n";
    for (int m = 0; m < kMessages; ++m) {
        const uint32_t id = 0x80000000u | (6u << 26) | (uint32_t(0xF000 + m) << 8) | 0xFE;
        dbc << "BO_ " << id << " Message" << m << ": 8 Node\n";
        for (int s = 0; s < kSignalsPerMessage; ++s)
            dbc << " SG_ M" << m << "_S" << s << " : " << s * 6
                << "|6@1+ (0.5,-4) [0|27.5] \"u\" Vector__XXX\n";
    }
    dbc << "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\",\"reserved\",\"J1939PG\";\n";
    for (int m = 0; m < kMessages; ++m)
        dbc << "BA_ \"VFrameFormat\" BO_ " << (0x80000000u | (6u << 26) | (uint32_t(0xF000 + m) << 8) | 0xFE)
            << " 3;\n";
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int sortColumn = argc > 2 ? std::atoi(argv[2]) : monitor::MessageModel::Identifier;

    connect::DriverBinding& binding = connect::driverBinding();
    binding.libraryFileName = std::string(testsupport::kTestDriverName) + ".dll";
    binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
    binding.resolveEntryPoints();
    testsupport::TestDriverControl driver;
    driver.reset();

    QTemporaryDir dir;
    writeDbc(dir.filePath(QStringLiteral("generated.dbc")));
    decode::DbcCatalog catalog(dir.filePath(QStringLiteral("settings.ini")));
    const QStringList problems = catalog.load({dir.filePath(QStringLiteral("generated.dbc"))});
    if (!problems.isEmpty() || catalog.database().messageCount() != kMessages) {
        std::fprintf(stderr, "DBC not loaded: %s\n", qPrintable(problems.join(QLatin1Char('\n'))));
        return 1;
    }

    monitor::MonitorWindow window(catalog);
    window.startMonitoring(nullptr, 101, connect::J1939_BIT);
    window.show();
    window.view()->sortByColumn(sortColumn, Qt::AscendingOrder);
    const int16_t client = window.reader().j1939Client();

    // The feeder: 7.6 frames per millisecond on average, round-robin over
    // the 2,000 identifiers with a counter byte that changes every frame.
    std::atomic<bool> feeding{true};
    std::atomic<uint64_t> queued{0};
    std::thread feeder([&] {
        const auto start = std::chrono::steady_clock::now();
        uint64_t sent = 0;
        std::vector<uint8_t> buffer(18, 0);
        while (feeding.load()) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const auto due = uint64_t(elapsed * kFramesPerSecond);
            for (; sent < due; ++sent) {
                const uint32_t identifier = uint32_t(sent % (kMessages * kSources));
                const uint32_t pgn = 0xF000 + identifier / kSources;
                buffer[4] = uint8_t(pgn);
                buffer[5] = uint8_t(pgn >> 8);
                buffer[6] = 0;
                buffer[7] = 6;
                buffer[8] = uint8_t(identifier % kSources);
                buffer[9] = 0xFF;
                buffer[10] = uint8_t(sent / (kMessages * kSources));
                driver.queueRead(client, buffer);
            }
            queued = sent;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const double uiStart = threadCpuSeconds();
    const double processStart = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    std::printf(
        "bench_monitor: %d s at %d frames/s from %d identifiers, %d-message DBC, sorted by column %d\n",
        seconds, kFramesPerSecond, kMessages * kSources, kMessages, sortColumn);
    std::printf("resident memory at start: %ld kB\n", residentKilobytes());
    int lastReport = 0;
    while (wall.elapsed() < qint64(seconds) * 1000) {
        app.processEvents(QEventLoop::AllEvents, 50);
        const int at = int(wall.elapsed() / 10000);
        if (at > lastReport) {
            lastReport = at;
            std::printf("  %3d s: resident %ld kB, rows %d, counted %llu\n", at * 10, residentKilobytes(),
                        window.model().messageCount(),
                        (unsigned long long)(window.store().totals().j1939Frames));
            std::fflush(stdout);
        }
    }
    const double uiCpu = threadCpuSeconds() - uiStart;
    const double processCpu = processCpuSeconds() - processStart;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    feeding = false;
    feeder.join();

    // Let the reader take what is still queued, then the table.
    QElapsedTimer drain;
    drain.start();
    while (driver.pendingReads(client) > 0 && drain.elapsed() < 10000)
        app.processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    window.refresh();
    uint64_t tableCount = 0;
    for (int row = 0; row < window.model().messageCount(); ++row)
        tableCount += window.model().snapshotAt(row).count;
    window.stopMonitoring();

    std::printf("queued %llu, delivered by the driver %llu, counted in the table %llu (%s)\n",
                (unsigned long long)queued.load(), (unsigned long long)window.reader().delivered(),
                (unsigned long long)tableCount,
                tableCount == queued.load() && window.reader().delivered() == queued.load() ? "none lost"
                                                                                            : "LOST");
    std::printf("user-interface thread: %.1f %% of a core; whole process (feeder included): %.1f %%\n",
                100.0 * uiCpu / elapsed, 100.0 * processCpu / elapsed);
    std::printf("resident memory at end: %ld kB, rows %d\n", residentKilobytes(),
                window.model().messageCount());
    return 0;
}
