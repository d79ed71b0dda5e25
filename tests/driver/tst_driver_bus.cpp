// Traffic between clients on the quiet device 102: layouts byte for byte,
// length checks, echo, receive switch, filters, queue limits and blocking.
#include "driver_api.h"

#include <QtTest>

#include <numeric>
#include <thread>

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

QByteArray hex(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())).toHex(' ');
}

Bytes filled(std::size_t n, uint8_t first = 0) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), first);
    return b;
}

} // namespace

class DriverBusTest : public QObject {
    Q_OBJECT

    DriverApi api;

    // Waits, without a fixed sleep, until a reader is blocked in ReadMessage.
    void waitForBlockedReader(int16_t id) {
        while (api.statusBytes(id)[10] == 0)
            std::this_thread::yield();
    }

private slots:
    void initTestCase() { QVERIFY(api.load()); }
    void cleanupTestCase() { api.unload(); }

    void layouts_data() {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<Bytes>("tx");
        QTest::addColumn<Bytes>("rx"); // after the timestamp
        QTest::newRow("J1708") << QByteArray("J1708") << Bytes{8, 0xC8, 0x0A, 0x01, 0x02}
                               << Bytes{0xC8, 0x0A, 0x01, 0x02, 0x2B};
        QTest::newRow("J1708 priority 0")
            << QByteArray("J1708") << Bytes{0, 0x80, 0x54, 0x12, 0x34} << Bytes{0x80, 0x54, 0x12, 0x34, 0xE6};
        QTest::newRow("J1708 MID PID only")
            << QByteArray("J1708") << Bytes{1, 0x80, 0xBE} << Bytes{0x80, 0xBE, 0xC2};
        QTest::newRow("J1850") << QByteArray("J1850") << Bytes{3, 0, 2, 0x6E, 0x6A, 0xF1, 0x01, 0x3E}
                               << Bytes{3, 0, 2, 0, 0x6E, 0x6A, 0xF1, 0x01, 0x3E};
        QTest::newRow("J1850 no data")
            << QByteArray("J1850") << Bytes{3, 0, 0, 0x08, 0, 0} << Bytes{3, 0, 0, 0, 8, 0, 0};
        QTest::newRow("J1939 PDU1 request")
            << QByteArray("J1939") << Bytes{0x00, 0xEA, 0x00, 0x06, 0xF9, 0x00, 0x00, 0xEE, 0x00}
            << Bytes{0x00, 0xEA, 0x00, 0x06, 0xF9, 0x00, 0x00, 0xEE, 0x00};
        QTest::newRow("J1939 PDU2") << QByteArray("J1939") << Bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00}
                                    << Bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00};
        QTest::newRow("J1939 PDU2 destination dropped")
            << QByteArray("J1939") << Bytes{0x04, 0xF0, 0x00, 0x03, 0x00, 0x17, 1, 2}
            << Bytes{0x04, 0xF0, 0x00, 0x03, 0x00, 0x00, 1, 2};
        QTest::newRow("J1939 PDU1 low byte cleared")
            << QByteArray("J1939") << Bytes{0x33, 0xEF, 0x01, 0x07, 0x10, 0x20, 9}
            << Bytes{0x00, 0xEF, 0x01, 0x07, 0x10, 0x20, 9};
        QTest::newRow("J1939 how bit and priority")
            << QByteArray("J1939") << Bytes{0xF1, 0xFE, 0x00, 0x86, 0x11, 0}
            << Bytes{0xF1, 0xFE, 0x00, 0x06, 0x11, 0};
        Bytes longTx = j1939Tx(0xFECA, 6, 0x22, 0, filled(1785));
        Bytes longRx = longTx;
        QTest::newRow("J1939 1785 data bytes") << QByteArray("J1939") << longTx << longRx;
        Bytes j1708Max = {8, 0x80};
        const Bytes rest = filled(499, 1);
        j1708Max.insert(j1708Max.end(), rest.begin(), rest.end());
        Bytes j1708MaxRx(j1708Max.begin() + 1, j1708Max.end());
        unsigned sum = 0;
        for (uint8_t b : j1708MaxRx)
            sum += b;
        j1708MaxRx.push_back(static_cast<uint8_t>(-sum));
        QTest::newRow("J1708 501 bytes") << QByteArray("J1708") << j1708Max << j1708MaxRx;
    }
    void layouts() {
        QFETCH(QByteArray, protocol);
        QFETCH(Bytes, tx);
        QFETCH(Bytes, rx);
        const int16_t a = api.open(102, protocol.constData());
        const int16_t b = api.open(102, protocol.constData());
        QVERIFY(a >= 0 && b >= 0);
        QCOMPARE(api.sendBytes(a, tx), int16_t(0));
        int16_t n = 0;
        const Bytes got = api.readOne(b, true, &n);
        QCOMPARE(int(n), int(rx.size() + 4));
        QCOMPARE(hex(body(got)), hex(rx));
        if (protocol == "J1708") {
            unsigned sum = 0;
            for (uint8_t byte : body(got))
                sum += byte;
            QCOMPARE(sum % 256, 0u); // MID..checksum sums to zero
        }
        api.disconnect(a);
        api.disconnect(b);
    }

    void timestampsAreMillisecondsMostSignificantFirst() {
        const int16_t a = api.open(102, "J1708");
        const int16_t b = api.open(102, "J1708");
        QCOMPARE(api.sendBytes(a, {8, 0x80, 1}), int16_t(0));
        const uint32_t first = timestampOf(api.readOne(b, true));
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the unit under test is time
        QCOMPARE(api.sendBytes(a, {8, 0x80, 2}), int16_t(0));
        const uint32_t second = timestampOf(api.readOne(b, true));
        QVERIFY2(second - first >= 29 && second - first < 30000, qPrintable(QString::number(second - first)));
        api.disconnect(a);
        api.disconnect(b);
    }

    void badLengths_data() {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<Bytes>("tx");
        QTest::addColumn<int>("expected");
        QTest::newRow("J1708 2 bytes") << QByteArray("J1708") << Bytes{8, 0x80} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1708 priority 9")
            << QByteArray("J1708") << Bytes{9, 0x80, 1} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1708 502 bytes")
            << QByteArray("J1708") << filled(502, 1) << int(ERR_MESSAGE_TOO_LONG);
        QTest::newRow("J1850 5 bytes")
            << QByteArray("J1850") << Bytes{3, 0, 0, 8, 0} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1850 header length 1")
            << QByteArray("J1850") << Bytes{1, 0, 1, 8, 0, 0, 5} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1850 count mismatch")
            << QByteArray("J1850") << Bytes{3, 0, 3, 8, 0, 0, 5, 6} << int(ERR_INVALID_COMMAND);
        Bytes j1850Long = {3, 0, 245, 8, 0, 0};
        j1850Long.resize(251);
        QTest::newRow("J1850 245 data bytes")
            << QByteArray("J1850") << j1850Long << int(ERR_MESSAGE_TOO_LONG);
        QTest::newRow("J1939 5 bytes")
            << QByteArray("J1939") << Bytes{0, 0xEA, 0, 6, 1} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1939 PGN above 18 bits")
            << QByteArray("J1939") << Bytes{0, 0xEA, 0x04, 6, 1, 2} << int(ERR_INVALID_COMMAND);
        QTest::newRow("J1939 1786 data bytes")
            << QByteArray("J1939") << j1939Tx(0xFECA, 6, 1, 0, filled(1786)) << int(ERR_MESSAGE_TOO_LONG);
    }
    void badLengths() {
        QFETCH(QByteArray, protocol);
        QFETCH(Bytes, tx);
        QFETCH(int, expected);
        const int16_t a = api.open(102, protocol.constData());
        const int16_t b = api.open(102, protocol.constData());
        QCOMPARE(int(api.sendBytes(a, tx)), expected);
        int16_t n = -1;
        api.readOne(b, false, &n);
        QCOMPARE(n, int16_t(0)); // nothing of it reached the bus
        api.disconnect(a);
        api.disconnect(b);
    }

    void echo_data() {
        QTest::addColumn<int>("echo");
        QTest::newRow("off") << 0;
        QTest::newRow("on") << 1;
    }
    void echo() {
        QFETCH(int, echo);
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939");
        QCOMPARE(api.cmd(RP1210_Echo_Transmitted_Messages, a, {static_cast<uint8_t>(echo)}), int16_t(0));
        QCOMPARE(api.sendBytes(a, j1939Tx(0xFEF1, 6, 0x11, 0, {1, 2, 3})), int16_t(0));
        QCOMPARE(body(api.readOne(b, true))[4], uint8_t(0x11));
        int16_t n = -1;
        const Bytes own = api.readOne(a, false, &n);
        if (echo)
            QCOMPARE(body(own), j1939Tx(0xFEF1, 6, 0x11, 0, {1, 2, 3}));
        else
            QCOMPARE(n, int16_t(0));
        api.disconnect(a);
        api.disconnect(b);
    }

    void protocolsAreSeparateBuses() {
        const int16_t j1708 = api.open(102, "J1708");
        const int16_t j1850 = api.open(102, "J1850");
        const int16_t j1939 = api.open(102, "J1939");
        const int16_t sender = api.open(102, "J1939");
        QCOMPARE(api.sendBytes(sender, j1939Tx(0xFEF1, 6, 0x11, 0)), int16_t(0));
        QVERIFY(!api.readOne(j1939, true).empty());
        int16_t n = -1;
        api.readOne(j1708, false, &n);
        QCOMPARE(n, int16_t(0));
        api.readOne(j1850, false, &n);
        QCOMPARE(n, int16_t(0));
        for (int16_t id : {j1708, j1850, j1939, sender})
            api.disconnect(id);
    }

    void receiveDefaultsAndSwitch() {
        const int16_t sender = api.open(102, "J1708");
        const int16_t fresh = api.connect(nullptr, 102, "J1708", 0, 0, 0);
        int16_t n = -1;
        // A new client discards everything until a filter command opens it.
        QCOMPARE(api.sendBytes(sender, {8, 0x80, 1}), int16_t(0));
        api.readOne(fresh, false, &n);
        QCOMPARE(n, int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_All_Filters_States_to_Pass, fresh, {}), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_Message_Receive, fresh, {0}), int16_t(0));
        QCOMPARE(api.sendBytes(sender, {8, 0x80, 2}), int16_t(0));
        api.readOne(fresh, false, &n);
        QCOMPARE(n, int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_Message_Receive, fresh, {1}), int16_t(0));
        QCOMPARE(api.sendBytes(sender, {8, 0x80, 3}), int16_t(0));
        QCOMPARE(body(api.readOne(fresh, false))[1], uint8_t(3));
        api.disconnect(sender);
        api.disconnect(fresh);
    }

    void commandChecks_data() {
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<int>("command");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<int>("expected");
        const int ok = 0, bad = ERR_INVALID_COMMAND, unsupported = ERR_COMMAND_NOT_SUPPORTED;
        QTest::newRow("3 length 0") << QByteArray("J1850") << 3 << Bytes{} << ok;
        QTest::newRow("3 length 1") << QByteArray("J1850") << 3 << Bytes{0} << bad;
        QTest::newRow("17 length 0") << QByteArray("J1708") << 17 << Bytes{} << ok;
        QTest::newRow("17 length 2") << QByteArray("J1708") << 17 << Bytes{0, 0} << bad;
        QTest::newRow("7 one MID") << QByteArray("J1708") << 7 << Bytes{128} << ok;
        QTest::newRow("7 three MIDs") << QByteArray("J1708") << 7 << Bytes{128, 130, 136} << ok;
        QTest::newRow("7 empty") << QByteArray("J1708") << 7 << Bytes{} << bad;
        QTest::newRow("7 on J1939") << QByteArray("J1939") << 7 << Bytes{128} << bad;
        QTest::newRow("4 one record") << QByteArray("J1939") << 4 << Bytes{1, 4, 0xF0, 0, 3, 0, 0} << ok;
        QTest::newRow("4 two records") << QByteArray("J1939") << 4 << Bytes(14, 0) << ok;
        QTest::newRow("4 six bytes") << QByteArray("J1939") << 4 << Bytes(6, 0) << bad;
        QTest::newRow("4 eight bytes") << QByteArray("J1939") << 4 << Bytes(8, 0) << bad;
        QTest::newRow("4 empty") << QByteArray("J1939") << 4 << Bytes{} << bad;
        QTest::newRow("4 on J1708") << QByteArray("J1708") << 4 << Bytes(7, 0) << bad;
        QTest::newRow("16 on") << QByteArray("J1850") << 16 << Bytes{1} << ok;
        QTest::newRow("16 value 2") << QByteArray("J1850") << 16 << Bytes{2} << bad;
        QTest::newRow("16 empty") << QByteArray("J1850") << 16 << Bytes{} << bad;
        QTest::newRow("18 off") << QByteArray("J1939") << 18 << Bytes{0} << ok;
        QTest::newRow("18 two bytes") << QByteArray("J1939") << 18 << Bytes{1, 1} << bad;
        Bytes claim = {0x80, 1, 0, 0x60, 1, 0, 0x81, 0, 0, 0};
        QTest::newRow("19 claim") << QByteArray("J1939") << 19 << claim << ok;
        Bytes claimReturnEarly = claim;
        claimReturnEarly[9] = 2;
        QTest::newRow("19 return before completion") << QByteArray("J1939") << 19 << claimReturnEarly << ok;
        QTest::newRow("19 nine bytes")
            << QByteArray("J1939") << 19 << Bytes(claim.begin(), claim.end() - 1) << bad;
        Bytes nullAddress = claim;
        nullAddress[0] = 0xFE;
        QTest::newRow("19 address 254") << QByteArray("J1939") << 19 << nullAddress << bad;
        QTest::newRow("19 on J1708") << QByteArray("J1708") << 19 << claim << bad;
        for (int n : {0, 1, 5, 8, 9, 14, 15, 20, 255, -1})
            QTest::newRow(qPrintable(QString("unsupported %1").arg(n)))
                << QByteArray("J1939") << n << Bytes{} << unsupported;
    }
    void commandChecks() {
        QFETCH(QByteArray, protocol);
        QFETCH(int, command);
        QFETCH(Bytes, bytes);
        QFETCH(int, expected);
        const int16_t id = api.open(102, protocol.constData());
        QVERIFY(id >= 0);
        QCOMPARE(int(api.cmd(command, id, bytes)), expected);
        api.disconnect(id);
    }

    void j1708Filters_data() {
        QTest::addColumn<QList<Bytes>>("commands"); // each: command number, bytes...
        QTest::addColumn<Bytes>("sentMids");
        QTest::addColumn<Bytes>("passedMids");
        QTest::newRow("one MID") << QList<Bytes>{{7, 128}} << Bytes{128, 130, 128} << Bytes{128, 128};
        QTest::newRow("two commands add up")
            << QList<Bytes>{{7, 128}, {7, 136}} << Bytes{128, 130, 136} << Bytes{128, 136};
        QTest::newRow("list in one command")
            << QList<Bytes>{{7, 130, 136}} << Bytes{128, 130, 136} << Bytes{130, 136};
        QTest::newRow("pass clears the list")
            << QList<Bytes>{{7, 128}, {3}} << Bytes{128, 130} << Bytes{128, 130};
        QTest::newRow("discard clears the list")
            << QList<Bytes>{{7, 128}, {17}} << Bytes{128, 130} << Bytes{};
        QTest::newRow("discard then MID") << QList<Bytes>{{17}, {7, 130}} << Bytes{128, 130} << Bytes{130};
    }
    void j1708Filters() {
        QFETCH(QList<Bytes>, commands);
        QFETCH(Bytes, sentMids);
        QFETCH(Bytes, passedMids);
        const int16_t sender = api.open(102, "J1708");
        const int16_t receiver = api.open(102, "J1708");
        for (const Bytes& c : commands)
            QCOMPARE(api.cmd(c[0], receiver, Bytes(c.begin() + 1, c.end())), int16_t(0));
        for (uint8_t mid : sentMids)
            QCOMPARE(api.sendBytes(sender, {8, mid, 1}), int16_t(0));
        Bytes got;
        for (Bytes m; !(m = api.readOne(receiver, false)).empty();)
            got.push_back(m[4]);
        QCOMPARE(got, passedMids);
        api.disconnect(sender);
        api.disconnect(receiver);
    }

    void j1939Filters_data() {
        QTest::addColumn<Bytes>("records");
        QTest::addColumn<QList<Bytes>>("messages"); // transmit buffers
        QTest::addColumn<QList<int>>("passed");     // indexes into messages
        const QList<Bytes> traffic = {
            j1939Tx(0xF004, 3, 0x00, 0),    // 0 EEC1 from 0
            j1939Tx(0xF004, 3, 0x01, 0),    // 1 EEC1 from 1
            j1939Tx(0xFEF1, 6, 0x00, 0),    // 2 CCVS from 0
            j1939Tx(0xEA00, 6, 0xF9, 0x00), // 3 request to 0
            j1939Tx(0xEA00, 6, 0xF9, 0x17), // 4 request to 0x17
            j1939Tx(0xEA00, 3, 0xF9, 0x17), // 5 request to 0x17, priority 3
        };
        QTest::newRow("PGN") << Bytes{0x01, 0x04, 0xF0, 0, 0, 0, 0} << traffic << QList<int>{0, 1};
        QTest::newRow("PGN and source, as the program builds it")
            << Bytes{0x05, 0x04, 0xF0, 0x00, 0x03, 0x00, 0x00} << traffic << QList<int>{0};
        QTest::newRow("PDU1 PGN with destination")
            << Bytes{0x09, 0x00, 0xEA, 0x00, 0x03, 0x00, 0x17} << traffic << QList<int>{4, 5};
        QTest::newRow("priority") << Bytes{0x02, 0, 0, 0, 3, 0, 0} << traffic << QList<int>{0, 1, 5};
        QTest::newRow("source") << Bytes{0x04, 0, 0, 0, 0, 0xF9, 0} << traffic << QList<int>{3, 4, 5};
        QTest::newRow("destination") << Bytes{0x08, 0, 0, 0, 0, 0, 0x17} << traffic << QList<int>{4, 5};
        QTest::newRow("all four") << Bytes{0x0F, 0x00, 0xEA, 0x00, 0x06, 0xF9, 0x17} << traffic
                                  << QList<int>{4};
        QTest::newRow("no flags passes everything")
            << Bytes{0, 1, 2, 3, 4, 5, 6} << traffic << QList<int>{0, 1, 2, 3, 4, 5};
        Bytes two = {0x01, 0xF1, 0xFE, 0, 0, 0, 0};
        const Bytes second = {0x04, 0, 0, 0, 0, 0x01, 0};
        two.insert(two.end(), second.begin(), second.end());
        QTest::newRow("any of two records") << two << traffic << QList<int>{1, 2};
    }
    void j1939Filters() {
        QFETCH(Bytes, records);
        QFETCH(QList<Bytes>, messages);
        QFETCH(QList<int>, passed);
        const int16_t sender = api.open(102, "J1939");
        const int16_t receiver = api.open(102, "J1939");
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, receiver, records), int16_t(0));
        for (const Bytes& m : messages)
            QCOMPARE(api.sendBytes(sender, m), int16_t(0));
        QList<int> got;
        for (Bytes m; !(m = api.readOne(receiver, false)).empty();) {
            for (int i = 0; i < messages.size(); ++i) {
                Bytes expect = messages[i];
                if (body(m) == expect)
                    got.push_back(i);
            }
        }
        QCOMPARE(got, passed);
        api.disconnect(sender);
        api.disconnect(receiver);
    }

    void tooLongForTheReaderIsDroppedAndCounted_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("0") << 0;
        QTest::newRow("one short") << 13;
        QTest::newRow("6") << 6;
    }
    void tooLongForTheReaderIsDroppedAndCounted() {
        QFETCH(int, size);
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939");
        QCOMPARE(api.sendBytes(a, j1939Tx(0xFEF1, 6, 1, 0, {1, 2, 3, 4})), int16_t(0)); // 14 bytes read
        QCOMPARE(api.sendBytes(a, j1939Tx(0xFEF1, 6, 2, 0)), int16_t(0));               // 10 bytes read
        std::vector<char> buf(static_cast<std::size_t>(size) + 8, '\x5A');
        QCOMPARE(api.read(b, buf.data(), static_cast<int16_t>(size), 0), int16_t(-ERR_MESSAGE_TOO_LONG));
        for (char c : buf)
            QCOMPARE(c, '\x5A');
        const Bytes next = api.readOne(b, false);
        QCOMPARE(next.size(), std::size_t(10));
        QCOMPARE(next[8], uint8_t(2));
        QCOMPARE(be32(api.statusBytes(b), 24), 1u);
        api.disconnect(a);
        api.disconnect(b);
    }

    void queueOverflowIsBoundedAndReported_data() {
        QTest::addColumn<int>("rxSize");
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("kept");
        QTest::newRow("8192 messages") << 0 << 8200 << 8192;
        QTest::newRow("receive buffer of 100 bytes") << 100 << 10 << 7; // 14 bytes each
    }
    void queueOverflowIsBoundedAndReported() {
        QFETCH(int, rxSize);
        QFETCH(int, sent);
        QFETCH(int, kept);
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939", rxSize);
        for (int i = 0; i < sent; ++i)
            QCOMPARE(api.sendBytes(a, j1939Tx(0xFEF1, 6, 1, 0, {1, 2, 3, 4})), int16_t(0));
        auto s = api.statusBytes(b);
        QCOMPARE(int(be32(s, 12)), kept);
        QCOMPARE(int(be32(s, 20)), sent - kept);
        int16_t n = 0;
        api.readOne(b, false, &n);
        QCOMPARE(n, int16_t(-ERR_RX_QUEUE_FULL));
        int read = 0;
        while (!api.readOne(b, false, &n).empty())
            ++read;
        QCOMPARE(read, kept);
        QCOMPARE(n, int16_t(0));
        api.disconnect(a);
        api.disconnect(b);
    }

    void blockingReadWokenByMessage() {
        const int16_t a = api.open(102, "J1850");
        const int16_t b = api.open(102, "J1850");
        Bytes got;
        std::thread reader([&] { got = api.readOne(b, true); });
        waitForBlockedReader(b);
        QCOMPARE(api.sendBytes(a, {3, 0, 2, 0x48, 0x0C, 0x10, 7, 8}), int16_t(0));
        reader.join();
        QCOMPARE(body(got), (Bytes{3, 0, 2, 0, 0x48, 0x0C, 0x10, 7, 8}));
        api.disconnect(a);
        api.disconnect(b);
    }

    void blockingReadWokenByDisconnect_data() {
        QTest::addColumn<int>("readers");
        QTest::newRow("one") << 1;
        QTest::newRow("three") << 3;
    }
    void blockingReadWokenByDisconnect() {
        QFETCH(int, readers);
        const int16_t b = api.open(102, "J1708");
        std::vector<int16_t> results(static_cast<std::size_t>(readers), 0);
        std::vector<std::thread> threads;
        for (int i = 0; i < readers; ++i)
            threads.emplace_back([&, i] { api.readOne(b, true, &results[static_cast<std::size_t>(i)]); });
        while (api.statusBytes(b)[10] < readers)
            std::this_thread::yield();
        QCOMPARE(api.disconnect(b), int16_t(0));
        for (auto& t : threads)
            t.join();
        for (int16_t r : results)
            QCOMPARE(r, int16_t(-ERR_CLIENT_DISCONNECTED));
    }

    void blockingStatusReturnsOnChange() {
        const int16_t a = api.open(102, "J1708");
        const int16_t b = api.open(102, "J1708");
        std::vector<uint8_t> s(32);
        int16_t r = -1;
        std::thread watcher([&] { r = api.status(b, reinterpret_cast<char*>(s.data()), 32, 1); });
        while (api.statusBytes(b)[11] == 0)
            std::this_thread::yield();
        QCOMPARE(api.sendBytes(a, {8, 0x80, 1}), int16_t(0));
        watcher.join();
        QCOMPARE(r, int16_t(0));
        QCOMPARE(be32(api.statusBytes(b), 12), 1u);
        api.disconnect(a);
        api.disconnect(b);
    }

    void claimsBetweenClients() {
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939");
        const int16_t watcher = api.open(102, "J1939");
        const Bytes lowName = {0x01, 0, 0, 0, 0, 0, 0, 0};
        const Bytes highName = {0x02, 0, 0, 0, 0, 0, 0, 0x80};
        auto claim = [&](int16_t id, uint8_t address, const Bytes& name) {
            Bytes c = {address};
            c.insert(c.end(), name.begin(), name.end());
            c.push_back(0);
            return api.cmd(RP1210_Protect_J1939_Address, id, c);
        };
        auto nextClaim = [&]() {
            const Bytes m = api.readOne(watcher, false);
            if (m.empty() || rxPgn(m) != 0xEE00)
                return Bytes{};
            Bytes r = {m[8]};
            r.insert(r.end(), m.begin() + 10, m.end());
            return r; // source address, NAME
        };
        auto withAddress = [](uint8_t sa, const Bytes& name) {
            Bytes r = {sa};
            r.insert(r.end(), name.begin(), name.end());
            return r;
        };
        QCOMPARE(claim(a, 0x80, lowName), int16_t(0));
        QCOMPARE(nextClaim(), withAddress(0x80, lowName));
        QCOMPARE(api.statusBytes(a)[8], uint8_t(0x80));
        QCOMPARE(api.statusBytes(a)[9], uint8_t(1));

        // A higher NAME loses: its claim, the holder's defence, its cannot-claim.
        QCOMPARE(claim(b, 0x80, highName), int16_t(ERR_ADDRESS_CLAIM_FAILED));
        QCOMPARE(nextClaim(), withAddress(0x80, highName));
        QCOMPARE(nextClaim(), withAddress(0x80, lowName));
        QCOMPARE(nextClaim(), withAddress(0xFE, highName));
        QCOMPARE(api.statusBytes(b)[9], uint8_t(3));

        // A global request for Address Claimed is answered for the protected address.
        QCOMPARE(api.sendBytes(watcher, j1939Tx(0xEA00, 6, 0xF9, 0xFF, {0x00, 0xEE, 0x00})), int16_t(0));
        QCOMPARE(nextClaim(), withAddress(0x80, lowName));
        for (int16_t id : {a, b, watcher})
            api.disconnect(id);
    }

    // Long J1939 messages go through the transport protocol; the reader gets
    // each once, whole, and a blocking send returns when the transfer ended.
    void longJ1939MessagesArriveWhole_data() {
        QTest::addColumn<int>("destination");
        QTest::addColumn<int>("how");
        QTest::addColumn<int>("delivered"); // destination byte as read
        QTest::newRow("BAM to global") << 0xFF << 6 << 0xFF;
        QTest::newRow("RTS/CTS to a claimed address") << 0x80 << 6 << 0x80;
        QTest::newRow("bit 7 asks for BAM") << 0x80 << (0x80 | 6) << 0xFF;
    }
    void longJ1939MessagesArriveWhole() {
        QFETCH(int, destination);
        QFETCH(int, how);
        QFETCH(int, delivered);
        const int16_t tx = api.open(102, "J1939");
        const int16_t rx = api.open(102, "J1939");
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, rx, {0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0}), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_Message_Filtering_For_J1939, rx, {0x01, 0x00, 0xEF, 0, 0, 0, 0}),
                 int16_t(0));
        const Bytes data = filled(20, 1);
        Bytes tx20 = j1939Tx(0xEF00, uint8_t(how), 0xF9, uint8_t(destination), data);
        QCOMPARE(api.sendBytes(tx, tx20), int16_t(0)); // blocking: the transfer is over
        const Bytes m = api.readOne(rx, false);
        QCOMPARE(body(m), j1939Tx(0xEF00, 6, 0xF9, uint8_t(delivered), data));
        QVERIFY(api.readOne(rx, false).empty()); // once, and no transport frames
        api.disconnect(tx);
        api.disconnect(rx);
    }

    void claimsReleasedOnDisconnect() {
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939");
        Bytes low = {0x90, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
        Bytes high = {0x90, 0x02, 0, 0, 0, 0, 0, 0, 0x70, 0}; // not arbitrary address capable
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, a, low), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, b, high), int16_t(ERR_ADDRESS_CLAIM_FAILED));
        QCOMPARE(api.disconnect(a), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, b, high), int16_t(0));
        // A lower NAME takes the address over and the holder is told it lost it.
        const int16_t c = api.open(102, "J1939");
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, c, low), int16_t(0));
        QCOMPARE(api.statusBytes(b)[9], uint8_t(2));
        QCOMPARE(api.statusBytes(c)[9], uint8_t(1));
        api.disconnect(b);
        api.disconnect(c);
    }

    // A client whose NAME is arbitrary address capable moves to a free address
    // when its own is taken; the hardware status shows where it went.
    void arbitraryAddressCapableClientMoves() {
        const int16_t a = api.open(102, "J1939");
        const int16_t b = api.open(102, "J1939");
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, a, {0x90, 0x02, 0, 0, 0, 0, 0, 0, 0x80, 0}),
                 int16_t(0));
        QCOMPARE(api.cmd(RP1210_Protect_J1939_Address, b, {0x90, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}), int16_t(0));
        QCOMPARE(api.statusBytes(a)[8], uint8_t(0x80));
        QTRY_COMPARE(api.statusBytes(a)[9], uint8_t(1));
        QCOMPARE(api.statusBytes(b)[8], uint8_t(0x90));
        api.disconnect(a);
        api.disconnect(b);
    }
    // A non-blocking read on an empty queue waits (its first time at most
    // 1 ms, back-to-back polls up to the ini's bound) so a polling reader does
    // not spin, and returns as soon as a message is there. The long bound
    // shows "at once": a reader that slept it out would take 10 s.
    void emptyNonBlockingReadWaitsBounded_data() {
        QTest::addColumn<int>("boundMicros");
        QTest::addColumn<QByteArray>("when"); // "never", "queued", "during the wait"
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        QTest::newRow("empty, waits its first wait") << 50000 << QByteArray("never") << 1 << 5000;
        QTest::newRow("empty, bound 0") << 0 << QByteArray("never") << 0 << 5000;
        QTest::newRow("message already queued") << 10000000 << QByteArray("queued") << 0 << 5000;
        QTest::newRow("message arrives during the wait")
            << 10000000 << QByteArray("during the wait") << 0 << 5000;
    }
    void emptyNonBlockingReadWaitsBounded() {
        QFETCH(int, boundMicros);
        QFETCH(QByteArray, when);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        const std::string ini =
            "[VendorInformation]\nEmptyReadWaitMicroseconds=" + std::to_string(boundMicros) +
            "\n[DeviceInformation1]\nDeviceID=102\n[ProtocolInformation1]\n"
            "ProtocolString=J1939\nDevices=102\n";
        LibraryCopy copy("readwait", &ini);
        DriverApi d;
        QVERIFY(d.load(copy.path));
        const int16_t tx = d.open(102, "J1939");
        const int16_t rx = d.open(102, "J1939");
        const Bytes message = j1939Tx(0xFEF1, 6, 0x21, 0, {1, 2, 3});
        if (when == "queued")
            QCOMPARE(d.sendBytes(tx, message), int16_t(0));
        int16_t result = 0;
        Bytes got;
        QElapsedTimer elapsed;
        elapsed.start();
        std::thread reader([&] { got = d.readOne(rx, false, &result); });
        if (when == "during the wait") {
            while (d.statusBytes(rx)[10] == 0)
                std::this_thread::yield();
            QCOMPARE(d.sendBytes(tx, message), int16_t(0));
        }
        reader.join();
        const qint64 ms = elapsed.elapsed();
        QVERIFY2(ms >= minMs && ms < maxMs, QByteArray::number(ms).constData());
        if (when == "never")
            QCOMPARE(result, int16_t(0));
        else
            QCOMPARE(body(got), message);
        d.disconnect(tx);
        d.disconnect(rx);
        d.unload();
    }
};

QTEST_APPLESS_MAIN(DriverBusTest)
#include "tst_driver_bus.moc"
