// The transmit configuration file as bytes: the layout of the example files,
// round trips, files refused as a whole, the summary rebuilt from a loaded
// buffer, and builders refilled from records longer than their edits.
#include "transmit/row_summary.h"
#include "transmit/transmit_config.h"
#include "transmit/tx1708_buffer.h"
#include "transmit/tx1850_buffer.h"
#include "transmit/tx1939_buffer.h"

#include <QTest>

#include <algorithm>

using namespace transmit;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

// One row of a file: empty (protocol 0) or a message.
struct Row {
    int protocol = 0;
    int16_t broadcastCount = 0;
    uint16_t delay = 0;
    uint16_t interval = 0;
    Bytes buffer; // the first length bytes
};
using Rows = std::vector<Row>;

std::unique_ptr<TxMessage> recordOf(const Row& row) {
    if (row.protocol == 0)
        return nullptr;
    auto message = newTxMessage(row.protocol);
    message->length = int16_t(row.buffer.size());
    message->broadcastCount = row.broadcastCount;
    message->delay = row.delay;
    message->interval = row.interval;
    std::copy(row.buffer.begin(), row.buffer.end(), message->buffer.begin());
    return message;
}

Bytes encode(const Rows& rows) {
    std::array<std::unique_ptr<TxMessage>, kTransmitConfigRows> records;
    std::array<const TxMessage*, kTransmitConfigRows> pointers{};
    for (int i = 0; i < kTransmitConfigRows; ++i) {
        records[i] = recordOf(rows[i]);
        pointers[i] = records[i].get();
    }
    return encodeTransmitConfig(pointers);
}

TransmitConfigResult decode(const Bytes& bytes) {
    return decodeTransmitConfig(bytes);
}

Bytes header(uint8_t compatibility = 0) {
    return {'Z', 'T', 'R', 'P', 'A', 'T', 'X', compatibility, 0x20, 0x01, 0, 0};
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A row entry with a message: protocol, length, count, delay, interval, buffer.
Bytes entry(uint8_t protocol, int16_t length, const Bytes& buffer, int16_t broadcastCount = 1) {
    Bytes bytes{protocol,
                uint8_t(length),
                uint8_t(uint16_t(length) >> 8),
                uint8_t(broadcastCount),
                uint8_t(uint16_t(broadcastCount) >> 8),
                0,
                0,
                0,
                0};
    return bytes + buffer;
}

const Bytes kEmpty{0xFF};
const Row kJ1708Example{kJ1708, 1, 0, 0, {8, 0xC8, 0x0A, 1, 2}};
const Row kJ1850Example{kJ1850, -1, 1000, 500, {3, 0, 2, 0x6E, 0x6A, 0xF1, 0x01, 0x3E}};
const Row kJ1939Example{kJ1939, 3, 250, 100, {0x00, 0xEF, 0x00, 0x06, 0xF9, 0x21, 0x11, 0x22, 0x33}};

// Compares a decoded record with a row: fields, the loaded bytes, and zeros
// (or J1850's leading 3) beyond them up to the full capacity.
void compareRecord(const TxMessage* message, const Row& row) {
    if (row.protocol == 0) {
        QVERIFY(!message);
        return;
    }
    QVERIFY(message);
    QCOMPARE(message->protocol, row.protocol);
    QCOMPARE(int(message->length), int(row.buffer.size()));
    QCOMPARE(message->broadcastCount, row.broadcastCount);
    QCOMPARE(message->delay, row.delay);
    QCOMPARE(message->interval, row.interval);
    QCOMPARE(message->sentOnce, uint8_t(0));
    QCOMPARE(message->lastSentTime, 0u);
    QCOMPARE(int(message->buffer.size()), bufferCapacity(row.protocol));
    Bytes expected = newTxMessage(row.protocol)->buffer;
    std::copy(row.buffer.begin(), row.buffer.end(), expected.begin());
    QCOMPARE(message->buffer, expected);
}

} // namespace

