// The candump log lines, the replay link on a manual clock, and the recorder
// with a stand-in link beneath it.
#include "links/candump_log.h"
#include "links/recording_link.h"
#include "links/replay_link.h"

#include <QtTest>

#include <fstream>
#include <mutex>
#include <sstream>

using zt::CanFrame;
using zt::Micros;
using Times = std::vector<Micros>;
Q_DECLARE_METATYPE(Times)

namespace {

constexpr Micros kStart = 5'000'000;

// Takes what is sent and lets the test play the other nodes.
class StandInLink final : public zt::CanLink {
public:
    zt::LinkError open(FrameHandler onFrame, StateHandler) override {
        onFrame_ = std::move(onFrame);
        return {};
    }
    void close() override { onFrame_ = nullptr; }
    int send(const CanFrame&) override { return 0; }
    zt::BusState busState() const override { return zt::BusState::ErrorActive; }
    std::string name() const override { return "virtual:101"; }
    void receive(const CanFrame& frame) { onFrame_(frame); }

private:
    FrameHandler onFrame_;
};

CanFrame frameOf(uint32_t id, std::vector<uint8_t> bytes, Micros timestamp = 0) {
    CanFrame frame;
    frame.id = id;
    frame.length = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), frame.data.begin());
    frame.timestamp = timestamp;
    return frame;
}

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

class DriverReplayTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    std::string writeLog(const char* name, const std::string& text) {
        const std::string path = dir.filePath(name).toStdString();
        std::ofstream(path) << text;
        return path;
    }

