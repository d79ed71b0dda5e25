// The DBC reader and the signal database: a J1939 file with the sections a
// real database carries, lookups by PGN from any source and by whole
// identifier, later files replacing earlier ones, and malformed files
// rejected with their file, line and what was expected.
#include "decode/dbc.h"
#include "decode/signal_database.h"

#include <QTest>

using namespace decode;

namespace {

// The sections DBC editors write, most of them of no interest to decoding.
const char* const kTruck = R"(VERSION "1.0"

NS_ :
	NS_DESC_
	CM_
	BA_DEF_
	SIG_VALTYPE_

BS_:

BU_: Engine Cluster Tester
VAL_TABLE_ OnOff 0 "Off" 1 "On" ;

BO_ 2364540158 EEC1: 8 Engine
 SG_ EngineSpeed : 24|16@1+ (0.125,0) [0|8031.875] "rpm" Cluster,Tester
 SG_ TorqueMode : 0|4@1+ (1,0) [0|15] "" Cluster

BO_ 2566844926 CCVS1: 8 Engine
 SG_ ParkingBrake : 2|2@1+ (1,0) [0|3] "" Cluster

BO_ 2565800185 ProprietaryA: 8 Tester
 SG_ Counter : 0|8@1+ (1,0) [0|255] "" Engine

BO_ 1280 Dash: 4 Cluster
 SG_ Lamp : 0|1@1+ (1,0) [0|1] "" Engine

BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX
 SG_ Loose : 0|8@1+ (1,0) [0|0] "" Vector__XXX

BO_TX_BU_ 2364540158 : Engine,Tester;
CM_ "The network";
CM_ BO_ 2364540158 "Electronic engine controller 1";
CM_ SG_ 2364540158 EngineSpeed "Actual engine speed;
over two lines";
BA_DEF_ BO_ "VFrameFormat" ENUM "StandardCAN","ExtendedCAN","reserved","J1939PG";
BA_DEF_ SG_ "SPN" INT 0 524287;
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 65535;
BA_DEF_DEF_ "VFrameFormat" "J1939PG";
BA_DEF_DEF_ "GenMsgCycleTime" 100;
BA_ "GenMsgCycleTime" BO_ 2364540158 20;
BA_ "SPN" SG_ 2364540158 EngineSpeed 190;
BA_ "VFrameFormat" BO_ 1280 0;
VAL_ 2566844926 ParkingBrake OnOff ;
SIG_VALTYPE_ 1280 Lamp : 0;
SIG_GROUP_ 2364540158 Group 1 : EngineSpeed;
)";

DbcFile parse(const std::string& text, const std::string& name = "truck.dbc") {
    auto result = readDbc(text, name);
    if (auto* error = std::get_if<DbcError>(&result))
        qFatal("%s", error->message().c_str());
    return std::get<DbcFile>(std::move(result));
}

} // namespace

class TestDbc : public QObject {
    Q_OBJECT
private slots:
    void readsTheSectionsDecodingUses();
    void textsAsWritten_data();
    void textsAsWritten();
    void findsMessages_data();
    void findsMessages();
    void laterFileReplacesEarlier();
    void malformedFile_data();
    void malformedFile();
    void noiseFailsAtItsStart();
};

