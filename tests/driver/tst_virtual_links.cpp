// The in-process CAN bus on a manual clock: a frame's wire time at a bit
// rate, paced delivery one frame after another, and that a frame reaches
// every node but its sender (a paced bus hands it back to a sender that asks).
#include "links/link_factory.h"
#include "links/virtual_can.h"

#include <QtTest>

#include <vector>

using namespace zt;

class VirtualLinksTest : public QObject {
    Q_OBJECT

private slots:
    void wireTime_data() {
        QTest::addColumn<bool>("extended");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("bitrate");
        QTest::addColumn<qint64>("micros");
        // 67 + 8n bits with a 29-bit id, 47 + 8n with an 11-bit id.
        QTest::newRow("29-bit, 8 bytes, 250k") << true << 8 << 250000 << qint64(524);
        QTest::newRow("29-bit, 0 bytes, 250k") << true << 0 << 250000 << qint64(268);
        QTest::newRow("11-bit, 8 bytes, 250k") << false << 8 << 250000 << qint64(444);
        QTest::newRow("29-bit, 8 bytes, 500k") << true << 8 << 500000 << qint64(262);
        QTest::newRow("29-bit, 3 bytes, 1M, rounded up") << true << 3 << 1000000 << qint64(91);
    }
    void wireTime() {
        QFETCH(bool, extended);
        QFETCH(int, length);
        QFETCH(int, bitrate);
        QFETCH(qint64, micros);
        CanFrame f;
        f.extended = extended;
        f.length = uint8_t(length);
        QCOMPARE(canWireTime(f, bitrate), Micros(micros));
    }

    void pacedBusDeliversInTurnToOthersOnly_data() {
        QTest::addColumn<int>("bitrate"); // 0: unpaced
        QTest::newRow("paced 250k") << 250000;
        QTest::newRow("unpaced") << 0;
    }
    void pacedBusDeliversInTurnToOthersOnly() {
        QFETCH(int, bitrate);
        ManualClock clock(1000);
        auto bus = std::make_shared<VirtualCanBus>("t", clock, bitrate, false);
        std::vector<std::pair<int, CanFrame>> seen; // receiving node, frame
        std::vector<CanFrame> own;                  // node 0's own frames, handed back once on a paced bus
        std::vector<std::unique_ptr<CanLink>> links;
        for (int node = 0; node < 3; ++node) {
            links.push_back(bus->attach());
            if (node == 0)
                QCOMPARE(links[0]->setOwnFrameHandler([&own](const CanFrame& f) { own.push_back(f); }),
                         bitrate > 0);
            QVERIFY(
                !links.back()->open([&seen, node](const CanFrame& f) { seen.emplace_back(node, f); }, {}));
        }
        CanFrame a;
        a.id = 0x18FEF100;
        a.length = 8;
        CanFrame b = a;
        b.id = 0x18FEF101;
        QCOMPARE(links[0]->send(a), 0);
        QCOMPARE(links[1]->send(b), 0);
        if (bitrate > 0) {
            QVERIFY(seen.empty()); // nothing before its last bit has passed
            clock.advance(523);
            bus->bus().deliverDue();
            QVERIFY(seen.empty());
            clock.advance(1);
            bus->bus().deliverDue();
            QCOMPARE(seen.size(), std::size_t(2)); // a, to nodes 1 and 2
            QCOMPARE(own.size(), std::size_t(1));
            QCOMPARE(own[0].timestamp, Micros(1000 + 524));
            clock.advance(524);
            bus->bus().deliverDue();
        }
        // a reaches 1 and 2, then b reaches 0 and 2; nobody hears itself.
        const std::vector<std::pair<int, uint32_t>> expected = {{1, a.id}, {2, a.id}, {0, b.id}, {2, b.id}};
        QCOMPARE(seen.size(), expected.size());
        for (std::size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(seen[i].first, expected[i].first);
            QCOMPARE(seen[i].second.id, expected[i].second);
        }
        if (bitrate > 0) {
            QCOMPARE(seen[0].second.timestamp, Micros(1000 + 524));
            QCOMPARE(seen[2].second.timestamp, Micros(1000 + 2 * 524));
        }
        links[0]->close();
        QCOMPARE(links[1]->send(a), 0);
        if (bitrate > 0) {
            clock.advance(1000);
            bus->bus().deliverDue();
        }
        QCOMPARE(seen.back().first, 2); // the closed node hears nothing more
        QCOMPARE(own.size(), std::size_t(bitrate > 0 ? 1 : 0));
    }

    void factoryRefusesAnUnknownLinkKind() {
        ManualClock clock;
        LinkSettings settings;
        QVERIFY(!makeDeviceLinks(7, settings, clock).error);
        settings.can = "carrier-pigeon:coop";
        QVERIFY(makeDeviceLinks(7, settings, clock).error);
    }
};

QTEST_APPLESS_MAIN(VirtualLinksTest)
#include "tst_virtual_links.moc"
