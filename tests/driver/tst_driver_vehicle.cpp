// The simulated truck on device 101, the driver's ini file, and the life of
// the vehicle thread across connects, disconnects and unloading.
#include "driver_api.h"

#include <QtTest>

#include <algorithm>
#include <functional>
#include <map>

using Bytes = std::vector<uint8_t>;

namespace {

// Industry group 1, function 0 (engine), manufacturer code 2000, identity 0x1A101.
constexpr uint64_t kEngineName = 0x10000000FA01A101ULL;
// Functions 3 transmission, 9 brakes, 19 instrument cluster, 29 body controller.
constexpr uint64_t kTransmissionName = 0x10000300FA01A103ULL;
constexpr uint64_t kBrakesName = 0x10000900FA01A10BULL;
constexpr uint64_t kClusterName = 0x10001300FA01A117ULL;
constexpr uint64_t kBodyName = 0x10001D00FA01A121ULL;

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

    // Every ECU answers Requests: the engine's address claim, periodic
    // messages, identification strings (long ones by RTS/CTS to the requester,
    // by BAM to a global request), DM2, DM3 and DM11 with an Acknowledgment.
    void ecusAnswerRequests_data() {
        QTest::addColumn<quint32>("requested");
        QTest::addColumn<int>("destination");
        QTest::addColumn<quint32>("answer");
        QTest::addColumn<int>("source");
        QTest::addColumn<QByteArray>("data"); // empty: not compared
        const auto ack = [](uint8_t control, uint32_t pgn) {
            return QByteArray::fromHex(QByteArray::number(control, 16).rightJustified(2, '0') + "FFFFFFF9") +
                   QByteArray(1, char(pgn)) + QByteArray(1, char(pgn >> 8)) + QByteArray(1, char(pgn >> 16));
        };
        QTest::newRow("address claimed, to the engine") << 0xEE00u << 0x00 << 0xEE00u << 0x00 << QByteArray();
        QTest::newRow("address claimed, to the body controller")
            << 0xEE00u << 0x21 << 0xEE00u << 0x21 << QByteArray();
        QTest::newRow("CCVS") << 65265u << 0x00 << 65265u << 0x00 << QByteArray();
        QTest::newRow("ETC2 from the transmission, global")
            << 61445u << 0xFF << 61445u << 0x03 << QByteArray();
        QTest::newRow("unknown PGN: NACK") << 0xFEE5u << 0x00 << 0xE800u << 0x00 << ack(1, 0xFEE5);
        QTest::newRow("VIN by RTS/CTS")
            << 65260u << 0x00 << 65260u << 0x00 << QByteArray("1ZTTRVK7XPN000101*");
        QTest::newRow("VIN by BAM") << 65260u << 0xFF << 65260u << 0x00 << QByteArray("1ZTTRVK7XPN000101*");
        QTest::newRow("engine's ECU identification")
            << 64965u << 0x00 << 64965u << 0x00
            << QByteArray("ZT-4710-00*SN-01A101*Engine compartment*Engine*Tarvik simulation*");
        QTest::newRow("no ECU identification from the cluster")
            << 64965u << 0x17 << 0xE800u << 0x17 << ack(1, 64965);
        QTest::newRow("transmission's component ID")
            << 65259u << 0x03 << 65259u << 0x03 << QByteArray("ZTV*TX10*TX10-01A103*TRN-01*");
        QTest::newRow("brakes' software ID") << 65242u << 0x0B << 65242u << 0x0B
                                             << QByteArray("\x01"
                                                           "BR4 EBS 1.3.0*");
        QTest::newRow("DM1, global") << 65226u << 0xFF << 65226u << 0x00
                                     << QByteArray::fromHex("04FF6E00100364000101");
        QTest::newRow("DM2 of the engine: none yet")
            << 65227u << 0x00 << 65227u << 0x00 << QByteArray::fromHex("00FF00000000FFFF");
        QTest::newRow("DM11 to the cluster: positive") << 65235u << 0x17 << 0xE800u << 0x17 << ack(0, 65235);
        QTest::newRow("DM11 to the brakes: negative") << 65235u << 0x0B << 0xE800u << 0x0B << ack(1, 65235);
        QTest::newRow("DM3 to the body controller") << 65228u << 0x21 << 0xE800u << 0x21 << ack(0, 65228);
    }
    void ecusAnswerRequests() {
        QFETCH(quint32, requested);
        QFETCH(int, destination);
        QFETCH(quint32, answer);
        QFETCH(int, source);
        QFETCH(QByteArray, data);
        // The requester holds 0xF9, so the device's engine answers an RTS to it.
        const int16_t id = api.open(101, "J1939");
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, id, claimBytes(0xF9, 0x0000810001600001ULL)),
                 int16_t(0));
        const Bytes filter = {0x05,
                              static_cast<uint8_t>(answer),
                              static_cast<uint8_t>(answer >> 8),
                              0,
                              0,
                              static_cast<uint8_t>(source),
                              0};
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, id, filter), int16_t(0));
        drain(api, id);
        const Bytes request = j1939Tx(0xEA00, 6, 0xF9, static_cast<uint8_t>(destination),
                                      {static_cast<uint8_t>(requested), static_cast<uint8_t>(requested >> 8),
                                       static_cast<uint8_t>(requested >> 16)});
        QCOMPARE(api.sendBytes(id, request), int16_t(0));
        // The ECUs are nodes of their own: the answer follows on the bus.
        const Bytes m = readUntil(api, id, [](const Bytes&) { return true; });
        QVERIFY(!m.empty());
        QCOMPARE(rxPgn(m), answer);
        QCOMPARE(int(m[8]), source);
        if (!data.isEmpty())
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(m.data()) + 10, int(m.size()) - 10), data);
        if (answer == 0xEE00)
            QVERIFY(isAddressClaimed(m, uint8_t(source), source == 0 ? kEngineName : kBodyName));
        api.disconnect(id);
    }

    // A global Request for Address Claimed: every ECU of the truck answers
    // from its own address with its own NAME.
    void everyEcuClaimsItsAddress() {
        const int16_t id = api.open(101, "J1939");
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, id, {0x01, 0x00, 0xEE, 0, 0, 0, 0}),
                 int16_t(0));
        drain(api, id);
        QCOMPARE(api.sendBytes(id, j1939Tx(0xEA00, 6, 0xFE, 0xFF, {0x00, 0xEE, 0x00})), int16_t(0));
        const std::map<uint8_t, uint64_t> expected = {{0x00, kEngineName},
                                                      {0x03, kTransmissionName},
                                                      {0x0B, kBrakesName},
                                                      {0x17, kClusterName},
                                                      {0x21, kBodyName}};
        std::map<uint8_t, uint64_t> seen;
        while (seen.size() < expected.size()) {
            const Bytes m = readUntil(api, id, [](const Bytes& b) { return b.size() == 18 && b[8] < 0xF0; });
            QVERIFY(!m.empty());
            uint64_t name = 0;
            for (int i = 7; i >= 0; --i)
                name = name << 8 | m[10 + i];
            seen[m[8]] = name;
        }
        QCOMPARE(seen, expected);
        api.disconnect(id);
    }

    void claimAgainstTheEngine_data() {
        QTest::addColumn<quint64>("name");
        QTest::addColumn<int>("expected");
        QTest::newRow("higher NAME fails") << quint64(0x8000000000000001ULL) << int(ERR_ADDRESS_CLAIM_FAILED);
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
