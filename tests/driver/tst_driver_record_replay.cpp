// Records the simulated truck on device 101 and replays the recording on
// device 103, both through the driver's entry points: what the client on 101
// read, the file and what the client on 103 reads are the same messages (the
// DM1 reassembled from its BAM transfer) at the same distances, to a
// millisecond.
#include "driver_api.h"

#include <QtTest>

#include <cinttypes>
#include <cstdio>
#include <fstream>

namespace {

struct Message {
    uint32_t pgn = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    uint8_t destination = 0;
    std::vector<uint8_t> data;
    double ms = 0; // since the first message

    bool sameAs(const Message& o) const {
        return pgn == o.pgn && priority == o.priority && source == o.source && destination == o.destination &&
               data == o.data;
    }
};

constexpr uint32_t kPgnDm1 = 65226;
constexpr uint32_t kPgnTpCm = 0xEC00;
constexpr uint32_t kPgnTpDt = 0xEB00;

Message fromRx(const std::vector<uint8_t>& rx) {
    Message m;
    m.pgn = rxPgn(rx);
    m.priority = rx[7];
    m.source = rx[8];
    m.destination = rx[9];
    m.data.assign(rx.begin() + 10, rx.end());
    m.ms = timestampOf(rx);
    return m;
}

// The J1939 messages a log's frames make: single frames as they are, BAM
// transfers whole at their last packet.
std::vector<Message> messagesOfLog(const std::string& path) {
    std::vector<Message> messages;
    std::ifstream in(path);
    Message bam;
    size_t bamSize = 0;
    for (std::string line; std::getline(in, line);) {
        long long seconds = 0, micros = 0;
        unsigned id = 0;
        char hex[17] = {};
        if (std::sscanf(line.c_str(), "(%lld.%lld) %*s %8x#%16[0-9A-F]", &seconds, &micros, &id, hex) < 3)
            continue;
        Message m;
        m.ms = (seconds * 1'000'000 + micros) / 1000.0;
        m.priority = (id >> 26) & 7;
        m.source = id & 0xFF;
        const uint32_t pf = (id >> 16) & 0xFF;
        m.pgn = pf < 240 ? (id >> 8) & 0x3FF00 : (id >> 8) & 0x3FFFF;
        m.destination = pf < 240 ? (id >> 8) & 0xFF : 0;
        for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2)
            m.data.push_back(static_cast<uint8_t>(std::stoul(std::string(hex + i, 2), nullptr, 16)));
        if (m.pgn == kPgnTpCm && m.data.size() == 8 && m.data[0] == 0x20) {
            bam = m;
            bam.pgn = m.data[5] | m.data[6] << 8 | m.data[7] << 16;
            bam.destination = ((bam.pgn >> 8) & 0xFF) < 240 ? m.destination : 0;
            bam.data.clear();
            bamSize = m.data[1] | m.data[2] << 8;
        } else if (m.pgn == kPgnTpDt && bamSize > 0) {
            bam.data.insert(bam.data.end(), m.data.begin() + 1, m.data.end());
            if (bam.data.size() >= bamSize) {
                bam.data.resize(bamSize);
                bam.ms = m.ms;
                messages.push_back(bam);
                bamSize = 0;
            }
        } else if (m.pgn != kPgnTpCm && m.pgn != kPgnTpDt) {
            messages.push_back(m);
        }
    }
    return messages;
}

// Checks that `got` is `expected` from index `from` on, with the same
// distances between messages to a millisecond.
void compareFrom(const std::vector<Message>& expected, size_t from, const std::vector<Message>& got) {
    QVERIFY(from + got.size() <= expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        QVERIFY2(got[i].sameAs(expected[from + i]),
                 qPrintable(QString("message %1, PGN %2").arg(i).arg(got[i].pgn)));
        const double distance = got[i].ms - got[0].ms;
        const double recorded = expected[from + i].ms - expected[from].ms;
        QVERIFY2(std::abs(distance - recorded) <= 1.0,
                 qPrintable(QString("message %1: %2 ms, recorded %3 ms").arg(i).arg(distance).arg(recorded)));
    }
}

std::vector<Message> readMessages(DriverApi& api, int16_t id, size_t count, bool untilDm1) {
    std::vector<Message> got;
    while (got.size() < count || (untilDm1 && got.back().pgn != kPgnDm1)) {
        const std::vector<uint8_t> rx = api.readOne(id, true);
        if (rx.size() < 10)
            break;
        got.push_back(fromRx(rx));
    }
    return got;
}

} // namespace

