// The pure protocol code of the serial links: the Lawicel line parser fed in
// chunks of every size, the J1708 burst splitter and idle-time framer; and
// how ini values name the real links.
#include "links/j1708_framing.h"
#include "links/real_links.h"
#include "links/slcan_protocol.h"

#include <QtTest>

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)
using Arrivals = QList<QPair<qint64, QByteArray>>; // (microseconds, hex bytes)

namespace {

Bytes fromHex(const char* hex) {
    const QByteArray b = QByteArray::fromHex(hex);
    return Bytes(b.begin(), b.end());
}

// One line per event, frames re-encoded, so a row reads like the wire.
QStringList describe(const std::vector<zt::slcan::Event>& events) {
    QStringList out;
    for (const auto& e : events) {
        switch (e.kind) {
        case zt::slcan::EventKind::Ok:
            out << "OK";
            break;
        case zt::slcan::EventKind::Error:
            out << "ERROR";
            break;
        case zt::slcan::EventKind::TransmitAck:
            out << "ACK";
            break;
        case zt::slcan::EventKind::Status:
            out << QString("STATE %1").arg(int(zt::slcan::busStateFromStatusFlags(e.statusFlags)));
            break;
        case zt::slcan::EventKind::Frame:
            out << QString::fromStdString(zt::slcan::encodeFrame(e.frame)).trimmed();
            break;
        }
    }
    return out;
}

QStringList describe(const std::vector<zt::j1708::Framer::Message>& messages) {
    QStringList out;
    for (const auto& m : messages)
        out << QByteArray(reinterpret_cast<const char*>(m.bytes.data()), qsizetype(m.bytes.size())).toHex();
    return out;
}

} // namespace