Q_DECLARE_METATYPE(Rows)

class TransmitConfigTest : public QObject {
    Q_OBJECT
private slots:
    void exampleFiles_data();
    void exampleFiles();
    void roundTrip_data();
    void roundTrip();
    void refused_data();
    void refused();
    void truncatedAnywhere();
    void notAMessageIsAnEmptyRow_data();
    void notAMessageIsAnEmptyRow();
    void lengthLimits_data();
    void lengthLimits();
    void encoderKeepsFilesReadable();
    void loadedSummary_data();
    void loadedSummary();
    void refillTakesAsManyAsEdits();
};

void TransmitConfigTest::exampleFiles_data() {
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<Bytes>("bytes");
    QTest::newRow("three empty rows")
        << Rows{{}, {}, {}}
        << Bytes{'Z', 'T', 'R', 'P', 'A', 'T', 'X', 0x00, 0x20, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
    QTest::newRow("J1708 row 1") << Rows{kJ1708Example, {}, {}}
                                 << header() + Bytes{0x01, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00,
                                                     0x00, 0x00, 0x08, 0xC8, 0x0A, 0x01, 0x02} +
                                        kEmpty + kEmpty;
    QTest::newRow("J1850 row 2") << Rows{{}, kJ1850Example, {}}
                                 << header() + kEmpty +
                                        Bytes{0x02, 0x08, 0x00, 0xFF, 0xFF, 0xE8, 0x03, 0xF4, 0x01,
                                              0x03, 0x00, 0x02, 0x6E, 0x6A, 0xF1, 0x01, 0x3E} +
                                        kEmpty;
    QTest::newRow("J1939 row 3") << Rows{{}, {}, kJ1939Example}
                                 << header() + kEmpty + kEmpty +
                                        Bytes{0x03, 0x09, 0x00, 0x03, 0x00, 0xFA, 0x00, 0x64, 0x00} +
                                        kJ1939Example.buffer;
}

void TransmitConfigTest::exampleFiles() {
    QFETCH(Rows, rows);
    QFETCH(Bytes, bytes);
    QCOMPARE(encode(rows), bytes);
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error, TransmitConfigError::None);
    QCOMPARE(result.config.revision, kTransmitConfigRevision);
    QCOMPARE(result.bytesRead, bytes.size());
    for (int i = 0; i < kTransmitConfigRows; ++i)
        compareRecord(result.config.rows[i].get(), rows[i]);
}

void TransmitConfigTest::roundTrip_data() {
    QTest::addColumn<Rows>("rows");
    Bytes longest1939(kJ1939Capacity);
    for (size_t i = 0; i < longest1939.size(); ++i)
        longest1939[i] = uint8_t(i * 7);
    QTest::newRow("all three protocols") << Rows{kJ1708Example, kJ1850Example, kJ1939Example};
    QTest::newRow("two messages of one protocol") << Rows{kJ1708Example, {}, {kJ1708, -1, 5, 6, {1, 2, 3}}};
    QTest::newRow("three J1939 rows at full capacity") << Rows{{kJ1939, 32767, 65535, 65535, longest1939},
                                                               {kJ1939, -32768, 0, 1, longest1939},
                                                               {kJ1939, 0, 1, 0, longest1939}};
    QTest::newRow("lengths 0: J1850 keeps its leading 3")
        << Rows{{kJ1708, 1, 0, 0, {}}, {kJ1850, 1, 0, 0, {}}, {kJ1939, 1, 0, 0, {}}};
    QTest::newRow("more data bytes than any builder has") << Rows{
        {kJ1708, 1, 0, 0, Bytes(kJ1708Capacity, 0xA5)}, {kJ1850, 1, 0, 0, Bytes(kJ1850Capacity, 0x5A)}, {}};
}