class DriverRecordReplayTest : public QObject {
    Q_OBJECT

private slots:
    void truckRecordedAndReplayed() {
        const std::string ini =
            "[VendorInformation]\nDevices=101,103\nProtocols=3\n"
            "[DeviceInformation101]\nDeviceID=101\nSimulatedVehicle=Yes\nRecord=recordings\n"
            "[DeviceInformation103]\nDeviceID=103\nCAN=replay:recorded.log\nReplayLoop=Yes\n"
            "[ProtocolInformation3]\nProtocolString=J1939\nDevices=101,103\n";
        LibraryCopy library("record-replay", &ini);
        std::filesystem::create_directories(library.dir / "recordings");
        DriverApi api;
        QVERIFY(api.load(library.path));

        // Until two DM1s have come by, so the log holds a whole BAM transfer.
        const int16_t truck = api.open(101, "J1939");
        QVERIFY(truck >= 0 && truck < 128);
        std::vector<Message> live = readMessages(api, truck, 1, true);
        const std::vector<Message> more = readMessages(api, truck, 1, true);
        live.insert(live.end(), more.begin(), more.end());
        QCOMPARE(api.disconnect(truck), int16_t(0));

        std::filesystem::path recording;
        for (const auto& entry : std::filesystem::directory_iterator(library.dir / "recordings"))
            recording = entry.path();
        QVERIFY(recording.filename().string().starts_with("zt-101-"));
        // Two lines that do not parse lead the replayed copy: skipped, counted.
        std::ofstream(library.dir / "recorded.log") << "garbage\n(1.0) can0 1#11#22\n"
                                                    << std::ifstream(recording).rdbuf();
        const std::vector<Message> logged = messagesOfLog(recording.string());

        // The live client missed what came before its filters opened.
        size_t from = 0;
        while (from + live.size() <= logged.size() &&
               !std::equal(live.begin(), live.end(), logged.begin() + from,
                           [](const Message& a, const Message& b) { return a.sameAs(b); }))
            ++from;
        compareFrom(logged, from, live);

        const int16_t replay = api.open(103, "J1939");
        QVERIFY(replay >= 0 && replay < 128);
        std::vector<Message> replayed = readMessages(api, replay, 1, false);
        std::vector<uint8_t> status(41, 0xA5);
        QCOMPARE(api.status(replay, reinterpret_cast<char*>(status.data()), 41, 0), int16_t(0));
        QCOMPARE(std::vector<uint8_t>(status.begin() + 32, status.end()),
                 std::vector<uint8_t>({0, 0, 0, 2, 0, 0, 0, 0, 0})); // skipped, recorder lost, bus state
        // The replay starts when the client's filters open: it sees the log
        // from its first message.
        QVERIFY(!replayed.empty());
        const size_t replayFrom = 0;
        QVERIFY(replayed[0].sameAs(logged[0]));
        const std::vector<Message> rest = readMessages(api, replay, logged.size() - replayFrom - 1, false);
        replayed.insert(replayed.end(), rest.begin(), rest.end());
        QCOMPARE(api.disconnect(replay), int16_t(0));
        compareFrom(logged, replayFrom, replayed);
        api.unload();
    }

    // However a client readies itself after connecting, an unpaced replay
    // waits for it and it reads every frame of the log.
    void replayWaitsForItsListener_data() {
        QTest::addColumn<QList<int>>("commands"); // after the connect: 3, or 18 with its byte as 180/181
        QTest::newRow("filters at once") << QList<int>{3};
        QTest::newRow("the program's order: reception off, filters, reception on") << QList<int>{180, 3, 181};
        QTest::newRow("one J1939 filter") << QList<int>{4};
    }
    void replayWaitsForItsListener() {
        QFETCH(QList<int>, commands);
        const std::string ini = "[DeviceInformation1]\nDeviceID=7\nCAN=replay:forty.log\nReplaySpeed=0\n"
                                "[ProtocolInformation3]\nProtocolString=J1939\nDevices=7\n";
        LibraryCopy library("replay-start", &ini);
        std::ofstream log(library.dir / "forty.log");
        for (int i = 0; i < 40; ++i)
            log << "(1000." << 100000 + i * 1000 << ") can0 18FEF100#" << std::hex << 0x10 + i << std::dec
                << "FFFFFFFFFFFFFF\n";
        log.close();
        DriverApi api;
        QVERIFY(api.load(library.path));
        const int16_t id = api.connect(nullptr, 7, "J1939", 0, 0, 0);
        QVERIFY(id >= 0 && id < 128);
        for (int c : commands) {
            if (c == 4)
                QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, id, {0x01, 0xF1, 0xFE, 0, 0, 0, 0}),
                         int16_t(0));
            else if (c >= 180)
                QCOMPARE(api.cmd(RP1210_Set_Message_Receive, id, {uint8_t(c - 180)}), int16_t(0));
            else
                QCOMPARE(api.cmd(c, id, {}), int16_t(0));
        }
        for (int i = 0; i < 40; ++i) {
            const std::vector<uint8_t> rx = api.readOne(id, true);
            QCOMPARE(int(rx.size()), 18);
            QCOMPARE(int(rx[10]), 0x10 + i);
        }
        QCOMPARE(api.disconnect(id), int16_t(0));
        api.unload();
    }

    // The connect is refused and the error text of its code names the cause.
    void refusedConnectSaysWhy_data() {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("named");
        QTest::newRow("missing log") << QByteArray("CAN=replay:missing.log")
                                     << int(ERR_HARDWARE_NOT_RESPONDING) << QByteArray("/missing.log");
        QTest::newRow("missing folder") << QByteArray("Record=no/such/folder")
                                        << int(ERR_HARDWARE_NOT_RESPONDING) << QByteArray("/no/such/folder");
        QTest::newRow("BAM gap below 50 ms") << QByteArray("BAMPacketGap=30") << int(ERR_INVALID_DEVICE)
                                             << QByteArray("is 30: it must be 50 to 200 ms");
    }
    void refusedConnectSaysWhy() {
        QFETCH(QByteArray, keys);
        QFETCH(int, code);
        QFETCH(QByteArray, named);
        const std::string ini =
            "[VendorInformation]\nDevices=7\nProtocols=3\n[DeviceInformation7]\nDeviceID=7\n" +
            keys.toStdString() + "\n[ProtocolInformation3]\nProtocolString=J1939\nDevices=7\n";
        LibraryCopy library("refused", &ini);
        DriverApi api;
        QVERIFY(api.load(library.path));
        const int16_t result = api.connect(nullptr, 7, "J1939", 0, 0, 0);
        QCOMPARE(result, int16_t(code));
        char text[RP1210_ERROR_TEXT_SIZE] = {};
        QCOMPARE(api.errorMsg(result, text), int16_t(0));
        QVERIFY2(QByteArray(text).contains(named), text);
        api.unload();
    }
};

QTEST_GUILESS_MAIN(DriverRecordReplayTest)
#include "tst_driver_record_replay.moc"
