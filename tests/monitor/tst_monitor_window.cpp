// The Bus Monitor window driven through the test driver on an injected
// clock: rows and counts, periods, changed bytes, search, DBC decoding,
// Pause, and a driver that refuses the monitor its own client.
#include "connect/driver_binding.h"
#include "decode/dbc_catalog.h"
#include "monitor/message_filter.h"
#include "monitor/monitor_window.h"
#include "monitor/plot_feed.h"
#include "platform/library.h"
#include "plot/signal_plot_window.h"
#include "support/test_driver_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <atomic>
#include <fstream>

using namespace monitor;

namespace {
constexpr int16_t kJ1939Client = 0; // the test driver hands out 0, 1, ... after a reset
constexpr int16_t kJ1708Client = 1;

std::vector<uint8_t> j1939Buffer(uint32_t pgn, uint8_t source, std::vector<uint8_t> data) {
    const uint8_t header[] = {0, 0,      0,   0, uint8_t(pgn), uint8_t(pgn >> 8), uint8_t(pgn >> 16),
                              6, source, 0xFF};
    data.insert(data.begin(), std::begin(header), std::end(header));
    return data;
}
} // namespace

class TstMonitorWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    testsupport::TestDriverControl* driver_ = nullptr;
    std::unique_ptr<decode::DbcCatalog> catalog_;
    std::unique_ptr<MonitorWindow> window_;
    std::atomic<int64_t> now_{1'000'000'000};

    uint64_t received() const {
        const BusTotals totals = window_->store().totals();
        return totals.j1939Frames + totals.j1708Frames;
    }
    // Delivers one message at the clock's time and waits until it is counted.
    bool deliver(int16_t client, const std::vector<uint8_t>& buffer) {
        const uint64_t before = received();
        driver_->queueRead(client, buffer);
        return QTest::qWaitFor([&] { return received() == before + 1; }, 5000);
    }
    QString cell(int row, int column) const { return window_->filter().index(row, column).data().toString(); }
    int shownRows() const { return window_->filter().rowCount(); }

private slots:
    void initTestCase() {
        connect::DriverBinding& binding = connect::driverBinding();
        binding.libraryFileName = std::string(testsupport::kTestDriverName) + ".dll";
        binding.driverLibrary = platform::DynamicLibrary::load(binding.libraryFileName, nullptr);
        binding.resolveEntryPoints();
        driver_ = new testsupport::TestDriverControl;
        std::ofstream(dir_.filePath(QStringLiteral("truck.dbc")).toStdString())
            << "VERSION \"\"\n"
               "BO_ 2364540158 EEC1: 8 Engine\n"
               " SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" Vector__XXX\n"
               "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\",\"reserved\",\"J1939PG\";\n"
               "BA_ \"VFrameFormat\" BO_ 2364540158 3;\n";
    }
    void init() {
        driver_->reset();
        catalog_ = std::make_unique<decode::DbcCatalog>(dir_.filePath(QStringLiteral("settings.ini")));
        window_ = std::make_unique<MonitorWindow>(*catalog_, [this] { return now_.load(); });
        window_->startMonitoring(nullptr, 101, connect::J1939_BIT | connect::J1708_BIT);
        QVERIFY(window_->isMonitoring());
        window_->show();
    }
    void cleanup() {
        window_.reset();
        catalog_.reset();
    }

    // The monitor's clients pass everything and switch reception on; closing
    // the window closes them.
    void ownClientsOpenAndClose() {
        const QStringList calls = driver_->calls();
        QVERIFY(calls.contains(QStringLiteral("ClientConnect 101 J1939 0 0 0 -> 0")));
        QVERIFY(calls.contains(QStringLiteral("SendCommand 3 0 [] 0 -> 0")));
        QVERIFY(calls.contains(QStringLiteral("SendCommand 18 0 [01] 1 -> 0")));
        QVERIFY(calls.contains(QStringLiteral("ClientConnect 101 J1708 0 0 0 -> 1")));
        window_->close();
        QVERIFY(!window_->isMonitoring());
        QVERIFY(driver_->calls().contains(QStringLiteral("ClientDisconnect 0 -> 0")));
        QVERIFY(driver_->calls().contains(QStringLiteral("ClientDisconnect 1 -> 0")));
    }

    void refusedClientIsSaid() {
        window_.reset();
        driver_->reset();
        driver_->queueResult("ClientConnect", 130); // refuses the J1939 client only
        window_ = std::make_unique<MonitorWindow>(*catalog_, [this] { return now_.load(); });
        window_->startMonitoring(nullptr, 101, connect::J1939_BIT | connect::J1708_BIT);
        QVERIFY(
            window_->problemLabel()->text().contains(QStringLiteral("refused the monitor its own J1939")));
        QVERIFY(window_->isMonitoring()); // J1708 still read
        QVERIFY(deliver(0, {0, 0, 0, 0, 128, 84, 20}));
    }

    // Rows per PGN and source; counts, period and jitter of messages sent
    // every 100 ms on the injected clock.
    void countsAndPeriods() {
        for (int i = 0; i < 11; ++i) {
            QVERIFY(deliver(kJ1939Client, j1939Buffer(61444, 0x00, {1, 2, 3, 4, 5, 6, 7, 8})));
            now_ += 100'000;
        }
        QVERIFY(deliver(kJ1939Client, j1939Buffer(61444, 0x17, {1})));
        QVERIFY(deliver(kJ1708Client, {0, 0, 0, 0, 128, 84, 20}));
        window_->refresh();
        QCOMPARE(window_->model().messageCount(), 3);
        const int engine = window_->filter()
                               .mapFromSource(window_->model().index(
                                   window_->model().messageRowOf({BusProtocol::J1939, 61444, 0x00}), 0))
                               .row();
        QCOMPARE(cell(engine, MessageModel::Count), QStringLiteral("11"));
        QCOMPARE(cell(engine, MessageModel::Period), QStringLiteral("100.0 ms"));
        QCOMPARE(cell(engine, MessageModel::Jitter), QStringLiteral("0.00 ms"));
        QCOMPARE(cell(engine, MessageModel::Identifier), QStringLiteral("F004 (61444)"));
        QCOMPARE(window_->reader().delivered(), uint64_t(13));
    }

    // A changed byte is marked, in the accessible text too, for a second.
    void changedBytesMarkedThenUnmarked() {
        QVERIFY(deliver(kJ1939Client, j1939Buffer(65265, 0x00, {0x10, 0x20, 0x30})));
        now_ += 100'000;
        QVERIFY(deliver(kJ1939Client, j1939Buffer(65265, 0x00, {0x10, 0x21, 0x30})));
        window_->refresh();
        const QModelIndex data = window_->filter().index(0, MessageModel::Data);
        QCOMPARE(data.data(MessageModel::ChangedBytesRole).value<QList<int>>(), QList<int>{1});
        QVERIFY(data.data(Qt::AccessibleTextRole)
                    .toString()
                    .endsWith(QStringLiteral("changed in the last second: byte 2")));
        now_ += 1'100'000;
        window_->refresh();
        QVERIFY(data.data(MessageModel::ChangedBytesRole).value<QList<int>>().isEmpty());
    }

    void searchFilters_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("rows");
        QTest::newRow("nothing typed") << "" << 3;
        QTest::newRow("PGN in hex") << "fef1" << 1;
        QTest::newRow("PGN in decimal") << "61444" << 1;
        QTest::newRow("source address") << "0x17" << 1;
        QTest::newRow("data bytes") << "aa bb" << 1;
        QTest::newRow("DBC message name") << "eec1" << 1;
        QTest::newRow("signal name") << "enginespeed" << 1;
        QTest::newRow("no match") << "zzz" << 0;
    }
    void searchFilters() {
        QFETCH(QString, search);
        QFETCH(int, rows);
        window_->loadDbcFiles({dir_.filePath(QStringLiteral("truck.dbc"))});
        QVERIFY(deliver(kJ1939Client, j1939Buffer(61444, 0x00, {1, 2})));
        QVERIFY(deliver(kJ1939Client, j1939Buffer(65265, 0x17, {0xAA, 0xBB})));
        QVERIFY(deliver(kJ1708Client, {0, 0, 0, 0, 128, 84, 20}));
        window_->refresh();
        window_->searchBox()->setFocus();
        QTest::keyClicks(window_->searchBox(), search);
        QCOMPARE(shownRows(), rows);
    }

    // The loaded DBC decodes the signal in the expanded row, from any source.
    void dbcDecodeInExpandedRow() {
        window_->loadDbcFiles({dir_.filePath(QStringLiteral("truck.dbc"))});
        QVERIFY(deliver(kJ1939Client,
                        j1939Buffer(61444, 0x03, {0xFF, 0xFF, 0xFF, 0x80, 0x25, 0xFF, 0xFF, 0xFF})));
        window_->refresh();
        const QModelIndex message = window_->filter().index(0, 0);
        QCOMPARE(message.siblingAtColumn(MessageModel::Name).data().toString(), QStringLiteral("EEC1"));
        window_->view()->expand(message);
        QCOMPARE(window_->filter().rowCount(message), 1);
        const QModelIndex signal = window_->filter().index(0, MessageModel::Name, message);
        QCOMPARE(signal.data().toString(), QStringLiteral("EngineSpeed"));
        QCOMPARE(signal.siblingAtColumn(MessageModel::Data).data().toString(), QStringLiteral("1200 rpm"));
        QCOMPARE(signal.data(MessageModel::SignalNumberRole).toDouble(), 1200.0);
        now_ += 1'000'000; // the matched counts follow once a second
        window_->refresh();
        QVERIFY(window_->dbcList()->item(0)->text().contains(QStringLiteral("1 rows matched")));
        // A later message updates the expanded row in place.
        QVERIFY(deliver(kJ1939Client,
                        j1939Buffer(61444, 0x03, {0xFF, 0xFF, 0xFF, 0x00, 0x32, 0xFF, 0xFF, 0xFF})));
        window_->refresh();
        QCOMPARE(signal.siblingAtColumn(MessageModel::Data).data().toString(), QStringLiteral("1600 rpm"));
        // Plot opens the Signal Plot window on the signal.
        window_->plotIndex(signal.siblingAtColumn(0));
        plot::SignalPlotWindow* plotWindow = window_->plotFeed().window();
        QVERIFY(plotWindow && plotWindow->isVisible());
        QCOMPARE(plotWindow->signalCount(), 1);
    }

    // A J1708 message splits into its J1587 parameters; a trailing checksum
    // is not taken for one.
    void j1708ParametersWithoutChecksum() {
        QVERIFY(deliver(kJ1708Client, {0, 0, 0, 0, 128, 84, 20, 190, 0x4A, 0x16, 0xFA}));
        window_->refresh();
        const QModelIndex message = window_->filter().index(0, 0);
        QCOMPARE(window_->filter().rowCount(message), 2);
        QCOMPARE(window_->filter().index(1, MessageModel::Name, message).data().toString(),
                 QStringLiteral("PID 190"));
        QCOMPARE(window_->filter().index(1, MessageModel::Data, message).data().toString(),
                 QStringLiteral("5706"));
    }

    void pauseHoldsRowsWhileCountingGoesOn() {
        QVERIFY(deliver(kJ1939Client, j1939Buffer(61444, 0x00, {1})));
        window_->refresh();
        QTest::mouseClick(window_->pauseButton(), Qt::LeftButton);
        QVERIFY(window_->isPaused());
        for (int i = 0; i < 5; ++i)
            QVERIFY(deliver(kJ1939Client, j1939Buffer(61444, 0x00, {1})));
        QVERIFY(deliver(kJ1939Client, j1939Buffer(65265, 0x00, {1})));
        now_ += 300'000;
        window_->refresh();
        QCOMPARE(shownRows(), 1);
        QCOMPARE(cell(0, MessageModel::Count), QStringLiteral("1"));
        QVERIFY(window_->figuresLabel()->text().contains(QStringLiteral("received 7")));
        QTest::mouseClick(window_->pauseButton(), Qt::LeftButton);
        QCOMPARE(shownRows(), 2);
        QCOMPARE(window_->model().snapshotAt(0).count, uint64_t(6));
    }
};

QTEST_MAIN(TstMonitorWindow)
#include "tst_monitor_window.moc"
