// The J1939 and J1850 transmit buffers, the J1850 identifier and header byte,
// and the builder fields read back from records.
#include "transmit/j1850_identifier.h"
#include "transmit/tx1850_buffer.h"
#include "transmit/tx1939_buffer.h"

#include <QTest>

using namespace transmit;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(J1850Fields)

namespace {
Bytes bytesOf(const TxMessage& message) {
    return {message.buffer.begin(), message.buffer.begin() + message.length};
}
std::unique_ptr<TxMessage> record(int32_t protocol, const Bytes& bytes) {
    auto message = newTxMessage(protocol);
    std::copy(bytes.begin(), bytes.end(), message->buffer.begin());
    message->length = int16_t(bytes.size());
    return message;
}
template <size_t N> std::array<uint16_t, N> values(std::initializer_list<uint16_t> list) {
    std::array<uint16_t, N> out{};
    std::copy(list.begin(), list.end(), out.begin());
    return out;
}
} // namespace

class TxBuffers19391850Test : public QObject {
    Q_OBJECT
private slots:
    void j1939Buffer_data();
    void j1939Buffer();
    void j1939Schedule();
    void j1939Refill_data();
    void j1939Refill();
    void j1939RefillRefused_data();
    void j1939RefillRefused();

    void j1850Identifier_data();
    void j1850Identifier();
    void j1850Mask_data();
    void j1850Mask();
    void j1850Buffer_data();
    void j1850Buffer();
    void j1850Refill();
    void j1850RefillRefused_data();
    void j1850RefillRefused();
};

void TxBuffers19391850Test::j1939Buffer_data() {
    QTest::addColumn<int>("priority");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("pf");
    QTest::addColumn<int>("destination");
    QTest::addColumn<int>("source");
    QTest::addColumn<Bytes>("data");
    QTest::addColumn<Bytes>("expected");
    QTest::newRow("destination specific") << 6 << 0 << 0xEA << 0xFF << 0xF9 << Bytes{0, 0xEE, 0}
                                          << Bytes{0x00, 0xEA, 0x00, 0x06, 0xF9, 0xFF, 0x00, 0xEE, 0x00};
    QTest::newRow("broadcast, group extension")
        << 6 << 0 << 0xFE << 0xCA << 0x00 << Bytes{} << Bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00};
    QTest::newRow("PF 239 is still specific")
        << 3 << 1 << 0xEF << 0x12 << 0x34 << Bytes{} << Bytes{0x00, 0xEF, 0x01, 0x03, 0x34, 0x12};
    QTest::newRow("PF 240 is broadcast")
        << 0 << 0 << 0xF0 << 0x04 << 0x00 << Bytes{} << Bytes{0x04, 0xF0, 0x00, 0x00, 0x00, 0x00};
    QTest::newRow("8 data bytes") << 7 << 0 << 0x00 << 0x00 << 0x01 << Bytes{1, 2, 3, 4, 5, 6, 7, 8}
                                  << Bytes{0, 0, 0, 7, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8};
}

void TxBuffers19391850Test::j1939Buffer() {
    QFETCH(int, priority);
    QFETCH(int, page);
    QFETCH(int, pf);
    QFETCH(int, destination);
    QFETCH(int, source);
    QFETCH(Bytes, data);
    QFETCH(Bytes, expected);
    Tx1939Fields f;
    f.priority = uint8_t(priority);
    f.page = uint8_t(page);
    f.pf = uint8_t(pf);
    f.destination = uint8_t(destination);
    f.source = uint8_t(source);
    f.dataCount = uint8_t(data.size());
    f.dataValue.fill(0x77); // entries beyond the count stay out
    std::copy(data.begin(), data.end(), f.dataValue.begin());
    const auto message = buildTx1939Message(f);
    QCOMPARE(message->protocol, int32_t(kJ1939));
    QCOMPARE(message->buffer.size(), size_t(kJ1939Capacity));
    QCOMPARE(message->length, int16_t(expected.size()));
    QCOMPARE(bytesOf(*message), expected);
    // Nothing beyond the message is written.
    QVERIFY(std::all_of(message->buffer.begin() + message->length, message->buffer.end(),
                        [](uint8_t b) { return b == 0; }));
}

void TxBuffers19391850Test::j1939Schedule() {
    Tx1939Fields f;
    f.dataCount = 12; // more than the builder has: taken as 8
    f.dataValue = values<8>({0x1FF, 0x3E7});
    f.dataValue[7] = 0xAB;
    f.broadcastCount = -1;
    f.delay = 65535;
    f.interval = 250;
    const auto message = buildTx1939Message(f);
    QCOMPARE(message->length, int16_t(14));
    QCOMPARE(message->buffer[6], uint8_t(0xFF)); // low 8 bits of a decimal 511
    QCOMPARE(message->buffer[7], uint8_t(0xE7));
    QCOMPARE(message->buffer[13], uint8_t(0xAB));
    QCOMPARE(message->buffer[14], uint8_t(0));
    QCOMPARE(message->broadcastCount, int16_t(-1));
    QCOMPARE(message->delay, uint16_t(65535));
    QCOMPARE(message->interval, uint16_t(250));
    QCOMPARE(message->sentOnce, uint8_t(0));
    QCOMPARE(message->lastSentTime, uint32_t(0));
}

