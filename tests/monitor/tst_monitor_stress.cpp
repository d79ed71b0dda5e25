// The reader thread and the user-interface thread on one store: a flooded
// client read as fast as it goes while the window refreshes, pauses and
// clears; every message the reader took is counted once.
#include "connect/driver_binding.h"
#include "decode/dbc_catalog.h"
#include "monitor/monitor_window.h"
#include "platform/library.h"
#include "support/test_driver_control.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace monitor;

class TstMonitorStress : public QObject {
    Q_OBJECT
private slots:
    void floodWhileRefreshingAndClearing() {
        connect::DriverBinding& binding = connect::driverBinding();
        binding.libraryFileName = std::string(testsupport::kTestDriverName) + ".dll";
        binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
        binding.resolveEntryPoints();
        testsupport::TestDriverControl driver;
        driver.reset();
        QTemporaryDir dir;
        decode::DbcCatalog catalog(dir.filePath(QStringLiteral("settings.ini")));
        MonitorWindow window(catalog);
        const uint64_t generationAtStart = window.store().generation();
        window.startMonitoring(nullptr, 101, connect::J1939_BIT | connect::J1708_BIT);
        driver.setReadFlood(0, {0, 0, 0, 0, 0x04, 0xF0, 0x00, 3, 0x00, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
        driver.setReadFlood(1, {0, 0, 0, 0, 128, 84, 20});
        uint64_t clears = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        for (int turn = 0; elapsed.elapsed() < 1500; ++turn) {
            window.refresh();
            if (turn % 7 == 3)
                window.setPaused(!window.isPaused());
            if (turn % 50 == 49) {
                window.clear();
                ++clears;
            }
            QTest::qWait(2);
        }
        window.setPaused(false);
        window.clear();
        ++clears;
        QTest::qWait(100);
        window.stopMonitoring();
        const BusTotals totals = window.store().totals();
        window.refresh();
        uint64_t inTable = 0;
        for (int row = 0; row < window.model().messageCount(); ++row)
            inTable += window.model().snapshotAt(row).count;
        QCOMPARE(inTable, totals.j1939Frames + totals.j1708Frames);
        // Every message the reader took was recorded exactly once, whatever
        // the clears it ran into. The reader goes on between the store's
        // clear and anything the window does after it, so the reader's count
        // read after a clear cannot bound the table's counts: the store's
        // generation (one step per record and per clear) is the exact count.
        QCOMPARE(window.store().generation() - generationAtStart, window.reader().delivered() + clears);
        QCOMPARE(window.model().messageCount(), 2);
    }
};

QTEST_MAIN(TstMonitorStress)
#include "tst_monitor_stress.moc"