void TransmitConfigTest::roundTrip() {
    QFETCH(Rows, rows);
    const Bytes bytes = encode(rows);
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error, TransmitConfigError::None);
    for (int i = 0; i < kTransmitConfigRows; ++i)
        compareRecord(result.config.rows[i].get(), rows[i]);
    // What was read encodes to the same bytes again.
    std::array<const TxMessage*, kTransmitConfigRows> again{};
    for (int i = 0; i < kTransmitConfigRows; ++i)
        again[i] = result.config.rows[i].get();
    QCOMPARE(encodeTransmitConfig(again), bytes);
}

void TransmitConfigTest::refused_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<TransmitConfigError>("error");
    const auto notInFormat = TransmitConfigError::NotInFormat;
    const Bytes threeEmpty = header() + kEmpty + kEmpty + kEmpty;
    QTest::newRow("empty") << Bytes{} << notInFormat;
    QTest::newRow("eleven bytes of header")
        << Bytes(threeEmpty.begin(), threeEmpty.begin() + 11) << notInFormat;
    QTest::newRow("magic only") << Bytes(threeEmpty.begin(), threeEmpty.begin() + 7) << notInFormat;
    Bytes lowerCase = threeEmpty;
    lowerCase[6] = 'x';
    QTest::newRow("wrong magic") << lowerCase << notInFormat;
    Bytes receiveMagic = threeEmpty;
    receiveMagic[5] = 'R';
    QTest::newRow("the receive file's magic") << receiveMagic << notInFormat;
    QTest::newRow("compatibility byte 1")
        << header(1) + kEmpty + kEmpty + kEmpty << TransmitConfigError::IncompatibleVersion;
    QTest::newRow("compatibility byte FF, nothing after the header")
        << header(0xFF) << TransmitConfigError::IncompatibleVersion;
    QTest::newRow("compatibility byte 1 with a foreign magic")
        << Bytes{'Z', 'T', 'R', 'P', 'A', 'R', 'X', 1, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF} << notInFormat;
    QTest::newRow("header only") << header() << notInFormat;
    QTest::newRow("two rows only") << header() + kEmpty + kEmpty << notInFormat;
    QTest::newRow("length -1") << header() + entry(kJ1708, -1, {}) + kEmpty + kEmpty << notInFormat;
    QTest::newRow("length -32768 in row 3")
        << header() + kEmpty + kEmpty + entry(kJ1939, int16_t(0x8000), {}) << notInFormat;
    QTest::newRow("buffer shorter than its length")
        << header() + entry(kJ1708, 5, {8, 0xC8, 0x0A, 1}) << notInFormat;
    QTest::newRow("a good row 1, a bad row 2")
        << header() + entry(kJ1708, 3, {8, 1, 2}) + entry(kJ1850, 600, Bytes(600, 0)) + kEmpty << notInFormat;
}

void TransmitConfigTest::refused() {
    QFETCH(Bytes, bytes);
    QFETCH(TransmitConfigError, error);
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error, error);
    for (const auto& row : result.config.rows)
        QVERIFY(!row); // nothing half-read comes back
}

void TransmitConfigTest::truncatedAnywhere() {
    const Bytes bytes = encode({kJ1708Example, kJ1850Example, kJ1939Example});
    QCOMPARE(decode(bytes).error, TransmitConfigError::None);
    for (size_t size = 0; size < bytes.size(); ++size)
        QVERIFY2(decode(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(size))).error ==
                     TransmitConfigError::NotInFormat,
                 qPrintable(QStringLiteral("cut at %1").arg(size)));
    // Bytes after the third entry are not read.
    const TransmitConfigResult longer = decode(bytes + Bytes{1, 2, 3});
    QCOMPARE(longer.error, TransmitConfigError::None);
    QCOMPARE(longer.bytesRead, bytes.size());
}