void TxBuffers19391850Test::j1939Refill_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<Bytes>("fields"); // priority, page, pf, destination, source, data count, data...
    QTest::newRow("specific") << Bytes{0x00, 0xEA, 0x00, 0x06, 0xF9, 0xFF, 0x00, 0xEE, 0x00}
                              << Bytes{6, 0, 0xEA, 0xFF, 0xF9, 3, 0x00, 0xEE, 0x00};
    QTest::newRow("group extension back into Destination")
        << Bytes{0xCA, 0xFE, 0x00, 0x06, 0x00, 0x00} << Bytes{6, 0, 0xFE, 0xCA, 0x00, 0};
    QTest::newRow("both bytes set are ORed")
        << Bytes{0x10, 0x20, 0x01, 0x02, 0x33, 0x01, 0x44} << Bytes{2, 1, 0x20, 0x11, 0x33, 1, 0x44};
    QTest::newRow("bits the fields cannot hold")
        << Bytes{0, 0x20, 0xFF, 0x86, 0, 0} << Bytes{6, 1, 0x20, 0, 0, 0};
}

void TxBuffers19391850Test::j1939Refill() {
    QFETCH(Bytes, bytes);
    QFETCH(Bytes, fields);
    auto message = record(kJ1939, bytes);
    message->broadcastCount = -1;
    message->delay = 40000;
    message->interval = 65535;
    Tx1939Fields f;
    f.dataValue.fill(0x99);
    QVERIFY(refillTx1939Fields(*message, f));
    QCOMPARE(Bytes({f.priority, f.page, f.pf, f.destination, f.source, f.dataCount}),
             Bytes(fields.begin(), fields.begin() + 6));
    for (int i = 0; i < kJ1939DataBytes; ++i)
        QCOMPARE(f.dataValue[i], i < f.dataCount ? uint16_t(fields[6 + i]) : uint16_t(0x99));
    QCOMPARE(f.broadcastCount, -1);
    QCOMPARE(f.delay, 40000);
    QCOMPARE(f.interval, 65535);
    if (bytes[3] <= 7 && (bytes[0] == 0 || bytes[5] == 0) && bytes[2] <= 1) // a record the builder makes
        QCOMPARE(bytesOf(*buildTx1939Message(f)), bytes);
}

// A record with more data bytes than edits is refilled with the first ones
// (tst_transmit_config), so only foreign, short and overlong records are refused.
void TxBuffers19391850Test::j1939RefillRefused_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("length");
    QTest::newRow("J1850 record") << int(kJ1850) << 6;
    QTest::newRow("shorter than the head") << int(kJ1939) << 5;
    QTest::newRow("negative length") << int(kJ1939) << -1;
    QTest::newRow("longer than the buffer") << int(kJ1939) << 1800;
}

void TxBuffers19391850Test::j1939RefillRefused() {
    QFETCH(int, protocol);
    QFETCH(int, length);
    auto message = newTxMessage(protocol);
    std::fill(message->buffer.begin(), message->buffer.end(), uint8_t(0x55));
    message->length = int16_t(length);
    Tx1939Fields f;
    f.pf = 0x12;
    QVERIFY(!refillTx1939Fields(*message, f));
    QCOMPARE(f.pf, uint8_t(0x12));
    QCOMPARE(f.dataCount, uint8_t(0));
}

void TxBuffers19391850Test::j1850Identifier_data() {
    QTest::addColumn<J1850Fields>("fields");
    QTest::addColumn<int>("header");
    QTest::addColumn<int>("identifier");
    QTest::newRow("initial") << J1850Fields{} << 0x08 << 0x080000;
    QTest::newRow("priority 3, physical, modifier 2") << J1850Fields{3, 1, 2, 0x6A, 0xF1} << 0x6E << 0x6E6AF1;
    QTest::newRow("all at their ends") << J1850Fields{7, 1, 3, 0xFF, 0xFF} << 0xEF << 0xEFFFFF;
    QTest::newRow("functional") << J1850Fields{1, 0, 3, 0x45, 0x67} << 0x2B << 0x2B4567;
}

void TxBuffers19391850Test::j1850Identifier() {
    QFETCH(J1850Fields, fields);
    QFETCH(int, header);
    QFETCH(int, identifier);
    QCOMPARE(int(j1850HeaderByte(fields.priority, fields.addressType, fields.typeModifier)), header);
    QCOMPARE(composeJ1850Identifier(fields), uint32_t(identifier));
    QCOMPARE(decomposeJ1850Identifier(uint32_t(identifier)), fields);
}

