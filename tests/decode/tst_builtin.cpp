// The standard's structures decoded from bytes laid out by hand: a NAME,
// DM1 with 0, 1 and 3 codes, identification strings, transport protocol
// frames, Acknowledgment, and J1587 parameters with PID 194's codes.
#include "decode/builtin.h"
#include "decode/j1587.h"
#include "decode/j1939_id.h"
#include "decode/pgns.h"

#include <QTest>

using namespace decode;

Q_DECLARE_METATYPE(std::vector<Dtc>)

namespace {

std::vector<uint8_t> bytes(const QByteArray& hex) {
    const QByteArray raw = QByteArray::fromHex(hex);
    return {raw.begin(), raw.end()};
}

QStringList rows(uint32_t pgn, const QByteArray& hex) {
    std::vector<BuiltinField> fields;
    if (!decodeBuiltin(pgn, bytes(hex), fields))
        return {"not built in"};
    QStringList out;
    for (const auto& f : fields)
        out << QString::fromStdString(f.name + ": " + f.value);
    return out;
}

} // namespace

class TestBuiltin : public QObject {
    Q_OBJECT
private slots:
    void identifier_data();
    void identifier();
    void name();
    void dm1_data();
    void dm1();
    void expandedRows_data();
    void expandedRows();
    void j1587();
};

void TestBuiltin::identifier_data() {
    QTest::addColumn<uint>("id");
    QTest::addColumn<uint>("pgn");
    QTest::addColumn<uint>("destination");
    QTest::addColumn<uint>("source");
    QTest::addColumn<uint>("priority");
    QTest::newRow("PDU2 EEC1") << 0x0CF00400u << 61444u << 0xFFu << 0x00u << 3u;
    QTest::newRow("PDU1 request to 0x17") << 0x18EA17F9u << 59904u << 0x17u << 0xF9u << 6u;
    QTest::newRow("data page set") << 0x19FEF100u << 130801u << 0xFFu << 0x00u << 6u;
}

void TestBuiltin::identifier() {
    QFETCH(uint, id);
    QFETCH(uint, pgn);
    QFETCH(uint, destination);
    QFETCH(uint, source);
    QFETCH(uint, priority);
    const J1939Id split = splitJ1939Id(id);
    QCOMPARE(split.pgn, pgn);
    QCOMPARE(uint(split.destination), destination);
    QCOMPARE(uint(split.source), source);
    QCOMPARE(uint(split.priority), priority);
    QCOMPARE(joinJ1939Id(split.priority, split.pgn, split.destination, split.source), id);
}

void TestBuiltin::name() {
    // Identity 12345, manufacturer 345, ECU instance 2, function instance 5,
    // function 0, vehicle system 1, its instance 3, industry group 1,
    // arbitrary address capable.
    const Name n = splitName(nameFromBytes(bytes("3930202B2A000293")));
    QCOMPARE(n.identityNumber, 12345u);
    QCOMPARE(n.manufacturerCode, uint16_t{345});
    QCOMPARE(n.ecuInstance, uint8_t{2});
    QCOMPARE(n.functionInstance, uint8_t{5});
    QCOMPARE(n.function, uint8_t{0});
    QCOMPARE(n.vehicleSystem, uint8_t{1});
    QCOMPARE(n.vehicleSystemInstance, uint8_t{3});
    QCOMPARE(n.industryGroup, uint8_t{1});
    QVERIFY(n.arbitraryAddressCapable);
}

void TestBuiltin::dm1_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("mil");
    QTest::addColumn<int>("redStop");
    QTest::addColumn<int>("amber");
    QTest::addColumn<std::vector<Dtc>>("codes");
    QTest::newRow("no code") << QByteArray("00FF00000000FFFF") << int(LampState::Off) << int(LampState::Off)
                             << int(LampState::Off) << std::vector<Dtc>{};
    QTest::newRow("one code, amber on")
        << QByteArray("04FF6E000001FFFF") << int(LampState::Off) << int(LampState::Off) << int(LampState::On)
        << std::vector<Dtc>{{110, 0, 1, false}};
    // MIL flashing fast, red stop on; an SPN above 16 bits with conversion
    // method set.
    QTest::newRow("three codes") << QByteArray("507FBE00020300F0E1FF64000100") << int(LampState::FlashFast)
                                 << int(LampState::On) << int(LampState::Off)
                                 << std::vector<Dtc>{
                                        {190, 2, 3, false}, {520192, 1, 127, true}, {100, 1, 0, false}};
    QTest::newRow("lamps n/a, truncated code")
        << QByteArray("C0FF6E00") << int(LampState::NotAvailable) << int(LampState::Off)
        << int(LampState::Off) << std::vector<Dtc>{};
}

