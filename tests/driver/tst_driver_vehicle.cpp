// The simulated truck on device 101, the driver's ini file, and the life of
// the vehicle thread across connects, disconnects and unloading.
#include "driver_api.h"

#include <QtTest>

#include <algorithm>
#include <functional>

using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint64_t kEngineName = 0x1000000000000101ULL;

int threadCount() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                          std::filesystem::directory_iterator()));
}

Bytes nameBytes(uint64_t name) {
    Bytes b;
    for (int i = 0; i < 8; ++i)
        b.push_back(static_cast<uint8_t>(name >> (8 * i)));
    return b;
}

Bytes claimBytes(uint8_t address, uint64_t name) {
    Bytes c = {address};
    const Bytes n = nameBytes(name);
    c.insert(c.end(), n.begin(), n.end());
    c.push_back(0);
    return c;
}

bool isAddressClaimed(const Bytes& m, uint8_t source, uint64_t name) {
    return m.size() == 18 && rxPgn(m) == 0xEE00 && m[8] == source && m[9] == 0xFF &&
           Bytes(m.begin() + 10, m.end()) == nameBytes(name);
}

const std::string kCustomIni = R"([VendorInformation]
Name=Custom
[DeviceInformation7]
DeviceID=7
DeviceDescription=Seven
SimulatedVehicle=Yes
[ProtocolInformation3]
ProtocolString=J1939
Devices=7
)";

} // namespace

class DriverVehicleTest : public QObject {
    Q_OBJECT

    DriverApi api;

    // Blocking reads until a message satisfies pred; gives up after limit messages.
    static Bytes readUntil(DriverApi& d, int16_t id, const std::function<bool(const Bytes&)>& pred,
                           int limit = 3000) {
        for (int i = 0; i < limit; ++i) {
            int16_t n = 0;
            Bytes m = d.readOne(id, true, &n);
            if (n < 0 && n != -ERR_RX_QUEUE_FULL)
                return {};
            if (!m.empty() && pred(m))
                return m;
        }
        return {};
    }

    static void drain(DriverApi& d, int16_t id) {
        while (!d.readOne(id, false).empty()) {
        }
    }

private slots:
    void initTestCase() { QVERIFY(api.load()); }
    void cleanupTestCase() { api.unload(); }

    void j1939EngineMessages_data() {
        QTest::addColumn<quint32>("pgn");
        QTest::addColumn<int>("priority");
        QTest::newRow("EEC1") << 61444u << 3;
        QTest::newRow("CCVS") << 65265u << 6;
        QTest::newRow("ET1") << 65262u << 6;
    }
    void j1939EngineMessages() {
        QFETCH(quint32, pgn);
        QFETCH(int, priority);
        const int16_t id = api.open(101, "J1939");
        QVERIFY(id >= 0);
        const Bytes m = readUntil(api, id, [&](const Bytes& b) { return rxPgn(b) == pgn; });
        QCOMPARE(m.size(), std::size_t(18));
        QCOMPARE(int(m[7]), priority);
        QCOMPARE(m[8], uint8_t(0x00)); // source: the engine
        QCOMPARE(m[9], uint8_t(0x00)); // broadcast PGN: no destination
        if (pgn == 61444) {
            const double rpm = (m[13] | (m[14] << 8)) / 8.0;
            QVERIFY2(rpm >= 700 && rpm <= 1800, qPrintable(QString::number(rpm)));
        } else if (pgn == 65265) {
            const double kmh = (m[11] | (m[12] << 8)) / 256.0;
            QVERIFY(kmh >= 0 && kmh <= 88.5);
        } else {
            const int coolant = m[10] - 40;
            QVERIFY(coolant >= 15 && coolant <= 95);
        }
        api.disconnect(id);
    }

