// The J1939 engine on a fake bus with a manual clock: transfers between
// engines, scripted exchanges with a hand-played peer (byte-exact frames,
// holds, losses, time-outs, aborts) and address claims.
#include "j1939/engine.h"
#include "rp1210a/rp1210a.h"

#include <QtTest>

#include <deque>
#include <memory>

using namespace zt;
using namespace zt::j1939;

namespace {

QString frameText(const CanFrame& f) {
    QString s = QString::asprintf("%08X#", f.id);
    for (std::size_t i = 0; i < f.length; ++i)
        s += QString::asprintf(i ? " %02X" : "%02X", f.data[i]);
    return s;
}

CanFrame parseFrame(const QString& text) {
    const QStringList parts = text.split('#');
    CanFrame f;
    f.id = parts[0].toUInt(nullptr, 16);
    for (const QString& b : parts[1].split(' ', Qt::SkipEmptyParts))
        f.data[f.length++] = uint8_t(b.toUInt(nullptr, 16));
    return f;
}

std::vector<uint8_t> pattern(std::size_t n) {
    std::vector<uint8_t> d(n);
    for (std::size_t i = 0; i < n; ++i)
        d[i] = uint8_t(i * 7 + 1);
    return d;
}

struct Node {
    std::unique_ptr<Engine> engine;
    std::vector<Message> delivered;
    std::deque<SendCompletion> done;
    bool loopsBack = false;
};

// Engines on one bus: a frame one sends reaches the others in order.
struct Bus {
    ManualClock clock;
    std::vector<std::unique_ptr<Node>> nodes;
    std::deque<std::pair<Node*, CanFrame>> wire; // sent, not yet handed to the others
    QStringList log;                             // every frame put on the wire
    bool autoPump = true;

    Node& add(EngineOptions options = {}) {
        auto node = std::make_unique<Node>();
        Node* n = node.get();
        n->loopsBack = options.ownerLoopsFramesBack;
        EngineCallbacks cb;
        cb.transmit = [this, n](const CanFrame& f) { wire.emplace_back(n, f); };
        cb.deliver = [n](const Message& m) { n->delivered.push_back(m); };
        cb.sendDone = [n](const SendCompletion& c) { n->done.push_back(c); };
        cb.claimChanged = [](const ClaimEvent&) {};
        n->engine = std::make_unique<Engine>(clock, cb, std::move(options));
        nodes.push_back(std::move(node));
        return *n;
    }

    void pump() {
        while (autoPump && !wire.empty()) {
            auto [from, frame] = wire.front();
            wire.pop_front();
            log << frameText(frame);
            for (auto& n : nodes) {
                if (n.get() != from)
                    n->engine->onFrame(frame);
                else if (n->loopsBack)
                    n->engine->onOwnFrame(frame);
            }
        }
    }

    // Moves the clock by `ms`, running every deadline on the way.
    void wait(Micros ms) {
        const Micros target = clock.now() + ms * kMicrosPerMs;
        for (;;) {
            pump();
            Micros next = kNoDeadline;
            for (auto& n : nodes)
                next = std::min(next, n->engine->nextDeadline());
            if (next > target)
                break;
            clock.set(std::max(next, clock.now()));
            for (auto& n : nodes)
                n->engine->poll();
        }
        clock.set(target);
        for (auto& n : nodes)
            n->engine->poll();
        pump();
    }
};

int sendPattern(Engine& e, Token owner, uint8_t source, uint8_t destination, std::size_t size, Token origin,
                uint32_t pgn = 0xAB00) {
    const auto data = pattern(size);
    return e.send({pgn, 6, source, destination, data, origin, owner});
}

} // namespace

