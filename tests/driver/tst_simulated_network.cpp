// The simulated truck network as pure logic on chosen moments: faults that
// come and go on their script, clearing them by DM3 and DM11, and the load
// each network puts on its bus.
#include "vehicle/truck_network.h"

#include <QtTest>

#include <map>
#include <set>

using zt::NetworkKind;
using zt::Outgoing;
using zt::SimulatedNetwork;

namespace {

QByteArray bytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), int(v.size()));
}

// Runs the network's ticks from `from` up to and including `to`.
void runUntil(SimulatedNetwork& n, uint32_t from, uint32_t to, std::vector<Outgoing>* sent = nullptr) {
    std::vector<Outgoing> out;
    for (uint32_t ms = from; ms <= to; ms += zt::kTickMs) {
        out.clear();
        n.tick(ms, out);
        if (sent)
            sent->insert(sent->end(), out.begin(), out.end());
    }
}

// The one answer of the ECU at `ecu` to a Request for pgn from 0xF9.
Outgoing ask(SimulatedNetwork& n, uint8_t ecu, uint32_t pgn, uint32_t ms) {
    std::vector<Outgoing> out;
    n.answer(pgn, 0xF9, ecu, ms, out);
    return out.size() == 1 ? out[0] : Outgoing{};
}

// CAN frames a message takes: one, or a BAM announcement and its packets.
int framesOf(const Outgoing& o) {
    return o.data.size() <= 8 ? 1 : 1 + int((o.data.size() + 6) / 7);
}

} // namespace

class SimulatedNetworkTest : public QObject {
    Q_OBJECT

private slots:
    // The DM1 and DM2 of an ECU at a moment of its fault script.
    void faultsComeAndGo_data() {
        QTest::addColumn<int>("ecu");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QByteArray>("dm1");
        QTest::addColumn<QByteArray>("dm2");
        const QByteArray none = QByteArray::fromHex("00FF00000000FFFF");
        QTest::newRow("transmission before its fault") << 0x03 << 30 << none << none;
        QTest::newRow("transmission oil too hot") << 0x03 << 41 << QByteArray::fromHex("04FFB1000F01FFFF")
                                                  << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("transmission fault gone")
            << 0x03 << 131 << none << QByteArray::fromHex("00FFB1000F01FFFF");
        QTest::newRow("transmission fault back, second time")
            << 0x03 << 221 << QByteArray::fromHex("04FFB1000F02FFFF")
            << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("engine at start: two codes")
            << 0x00 << 0 << QByteArray::fromHex("04FF6E00100364000101")
            << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("engine oil pressure cleared") << 0x00 << 71 << QByteArray::fromHex("04FF6E001003FFFF")
                                                     << QByteArray::fromHex("04FF64000101FFFF");
        QTest::newRow("brakes: SPN 904 over two bytes and a bit")
            << 0x0B << 21 << QByteArray::fromHex("04FF88030201FFFF")
            << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("cluster never has a fault") << 0x17 << 100 << none << none;
    }
    void faultsComeAndGo() {
        QFETCH(int, ecu);
        QFETCH(int, seconds);
        QFETCH(QByteArray, dm1);
        QFETCH(QByteArray, dm2);
        SimulatedNetwork n(NetworkKind::Truck);
        const uint32_t at = uint32_t(seconds) * 1000;
        runUntil(n, 0, at);
        QCOMPARE(bytes(ask(n, uint8_t(ecu), zt::kPgnDm1, at).data), dm1);
        QCOMPARE(bytes(ask(n, uint8_t(ecu), zt::kPgnDm2, at).data), dm2);
    }