class LinkFramingTest : public QObject {
    Q_OBJECT

private slots:
    void slcanLines_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("garbage");
        QTest::addColumn<int>("remote");
        QTest::newRow("odd number of data digits")
            << QByteArray("T18FEF1008112233445566778\r") << QStringList{} << 1 << 0;
        QTest::newRow("extended and standard merged, lower-case hex")
            << QByteArray("T18fef1008aabbccddeeff0011\rt7DF20201\r")
            << QStringList{"T18FEF1008AABBCCDDEEFF0011", "t7DF20201"} << 0 << 0;
        QTest::newRow("answers and acks")
            << QByteArray("\r\az\rZ\r") << QStringList{"OK", "ERROR", "ACK", "ACK"} << 0 << 0;
        QTest::newRow("status flags") << QByteArray("F00\rF04\rF20\rF80\r")
                                      << QStringList{"STATE 0", "STATE 1", "STATE 2", "STATE 3"} << 0 << 0;
        QTest::newRow("adapter timestamp suffix dropped")
            << QByteArray("T0CF00400211221234\r") << QStringList{"T0CF0040021122"} << 0 << 0;
        QTest::newRow("garbage between frames, CRLF") << QByteArray("t1230\r\nhello\r\x01\x02\xff\rt1231AB\r")
                                                      << QStringList{"t1230", "t1231AB"} << 2 << 0;
        QTest::newRow("identifier out of range, length 9, remote frames")
            << QByteArray("T200000000\rt8000\rt1239\rR18FEF1008\rr1230\r") << QStringList{} << 3 << 2;
        QTest::newRow("partial line cut by a refusal")
            << QByteArray("T18FE\at1230\r") << QStringList{"ERROR", "t1230"} << 1 << 0;
        QTest::newRow("overlong line")
            << QByteArray(100, 'A') + "\rt1230\r" << QStringList{"t1230"} << 1 << 0;
    }
    void slcanLines() {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, events);
        QFETCH(int, garbage);
        QFETCH(int, remote);
        // Bytes arrive in chunks of any size; the outcome must not depend on them.
        for (qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(7), stream.size()}) {
            zt::slcan::LineParser parser;
            std::vector<zt::slcan::Event> out;
            for (qsizetype at = 0; at < stream.size(); at += chunk) {
                const QByteArray part = stream.mid(at, chunk);
                parser.feed({reinterpret_cast<const uint8_t*>(part.data()), size_t(part.size())}, out);
            }
            QCOMPARE(describe(out), events);
            QCOMPARE(int(parser.garbageLines()), garbage);
            QCOMPARE(int(parser.remoteFrames()), remote);
        }
    }

    void slcanBitrates() {
        QCOMPARE(zt::slcan::bitrateCommand(10000).value_or(""), "S0\r");
        QCOMPARE(zt::slcan::bitrateCommand(250000).value_or(""), "S5\r");
        QCOMPARE(zt::slcan::bitrateCommand(1000000).value_or(""), "S8\r");
        QVERIFY(!zt::slcan::bitrateCommand(83333));
    }

    void j1708Split_data() {
        QTest::addColumn<Bytes>("burst");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<int>("tail");
        // 80 54 12 34 e6 and 80 be 00 c2 are valid (sum 0 mod 256).
        QTest::newRow("one message") << fromHex("805412 34e6") << QStringList{"80541234e6"} << 0 << 0;
        QTest::newRow("two merged") << fromHex("80541234e6 80be00c2") << QStringList{"80541234e6", "80be00c2"}
                                    << 0 << 0;
        QTest::newRow("corrupted one between two")
            << fromHex("80be00c2 80541235e6 80541234e6") << QStringList{"80be00c2", "80541234e6"} << 5 << 0;
        QTest::newRow("noise before, start of the next after")
            << fromHex("1122 80be00c2 8054") << QStringList{"80be00c2"} << 2 << 2;
        QTest::newRow("same MID twice, corrupted one after")
            << fromHex("80541234e6 80be00c2 80541235e6") << QStringList{"80541234e6", "80be00c2"} << 0 << 5;
        QTest::newRow("too short to be a message") << fromHex("8080") << QStringList{} << 0 << 2;
    }
    void j1708Split() {
        QFETCH(Bytes, burst);
        QFETCH(QStringList, messages);
        QFETCH(int, dropped);
        QFETCH(int, tail);
        const zt::j1708::Split split = zt::j1708::splitBurst(burst);
        QStringList got;
        for (const auto& m : split.messages)
            got << QByteArray(reinterpret_cast<const char*>(burst.data() + m.begin),
                              qsizetype(m.end - m.begin))
                       .toHex();
        QCOMPARE(got, messages);
        QCOMPARE(int(split.dropped), dropped);
        QCOMPARE(int(burst.size() - split.tailBegin), tail);
    }

    // Bytes fed at given microseconds; the framer ends messages by idle time
    // and carries an unfinished tail into the next burst for a while.
    void j1708Framer_data() {
        QTest::addColumn<Arrivals>("arrivals");
        QTest::addColumn<qint64>("pollAt");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("dropped");
        QTest::newRow("gap shorter than 10 bit times keeps one burst")
            << Arrivals{{0, "80be"}, {1000, "00c2"}} << qint64(3000) << QStringList{"80be00c2"} << 0;
        QTest::newRow("not yet idle: nothing out")
            << Arrivals{{0, "80be00c2"}} << qint64(1000) << QStringList{} << 0;
        QTest::newRow("late rest of a message joins its start")
            << Arrivals{{0, "80541234e680"}, {20000, "be00c2"}} << qint64(30000)
            << QStringList{"80541234e6", "80be00c2"} << 0;
        QTest::newRow("a start whose rest never comes is dropped")
            << Arrivals{{0, "80be00c28054"}} << qint64(200000) << QStringList{"80be00c2"} << 2;
    }
    void j1708Framer() {
        QFETCH(Arrivals, arrivals);
        QFETCH(qint64, pollAt);
        QFETCH(QStringList, messages);
        QFETCH(int, dropped);
        zt::j1708::Framer framer;
        std::vector<zt::j1708::Framer::Message> out;
        for (const auto& [at, hex] : arrivals) {
            const Bytes bytes = fromHex(hex.constData());
            framer.feed(bytes, at, out);
        }
        framer.poll(pollAt, out);
        QCOMPARE(describe(out), messages);
        QCOMPARE(int(framer.droppedBytes()), dropped);
    }

    void realLinkValues_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("result"); // the link's name, or the error text
        QTest::newRow("socketcan") << "CAN"
                                   << "socketcan:can0"
                                   << "socketcan:can0";
        QTest::newRow("slcan with a baud rate") << "CAN"
                                                << "slcan:/dev/ttyUSB0@115200"
                                                << "slcan:/dev/ttyUSB0";
        QTest::newRow("J1708 serial") << "J1708"
                                      << "serial:/dev/ttyUSB1"
                                      << "serial:/dev/ttyUSB1";
        QTest::newRow("no target") << "CAN"
                                   << "socketcan"
                                   << "CAN=socketcan needs a target, e.g. CAN=socketcan:can0";
        QTest::newRow("unknown kind") << "J1708"
                                      << "rs232:/dev/ttyS0"
                                      << "unknown J1708 link \"rs232:/dev/ttyS0\"";
    }
    void realLinkValues() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, result);
        zt::LinkError error;
        std::string name;
        if (key == "CAN") {
            if (auto link = zt::makeRealCanLink(value.toStdString(), 250000, error))
                name = link->name();
        } else if (auto link = zt::makeRealJ1708Link(value.toStdString(), zt::J1708Echo::Detect, error)) {
            name = link->name();
        }
        QCOMPARE(QString::fromStdString(error ? error.text : name), result);
    }
};

QTEST_APPLESS_MAIN(LinkFramingTest)
#include "tst_link_framing.moc"