class J1939EngineTest : public QObject {
    Q_OBJECT

private slots:
    // A sends to B (or to itself when B's address is A's own); C only listens.
    void transfer_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("destination");
        QTest::addColumn<int>("window");
        QTest::addColumn<bool>("local");
        QTest::addColumn<int>("ctsFrames");
        QTest::addColumn<int>("elapsedMs");
        QTest::newRow("BAM 9") << 9 << 255 << 16 << false << 0 << 100;
        QTest::newRow("BAM 1785") << 1785 << 255 << 16 << false << 0 << 255 * 50;
        QTest::newRow("RTS/CTS 9") << 9 << 0x81 << 16 << false << 1 << 0;
        QTest::newRow("RTS/CTS window 1") << 1785 << 0x81 << 1 << false << 255 << 0;
        QTest::newRow("RTS/CTS window 2") << 1785 << 0x81 << 2 << false << 128 << 0;
        QTest::newRow("RTS/CTS window 255") << 1785 << 0x81 << 255 << false << 1 << 0;
        QTest::newRow("local RTS/CTS") << 100 << 0x81 << 16 << true << 1 << 0;
        QTest::newRow("local BAM") << 100 << 255 << 16 << true << 0 << 15 * 50;
        QTest::newRow("local RTS/CTS, frames looped back by the owner")
            << 100 << 0x81 << 16 << true << 1 << 0;
    }
    void transfer() {
        QFETCH(int, size);
        QFETCH(int, destination);
        QFETCH(int, window);
        QFETCH(bool, local);
        QFETCH(int, ctsFrames);
        QFETCH(int, elapsedMs);
        Bus bus;
        EngineOptions options;
        options.ctsWindow = uint8_t(window);
        options.ownerLoopsFramesBack = QByteArray(QTest::currentDataTag()).contains("owner");
        Node& a = bus.add(options);
        Node& b = bus.add(options);
        Node& c = bus.add();
        Node& receiver = local ? a : b;
        receiver.engine->claim(7, 0x81, 0x2000000000000081);
        bus.wait(250);
        bus.log.clear();
        for (auto& n : bus.nodes)
            n->delivered.clear(); // the claim

        QCOMPARE(sendPattern(*a.engine, 1, 0x80, uint8_t(destination), std::size_t(size), 42), 0);
        // Only an RTS/CTS the engine answers itself ends before the bus moves.
        const bool answeredInside = local && destination != 255 && !options.ownerLoopsFramesBack;
        QCOMPARE(a.done.size(), answeredInside ? 1u : 0u);
        const Micros start = bus.clock.now();
        bus.pump();
        while (a.done.empty() && bus.clock.now() - start < 20'000 * kMicrosPerMs)
            bus.wait(10);
        QCOMPARE(a.done.size(), 1u);
        QCOMPARE(a.done.front().result, 0);
        QCOMPARE(int((bus.clock.now() - start) / kMicrosPerMs) / 10, elapsedMs / 10);
        QCOMPARE(int(bus.log.filter(QRegularExpression("^18EC8081#11")).size()), ctsFrames);

        const auto expected = pattern(std::size_t(size));
        // Each engine's clients see the message once, whole; the sender's
        // copy carries its origin.
        for (Node* n : {&a, &b, &c}) {
            const bool sender = n == &a;
            QCOMPARE(n->delivered.size(), 1u);
            const Message& m = n->delivered.front();
            QCOMPARE(m.origin, sender ? Token(42) : Token(0));
            QCOMPARE(m.pgn, 0xAB00u);
            QCOMPARE(m.source, uint8_t(0x80));
            QCOMPARE(m.destination, uint8_t(destination));
            QVERIFY(m.data == expected);
        }
        for (auto& n : bus.nodes) {
            QCOMPARE(n->engine->receiveSessionCount(), 0u);
            QCOMPARE(n->engine->nextDeadline(), kNoDeadline);
        }
    }

    void tooLongRefused() {
        Bus bus;
        Node& a = bus.add();
        QCOMPARE(sendPattern(*a.engine, 1, 0x80, 255, 1786, 1), ERR_MESSAGE_TOO_LONG);
        QCOMPARE(sendPattern(*a.engine, 1, 0x80, 0x81, 1786, 1), ERR_MESSAGE_TOO_LONG);
        QVERIFY(bus.wire.empty());
        QVERIFY(a.done.empty());
    }

    // One engine against a peer played by the script. Steps:
    //   claim OWNER ADDRESS NAME | state OWNER STATE | usable OWNER 0/1
    //   send OWNER SOURCE DESTINATION SIZE [RESULT]   (PGN 0xAB00)
    //   in FRAME | out FRAME | skip N | none | wait MS | done RESULT
    //   got SIZE [FIRST BYTES...] | address OWNER ADDRESS
    //   back N   (the next N frames out reach the wire and are handed back;
    //             rows named "...on the wire" have the owner do that)
    void script_data() {
        QTest::addColumn<QString>("script");
        const QString rts10 = "in 18EC8180#10 0A 00 02 02 00 AB 00;";
        const QString rts20 = "in 18EC8180#10 14 00 03 FF 00 AB 00;";
        const QString mine = "claim 1 81 2000000000000081; skip 1;";
        const QString abort3 = "18EC8180#FF 03 FF FF FF 00 AB 00";

        // Sending to a node at 0x81.
        QTest::newRow("RTS CTS EoMA byte for byte")
            << "send 1 80 81 10; out 18EC8180#10 0A 00 02 02 00 AB 00; none;"
               "in 18EC8081#11 02 01 FF FF 00 AB 00; out 18EB8180#01 01 08 0F 16 1D 24 2B;"
               "out 18EB8180#02 32 39 40 FF FF FF FF; none; in 18EC8081#13 0A 00 02 FF 00 AB 00; done 0";
        QTest::newRow("hold resumed in time")
            << "send 1 80 81 10; skip 1; in 18EC8081#11 00 FF FF FF 00 AB 00; wait 1000; none;"
               "in 18EC8081#11 02 01 FF FF 00 AB 00; skip 2; in 18EC8081#13 0A 00 02 FF 00 AB 00; done 0";
        QTest::newRow("hold timed out")
            << "send 1 80 81 10; skip 1; in 18EC8081#11 00 FF FF FF 00 AB 00; wait 1049; none; wait 1; out " +
                   abort3 + "; done 142";
        QTest::newRow("no CTS") << "send 1 80 81 10; skip 1; wait 1249; none; wait 1; out " + abort3 +
                                       "; done 142";
        QTest::newRow("CTS count and re-request")
            << "send 1 80 81 20; skip 1; in 18EC8081#11 01 01 FF FF 00 AB 00; skip 1; none;"
               "in 18EC8081#11 02 02 FF FF 00 AB 00; skip 2; none; in 18EC8081#11 01 02 FF FF 00 AB 00;"
               "out 18EB8180#02 32 39 40 47 4E 55 5C; in 18EC8081#13 14 00 03 FF 00 AB 00; done 0";
        QTest::newRow("abort received mid-transfer")
            << "send 1 80 81 20; skip 1; in 18EC8081#11 01 01 FF FF 00 AB 00; skip 1;"
               "in 18EC8081#FF 02 FF FF FF 00 AB 00; done 145; wait 2000; none";
        QTest::newRow("address lost mid-transfer")
            << "claim 1 80 2000000000000080; wait 250; skip 1; send 1 80 81 20; skip 1;"
               "in 18EC8081#11 01 01 FF FF 00 AB 00; skip 1; in 18EEFF80#01 00 00 00 00 00 00 10;"
               "out 18EEFFFE#80 00 00 00 00 00 00 20; done 153; wait 2000; none; state 1 3;"
               "send 1 80 81 20 153; send 1 80 81 4 153; none";
        QTest::newRow("CTS asking for more than the RTS allows")
            << "send 1 80 81 20; skip 1; in 18EC8081#11 04 01 FF FF 00 AB 00; out 18EC8180#FF FA FF FF FF 00 "
               "AB 00;"
               "done 145; none";
        QTest::newRow("CTS and EoMA naming the destination in the PGN")
            << "send 1 80 81 10; skip 1; in 18EC8081#11 02 01 FF FF 81 AB 00; skip 2;"
               "in 18EC8081#13 0A 00 02 FF 81 AB 00; done 0";
        QTest::newRow("T3 runs from the last packet on the wire")
            << "send 1 80 81 20; back 1; in 18EC8081#11 03 01 FF FF 00 AB 00; wait 1000; back 3; wait 1249; "
               "none;"
               "wait 1; out " +
                   abort3 + "; done 142";
        QTest::newRow("BAM gap between frames on the wire")
            << "send 1 80 FF 10; wait 100; back 1; wait 49; none; wait 1; out 18EBFF80#01 01 08 0F 16 1D 24 "
               "2B;"
               "wait 249; none; wait 1; out 18EBFF80#02 32 39 40 FF FF FF FF; done 0";

        // Receiving at 0x81 from 0x80.
        QTest::newRow("answered byte for byte")
            << mine + rts10 + "out 18EC8081#11 02 01 FF FF 00 AB 00; in 18EB8180#01 01 02 03 04 05 06 07;" +
                   "none; in 18EB8180#02 08 09 0A FF FF FF FF; out 18EC8081#13 0A 00 02 FF 00 AB 00; got 10";
        QTest::newRow("lost packet asked for again")
            << mine + rts20 + "out 18EC8081#11 03 01 FF FF 00 AB 00; in 18EB8180#01 1 2 3 4 5 6 7;" +
                   "in 18EB8180#03 1 2 3 4 5 6 FF; out 18EC8081#11 02 02 FF FF 00 AB 00;" +
                   "in 18EB8180#02 1 2 3 4 5 6 7; out 18EC8081#13 14 00 03 FF 00 AB 00; got 20";
        QTest::newRow("lost packet past the retry limit")
            << mine + rts20 + "skip 1; in 18EB8180#01 1 2 3 4 5 6 7; in 18EB8180#03 1 2 3 4 5 6 FF; skip 1;" +
                   "in 18EB8180#03 1 2 3 4 5 6 FF; skip 1; in 18EB8180#03 1 2 3 4 5 6 FF;" +
                   "out 18EC8081#FF 05 FF FF FF 00 AB 00; wait 2000; none";
        QTest::newRow("no data after CTS (T2)")
            << mine + rts10 + "skip 1; wait 1249; none; wait 1; out 18EC8081#FF 03 FF FF FF 00 AB 00";
        QTest::newRow("stalled between packets (T1)")
            << mine + rts20 + "skip 1; in 18EB8180#01 1 2 3 4 5 6 7; wait 749; none; wait 1;" +
                   "out 18EC8081#FF 03 FF FF FF 00 AB 00";
        QTest::newRow("second RTS while busy")
            << mine + rts10 +
                   "skip 1; in 18EC8180#10 0A 00 02 02 00 AC 00; out 18EC8081#FF 01 FF FF FF 00 AC 00;" +
                   "in 18EB8180#01 1 2 3 4 5 6 7; in 18EB8180#02 8 9 10 FF FF FF FF; skip 1; got 10";
        QTest::newRow("two sessions at once, RTS limit honoured")
            << mine + rts10 +
                   "skip 1; in 18EC8182#10 09 00 02 01 00 AB 00; out 18EC8281#11 01 01 FF FF 00 AB 00;" +
                   "in 18EB8182#01 1 2 3 4 5 6 7; out 18EC8281#11 01 02 FF FF 00 AB 00; in 18EB8180#01 1 2 3 "
                   "4 5 6 7;" +
                   "in 18EB8182#02 8 9 FF FF FF FF FF; out 18EC8281#13 09 00 02 FF 00 AB 00; got 9;" +
                   "in 18EB8180#02 8 9 10 FF FF FF FF; out 18EC8081#13 0A 00 02 FF 00 AB 00; got 10";
        QTest::newRow("repeated RTS starts the transfer again")
            << mine + rts10 + "skip 1; in 18EB8180#01 1 2 3 4 5 6 7;" + rts10 +
                   "out 18EC8081#11 02 01 FF FF 00 AB 00; in 18EB8180#01 1 2 3 4 5 6 7;"
                   "in 18EB8180#02 8 9 10 FF FF FF FF; out 18EC8081#13 0A 00 02 FF 00 AB 00; got 10; wait "
                   "2000; none";
        QTest::newRow("PGN naming the destination")
            << mine + "in 18EC8180#10 0A 00 02 02 81 AB 00; out 18EC8081#11 02 01 FF FF 00 AB 00;" +
                   "in 18EB8180#01 1 2 3 4 5 6 7; in 18EB8180#02 8 9 10 FF FF FF FF;" +
                   "out 18EC8081#13 0A 00 02 FF 00 AB 00; got 10";
        QTest::newRow("packet count disagreeing with the size")
            << mine + "in 18EC8180#10 0A 00 05 02 00 AB 00; out 18EC8081#11 02 01 FF FF 00 AB 00;" +
                   "in 18EB8180#01 1 2 3 4 5 6 7; in 18EB8180#02 8 9 10 FF FF FF FF;" +
                   "out 18EC8081#13 0A 00 02 FF 00 AB 00; got 10";
        QTest::newRow("duplicate packet kept once")
            << mine + rts20 + "skip 1; in 18EB8180#01 1 2 3 4 5 6 7; in 18EB8180#02 8 9 A B C D E;" +
                   "in 18EB8180#02 FF FF FF FF FF FF FF; none; in 18EB8180#03 F 10 11 12 13 14 FF;" +
                   "out 18EC8081#13 14 00 03 FF 00 AB 00; got 20 1 2 3 4 5 6 7 8 9 A B C D E F";
        QTest::newRow("null and global addresses take no part in transfers")
            << mine + "in 18EC81FE#10 0A 00 02 02 00 AB 00; in 18EC81FF#10 0A 00 02 02 00 AB 00; none;" +
                   "send 1 FF 81 4 144; send 1 FE 81 4 144; send 1 FE 81 20 144; send 1 80 FE 20 144; none";
        QTest::newRow("lost address goes silent")
            << mine + "wait 250;" + rts10 + "skip 1; in 18EEFF81#01 00 00 00 00 00 00 10;" +
                   "out 18EEFFFE#81 00 00 00 00 00 00 20; in 18EB8180#01 1 2 3 4 5 6 7;" +
                   "in 18EB8180#02 8 9 10 FF FF FF FF; wait 2000; none; send 1 81 80 4 153; send 1 81 80 20 "
                   "153; none";
        QTest::newRow("1786 bytes refused")
            << mine + "in 18EC8180#10 FA 06 FF FF 00 AB 00;" + "out 18EC8081#FF 09 FF FF FF 00 AB 00; none";

        // Address claim.
        QTest::newRow("claim waits 250 ms")
            << "claim 1 80 2000000000000080; out 18EEFF80#80 00 00 00 00 00 00 20; state 1 1; usable 1 0;"
               "wait 249; state 1 1; wait 1; state 1 2; usable 1 1; claim 1 80 2000000000000080; state 1 2; "
               "none";
        QTest::newRow("address 0-127 usable at once")
            << "claim 1 20 2000000000000080; skip 1; usable 1 1; state 1 1; wait 250; state 1 2";
        QTest::newRow("request answered")
            << "claim 1 81 2000000000000081; claim 2 82 2000000000000082; skip 2; wait 250;"
               "in 18EAFFF9#00 EE 00; out 18EEFF81#81 00 00 00 00 00 00 20; out 18EEFF82#82 00 00 00 00 00 "
               "00 20;"
               "in 18EA82F9#00 EE 00; out 18EEFF82#82 00 00 00 00 00 00 20; in 18EA83F9#00 EE 00; none";
        QTest::newRow("higher NAME claiming our address")
            << "claim 1 81 2000000000000081; skip 1; wait 250; in 18EEFF81#FF 00 00 00 00 00 00 20;"
               "out 18EEFF81#81 00 00 00 00 00 00 20; state 1 2";
        QTest::newRow("cannot claim answers a request after the random delay")
            << "claim 1 81 2000000000000081; skip 1; in 18EEFF81#01 00 00 00 00 00 00 20;"
               "out 18EEFFFE#81 00 00 00 00 00 00 20; state 1 4; in 18EAFFF9#00 EE 00; wait 99; none; wait 1;"
               "out 18EEFFFE#81 00 00 00 00 00 00 20";
        QTest::newRow("arbitrary address capable NAME moves on")
            << "claim 1 80 A000000000000080; skip 1; wait 250; in 18EEFF80#01 00 00 00 00 00 00 10;"
               "out 18EEFF81#80 00 00 00 00 00 00 A0; state 1 1; address 1 81; wait 250; state 1 2;"
               "send 1 80 82 4 153; none";
        QTest::newRow("NAME changed on a held address")
            << "claim 1 81 2000000000000081; skip 1; wait 250; claim 1 81 2000000000000091;"
               "out 18EEFF81#91 00 00 00 00 00 00 20; state 1 2; none";
        QTest::newRow("new address gives up the old")
            << "claim 1 81 2000000000000081; claim 1 82 2000000000000081; skip 2; in 18EA81F9#00 EE 00; none;"
               "in 18EC8180#10 0A 00 02 02 00 AB 00; none";
    }
    void script() {
        QFETCH(QString, script);
        Bus bus;
        bus.autoPump = false;
        EngineOptions options;
        options.random = [] { return 100u; };
        options.ownerLoopsFramesBack = QByteArray(QTest::currentDataTag()).endsWith("on the wire");
        Node& node = bus.add(options);
        Engine& e = *node.engine;
        Token origin = 0;
        const auto nextOut = [&]() -> QString {
            if (bus.wire.empty())
                return "(nothing)";
            const CanFrame f = bus.wire.front().second;
            bus.wire.pop_front();
            return frameText(f);
        };
        for (const QString& raw : script.split(';', Qt::SkipEmptyParts)) {
            const QString step = raw.trimmed();
            const QString arg = step.section(' ', 1);
            const QStringList a = arg.split(' ', Qt::SkipEmptyParts);
            const auto num = [&](int i) { return a[i].toULongLong(nullptr, 16); };
            const QString verb = step.section(' ', 0, 0);
            if (verb == "claim") {
                e.claim(num(0), uint8_t(num(1)), num(2));
            } else if (verb == "state") {
                QCOMPARE(int(e.claimState(num(0))), int(num(1)));
            } else if (verb == "usable") {
                QCOMPARE(e.addressUsable(num(0)), num(1) != 0);
            } else if (verb == "send") {
                const int expected = a.size() > 4 ? a[4].toInt() : 0;
                QCOMPARE(sendPattern(e, num(0), uint8_t(num(1)), uint8_t(num(2)), a[3].toUInt(), ++origin),
                         expected);
            } else if (verb == "in") {
                CanFrame f = parseFrame(arg);
                f.timestamp = bus.clock.now();
                e.onFrame(f);
            } else if (verb == "out") {
                QCOMPARE(nextOut(), frameText(parseFrame(arg)));
            } else if (verb == "back") {
                for (int i = 0; i < a[0].toInt(); ++i) {
                    QVERIFY(!bus.wire.empty());
                    CanFrame f = bus.wire.front().second;
                    bus.wire.pop_front();
                    f.timestamp = bus.clock.now();
                    e.onOwnFrame(f);
                }
            } else if (verb == "address") {
                QCOMPARE(int(e.claimedAddress(num(0))), int(num(1)));
            } else if (verb == "skip") {
                for (int i = 0; i < a[0].toInt(); ++i)
                    QVERIFY(nextOut() != "(nothing)");
            } else if (verb == "none") {
                QCOMPARE(nextOut(), QString("(nothing)"));
            } else if (verb == "wait") {
                bus.wait(a[0].toInt());
            } else if (verb == "done") {
                QVERIFY(!node.done.empty());
                QCOMPARE(node.done.front().result, a[0].toInt());
                node.done.pop_front();
            } else if (verb == "got") {
                const auto it =
                    std::find_if(node.delivered.begin(), node.delivered.end(),
                                 [](const Message& m) { return m.origin == 0 && m.pgn == 0xAB00; });
                QVERIFY(it != node.delivered.end());
                QCOMPARE(it->data.size(), std::size_t(a[0].toInt()));
                for (int i = 1; i < a.size(); ++i)
                    QCOMPARE(int(it->data[std::size_t(i - 1)]), int(num(i)));
                node.delivered.erase(it);
            } else {
                QFAIL(qPrintable("unknown step " + step));
            }
        }
        QVERIFY(node.done.empty());
    }

    // The holder of 0x80 against a newcomer, on another engine or the same.
    void contention_data() {
        QTest::addColumn<quint64>("holderName");
        QTest::addColumn<quint64>("newcomerName");
        QTest::addColumn<bool>("sameEngine");
        QTest::addColumn<int>("holderState");
        QTest::addColumn<int>("newcomerState");
        const int lost = int(ClaimState::Lost), failed = int(ClaimState::Failed),
                  claimed = int(ClaimState::Claimed);
        for (bool same : {false, true}) {
            const char* where = same ? " (one engine)" : " (two engines)";
            QTest::addRow("newcomer lower%s", where) << 0x2000ull << 0x1000ull << same << lost << claimed;
            QTest::addRow("holder lower%s", where) << 0x1000ull << 0x2000ull << same << claimed << failed;
            QTest::addRow("same NAME%s", where) << 0x1000ull << 0x1000ull << same << claimed << failed;
        }
    }
    void contention() {
        QFETCH(quint64, holderName);
        QFETCH(quint64, newcomerName);
        QFETCH(bool, sameEngine);
        QFETCH(int, holderState);
        QFETCH(int, newcomerState);
        Bus bus;
        Node& a = bus.add();
        Node& b = sameEngine ? a : bus.add();
        a.engine->claim(1, 0x80, holderName);
        bus.wait(250);
        bus.log.clear();
        for (auto& n : bus.nodes)
            n->delivered.clear();
        b.engine->claim(2, 0x80, newcomerName);
        bus.wait(250);
        QCOMPARE(int(a.engine->claimState(1)), holderState);
        QCOMPARE(int(b.engine->claimState(2)), newcomerState);

        const auto claimFrame = [](uint8_t source, quint64 name) {
            CanFrame f;
            f.id = encodeId(6, pgn::kAddressClaimed, source, kGlobalAddress);
            f.length = 8;
            for (int i = 0; i < 8; ++i)
                f.data[i] = uint8_t(name >> (8 * i));
            return frameText(f);
        };
        const bool holderWins = holderState == int(ClaimState::Claimed);
        const QStringList expected =
            holderWins ? QStringList{claimFrame(0x80, newcomerName), claimFrame(0x80, holderName),
                                     claimFrame(254, newcomerName)}
                       : QStringList{claimFrame(0x80, newcomerName), claimFrame(254, holderName)};
        QCOMPARE(bus.log, expected);
        // Every engine's clients see the claims, their own too, in bus order.
        for (auto& n : bus.nodes) {
            QStringList seen;
            for (const Message& m : n->delivered) {
                CanFrame f;
                f.id = encodeId(m.priority, m.pgn, m.source, m.destination);
                f.length = uint8_t(m.data.size());
                std::copy(m.data.begin(), m.data.end(), f.data.begin());
                seen << frameText(f);
            }
            QCOMPARE(seen, expected);
        }
    }

    // Two nodes that cannot claim answer one Request at different moments.
    void cannotClaimDelaysDiffer() {
        Bus bus;
        Node& a = bus.add();
        Node& b = bus.add();
        bus.wait(1000);
        a.engine->claim(1, kNullAddress, 0x2000000000000081);
        b.engine->claim(1, kNullAddress, 0x2000000000000082);
        const CanFrame request = parseFrame("18EAFFF9#00 EE 00");
        a.engine->onFrame(request);
        b.engine->onFrame(request);
        QVERIFY(a.engine->nextDeadline() != kNoDeadline);
        QVERIFY(a.engine->nextDeadline() != b.engine->nextDeadline());
    }

    void sixteenAddresses() {
        Bus bus;
        Engine& e = *bus.add().engine;
        for (Token owner = 1; owner <= 16; ++owner)
            QCOMPARE(e.claim(owner, uint8_t(0x80 + owner), 0x100 + owner), ClaimState::Claiming);
        QCOMPARE(e.claim(17, 0x91, 0x200), ClaimState::Failed);
        bus.wait(250);
        for (Token owner = 1; owner <= 16; ++owner)
            QCOMPARE(e.claimState(owner), ClaimState::Claimed);
        e.release(3);
        QCOMPARE(e.claim(17, 0x91, 0x200), ClaimState::Claiming);
        QCOMPARE(e.claimState(3), ClaimState::None);
    }
};

QTEST_GUILESS_MAIN(J1939EngineTest)
#include "tst_j1939_engine.moc"