private slots:
    void line_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("canonical"); // formatted back; empty when not a frame
        using K = zt::candump::LineKind;
        const QByteArray same = "=";
        QTest::newRow("extended") << QByteArray("(1436509052.249713) can0 18FEF100#FFF015FFFFFFFFFF")
                                  << int(K::Frame) << same;
        QTest::newRow("standard, no data")
            << QByteArray("(0000000001.000001) vcan101 7FF#") << int(K::Frame) << same;
        QTest::newRow("lower case, dots, CRLF, direction")
            << QByteArray("(12.5) can1 0cf00400#f0.7d.7d.00\r") << int(K::Frame)
            << QByteArray("(0000000012.500000) can1 0CF00400#F07D7D00");
        QTest::newRow("received marker") << QByteArray("(1.000000) can0 123#11 R") << int(K::Frame)
                                         << QByteArray("(0000000001.000000) can0 123#11");
        QTest::newRow("length code 15")
            << QByteArray("(1.000000) can0 123#1122334455667788_F") << int(K::Frame)
            << QByteArray("(0000000001.000000) can0 123#1122334455667788");
        QTest::newRow("blank") << QByteArray(" \t\r") << int(K::Empty) << QByteArray();
        QTest::newRow("CAN FD") << QByteArray("(1.000000) can0 123##1112233") << int(K::CanFd)
                                << QByteArray();
        QTest::newRow("remote") << QByteArray("(1.000000) can0 123#R") << int(K::Remote) << QByteArray();
        QTest::newRow("remote with length")
            << QByteArray("(1.000000) can0 18FEF100#R8") << int(K::Remote) << QByteArray();
        for (const char* bad :
             {"garbage", "(1.000000) can0", "1.000000 can0 123#11", "(1.000000) can0 1234#11",
              "(1.000000) can0 800#11", "(1.000000) can0 20000080#0000000000000000",
              "(1.000000) can0 123#112", "(1.000000) can0 123#112233445566778899", "(1.000000) can0 123#1G",
              "(1.000000) can0 123#11 X", "(1.0000000000) can0 123#", "(9999999999999.000000) can0 123#",
              "(1.000000) can0 123#11 R extra", "(1.000000) can0 123#1122_F"})
            QTest::newRow(bad) << QByteArray(bad) << int(K::Invalid) << QByteArray();
    }
    void line() {
        QFETCH(QByteArray, line);
        QFETCH(int, kind);
        QFETCH(QByteArray, canonical);
        const auto parsed = zt::candump::parseLine(std::string_view(line.constData(), line.size()));
        QCOMPARE(int(parsed.kind), kind);
        if (parsed.kind != zt::candump::LineKind::Frame)
            return;
        const std::string formatted = zt::candump::formatLine(parsed.frame, parsed.time, parsed.interface);
        QCOMPARE(QByteArray::fromStdString(formatted), (canonical == "=" ? line : canonical) + '\n');
        QCOMPARE(int(zt::candump::parseLine(formatted).kind), int(zt::candump::LineKind::Frame));
    }

    // Frames of the log come out when the clock reaches their due time, not
    // a microsecond before, stamped with it; bad lines are skipped and counted.
    void replayPace_data() {
        QTest::addColumn<double>("speed");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<Times>("due"); // after open
        QTest::addColumn<uint32_t>("skipped");
        QTest::newRow("recorded pace") << 1.0 << false << Times{0, 20'000, 40'000, 1'000'000} << 2u;
        QTest::newRow("twice as fast") << 2.0 << false << Times{0, 10'000, 20'000, 500'000} << 2u;
        QTest::newRow("unpaced") << 0.0 << false << Times{0, 0, 0, 0} << 2u;
        // The next pass starts one mean frame interval (1 s / 3) after the
        // last frame; the third pass has begun with its first bad line.
        QTest::newRow("looped") << 1.0 << true << Times{0,         20'000,    40'000,    1'000'000,
                                                        1'333'333, 1'353'333, 1'373'333, 2'333'333}
                                << 5u;
    }
    void replayPace() {
        QFETCH(double, speed);
        QFETCH(bool, loop);
        QFETCH(Times, due);
        QFETCH(uint32_t, skipped);
        const std::string path = writeLog("pace.log", "garbage line\n"
                                                      "(1000.000000) can0 0CF00400#F07D7D0000000000\n"
                                                      "(1000.020000) can0 0CF00400#F07D7D0000000001\n"
                                                      "(1000.030000) can0 123##1112233\n"
                                                      "\n"
                                                      "(1000.040000) can0 18FEF100#FFF015FFFFFFFFFF\n"
                                                      "(1001.000000) can0 7E8#0241");
        zt::ManualClock clock(kStart);
        zt::ReplayLink link({path, loop, speed, &clock});
        std::mutex mutex;
        std::vector<CanFrame> played;
        QVERIFY(!link.open(
            [&](const CanFrame& f) {
                std::lock_guard lock(mutex);
                played.push_back(f);
            },
            {}));
        auto playedCount = [&] {
            std::lock_guard lock(mutex);
            return played.size();
        };
        for (size_t i = 0; i < due.size(); ++i) {
            if (due[i] > 0) {
                clock.set(kStart + due[i] - 1);
                link.catchUp();
                QVERIFY2(playedCount() <= i, qPrintable(QString("frame %1 came early").arg(i)));
            }
            clock.set(kStart + due[i]);
            link.catchUp();
            QVERIFY2(playedCount() > i, qPrintable(QString("frame %1 is late").arg(i)));
        }
        link.close();
        QCOMPARE(played.size(), due.size());
        const uint32_t ids[] = {0x0CF00400, 0x0CF00400, 0x18FEF100, 0x7E8};
        for (size_t i = 0; i < due.size(); ++i) {
            QCOMPARE(played[i].timestamp, kStart + due[i]);
            QCOMPARE(played[i].id, ids[i % 4]);
        }
        QCOMPARE(played[1].data[7], uint8_t(1));
        QVERIFY(!played[3].extended);
        QCOMPARE(played[3].length, uint8_t(2));
        QCOMPARE(link.skippedLines(), skipped);
        QCOMPARE(link.finished(), !loop);
    }

    // A link that waits for its start plays nothing before it, then the log
    // from its first frame, due from the start on.
    void replayWaitsForItsStart_data() {
        QTest::addColumn<double>("speed");
        QTest::newRow("paced, started 1 ms after the open") << 1.0;
        QTest::newRow("unpaced") << 0.0;
    }
    void replayWaitsForItsStart() {
        QFETCH(double, speed);
        const std::string path = writeLog("start.log", "(1000.000000) can0 0CF00400#01\n"
                                                       "(1000.020000) can0 0CF00400#02\n"
                                                       "(1000.040000) can0 0CF00400#03\n");
        zt::ManualClock clock(kStart);
        zt::ReplayLink link({path, false, speed, &clock, /*waitForStart=*/true});
        std::mutex mutex;
        Times played;
        QVERIFY(!link.open(
            [&](const CanFrame& f) {
                std::lock_guard lock(mutex);
                played.push_back(f.timestamp);
            },
            {}));
        auto playedCount = [&] {
            std::lock_guard lock(mutex);
            return played.size();
        };
        clock.set(kStart + 1000);
        link.catchUp();
        QCOMPARE(playedCount(), size_t(0));
        link.start();
        link.catchUp();
        if (speed > 0) {
            QCOMPARE(playedCount(), size_t(1));
            clock.set(kStart + 1000 + 40'000);
            link.catchUp();
        }
        link.close();
        QCOMPARE(played.size(), size_t(3));
        if (speed > 0)
            QCOMPARE(played, (Times{kStart + 1000, kStart + 21'000, kStart + 41'000}));
    }

    void refusesPathItCannotUse_data() {
        QTest::addColumn<bool>("record");
        QTest::addColumn<QString>("path");
        QTest::newRow("missing log") << false << "missing.log";
        QTest::newRow("folder as log") << false << ".";
        QTest::newRow("missing folder") << true << "no/such/folder";
        QTest::newRow("file as folder") << true << "a-file";
    }
    void refusesPathItCannotUse() {
        QFETCH(bool, record);
        QFETCH(QString, path);
        writeLog("a-file", "");
        const std::string full = dir.filePath(path).toStdString();
        std::unique_ptr<zt::CanLink> link;
        if (record)
            link = std::make_unique<zt::RecordingLink>(
                std::make_unique<StandInLink>(), zt::RecordingOptions{.folder = full, .interfaceName = {}});
        else
            link = std::make_unique<zt::ReplayLink>(zt::ReplayOptions{.path = full});
        const zt::LinkError error = link->open([](const CanFrame&) {}, {});
        QVERIFY(error);
        QVERIFY2(error.text.find(full) != std::string::npos, error.text.c_str());
    }

    // Received and sent frames reach the file in bus order, with their times
    // and the interface name; a second connection gets a file of its own.
    void recorderWritesReceivedAndSent() {
        zt::ManualClock clock(kStart);
        auto inner = std::make_unique<StandInLink>();
        StandInLink* bus = inner.get();
        zt::RecordingLink link(std::move(inner), {dir.path().toStdString(), "zt-101", "vcan101", 16, &clock});
        for (int connection = 0; connection < 2; ++connection) {
            QVERIFY(!link.open([](const CanFrame&) {}, {}));
            bus->receive(frameOf(0x18FEF100, {0xFF, 0xF0, 0x15}, kStart + 100));
            clock.set(kStart + 2'600);
            QCOMPARE(link.send(frameOf(0x0CEA00F9, {0x00, 0xEE, 0x00})), 0);
            bus->receive(frameOf(0x7E8, {}, kStart + 10'100));
            link.close();
            const auto lines = linesOf(link.filePath());
            QCOMPARE(lines.size(), size_t(3));
            zt::candump::ParsedLine parsed[3];
            for (int i = 0; i < 3; ++i) {
                parsed[i] = zt::candump::parseLine(lines[i]);
                QCOMPARE(parsed[i].interface, std::string_view("vcan101"));
            }
            QCOMPARE(parsed[0].frame.id, 0x18FEF100u);
            QCOMPARE(parsed[1].frame.id, 0x0CEA00F9u);
            QCOMPARE(parsed[1].frame.data[1], uint8_t(0xEE));
            QCOMPARE(parsed[2].frame.length, uint8_t(0));
            QCOMPARE(parsed[1].time - parsed[0].time, Micros(2'500));
            QCOMPARE(parsed[2].time - parsed[0].time, Micros(10'000));
            QVERIFY(QFileInfo(QString::fromStdString(link.filePath()))
                        .fileName()
                        .contains(QRegularExpression(connection == 0
                                                         ? "^zt-101-\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.log$"
                                                         : "^zt-101-.*\\.log$")));
        }
        QCOMPARE(link.droppedFrames(), uint64_t(0));
    }

    void queueDropsWhenFull() {
        zt::FrameLogQueue queue(4);
        int accepted = 0;
        for (uint32_t id = 0; id < 6; ++id)
            accepted += queue.push(frameOf(id, {}));
        QCOMPARE(accepted, 4);
        QCOMPARE(queue.dropped(), uint64_t(2));
        std::vector<CanFrame> taken;
        QVERIFY(queue.take(taken, std::chrono::milliseconds(0)));
        QCOMPARE(taken.size(), size_t(4));
        QCOMPARE(taken.back().id, 3u);
        QVERIFY(queue.push(frameOf(9, {})));
    }
};

QTEST_GUILESS_MAIN(DriverReplayTest)
#include "tst_driver_replay.moc"