void TransmitConfigTest::notAMessageIsAnEmptyRow_data() {
    QTest::addColumn<uint8_t>("first");
    for (uint8_t first : {0x00, 0x04, 0x80, 0xFE, 0xFF})
        QTest::addRow("%02X", first) << first;
}

void TransmitConfigTest::notAMessageIsAnEmptyRow() {
    QFETCH(uint8_t, first);
    // The one byte is the whole entry: the next row starts right after it.
    Bytes bytes = header() + Bytes{first} + entry(kJ1708, 3, {8, 0x80, 0xF3}) + Bytes{first};
    bytes[8] = 0x33; // the revision is not examined
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error, TransmitConfigError::None);
    QCOMPARE(result.config.revision, 0x133u);
    QVERIFY(!result.config.rows[0]);
    compareRecord(result.config.rows[1].get(), Row{kJ1708, 1, 0, 0, {8, 0x80, 0xF3}});
    QVERIFY(!result.config.rows[2]);
    QCOMPARE(result.bytesRead, bytes.size());
}

void TransmitConfigTest::lengthLimits_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("accepted");
    for (int protocol : {kJ1708, kJ1850, kJ1939}) {
        const int capacity = bufferCapacity(protocol);
        QTest::addRow("protocol %d, capacity", protocol) << protocol << capacity << true;
        QTest::addRow("protocol %d, capacity + 1", protocol) << protocol << capacity + 1 << false;
        QTest::addRow("protocol %d, 32767", protocol) << protocol << 32767 << false;
    }
    // A J1939 length fits neither of the others.
    QTest::newRow("J1708 with a J1939 length") << int(kJ1708) << int(kJ1939Capacity) << false;
}

void TransmitConfigTest::lengthLimits() {
    QFETCH(int, protocol);
    QFETCH(int, length);
    QFETCH(bool, accepted);
    // The bytes are there, so only the length decides.
    const Bytes bytes =
        header() + entry(uint8_t(protocol), int16_t(length), Bytes(size_t(length), 0x42)) + kEmpty + kEmpty;
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error == TransmitConfigError::None, accepted);
    if (accepted) {
        QCOMPARE(int(result.config.rows[0]->length), length);
        QCOMPARE(int(result.config.rows[0]->buffer.size()), length);
    }
}

void TransmitConfigTest::encoderKeepsFilesReadable() {
    // A length beyond the buffer, a negative one, and a record of no protocol
    // are written so that the file still loads.
    auto tooLong = recordOf(kJ1708Example);
    tooLong->length = 30000;
    auto negative = recordOf(kJ1850Example);
    negative->length = -4;
    auto foreign = recordOf(kJ1708Example);
    foreign->protocol = 9;
    const Bytes bytes = encodeTransmitConfig({tooLong.get(), negative.get(), foreign.get()});
    const TransmitConfigResult result = decode(bytes);
    QCOMPARE(result.error, TransmitConfigError::None);
    QCOMPARE(int(result.config.rows[0]->length), kJ1708Capacity);
    QCOMPARE(int(result.config.rows[1]->length), 0);
    QVERIFY(!result.config.rows[2]);
    QCOMPARE(bytes.back(), kEmptyRowEntry);
}