void TxBuffers19391850Test::j1850Mask_data() {
    QTest::addColumn<uint32_t>("typed");
    QTest::addColumn<uint32_t>("identifier");
    QTest::addColumn<J1850Fields>("fields");
    QTest::newRow("FFFFFF: H cleared") << 0xFFFFFFu << 0xEFFFFFu << J1850Fields{7, 1, 3, 0xFF, 0xFF};
    QTest::newRow("7FFFFF") << 0x7FFFFFu << 0x6FFFFFu << J1850Fields{3, 1, 3, 0xFF, 0xFF};
    QTest::newRow("1234567: above bit 23 dropped")
        << 0x1234567u << 0x2B4567u << J1850Fields{1, 0, 3, 0x45, 0x67};
    QTest::newRow("0: K set") << 0u << 0x080000u << J1850Fields{};
    QTest::newRow("32 bits") << 0xFFFFFFFFu << 0xEFFFFFu << J1850Fields{7, 1, 3, 0xFF, 0xFF};
}

void TxBuffers19391850Test::j1850Mask() {
    QFETCH(uint32_t, typed);
    QFETCH(uint32_t, identifier);
    QFETCH(J1850Fields, fields);
    QCOMPARE(maskJ1850Identifier(typed), identifier);
    QCOMPARE(decomposeJ1850Identifier(maskJ1850Identifier(typed)), fields);
    QCOMPARE(composeJ1850Identifier(fields), identifier);
}

void TxBuffers19391850Test::j1850Buffer_data() {
    QTest::addColumn<J1850Fields>("fields");
    QTest::addColumn<Bytes>("data");
    QTest::addColumn<Bytes>("expected");
    QTest::newRow("initial fields") << J1850Fields{} << Bytes{} << Bytes{3, 0, 0, 0x08, 0, 0};
    QTest::newRow("header 6E") << J1850Fields{3, 1, 2, 0x6A, 0xF1} << Bytes{0x01, 0x3E}
                               << Bytes{3, 0, 2, 0x6E, 0x6A, 0xF1, 0x01, 0x3E};
    QTest::newRow("9 data bytes") << J1850Fields{7, 0, 0, 1, 2} << Bytes{9, 8, 7, 6, 5, 4, 3, 2, 1}
                                  << Bytes{3, 0, 9, 0xE8, 1, 2, 9, 8, 7, 6, 5, 4, 3, 2, 1};
}

void TxBuffers19391850Test::j1850Buffer() {
    QFETCH(J1850Fields, fields);
    QFETCH(Bytes, data);
    QFETCH(Bytes, expected);
    Tx1850Fields f;
    f.header = fields;
    f.dataCount = uint8_t(data.size());
    f.dataValue.fill(0x77); // entries beyond the count stay out
    std::copy(data.begin(), data.end(), f.dataValue.begin());
    f.broadcastCount = 32767;
    f.delay = 10;
    f.interval = 20;
    const auto message = buildTx1850Message(f);
    QCOMPARE(message->protocol, int32_t(kJ1850));
    QCOMPARE(message->buffer.size(), size_t(kJ1850Capacity));
    QCOMPARE(bytesOf(*message), expected);
    QCOMPARE(message->buffer[message->length], uint8_t(0));
    QCOMPARE(message->broadcastCount, int16_t(32767));
    QCOMPARE(message->delay, uint16_t(10));
    QCOMPARE(message->interval, uint16_t(20));
}

void TxBuffers19391850Test::j1850Refill() {
    // H set and K clear in the record: not read back, the rebuilt header has H 0 and K 1.
    auto message = record(kJ1850, {3, 0, 2, 0x77, 0x6A, 0xF1, 0x01, 0x3E});
    message->broadcastCount = -1;
    message->delay = 65535;
    message->interval = 1;
    Tx1850Fields f;
    f.dataValue.fill(0x99);
    QVERIFY(refillTx1850Fields(*message, f));
    QCOMPARE(f.header, (J1850Fields{3, 1, 3, 0x6A, 0xF1}));
    QCOMPARE(f.dataCount, uint8_t(2));
    QCOMPARE(f.dataValue[0], uint16_t(0x01));
    QCOMPARE(f.dataValue[1], uint16_t(0x3E));
    QCOMPARE(f.dataValue[2], uint16_t(0x99));
    QCOMPARE(f.broadcastCount, -1);
    QCOMPARE(f.delay, 65535);
    QCOMPARE(f.interval, 1);
    QCOMPARE(bytesOf(*buildTx1850Message(f)), (Bytes{3, 0, 2, 0x6F, 0x6A, 0xF1, 0x01, 0x3E}));
}

void TxBuffers19391850Test::j1850RefillRefused_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("length");
    QTest::newRow("J1939 record") << int(kJ1939) << 6;
    QTest::newRow("shorter than the head") << int(kJ1850) << 2;
    QTest::newRow("longer than the buffer") << int(kJ1850) << 600;
}

void TxBuffers19391850Test::j1850RefillRefused() {
    QFETCH(int, protocol);
    QFETCH(int, length);
    auto message = newTxMessage(protocol);
    message->length = int16_t(length);
    Tx1850Fields f;
    f.header.target = 0x12;
    QVERIFY(!refillTx1850Fields(*message, f));
    QCOMPARE(f.header.target, uint8_t(0x12));
}

QTEST_APPLESS_MAIN(TxBuffers19391850Test)
#include "tst_tx_buffers_1939_1850.moc"