    // DM11 and DM3 clear what an ECU keeps and are acknowledged; the brakes
    // refuse DM11. A cleared fault that appears again counts from 1.
    void clearing_data() {
        QTest::addColumn<int>("ecu");
        QTest::addColumn<quint32>("clear");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("later"); // seconds at which dm1 and dm2 are read
        QTest::addColumn<QByteArray>("dm1");
        QTest::addColumn<QByteArray>("dm2");
        QTest::newRow("DM11 clears the engine's active code")
            << 0x00 << zt::kPgnDm11 << 80 << 0 << 81 << QByteArray::fromHex("00FF00000000FFFF")
            << QByteArray::fromHex("00FF64000101FFFF");
        QTest::newRow("DM3 clears the engine's previously active code")
            << 0x00 << zt::kPgnDm3 << 80 << 0 << 81 << QByteArray::fromHex("04FF6E001003FFFF")
            << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("cleared codes come back counted from 1, kept ones counted on")
            << 0x00 << zt::kPgnDm11 << 80 << 0 << 241 << QByteArray::fromHex("04FF6E00100164000102")
            << QByteArray::fromHex("04FF00000000FFFF");
        QTest::newRow("the brakes refuse DM11")
            << 0x0B << zt::kPgnDm11 << 30 << 1 << 31 << QByteArray::fromHex("04FF88030201FFFF")
            << QByteArray::fromHex("04FF00000000FFFF");
    }
    void clearing() {
        QFETCH(int, ecu);
        QFETCH(quint32, clear);
        QFETCH(int, seconds);
        QFETCH(int, control);
        QFETCH(int, later);
        QFETCH(QByteArray, dm1);
        QFETCH(QByteArray, dm2);
        SimulatedNetwork n(NetworkKind::Truck);
        const uint32_t at = uint32_t(seconds) * 1000;
        runUntil(n, 0, at);
        const Outgoing ack = ask(n, uint8_t(ecu), clear, at);
        QCOMPARE(ack.pgn, 0xE800u);
        QCOMPARE(int(ack.source), ecu);
        QCOMPARE(int(ack.destination), 0xFF);
        const uint8_t expected[] = {uint8_t(control),    0xFF, 0xFF, 0xFF, 0xF9, uint8_t(clear),
                                    uint8_t(clear >> 8), 0};
        QCOMPARE(bytes(ack.data), bytes({std::begin(expected), std::end(expected)}));
        runUntil(n, at + zt::kTickMs, uint32_t(later) * 1000);
        QCOMPARE(bytes(ask(n, uint8_t(ecu), zt::kPgnDm1, uint32_t(later) * 1000).data), dm1);
        QCOMPARE(bytes(ask(n, uint8_t(ecu), zt::kPgnDm2, uint32_t(later) * 1000).data), dm2);
    }

    // Frames a second, distinct identifiers and bus load at 250 kbit/s
    // (67 + 8n bits a frame), averaged over ten seconds.
    void busLoad_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("minFrames");
        QTest::addColumn<int>("maxFrames");
        QTest::addColumn<int>("minIds");
        QTest::addColumn<double>("minLoad");
        QTest::addColumn<double>("maxLoad");
        QTest::newRow("truck") << int(NetworkKind::Truck) << 200 << 400 << 16 << 0.08 << 0.16;
        QTest::newRow("busy truck") << int(NetworkKind::BusyTruck) << 1000 << 1200 << 290 << 0.55 << 0.65;
    }
    void busLoad() {
        QFETCH(int, kind);
        QFETCH(int, minFrames);
        QFETCH(int, maxFrames);
        QFETCH(int, minIds);
        QFETCH(double, minLoad);
        QFETCH(double, maxLoad);
        SimulatedNetwork n(static_cast<NetworkKind>(kind));
        std::vector<Outgoing> sent;
        runUntil(n, 0, 9990, &sent);
        int frames = 0;
        std::set<uint32_t> ids;
        for (const Outgoing& o : sent) {
            frames += framesOf(o);
            ids.insert(o.priority << 26 | o.pgn << 8 | o.source);
        }
        const int perSecond = frames / 10;
        QVERIFY2(perSecond >= minFrames && perSecond <= maxFrames, qPrintable(QString::number(perSecond)));
        QVERIFY2(int(ids.size()) >= minIds, qPrintable(QString::number(ids.size())));
        const double load = perSecond * (67.0 + 64.0) / 250000.0;
        QVERIFY2(load >= minLoad && load <= maxLoad, qPrintable(QString::number(load)));
    }
};

QTEST_APPLESS_MAIN(SimulatedNetworkTest)
#include "tst_simulated_network.moc"