void TransmitConfigTest::loadedSummary_data() {
    QTest::addColumn<int>("protocol");
    QTest::addColumn<Bytes>("buffer");
    QTest::addColumn<QString>("summary");
    QTest::newRow("J1708 example") << int(kJ1708) << kJ1708Example.buffer
                                   << QStringLiteral("TXJ1708  C8  0A    01  02");
    QTest::newRow("J1708 head only") << int(kJ1708) << Bytes{8, 0x80, 0xF3}
                                     << QStringLiteral("TXJ1708  80  F3  ");
    QTest::newRow("J1708 shorter than its head")
        << int(kJ1708) << Bytes{8} << QStringLiteral("TXJ1708  00  00  ");
    QTest::newRow("J1850 example") << int(kJ1850) << kJ1850Example.buffer
                                   << QStringLiteral("TXJ1850  6E6AF1    01  3E");
    QTest::newRow("J1850 header bit 3 shown set")
        << int(kJ1850) << Bytes{3, 0, 0, 0x00, 0x01, 0x02} << QStringLiteral("TXJ1850  080102  ");
    QTest::newRow("J1939 example") << int(kJ1939) << kJ1939Example.buffer
                                   << QStringLiteral("TXJ1939  18EF21F9    11  22  33");
    QTest::newRow("J1939 bits shifted out at the top")
        << int(kJ1939) << Bytes{0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00}
        << QStringLiteral("TXJ1939  FFFF0000  "); // (0xFF << 26) | (0xFF << 24) | (0xFF << 16)
    QTest::newRow("J1939 PDU2 low byte") << int(kJ1939) << Bytes{0x05, 0xFE, 0x01, 0x03, 0x00, 0x00, 0xAB}
                                         << QStringLiteral("TXJ1939  0DFE0500    AB");
}

void TransmitConfigTest::loadedSummary() {
    QFETCH(int, protocol);
    QFETCH(Bytes, buffer);
    QFETCH(QString, summary);
    QCOMPARE(QString::fromStdString(loadedRowSummary(*recordOf({protocol, 1, 0, 0, buffer}))), summary);
}

void TransmitConfigTest::refillTakesAsManyAsEdits() {
    // Full-capacity records of every protocol: the summary stops at 255
    // characters and each builder takes only as many data bytes as it has
    // edits.
    for (int protocol : {kJ1708, kJ1850, kJ1939}) {
        Bytes buffer(size_t(bufferCapacity(protocol)));
        for (size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = uint8_t(i);
        auto record = recordOf({protocol, 2, 3, 4, buffer});
        const std::string summary = loadedRowSummary(*record);
        QCOMPARE(summary.size(), kSummaryMax);
        const std::string firstData = protocol == kJ1708 ? "    03  04  05" : "    06  07  08";
        QVERIFY(summary.find(firstData) != std::string::npos);
        switch (protocol) {
        case kJ1708: {
            Tx1708Fields f;
            QVERIFY(refillTx1708Fields(*record, f));
            QCOMPARE(int(f.dataCount), kJ1708DataBytes);
            QCOMPARE(f.dataValue.back(), uint16_t(3 + kJ1708DataBytes - 1));
            QCOMPARE(f.broadcastCount, 2);
            break;
        }
        case kJ1850: {
            Tx1850Fields f;
            QVERIFY(refillTx1850Fields(*record, f));
            QCOMPARE(int(f.dataCount), kJ1850DataBytes);
            QCOMPARE(f.dataValue.back(), uint16_t(6 + kJ1850DataBytes - 1));
            QCOMPARE(f.header.target, uint8_t(4));
            break;
        }
        default: {
            Tx1939Fields f;
            QVERIFY(refillTx1939Fields(*record, f));
            QCOMPARE(int(f.dataCount), kJ1939DataBytes);
            QCOMPARE(f.dataValue.back(), uint16_t(6 + kJ1939DataBytes - 1));
            QCOMPARE(f.delay, 3);
            break;
        }
        }
    }
    // One data byte more than the edits: built again, the message keeps the
    // first 19.
    auto record = recordOf({kJ1708, 1, 0, 0, Bytes(3 + kJ1708DataBytes + 1, 7)});
    Tx1708Fields f;
    QVERIFY(refillTx1708Fields(*record, f));
    const auto rebuilt = buildTx1708Message(f);
    QCOMPARE(int(rebuilt->length), 3 + kJ1708DataBytes);
    QVERIFY(std::equal(rebuilt->buffer.begin(), rebuilt->buffer.begin() + rebuilt->length,
                       record->buffer.begin()));
}

QTEST_APPLESS_MAIN(TransmitConfigTest)
#include "tst_transmit_config.moc"
