// The entry points' contracts: versions, error texts, connect results, client
// ids, argument checks and the hardware status buffer.
#include "driver_api.h"

#include <QtTest>

#include <cstring>

class DriverInterfaceTest : public QObject {
    Q_OBJECT

    DriverApi api;

private slots:
    void initTestCase() { QVERIFY(api.load()); }
    void cleanupTestCase() { api.unload(); }

    void readVersionGivesShortTexts() {
        char a[8], b[8], c[8], d[8];
        std::memset(a, 'x', 8);
        QCOMPARE(api.version(a, b, c, d), int16_t(0));
        for (const char* t : {a, b, c, d}) {
            QVERIFY(std::memchr(t, 0, 8) != nullptr);
            QVERIFY(std::strlen(t) > 0);
        }
        QCOMPARE(api.version(nullptr, b, c, d), int16_t(ERR_INVALID_COMMAND));
    }

    void errorTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("known");
        QTest::newRow("no errors") << 0 << true;
        for (int code = ERR_DLL_NOT_INITIALIZED; code <= ERR_ADDRESS_NEVER_CLAIMED; ++code)
            QTest::newRow(qPrintable(QString::number(code))) << code << true;
        QTest::newRow("1") << 1 << false;
        QTest::newRow("127") << 127 << false;
        QTest::newRow("158") << 158 << false;
        QTest::newRow("-141") << -141 << false;
    }
    void errorTexts() {
        QFETCH(int, code);
        QFETCH(bool, known);
        char text[RP1210_ERROR_TEXT_SIZE + 8];
        std::memset(text, 'x', sizeof text);
        const int16_t r = api.errorMsg(static_cast<int16_t>(code), text);
        if (known) {
            QCOMPARE(r, int16_t(0));
            QVERIFY(std::strlen(text) > 0 && std::strlen(text) < 80);
        } else {
            QVERIFY(r != 0);
        }
        // RP1210A callers hand over 80 bytes: nothing is written beyond them.
        QVERIFY(text[80] == 'x');
    }

    void errorTextWithoutBuffer() { QVERIFY(api.errorMsg(ERR_INVALID_CLIENT_ID, nullptr) != 0); }

    void connectResults_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<QByteArray>("protocol");
        QTest::addColumn<bool>("nullProtocol");
        QTest::addColumn<int>("expected"); // -1: a client id
        QTest::newRow("J1708 on 102") << 102 << QByteArray("J1708") << false << -1;
        QTest::newRow("J1850 on 102") << 102 << QByteArray("J1850") << false << -1;
        QTest::newRow("J1939 on 102") << 102 << QByteArray("J1939") << false << -1;
        QTest::newRow("lower case") << 102 << QByteArray("j1939") << false << -1;
        QTest::newRow("unknown device") << 999 << QByteArray("J1708") << false << int(ERR_INVALID_DEVICE);
        QTest::newRow("device 0") << 0 << QByteArray("J1708") << false << int(ERR_INVALID_DEVICE);
        QTest::newRow("device 65535") << 65535 << QByteArray("J1708") << false << int(ERR_INVALID_DEVICE);
        QTest::newRow("unknown protocol") << 102 << QByteArray("CAN") << false << int(ERR_INVALID_PROTOCOL);
        QTest::newRow("empty protocol") << 102 << QByteArray("") << false << int(ERR_INVALID_PROTOCOL);
        QTest::newRow("null protocol") << 102 << QByteArray() << true << int(ERR_INVALID_PROTOCOL);
        QTest::newRow("protocol with suffix")
            << 102 << QByteArray("J1939:Baud=250") << false << int(ERR_INVALID_PROTOCOL);
    }
    void connectResults() {
        QFETCH(int, device);
        QFETCH(QByteArray, protocol);
        QFETCH(bool, nullProtocol);
        QFETCH(int, expected);
        const int16_t r = api.connect(nullptr, static_cast<int16_t>(device),
                                      nullProtocol ? nullptr : protocol.constData(), 0, 0, 0);
        if (expected < 0) {
            QVERIFY(r >= 0 && r < 128);
            QCOMPARE(api.disconnect(r), int16_t(0));
        } else {
            QCOMPARE(int(r), expected);
        }
    }

    void clientAreaHoldsSixtyFourClients() {
        std::vector<int16_t> ids;
        for (int i = 0; i < 64; ++i) {
            const int16_t id = api.connect(nullptr, 102, "J1708", 0, 0, 0);
            QVERIFY2(id >= 0 && id < 64, qPrintable(QString::number(id)));
            ids.push_back(id);
        }
        QCOMPARE(api.connect(nullptr, 102, "J1939", 0, 0, 0), int16_t(ERR_CLIENT_AREA_FULL));
        QCOMPARE(api.disconnect(ids.back()), int16_t(0));
        ids.pop_back();
        const int16_t again = api.connect(nullptr, 102, "J1939", 0, 0, 0);
        QVERIFY(again >= 0);
        ids.push_back(again);
        for (int16_t id : ids)
            QCOMPARE(api.disconnect(id), int16_t(0));
    }

    void unknownIds_data() {
        QTest::addColumn<int>("id");
        QTest::newRow("-1") << -1;
        QTest::newRow("64") << 64;
        QTest::newRow("127") << 127;
        QTest::newRow("-32768") << -32768;
        QTest::newRow("just disconnected") << -2; // filled in below
    }
    void unknownIds() {
        QFETCH(int, id);
        if (id == -2) {
            id = api.connect(nullptr, 102, "J1939", 0, 0, 0);
            QVERIFY(id >= 0);
            QCOMPARE(api.disconnect(static_cast<int16_t>(id)), int16_t(0));
        }
        const auto cid = static_cast<int16_t>(id);
        char buf[64] = {1, 2, 3, 4, 5, 6, 7, 8};
        QCOMPARE(api.disconnect(cid), int16_t(ERR_INVALID_CLIENT_ID));
        QCOMPARE(api.send(cid, buf, 8, 0, 0), int16_t(ERR_INVALID_CLIENT_ID));
        QCOMPARE(api.read(cid, buf, 64, 0), int16_t(-ERR_INVALID_CLIENT_ID));
        QCOMPARE(api.read(cid, buf, 64, 1), int16_t(-ERR_INVALID_CLIENT_ID));
        QCOMPARE(api.command(RP1210_Set_All_Filters_States_to_Pass, cid, nullptr, 0),
                 int16_t(ERR_INVALID_CLIENT_ID));
        QCOMPARE(api.status(cid, buf, 32, 0), int16_t(ERR_INVALID_CLIENT_ID));
    }

    void badArguments_data() {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("expected");
        QTest::newRow("send null") << "send null" << int(ERR_INVALID_COMMAND);
        QTest::newRow("send length 0") << "send 0" << int(ERR_INVALID_COMMAND);
        QTest::newRow("send length -5") << "send -5" << int(ERR_INVALID_COMMAND);
        QTest::newRow("read null") << "read null" << -int(ERR_INVALID_COMMAND);
        QTest::newRow("read size -1") << "read -1" << -int(ERR_INVALID_COMMAND);
        QTest::newRow("command null with length") << "command null" << int(ERR_INVALID_COMMAND);
        QTest::newRow("command negative length") << "command -1" << int(ERR_INVALID_COMMAND);
        QTest::newRow("status null") << "status null" << int(ERR_INVALID_COMMAND);
        QTest::newRow("status size 0") << "status 0" << int(ERR_INVALID_COMMAND);
        QTest::newRow("status size -4") << "status -4" << int(ERR_INVALID_COMMAND);
    }
    void badArguments() {
        QFETCH(QString, call);
        QFETCH(int, expected);
        const int16_t id = api.open(102, "J1939");
        QVERIFY(id >= 0);
        char buf[32] = {0, 0xEA - 256, 0, 6, 1, 2, 0, 0};
        int16_t r = 0;
        if (call == "send null")
            r = api.send(id, nullptr, 8, 0, 0);
        else if (call == "send 0")
            r = api.send(id, buf, 0, 0, 0);
        else if (call == "send -5")
            r = api.send(id, buf, -5, 0, 0);
        else if (call == "read null")
            r = api.read(id, nullptr, 100, 0);
        else if (call == "read -1")
            r = api.read(id, buf, -1, 0);
        else if (call == "command null")
            r = api.command(RP1210_Echo_Transmitted_Messages, id, nullptr, 1);
        else if (call == "command -1")
            r = api.command(RP1210_Echo_Transmitted_Messages, id, buf, -1);
        else if (call == "status null")
            r = api.status(id, nullptr, 32, 0);
        else if (call == "status 0")
            r = api.status(id, buf, 0, 0);
        else if (call == "status -4")
            r = api.status(id, buf, -4, 0);
        QCOMPARE(int(r), expected);
        QCOMPARE(api.disconnect(id), int16_t(0));
    }

    void statusNeverWritesPastItsSize_data() {
        QTest::addColumn<int>("size");
        QTest::newRow("1") << 1;
        QTest::newRow("5") << 5;
        QTest::newRow("16") << 16;
        QTest::newRow("32") << 32;
        QTest::newRow("40") << 40;
        QTest::newRow("100") << 100;
    }
    void statusNeverWritesPastItsSize() {
        QFETCH(int, size);
        const int16_t id = api.open(102, "J1850");
        QVERIFY(id >= 0);
        std::vector<uint8_t> buf(static_cast<std::size_t>(size) + 16, 0xA5);
        QCOMPARE(api.status(id, reinterpret_cast<char*>(buf.data()), static_cast<int16_t>(size), 0),
                 int16_t(0));
        for (std::size_t i = static_cast<std::size_t>(std::min(size, 41)); i < buf.size(); ++i)
            QCOMPARE(buf[i], uint8_t(0xA5));
        QCOMPARE(buf[0] & 1, 1); // client connected
        if (size > 5)
            QCOMPARE(buf[5], uint8_t(2)); // J1850
        api.disconnect(id);
    }

    void statusShowsClientState() {
        const int16_t id = api.connect(nullptr, 102, "J1939", 0, 0, 0);
        QVERIFY(id >= 0);
        auto s = api.statusBytes(id);
        QCOMPARE(s[5], uint8_t(3));
        QCOMPARE(s[6], uint8_t(1));    // receive on, echo off
        QCOMPARE(s[7], uint8_t(1));    // all filters discard after connect
        QCOMPARE(s[8], uint8_t(0xFE)); // no address claimed
        QCOMPARE(be32(s, 28), 8192u);
        QCOMPARE(api.cmd(RP1210_Echo_Transmitted_Messages, id, {1}), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_Message_Receive, id, {0}), int16_t(0));
        QCOMPARE(api.cmd(RP1210_Set_All_Filters_States_to_Pass, id, {}), int16_t(0));
        s = api.statusBytes(id);
        QCOMPARE(s[6], uint8_t(2));
        QCOMPARE(s[7], uint8_t(0));
        QCOMPARE(api.disconnect(id), int16_t(0));
    }
};

QTEST_APPLESS_MAIN(DriverInterfaceTest)
#include "tst_driver_interface.moc"
