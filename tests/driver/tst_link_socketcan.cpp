// The SocketCAN link on one end of a SOCK_SEQPACKET socketpair carrying
// struct can_frame; the test plays the interface on the other end.
#include "links/socketcan_link.h"

#include <rp1210a/rp1210a.h>

#include <QtTest>

#include <linux/can.h>
#include <linux/can/error.h>
#include <mutex>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

Q_DECLARE_METATYPE(zt::BusState)

namespace {

// What the link's handlers saw, for QTRY_ conditions.
struct Recorder {
    std::mutex mutex;
    std::vector<zt::CanFrame> frames;
    std::vector<zt::BusState> states;
    zt::LinkError lastError;

    zt::CanLink::FrameHandler frameHandler() {
        return [this](const zt::CanFrame& f) {
            std::lock_guard lock(mutex);
            frames.push_back(f);
        };
    }
    zt::CanLink::StateHandler stateHandler() {
        return [this](zt::BusState s, const zt::LinkError& e) {
            std::lock_guard lock(mutex);
            states.push_back(s);
            if (e)
                lastError = e;
        };
    }
    size_t frameCount() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    size_t stateCount() {
        std::lock_guard lock(mutex);
        return states.size();
    }
};

struct Pair {
    int link = -1;
    int peer = -1;
    Pair() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) == 0) {
            link = fds[0];
            peer = fds[1];
        }
    }
    ~Pair() {
        if (peer >= 0)
            ::close(peer);
    }
    void put(canid_t id, std::initializer_list<uint8_t> data) const {
        can_frame f{};
        f.can_id = id;
        f.can_dlc = static_cast<uint8_t>(data.size());
        std::copy(data.begin(), data.end(), f.data);
        QCOMPARE(::write(peer, &f, sizeof f), ssize_t(sizeof f));
    }
};

} // namespace

class LinkSocketCanTest : public QObject {
    Q_OBJECT

private slots:
    void framesBothWays() {
        Pair pair;
        Recorder seen; // outlives the link, whose reader calls it
        auto link = zt::SocketCanLink::onDescriptor(pair.link, "pair");
        QVERIFY(!link->open(seen.frameHandler(), seen.stateHandler()));

        zt::CanFrame out;
        out.id = 0x18EF80F9;
        out.length = 3;
        out.data = {1, 2, 3};
        QCOMPARE(link->send(out), 0);
        out.extended = false;
        out.id = 0x7DF;
        out.length = 0;
        QCOMPARE(link->send(out), 0);
        can_frame wire{};
        QCOMPARE(::read(pair.peer, &wire, sizeof wire), ssize_t(sizeof wire));
        QCOMPARE(wire.can_id, canid_t(0x18EF80F9 | CAN_EFF_FLAG));
        QCOMPARE(wire.can_dlc, 3);
        QCOMPARE(wire.data[2], 3);
        QCOMPARE(::read(pair.peer, &wire, sizeof wire), ssize_t(sizeof wire));
        QCOMPARE(wire.can_id, canid_t(0x7DF));

        const zt::Micros before = zt::systemClock().now();
        pair.put(0x0CF00400 | CAN_EFF_FLAG, {0xF0, 0xFF, 0x7D});
        pair.put(0x123, {0xAA});
        pair.put(0x123 | CAN_RTR_FLAG, {}); // remote frames are not delivered
        pair.put(0x18FEF100 | CAN_EFF_FLAG, {1, 2, 3, 4, 5, 6, 7, 8});
        QTRY_COMPARE(seen.frameCount(), size_t(3));
        link->close();
        QCOMPARE(seen.frames[0].id, 0x0CF00400u);
        QVERIFY(seen.frames[0].extended);
        QCOMPARE(seen.frames[0].length, 3);
        QCOMPARE(seen.frames[1].id, 0x123u);
        QVERIFY(!seen.frames[1].extended);
        QCOMPARE(seen.frames[2].data[7], 8);
        QCOMPARE(link->skippedFrames(), uint64_t(1));
        for (const auto& f : seen.frames)
            QVERIFY(f.timestamp >= before && f.timestamp <= zt::systemClock().now());
        QVERIFY(seen.states.empty());
    }

    // A peer that does not read fills the queue: the send waits its time-out
    // and then reports it, and goes again once there is room.
    void fullTransmitQueue() {
        Pair pair;
        zt::SocketCanOptions options;
        options.sendTimeout = 30 * zt::kMicrosPerMs;
        Recorder seen; // outlives the link, whose reader calls it
        auto link = zt::SocketCanLink::onDescriptor(pair.link, "pair", options);
        QVERIFY(!link->open(seen.frameHandler(), seen.stateHandler()));
        zt::CanFrame frame;
        frame.length = 8;
        int sent = 0;
        int result = 0;
        zt::Micros started = 0;
        while (result == 0 && sent < 1000000) {
            started = zt::systemClock().now();
            result = link->send(frame);
            sent += result == 0;
        }
        QCOMPARE(result, int(ERR_TX_QUEUE_FULL));
        QVERIFY(zt::systemClock().now() - started >= options.sendTimeout);
        can_frame wire{};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(::read(pair.peer, &wire, sizeof wire), ssize_t(sizeof wire));
        QCOMPARE(link->send(frame), 0);
    }

