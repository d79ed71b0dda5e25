// Display lines of received messages, byte for byte, and the read lengths
// the threads accept.
#include "platform/crt_format.h"
#include "receive/display_line.h"

#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

#include <string>
#include <vector>

using connect::Protocol;
using Bytes = std::vector<uint8_t>;

Q_DECLARE_METATYPE(Protocol)

namespace {

Bytes withTimestamp(uint32_t timestamp, Bytes rest) {
    Bytes bytes(4 + rest.size());
    // Sized first and filled: gcc 12 warns wrongly about insert() here.
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(timestamp >> (24 - 8 * i));
    std::copy(rest.begin(), rest.end(), bytes.begin() + 4);
    return bytes;
}

std::string sp(int count) {
    return std::string(std::size_t(count), ' ');
}

// The line built with the quoted formats, one printf at a time.
std::string referenceLine(Protocol protocol, const Bytes& b, bool hex) {
    auto at = [&](std::size_t i) -> uint32_t { return i < b.size() ? b[i] : 0; };
    const uint32_t timestamp = at(0) << 24 | at(1) << 16 | at(2) << 8 | at(3);
    std::string line;
    int first = 0;
    switch (protocol) {
    case Protocol::J1708:
        line = platform::crtFormat(hex ? "RXJ1708  %08u  %02X     %02X     "
                                       : "RXJ1708  %08u  %03d     %03d     ",
                                   timestamp, at(4), at(5));
        first = 6;
        break;
    case Protocol::J1850:
        line = platform::crtFormat(hex ? "RXJ1850  %08u  %06X      " : "RXJ1850  %08u  %08d      ", timestamp,
                                   at(8) << 16 | at(9) << 8 | at(10));
        first = 11;
        break;
    case Protocol::J1939: {
        const uint32_t id = at(7) << 26 | at(6) << 24 | at(5) << 16 | (at(4) | at(9)) << 8 | at(8);
        line = platform::crtFormat(hex ? "RXJ1939  %08u  %08X  " : "RXJ1939  %08u  %010d  ", timestamp, id);
        first = 10;
        break;
    }
    }
    for (std::size_t i = std::size_t(first); i < b.size() && i < 32; ++i)
        line = platform::crtFormat(hex ? "%s  %02X" : "%s  %03d", line.c_str(), unsigned(b[i]));
    return platform::crtFormat("%s\r\n", line.c_str());
}

} // namespace

class TestDisplayLine : public QObject {
    Q_OBJECT
private slots:
    void exactLine_data();
    void exactLine();
    void longMessagesShowBytesUpTo31_data();
    void longMessagesShowBytesUpTo31();
    void j1939Identifier_data();
    void j1939Identifier();
    void matchesQuotedFormats();
    void acceptedLengths_data();
    void acceptedLengths();
};

void TestDisplayLine::exactLine_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("expected");
    const Bytes j1708 = withTimestamp(74565, {0x80, 0x54, 0x12, 0x34});
    const Bytes j1850 = withTimestamp(1000, {0xAA, 0xBB, 0xCC, 0xDD, 0x68, 0x6A, 0xF1, 0x01, 0x00});
    const Bytes j1939 = withTimestamp(1000, {0x00, 0xEA, 0x00, 6, 0xF9, 0x00, 0x00, 0xEE, 0x00});
    auto row = [](const char* name, Protocol p, Bytes b, bool hex, const std::string& line) {
        QTest::newRow(name) << p << b << hex << QString::fromStdString(line);
    };
    row("J1708 hex", Protocol::J1708, j1708, true,
        "RXJ1708" + sp(2) + "00074565" + sp(2) + "80" + sp(5) + "54" + sp(7) + "12" + sp(2) + "34\r\n");
    row("J1708 dec", Protocol::J1708, j1708, false,
        "RXJ1708" + sp(2) + "00074565" + sp(2) + "128" + sp(5) + "084" + sp(7) + "018" + sp(2) + "052\r\n");
    row("J1850 hex", Protocol::J1850, j1850, true,
        "RXJ1850" + sp(2) + "00001000" + sp(2) + "686AF1" + sp(8) + "01" + sp(2) + "00\r\n");
    row("J1850 dec", Protocol::J1850, j1850, false,
        "RXJ1850" + sp(2) + "00001000" + sp(2) + "06843121" + sp(8) + "001" + sp(2) + "000\r\n");
    row("J1939 hex", Protocol::J1939, j1939, true,
        "RXJ1939" + sp(2) + "00001000" + sp(2) + "18EA00F9" + sp(4) + "00" + sp(2) + "EE" + sp(2) + "00\r\n");
    row("J1939 dec", Protocol::J1939, j1939, false,
        "RXJ1939" + sp(2) + "00001000" + sp(2) + "0417988857" + sp(4) + "000" + sp(2) + "238" + sp(2) +
            "000\r\n");
    row("J1708 of 6 bytes", Protocol::J1708, withTimestamp(1, {0x80, 0x54}), true,
        "RXJ1708  00000001  80     54     \r\n");
    row("J1850 of 13 bytes", Protocol::J1850, withTimestamp(0, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, 0x0A, 0x0B}),
        true, "RXJ1850  00000000  686AF1        0A  0B\r\n");
    row("ten-digit timestamp", Protocol::J1708, withTimestamp(0xFFFFFFFF, {0, 0}), false,
        "RXJ1708  4294967295  000     000     \r\n");
    row("J1939 of 6 bytes: missing header bytes count as 0", Protocol::J1939, withTimestamp(7, {0x34, 0x12}),
        true, "RXJ1939  00000007  00123400  \r\n");
}

