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
        window.startMonitoring(nullptr, 101, connect::J1939_BIT | connect::J1708_BIT);
        driver.setReadFlood(0, {0, 0, 0, 0, 0x04, 0xF0, 0x00, 3, 0x00, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
        driver.setReadFlood(1, {0, 0, 0, 0, 128, 84, 20});
        QElapsedTimer elapsed;
        elapsed.start();
        for (int turn = 0; elapsed.elapsed() < 1500; ++turn) {
            window.refresh();
            if (turn % 7 == 3)
                window.setPaused(!window.isPaused());
            if (turn % 50 == 49)
                window.clear();
            QTest::qWait(2);
        }
        window.setPaused(false);
        window.clear();
        const uint64_t deliveredAtClear = window.reader().delivered();
        QTest::qWait(100);
        window.stopMonitoring();
        const BusTotals totals = window.store().totals();
        window.refresh();
        uint64_t inTable = 0;
        for (int row = 0; row < window.model().messageCount(); ++row)
            inTable += window.model().snapshotAt(row).count;
        QCOMPARE(inTable, totals.j1939Frames + totals.j1708Frames);
        // The counts since the last clear are what the reader took since
        // then, give or take the message it was recording at the clear.
        QVERIFY(window.reader().delivered() - deliveredAtClear + 1 >= inTable);
        QVERIFY(window.reader().delivered() - deliveredAtClear <= inTable + 1);
        QCOMPARE(window.model().messageCount(), 2);
    }
};

QTEST_MAIN(TstMonitorStress)
#include "tst_monitor_stress.moc"