    void eec1ComesEveryTwentyMilliseconds() {
        const int16_t id = api.open(101, "J1939");
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, id, {0x01, 0x04, 0xF0, 0, 0, 0, 0}),
                 int16_t(0));
        drain(api, id);
        std::vector<uint32_t> stamps;
        for (int i = 0; i < 21; ++i)
            stamps.push_back(timestampOf(readUntil(api, id, [](const Bytes&) { return true; })));
        // The mean spacing over twenty periods: a late wake-up of the vehicle
        // thread on a loaded machine moves single gaps, not the mean.
        const uint32_t mean = (stamps.back() - stamps.front()) / uint32_t(stamps.size() - 1);
        QVERIFY2(mean >= 15 && mean <= 60, qPrintable(QString::number(mean)));
        api.disconnect(id);
    }

    void j1708EngineMessages_data() {
        QTest::addColumn<int>("pid");
        QTest::addColumn<int>("length");
        QTest::newRow("engine speed") << 190 << 9;
        QTest::newRow("road speed") << 84 << 8;
        QTest::newRow("coolant temperature") << 110 << 8;
    }
    void j1708EngineMessages() {
        QFETCH(int, pid);
        QFETCH(int, length);
        const int16_t id = api.open(101, "J1708");
        const Bytes m = readUntil(api, id, [&](const Bytes& b) { return b[4] == 128 && b[5] == pid; });
        QCOMPARE(int(m.size()), length);
        unsigned sum = 0;
        for (std::size_t i = 4; i < m.size(); ++i)
            sum += m[i];
        QCOMPARE(sum % 256, 0u);
        if (pid == 190) {
            const double rpm = (m[6] | (m[7] << 8)) / 4.0;
            QVERIFY(rpm >= 700 && rpm <= 1800);
        }
        api.disconnect(id);
    }

    void j1850PowertrainMessages() {
        const int16_t id = api.open(101, "J1850");
        const Bytes m = readUntil(api, id, [](const Bytes& b) { return b[8] == 0x48 && b[9] == 0x0C; });
        QCOMPARE(m.size(), std::size_t(13));
        QCOMPARE(m[10], uint8_t(0x10));
        QCOMPARE(body(m)[2], uint8_t(2)); // data count
        const double rpm = ((m[11] << 8) | m[12]) / 4.0;
        QVERIFY(rpm >= 700 && rpm <= 1800);
        api.disconnect(id);
    }

    void engineAnswersRequests_data() {
        QTest::addColumn<quint32>("requested");
        QTest::addColumn<int>("destination");
        QTest::addColumn<quint32>("answer");
        QTest::newRow("address claimed, to the engine") << 0xEE00u << 0x00 << 0xEE00u;
        QTest::newRow("address claimed, global") << 0xEE00u << 0xFF << 0xEE00u;
        QTest::newRow("CCVS") << 65265u << 0x00 << 65265u;
        QTest::newRow("ET1, global") << 65262u << 0xFF << 65262u;
        QTest::newRow("unknown PGN: NACK") << 0xFEE5u << 0x00 << 0xE800u;
        QTest::newRow("VIN, through the transport protocol") << 65260u << 0x00 << 65260u;
        QTest::newRow("DM1, global") << 65226u << 0xFF << 65226u;
    }
    void engineAnswersRequests() {
        QFETCH(quint32, requested);
        QFETCH(int, destination);
        QFETCH(quint32, answer);
        const int16_t id = api.open(101, "J1939");
        const Bytes filter = {
            0x05, static_cast<uint8_t>(answer), static_cast<uint8_t>(answer >> 8), 0, 0, 0x00, 0};
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, id, filter), int16_t(0));
        drain(api, id);
        const Bytes request = j1939Tx(0xEA00, 6, 0xF9, static_cast<uint8_t>(destination),
                                      {static_cast<uint8_t>(requested), static_cast<uint8_t>(requested >> 8),
                                       static_cast<uint8_t>(requested >> 16)});
        QCOMPARE(api.sendBytes(id, request), int16_t(0));
        // The engine is a node of its own: its answer follows on the bus.
        const Bytes m = readUntil(api, id, [](const Bytes&) { return true; });
        QVERIFY(!m.empty());
        QCOMPARE(rxPgn(m), answer);
        if (answer == 65260)
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(m.data()) + 10, int(m.size()) - 10),
                     QByteArray("1ZTTRVK7XPN000101*"));
        if (answer == 65226)
            QCOMPARE(m.size(), std::size_t(10 + 10)); // lamps and two trouble codes
        if (answer == 0xEE00)
            QVERIFY(isAddressClaimed(m, 0x00, kEngineName));
        if (answer == 0xE800) {
            QCOMPARE(m[10], uint8_t(1));    // negative acknowledgment
            QCOMPARE(m[14], uint8_t(0xF9)); // to the requester
            QCOMPARE(Bytes(m.begin() + 15, m.end()), (Bytes{0xE5, 0xFE, 0x00}));
        }
        api.disconnect(id);
    }

    void claimAgainstTheEngine_data() {
        QTest::addColumn<quint64>("name");
        QTest::addColumn<int>("expected");
        QTest::newRow("higher NAME fails") << quint64(0x7000000000000001ULL) << int(ERR_ADDRESS_CLAIM_FAILED);
        QTest::newRow("equal NAME fails") << quint64(kEngineName) << int(ERR_ADDRESS_CLAIM_FAILED);
        QTest::newRow("lower NAME wins") << quint64(0x0000810001600001ULL) << 0;
    }
    void claimAgainstTheEngine() {
        QFETCH(quint64, name);
        QFETCH(int, expected);
        const int16_t watcher = api.open(101, "J1939");
        // The engine's claim is settled 250 ms after its first messages.
        const Bytes first = readUntil(api, watcher, [](const Bytes& m) { return rxPgn(m) == 61444; });
        QVERIFY(!first.empty());
        QVERIFY(!readUntil(api, watcher, [&](const Bytes& m) {
                     return rxPgn(m) == 61444 && timestampOf(m) - timestampOf(first) > 300;
                 }).empty());
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, watcher, {0x01, 0x00, 0xEE, 0, 0, 0, 0}),
                 int16_t(0));
        drain(api, watcher);
        const auto next = [&] { return readUntil(api, watcher, [](const Bytes&) { return true; }); };
        const int16_t claimant = api.connect(nullptr, 101, "J1939", 0, 0, 0);
        QCOMPARE(int(api.cmd(RP1210_Protect_J1939_Address, claimant, claimBytes(0x00, name))), expected);
        QVERIFY(isAddressClaimed(next(), 0x00, name));
        if (expected != 0) {
            QVERIFY(isAddressClaimed(next(), 0x00, kEngineName));
            QVERIFY(isAddressClaimed(next(), 0xFE, name));
            QCOMPARE(api.statusBytes(watcher)[0] & 4, 4); // the engine keeps its address
        } else {
            QVERIFY(isAddressClaimed(next(), 0xFE, kEngineName));
            QCOMPARE(api.statusBytes(watcher)[0] & 4, 0);
            // Once the claimant goes, the engine claims its address again.
            QCOMPARE(api.disconnect(claimant), int16_t(0));
            QVERIFY(isAddressClaimed(readUntil(api, watcher, [](const Bytes&) { return true; }), 0x00,
                                     kEngineName));
            QCOMPARE(api.statusBytes(watcher)[0] & 4, 4);
        }
        api.disconnect(claimant);
        api.disconnect(watcher);
    }

    void vehicleThreadFollowsClients() {
        LibraryCopy copy("threads", nullptr);
        DriverApi d;
        QVERIFY(d.load(copy.path));
        // A device's threads (its J1939 timers, a paced bus, the vehicle)
        // run from its first client's connect to its last one's disconnect.
        const int base = threadCount();
        const int16_t quiet = d.open(102, "J1939");
        const int withQuiet = threadCount();
        QVERIFY(withQuiet > base);
        const int16_t a = d.open(101, "J1708");
        const int withVehicle = threadCount();
        QVERIFY(withVehicle > withQuiet);
        const int16_t b = d.open(101, "J1939");
        QCOMPARE(threadCount(), withVehicle);
        QCOMPARE(d.statusBytes(b)[0] & 2, 2);
        QCOMPARE(d.disconnect(a), int16_t(0));
        QCOMPARE(threadCount(), withVehicle);
        QCOMPARE(d.disconnect(b), int16_t(0));
        QCOMPARE(threadCount(), withQuiet);
        QCOMPARE(d.statusBytes(quiet)[0] & 2, 0);
        d.disconnect(quiet);
        QCOMPARE(threadCount(), base);
        d.unload();
    }

    void unloadingStopsTheVehicleAndReloadWorks() {
        LibraryCopy copy("unload", nullptr);
        const int base = threadCount();
        for (int round = 0; round < 2; ++round) {
            DriverApi d;
            QVERIFY(d.load(copy.path));
            const int16_t id = d.open(101, "J1939");
            QVERIFY(id >= 0);
            QVERIFY(!readUntil(d, id, [](const Bytes& m) { return rxPgn(m) == 61444; }).empty());
            QVERIFY(threadCount() > base);
            d.unload(); // with the client still connected
            QCOMPARE(threadCount(), base);
        }
    }

    void missingIniUsesBuiltInDevices_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("expected"); // 0: connects
        QTest::newRow("101") << 101 << 0;
        QTest::newRow("102") << 102 << 0;
        QTest::newRow("103") << 103 << int(ERR_INVALID_DEVICE);
    }
    void missingIniUsesBuiltInDevices() {
        QFETCH(int, device);
        QFETCH(int, expected);
        LibraryCopy copy("noini", nullptr);
        DriverApi d;
        QVERIFY(d.load(copy.path));
        const int16_t id = d.open(device, "J1939");
        if (expected != 0) {
            QCOMPARE(int(id), expected);
        } else {
            QVERIFY(id >= 0);
            if (device == 101)
                QVERIFY(!readUntil(d, id, [](const Bytes& m) { return rxPgn(m) == 61444; }).empty());
            d.disconnect(id);
        }
        d.unload();
    }

    void iniFileDecidesTheDevices_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<int>("expected");
        QTest::newRow("listed device and protocol") << 7 << QByteArray("J1939") << 0;
        QTest::newRow("protocol not on the device") << 7 << QByteArray("J1708") << int(ERR_INVALID_PROTOCOL);
        QTest::newRow("101 not listed") << 101 << QByteArray("J1939") << int(ERR_INVALID_DEVICE);
    }
    void iniFileDecidesTheDevices() {
        QFETCH(int, device);
        QFETCH(QByteArray, protocol);
        QFETCH(int, expected);
        LibraryCopy copy("ini", &kCustomIni);
        DriverApi d;
        QVERIFY(d.load(copy.path));
        const int16_t id = d.open(device, protocol.constData());
        if (expected != 0) {
            QCOMPARE(int(id), expected);
        } else {
            QVERIFY(id >= 0);
            QVERIFY(!readUntil(d, id, [](const Bytes& m) { return rxPgn(m) == 61444; }).empty());
            d.disconnect(id);
        }
        d.unload();
    }
};

QTEST_APPLESS_MAIN(DriverVehicleTest)
#include "tst_driver_vehicle.moc"