void TestDbc::readsTheSectionsDecodingUses() {
    const DbcFile file = parse(kTruck);
    QCOMPARE(file.messages.size(), size_t{4}); // the independent-signalDefs holder is no message
    QCOMPARE(file.nodes, (std::vector<std::string>{"Engine", "Cluster", "Tester"}));
    const MessageDef& eec1 = file.messages[0];
    QVERIFY(eec1.extended && eec1.isJ1939);
    QCOMPARE(eec1.id, 0x0CF004FEu);
    QCOMPARE(eec1.pgn, 61444u);
    QCOMPARE(eec1.cycleTimeMs, 20u);
    QCOMPARE(file.messages[1].cycleTimeMs, 100u);
    QCOMPARE(eec1.comment, std::string("Electronic engine controller 1"));
    const SignalDef& speed = eec1.signalDefs[0];
    QCOMPARE(speed.spn, 190u);
    QCOMPARE(speed.factor, 0.125);
    QCOMPARE(speed.maximum, 8031.875);
    QCOMPARE(speed.unit, std::string("rpm"));
    QCOMPARE(speed.receivers, (std::vector<std::string>{"Cluster", "Tester"}));
    QCOMPARE(speed.comment, std::string("Actual engine speed;\nover two lines"));
    QCOMPARE(file.messages[1].signalDefs[0].valueText(1), std::string_view("On"));
    const MessageDef& dash = file.messages[3];
    QVERIFY(!dash.extended && !dash.isJ1939);
}

void TestDbc::textsAsWritten_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<QString>("expected");
    const QString degrees = QString::fromUtf8("\u00B0C");
    QTest::newRow("UTF-8 stays") << QByteArray("\xC2\xB0"
                                               "C")
                                 << degrees;
    QTest::newRow("Latin-1 becomes UTF-8") << QByteArray("\xB0"
                                                         "C")
                                           << degrees;
    QTest::newRow("escaped quote and backslash") << QByteArray(R"(in\" \\)") << R"(in" \)";
    QTest::newRow("other backslash is text") << QByteArray(R"(C:\x)") << R"(C:\x)";
}

void TestDbc::textsAsWritten() {
    QFETCH(QByteArray, unit);
    QFETCH(QString, expected);
    const DbcFile file =
        parse("BO_ 1 M: 8 N\n SG_ T : 0|8@1+ (1,0) [0|0] \"" + unit.toStdString() + "\" N\n");
    QCOMPARE(QString::fromStdString(file.messages[0].signalDefs[0].unit), expected);
}

void TestDbc::findsMessages_data() {
    QTest::addColumn<uint>("canId");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("expected");
    QTest::newRow("EEC1 from the engine") << 0x0CF00400u << true << "EEC1";
    QTest::newRow("EEC1 from the transmission") << 0x0CF00403u << true << "EEC1";
    QTest::newRow("EEC1 at another priority") << 0x18F00417u << true << "EEC1";
    QTest::newRow("PDU1 to any destination") << 0x18EF17F9u << true << "ProprietaryA";
    QTest::newRow("11-bit by whole identifier") << 0x500u << false << "Dash";
    QTest::newRow("11-bit id as extended frame") << 0x500u << true << "";
    QTest::newRow("unknown PGN") << 0x0CF00500u << true << "";
}

void TestDbc::findsMessages() {
    QFETCH(uint, canId);
    QFETCH(bool, extended);
    QFETCH(QString, expected);
    SignalDatabase db;
    db.add(parse(kTruck));
    const MessageDef* m = db.find(canId, extended);
    QCOMPARE(m ? QString::fromStdString(m->name) : QString(), expected);
}

void TestDbc::laterFileReplacesEarlier() {
    SignalDatabase db;
    db.add(parse(kTruck, "truck.dbc"));
    const auto result = db.add(parse("BA_ \"ProtocolType\" \"J1939\";\n"
                                     "BO_ 2364539904 MyEEC1: 8 E\n"
                                     " SG_ Speed : 24|16@1+ (0.125,0) [0|0] \"rpm\" N\n"
                                     "BA_ \"SPN\" SG_ 2364539904 Speed 190;\n",
                                     "mine.dbc"));
    QCOMPARE(result.replacedNotices.size(), size_t{1});
    QCOMPARE(result.replacedNotices[0],
             std::string("PGN 61444: MyEEC1 from mine.dbc replaces EEC1 from truck.dbc"));
    QCOMPARE(db.find(0x0CF00400, true)->name, std::string("MyEEC1"));
    QCOMPARE(db.findSpn(190)->name, std::string("Speed"));
    const auto files = db.files();
    QCOMPARE(files.size(), size_t{2});
    QCOMPARE(files[0].activeCount, size_t{3});
    QCOMPARE(files[1].activeCount, size_t{1});
}