void TestBuiltin::dm1() {
    QFETCH(QByteArray, data);
    QFETCH(int, mil);
    QFETCH(int, redStop);
    QFETCH(int, amber);
    QFETCH(std::vector<Dtc>, codes);
    const auto dm = decodeDm1Layout(bytes(data));
    QVERIFY(dm);
    QCOMPARE(int(dm->lamps.mil), mil);
    QCOMPARE(int(dm->lamps.redStop), redStop);
    QCOMPARE(int(dm->lamps.amberWarning), amber);
    QVERIFY(dm->codes == codes);
    QCOMPARE(decodeDm1Layout(encodeDm1Layout(*dm))->codes, codes);
}

void TestBuiltin::expandedRows_data() {
    QTest::addColumn<uint>("pgn");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("VIN") << kPgnVin << QByteArray("31584B414434395830434A3132333435362A")
                         << QStringList{"VIN: 1XKAD49X0CJ123456"};
    QTest::newRow("Component ID, empty model, padding")
        << kPgnComponentId << QByteArray("54524B2A2A534E0131322A55372AFFFF")
        << QStringList{"Make: TRK", "Model: ", "Serial number: SN.12", "Unit number: U7"};
    QTest::newRow("Software ID counts its fields")
        << kPgnSoftwareId << QByteArray("01312E302A322E302A") << QStringList{"Software 1: 1.0"};
    QTest::newRow("Request") << kPgnRequest << QByteArray("ECFE00")
                             << QStringList{"Requested PGN: 65260 (Vehicle Identification)"};
    QTest::newRow("Acknowledgment") << kPgnAcknowledgment << QByteArray("01FFFFFF17CBFE00")
                                    << QStringList{
                                           "Control: Negative (1)", "Group function: 255", "Address: 23",
                                           "PGN: 65227 (DM2 Previously Active Diagnostic Trouble Codes)"};
    QTest::newRow("TP.CM RTS")
        << kPgnTpCm << QByteArray("10140003FFECFE00")
        << QStringList{"Frame: RTS 20 bytes in 3 packets of PGN 65260 (Vehicle Identification)"};
    QTest::newRow("TP.CM Abort") << kPgnTpCm << QByteArray("FF03FFFFFFECFE00")
                                 << QStringList{
                                        "Frame: Abort PGN 65260 (Vehicle Identification): timeout (3)"};
    QTest::newRow("TP.DT") << kPgnTpDt << QByteArray("0231584B41443439")
                           << QStringList{"Sequence: 2", "Data: 31 58 4B 41 44 34 39"};
    QTest::newRow("short Acknowledgment") << kPgnAcknowledgment << QByteArray("01") << QStringList{};
    QTest::newRow("other PGN") << 61444u << QByteArray("00") << QStringList{"not built in"};
}

void TestBuiltin::expandedRows() {
    QFETCH(uint, pgn);
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    QCOMPARE(rows(pgn, data), expected);
}

void TestBuiltin::j1587() {
    // Road speed (84), engine speed (190), PID 194 with an active PID 110
    // FMI 3 and an inactive... SID 5 FMI 4 counted twice, page-2 PID 257,
    // then PID 200 cut short.
    const auto message = bytes("5464BE201CC2056E030594"
                               "02FF0133C805AABB");
    const auto params = splitJ1587(message);
    QCOMPARE(params.size(), size_t{5});
    const uint16_t pids[] = {84, 190, 194, 257, 200};
    const size_t sizes[] = {1, 2, 5, 1, 2};
    for (size_t i = 0; i < params.size(); ++i) {
        QCOMPARE(params[i].pid, pids[i]);
        QCOMPARE(params[i].data.size(), sizes[i]);
        QCOMPARE(params[i].complete, i != 4);
    }
    const auto codes = decodeJ1587Dtcs(params[2].data);
    QCOMPARE(codes.size(), size_t{2});
    QCOMPARE(codes[0].pidOrSid, uint16_t{110});
    QVERIFY(!codes[0].isSid && codes[0].active && !codes[0].occurrenceCount);
    QCOMPARE(codes[0].fmi, uint8_t{3});
    QCOMPARE(codes[1].pidOrSid, uint16_t{5});
    QVERIFY(codes[1].isSid && codes[1].active);
    QCOMPARE(codes[1].fmi, uint8_t{4});
    QCOMPARE(codes[1].occurrenceCount, std::optional<uint8_t>(2));
}

QTEST_APPLESS_MAIN(TestBuiltin)
#include "tst_builtin.moc"