void TestDisplayLine::exactLine() {
    QFETCH(Protocol, protocol);
    QFETCH(Bytes, bytes);
    QFETCH(bool, hex);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(receive::displayLine(protocol, bytes, hex)), expected);
}

void TestDisplayLine::longMessagesShowBytesUpTo31_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("shownBytes");
    QTest::newRow("J1708 40 bytes") << Protocol::J1708 << 40 << 26;
    QTest::newRow("J1708 505 bytes") << Protocol::J1708 << 505 << 26;
    QTest::newRow("J1850 255 bytes") << Protocol::J1850 << 255 << 21;
    QTest::newRow("J1939 1785 bytes") << Protocol::J1939 << 1785 << 22;
    QTest::newRow("J1939 32 bytes") << Protocol::J1939 << 32 << 22;
    QTest::newRow("J1939 31 bytes") << Protocol::J1939 << 31 << 21;
}

void TestDisplayLine::longMessagesShowBytesUpTo31() {
    QFETCH(Protocol, protocol);
    QFETCH(int, length);
    QFETCH(int, shownBytes);
    Bytes bytes(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        bytes[std::size_t(i)] = uint8_t(i);
    for (bool hex : {true, false}) {
        const std::string line = receive::displayLine(protocol, bytes, hex);
        QCOMPARE(line, referenceLine(protocol, bytes, hex));
        const std::string last = hex ? "  1F\r\n" : "  031\r\n";
        if (length >= 32)
            QVERIFY(line.ends_with(last));
        QCOMPARE(int(line.size()),
                 int(receive::displayLine(protocol, Bytes(), hex).size()) + shownBytes * (hex ? 4 : 5));
    }
}

void TestDisplayLine::j1939Identifier_data() {
    QTest::addColumn<Bytes>("header"); // bytes 4 to 9
    QTest::addColumn<QString>("hexId");
    QTest::addColumn<QString>("decId");
    QTest::newRow("destination 00") << Bytes{0x04, 0xF0, 0x00, 3, 0x00, 0x00} << "0CF00400"
                                    << "0217056256";
    QTest::newRow("destination FF merged by OR") << Bytes{0x04, 0xF0, 0x00, 3, 0x00, 0xFF} << "0CF0FF00"
                                                 << "0217120512";
    QTest::newRow("priority 8 sets bit 29") << Bytes{0, 0, 0, 8, 0, 0} << "20000000"
                                            << "0536870912";
    QTest::newRow("priority bits 6 and 7 fall off") << Bytes{0, 0, 0, 0xC3, 0, 0} << "0C000000"
                                                    << "0201326592";
    QTest::newRow("priority bit 5 makes it negative") << Bytes{0, 0, 0, 0x20, 0, 0} << "80000000"
                                                      << "-2147483648";
    QTest::newRow("all ones") << Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} << "FFFFFFFF"
                              << "-000000001";
}

void TestDisplayLine::j1939Identifier() {
    QFETCH(Bytes, header);
    QFETCH(QString, hexId);
    QFETCH(QString, decId);
    const Bytes bytes = withTimestamp(5, header);
    QCOMPARE(QString::fromStdString(receive::displayLine(Protocol::J1939, bytes, true)),
             QStringLiteral("RXJ1939  00000005  %1  \r\n").arg(hexId));
    QCOMPARE(QString::fromStdString(receive::displayLine(Protocol::J1939, bytes, false)),
             QStringLiteral("RXJ1939  00000005  %1  \r\n").arg(decId));
}

// Random buffers of every protocol and length give what the quoted printf
// formats give.
void TestDisplayLine::matchesQuotedFormats() {
    QRandomGenerator random(1708);
    for (int round = 0; round < 3000; ++round) {
        const auto protocol = Protocol(round % 3);
        const int length = int(random.bounded(receive::receiveLimits(protocol).minimumLength, 60));
        Bytes bytes(static_cast<std::size_t>(length));
        for (auto& byte : bytes)
            byte = uint8_t(random.bounded(256));
        const bool hex = random.bounded(2) != 0;
        const std::string line = receive::displayLine(protocol, bytes, hex);
        QCOMPARE(line, referenceLine(protocol, bytes, hex));
        QVERIFY(line.size() < receive::kLineBufferSize);
    }
}

void TestDisplayLine::acceptedLengths_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("accepted");
    const struct {
        Protocol protocol;
        int result;
        bool accepted;
    } rows[] = {
        {Protocol::J1708, 0, false},      {Protocol::J1708, 5, false},    {Protocol::J1708, 6, true},
        {Protocol::J1708, 505, true},     {Protocol::J1708, 506, false},  {Protocol::J1708, -1, false},
        {Protocol::J1850, 12, false},     {Protocol::J1850, 13, true},    {Protocol::J1850, 255, true},
        {Protocol::J1850, 256, false},    {Protocol::J1939, 5, false},    {Protocol::J1939, 6, true},
        {Protocol::J1939, 1785, true},    {Protocol::J1939, 1786, false}, {Protocol::J1939, -128, false},
        {Protocol::J1939, -32768, false},
    };
    for (const auto& row : rows)
        QTest::addRow("%d %d", int(row.protocol), row.result) << row.protocol << row.result << row.accepted;
}

void TestDisplayLine::acceptedLengths() {
    QFETCH(Protocol, protocol);
    QFETCH(int, result);
    QFETCH(bool, accepted);
    QCOMPARE(receive::isAcceptedLength(protocol, uint16_t(int16_t(result))), accepted);
}

QTEST_APPLESS_MAIN(TestDisplayLine)
#include "tst_display_line.moc"