void TestDbc::malformedFile_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing colon") << "VERSION \"\"\nBO_ 100 Msg 8 Node\n"
                                   << "bad.dbc:2:13: expected ':' after the message name";
    QTest::newRow("signal past the end") << "BO_ 100 Msg: 2 N\n SG_ S : 12|8@1+ (1,0) [0|0] \"\" N\n"
                                         << "bad.dbc:2:10: expected a signal within its message's 2 bytes";
    QTest::newRow("Motorola signal past the end")
        << "BO_ 100 Msg: 1 N\n SG_ S : 3|8@0+ (1,0) [0|0] \"\" N\n"
        << "bad.dbc:2:10: expected a signal within its message's 1 bytes";
    QTest::newRow("unknown section")
        << "BU_: A\n\nFOO_ 1 2;\n"
        << "bad.dbc:3:1: expected a section keyword (VERSION, BU_, BO_, SG_, CM_, BA_DEF_, BA_, VAL_ ...) "
           "instead of 'FOO_'";
    QTest::newRow("signal of 65 bits") << "BO_ 100 Msg: 8 N\n SG_ S : 0|65@1+ (1,0) [0|0] \"\" N\n"
                                       << "bad.dbc:2:10: expected a signal length of 1 to 64 bits";
    QTest::newRow("locale comma in factor") << "BO_ 100 Msg: 8 N\n SG_ S : 0|8@1+ (0,5,0) [0|0] \"\" N\n"
                                            << "bad.dbc:2:21: expected ')' after the offset";
    QTest::newRow("not a number") << "BO_ 100 Msg: 8 N\n SG_ S : 0|8@1+ (inf,0) [0|0] \"\" N\n"
                                  << "bad.dbc:2:18: expected the factor";
    QTest::newRow("signal before any message")
        << "SG_ S : 0|8@1+ (1,0) [0|0] \"\" N\n"
        << "bad.dbc:1:5: expected a BO_ message before its SG_ signals";
    QTest::newRow("multiplexed without multiplexor")
        << "BO_ 100 Msg: 8 N\n SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" N\n"
        << "bad.dbc:2:6: expected a multiplexor signal (M) in the "
           "message of this multiplexed signal";
    QTest::newRow("unterminated comment") << "CM_ BO_ 100 \"runs to the end\n\n"
                                          << "bad.dbc:1:13: expected a closing '\"' for the text opened here";
    QTest::newRow("11-bit id too large")
        << "BO_ 2048 Msg: 8 N\n"
        << "bad.dbc:1:15: expected an 11-bit identifier, or bit 31 set for a "
           "29-bit one";
    QTest::newRow("same id twice")
        << "BO_ 100 A: 8 N\nBO_ 100 B: 8 N\n"
        << "bad.dbc:2:15: expected a message identifier not defined before in this file";
    QTest::newRow("skipped section unterminated")
        << "BO_TX_BU_ 100 : A,B\n"
        << "bad.dbc:1:10: expected ';' ending the BO_TX_BU_ statement";
}

void TestDbc::malformedFile() {
    QFETCH(QString, text);
    QFETCH(QString, error);
    auto result = readDbc(text.toStdString(), "bad.dbc");
    QVERIFY(std::holds_alternative<DbcError>(result));
    QCOMPARE(QString::fromStdString(std::get<DbcError>(result).message()), error);
}

void TestDbc::noiseFailsAtItsStart() {
    // 50 MB of bytes no DBC holds: rejected where the noise begins, long
    // before the end.
    std::string noise(50u << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    noise.replace(0, 12, "VERSION \"\"\n~");
    auto result = readDbc(noise, "noise.dbc");
    QVERIFY(std::holds_alternative<DbcError>(result));
    QCOMPARE(std::get<DbcError>(result).line, 2);
}

QTEST_APPLESS_MAIN(TestDbc)
#include "tst_dbc.moc"
