// The monitor's pure logic: periods and jitter, changed bytes, row keys from
// receive buffers, frame bit counts, rates and CSV quoting.
#include "monitor/bus_figures.h"
#include "monitor/bus_load.h"
#include "monitor/csv.h"
#include "monitor/message_store.h"

#include <QTest>

using namespace monitor;

Q_DECLARE_METATYPE(std::vector<int64_t>)

class TstMonitorLogic : public QObject {
    Q_OBJECT
private slots:
    void periodAndJitter_data() {
        QTest::addColumn<std::vector<int64_t>>("arrivals");
        QTest::addColumn<bool>("known");
        QTest::addColumn<double>("periodMs");
        QTest::addColumn<double>("jitterMs");
        QTest::newRow("one arrival") << std::vector<int64_t>{5} << false << 0.0 << 0.0;
        QTest::newRow("steady 100 ms")
            << std::vector<int64_t>{0, 100000, 200000, 300000} << true << 100.0 << 0.0;
        QTest::newRow("90/110 alternating")
            << std::vector<int64_t>{0, 90000, 200000, 290000, 400000} << true << 100.0 << 10.0;
        // Only intervals ending within the second before the latest count.
        QTest::newRow("old intervals drop out")
            << std::vector<int64_t>{0, 500000, 2000000, 2010000, 2020000} << true << 10.0 << 0.0;
        // A slow message still shows its latest interval.
        QTest::newRow("slower than a second") << std::vector<int64_t>{0, 5000000} << true << 5000.0 << 0.0;
    }
    void periodAndJitter() {
        QFETCH(std::vector<int64_t>, arrivals);
        QFETCH(bool, known);
        QFETCH(double, periodMs);
        QFETCH(double, jitterMs);
        const PeriodStats stats = MessageStore::periodOf(arrivals);
        QCOMPARE(stats.known, known);
        QCOMPARE(stats.periodMs, periodMs);
        QCOMPARE(stats.jitterMs, jitterMs);
    }

    // Counts, changed-byte times and the one copy per changed row.
    void storeCountsAndChanges() {
        MessageStore store;
        const std::vector<uint8_t> first{1, 2, 3}, second{1, 9, 3, 4};
        BusFrame frame;
        frame.key = {BusProtocol::J1939, 61444, 0x00};
        frame.data = first;
        store.record(frame, 1000);
        frame.data = second;
        store.record(frame, 2000);
        frame.key.source = 0x17;
        store.record(frame, 3000);
        std::vector<MessageSnapshot> changed;
        QCOMPARE(store.takeChanged(changed), std::size_t(2));
        QCOMPARE(changed[0].count, uint64_t(2));
        QCOMPARE(changed[0].byteChangedUs, (std::vector<int64_t>{kNever, 2000, kNever, 2000}));
        QCOMPARE(changed[1].byteChangedUs, (std::vector<int64_t>{kNever, kNever, kNever, kNever}));
        QCOMPARE(store.takeChanged(changed), std::size_t(0));
        QCOMPARE(store.totals().j1939Frames, uint64_t(3));
    }

    void receiveBuffers() {
        // PDU1 (PF 0xEA): a destination left in the PGN's low byte is not a new row.
        const std::vector<uint8_t> request{0, 0, 0, 1, 0x17, 0xEA, 0x00, 6, 0xF9, 0x17, 0xEC, 0xFE, 0x00};
        const auto pdu1 = parseJ1939Buffer(request);
        QVERIFY(pdu1);
        QCOMPARE(pdu1->key.id, 59904u);
        QCOMPARE(pdu1->destination, uint8_t(0x17));
        QCOMPARE(canIdentifier(*pdu1), 0x18EA17F9u);
        QCOMPARE(pdu1->data.size(), std::size_t(3));
        const std::vector<uint8_t> pdu2{0, 0, 0, 1, 0x04, 0xF0, 0x00, 3, 0x00, 0xFF, 1, 2};
        QCOMPARE(parseJ1939Buffer(pdu2)->key.id, 61444u);
        QCOMPARE(canIdentifier(*parseJ1939Buffer(pdu2)), 0x0CF00400u);
        QVERIFY(!parseJ1939Buffer(std::vector<uint8_t>(9)));
        QVERIFY(!parseJ1708Buffer(std::vector<uint8_t>(4)));
        QCOMPARE(parseJ1708Buffer(std::vector<uint8_t>{0, 0, 0, 0, 128, 84, 20})->key.id, 128u);
    }

    void frameBits_data() {
        QTest::addColumn<int>("kind"); // 0 CAN 11-bit, 1 CAN 29-bit, 2 J1939 message, 3 J1708
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("bits");
        QTest::newRow("29-bit, 8 bytes") << 1 << 8 << 160;
        QTest::newRow("29-bit, 0 bytes") << 1 << 0 << 80;
        QTest::newRow("11-bit, 8 bytes") << 0 << 8 << 135;
        QTest::newRow("J1939 single frame") << 2 << 8 << 160;
        QTest::newRow("J1939 transport, 17 bytes") << 2 << 17 << 4 * 160;
        QTest::newRow("J1708, MID + 2 bytes") << 3 << 2 << 52;
    }
    void frameBits() {
        QFETCH(int, kind);
        QFETCH(int, length);
        QFETCH(int, bits);
        const std::size_t n = std::size_t(length);
        const uint32_t counted = kind == 0   ? canFrameBitsWorstCase(false, n)
                                 : kind == 1 ? canFrameBitsWorstCase(true, n)
                                 : kind == 2 ? j1939MessageBits(n)
                                             : j1708MessageBits(n);
        QCOMPARE(int(counted), bits);
    }

    void rateOverTheLastSecond() {
        RateMeter meter;
        BusTotals totals;
        for (int step = 0; step <= 8; ++step) {
            meter.sample(step * 250'000, totals);
            totals.j1939Frames += 250; // 1000 frames/s
            totals.j1939Bits += 250 * 160;
        }
        const BusRates rates = meter.rates(250000);
        QCOMPARE(rates.j1939PerSecond, 1000.0);
        QCOMPARE(rates.j1939LoadPercent, 64.0);
    }

    void hardwareStatus() {
        std::vector<uint8_t> status(kHardwareStatusSize, 0);
        status[23] = 7;
        status[26] = 1;
        status[40] = 3;
        const auto counts = parseHardwareStatus(status);
        QVERIFY(counts);
        QCOMPARE(counts->droppedQueueFull, 7u);
        QCOMPARE(counts->droppedTooLong, 256u);
        QCOMPARE(busStateText(counts->busState), QStringLiteral("bus off"));
        QVERIFY(!parseHardwareStatus(std::span(status).first(40)));
    }

    void csvQuoting_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "EEC1"
                               << "EEC1";
        QTest::newRow("comma") << "0x00 (0), global"
                               << "\"0x00 (0), global\"";
        QTest::newRow("quote") << "say \"hi\""
                               << "\"say \"\"hi\"\"\"";
        QTest::newRow("line feed") << "a\nb"
                                   << "\"a\nb\"";
        QTest::newRow("carriage return") << "a\rb"
                                         << "\"a\rb\"";
    }
    void csvQuoting() {
        QFETCH(QString, field);
        QFETCH(QString, written);
        QCOMPARE(csvField(field), written);
        QCOMPARE(csvRecord({field, QStringLiteral("x")}), written + QStringLiteral(",x\r\n"));
    }
};

QTEST_GUILESS_MAIN(TstMonitorLogic)
#include "tst_monitor_logic.moc"