    void errorFrames_data() {
        QTest::addColumn<uint32_t>("errorClass");
        QTest::addColumn<int>("controller");
        QTest::addColumn<zt::BusState>("state");
        QTest::newRow("warning") << uint32_t(CAN_ERR_CRTL) << int(CAN_ERR_CRTL_TX_WARNING)
                                 << zt::BusState::ErrorWarning;
        QTest::newRow("passive") << uint32_t(CAN_ERR_CRTL) << int(CAN_ERR_CRTL_RX_PASSIVE)
                                 << zt::BusState::ErrorPassive;
        QTest::newRow("back to active")
            << uint32_t(CAN_ERR_CRTL) << int(CAN_ERR_CRTL_ACTIVE) << zt::BusState::ErrorActive;
        QTest::newRow("bus off") << uint32_t(CAN_ERR_BUSOFF) << 0 << zt::BusState::BusOff;
    }
    void errorFrames() {
        QFETCH(uint32_t, errorClass);
        QFETCH(int, controller);
        QFETCH(zt::BusState, state);
        Pair pair;
        Recorder seen; // outlives the link, whose reader calls it
        auto link = zt::SocketCanLink::onDescriptor(pair.link, "pair");
        QVERIFY(!link->open(seen.frameHandler(), seen.stateHandler()));
        // Start from error passive, so every row is a change.
        pair.put(CAN_ERR_FLAG | CAN_ERR_CRTL, {0, CAN_ERR_CRTL_TX_PASSIVE, 0, 0, 0, 0, 0, 0});
        pair.put(CAN_ERR_FLAG | errorClass, {0, uint8_t(controller), 0, 0, 0, 0, 0, 0});
        if (state == zt::BusState::ErrorPassive) {
            QTRY_COMPARE(seen.stateCount(), size_t(1));
        } else {
            QTRY_COMPARE(seen.stateCount(), size_t(2));
        }
        QCOMPARE(link->busState(), state);
        QCOMPARE(seen.frameCount(), size_t(0));
        zt::CanFrame frame;
        QCOMPARE(link->send(frame), state == zt::BusState::BusOff ? int(ERR_BUS_OFF) : 0);
        if (state == zt::BusState::BusOff) { // the controller's restart ends it
            pair.put(CAN_ERR_FLAG | CAN_ERR_RESTARTED, {0, 0, 0, 0, 0, 0, 0, 0});
            QTRY_COMPARE(link->busState(), zt::BusState::ErrorActive);
            QCOMPARE(link->send(frame), 0);
        }
    }

    void peerClosed() {
        Pair pair;
        Recorder seen; // outlives the link, whose reader calls it
        auto link = zt::SocketCanLink::onDescriptor(pair.link, "pair");
        QVERIFY(!link->open(seen.frameHandler(), seen.stateHandler()));
        ::close(pair.peer);
        pair.peer = -1;
        QTRY_COMPARE(seen.stateCount(), size_t(1));
        QCOMPARE(seen.lastError.code, int(ERR_HARDWARE_NOT_RESPONDING));
        QCOMPARE(link->send(zt::CanFrame{}), int(ERR_HARDWARE_NOT_RESPONDING));
        link->close();
    }

    void missingInterface() {
        zt::SocketCanLink link("nosuchcan7");
        const zt::LinkError error = link.open({}, {});
        QCOMPARE(error.code, int(ERR_HARDWARE_NOT_RESPONDING));
        QCOMPARE(QString::fromStdString(error.text), "nosuchcan7 does not exist");
    }

    // On a machine with a virtual CAN interface, two links on it see each
    // other's frames and not their own.
    void realVcan() {
        if (::if_nametoindex("vcan0") == 0)
            QSKIP("no vcan0 on this machine (modprobe vcan; ip link add vcan0 type vcan; ip link set vcan0 "
                  "up)");
        Recorder seenA, seenB;
        zt::SocketCanLink a("vcan0"), b("vcan0");
        const zt::LinkError error = a.open(seenA.frameHandler(), seenA.stateHandler());
        QVERIFY2(!error, error.text.c_str());
        QVERIFY(!b.open(seenB.frameHandler(), seenB.stateHandler()));
        zt::CanFrame frame;
        frame.id = 0x18FEF100;
        frame.length = 8;
        QCOMPARE(a.send(frame), 0);
        QTRY_COMPARE(seenB.frameCount(), size_t(1));
        QCOMPARE(seenB.frames[0].id, frame.id);
        QCOMPARE(seenA.frameCount(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(LinkSocketCanTest)
#include "tst_link_socketcan.moc"
