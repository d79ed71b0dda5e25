// Signal values read through the DBC reader from hand-written snippets and
// frame bytes laid out by hand: byte orders across byte edges, signs,
// lengths of 1 and 64 bits, scaling, value tables, the J1939 "error" and
// "n/a" ranges, and multiplexing.
#include "decode/dbc.h"
#include "decode/signal_decode.h"

#include <QTest>

using namespace decode;

namespace {

std::vector<uint8_t> bytes(const QByteArray& hex) {
    const QByteArray raw = QByteArray::fromHex(hex);
    return {raw.begin(), raw.end()};
}

DbcFile parse(const std::string& text) {
    auto result = readDbc(text, "test.dbc");
    if (auto* error = std::get_if<DbcError>(&result))
        qFatal("%s", error->message().c_str());
    return std::get<DbcFile>(std::move(result));
}

// One 8-byte message holding the signal line; J1939 ones are PGN 61444 from
// address 0xFE and marked J1939PG.
std::string messageWith(const std::string& signalLine, const std::string& extra, bool j1939) {
    const std::string id = j1939 ? "2364540158" : "256";
    std::string text = "VERSION \"\"\nBO_ " + id + " M: 8 N\n SG_ " + signalLine + "\n";
    if (!extra.empty())
        text += "VAL_ " + id + " S " + extra + " ;\n";
    if (j1939)
        text +=
            "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\",\"reserved\",\"J1939PG\";\n"
            "BA_ \"VFrameFormat\" BO_ " +
            id + " 3;\n";
    return text;
}

} // namespace

class TestSignals : public QObject {
    Q_OBJECT
private slots:
    void formattedValue_data();
    void formattedValue();
    void multiplexedMessage_data();
    void multiplexedMessage();
};

void TestSignals::formattedValue_data() {
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("values");
    QTest::addColumn<bool>("j1939");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");

    const QString u12Intel = "S : 4|12@1+ (1,0) [0|0] \"\" N";
    QTest::newRow("Intel across bytes") << u12Intel << "" << false << QByteArray("3012") << "291";
    QTest::newRow("Motorola across bytes") << "S : 3|12@0+ (1,0) [0|0] \"\" N"
                                           << "" << false << QByteArray("0ABC") << "2748";
    QTest::newRow("Motorola 16 from byte 0") << "S : 7|16@0+ (1,0) [0|0] \"\" N"
                                             << "" << false << QByteArray("1234") << "4660";
    QTest::newRow("signed Intel scaled") << "S : 0|8@1- (0.5,0) [0|0] \"V\" N"
                                         << "" << false << QByteArray("FE") << "-1 V";
    QTest::newRow("signed Motorola 12 bits") << "S : 3|12@0- (1,0) [0|0] \"\" N"
                                             << "" << false << QByteArray("0FFF") << "-1";
    QTest::newRow("1 bit") << "S : 13|1@1+ (1,0) [0|1] \"\" N"
                           << "" << false << QByteArray("0020") << "1";
    QTest::newRow("64-bit Intel exact")
        << "S : 0|64@1+ (1,0) [0|0] \"\" N"
        << "" << false << QByteArray("0102030405060708") << "578437695752307201";
    QTest::newRow("64-bit Motorola exact")
        << "S : 7|64@0+ (1,0) [0|0] \"\" N"
        << "" << false << QByteArray("0102030405060708") << "72623859790382856";
    QTest::newRow("64-bit signed") << "S : 0|64@1- (1,0) [0|0] \"\" N"
                                   << "" << false << QByteArray("FFFFFFFFFFFFFFFF") << "-1";
    QTest::newRow("factor 0.1 shown short") << "S : 0|8@1+ (0.1,0) [0|0] \"bar\" N"
                                            << "" << false << QByteArray("03") << "0.3 bar";
    QTest::newRow("engine speed") << "S : 24|16@1+ (0.125,0) [0|8031.875] \"rpm\" N"
                                  << "" << true << QByteArray("FFFFFF201CFFFFFF") << "900 rpm";
    QTest::newRow("offset") << "S : 0|8@1+ (1,-40) [-40|210] \"degC\" N"
                            << "" << true << QByteArray("78") << "80 degC";
    QTest::newRow("value table") << "S : 0|2@1+ (1,0) [0|3] \"\" N"
                                 << "0 \"Off\" 1 \"On\"" << false << QByteArray("01") << "On";
    QTest::newRow("value table miss shows number")
        << "S : 0|2@1+ (1,0) [0|3] \"\" N"
        << "0 \"Off\" 1 \"On\"" << false << QByteArray("02") << "2";
    // J1939: the top values of each size are no numbers.
    QTest::newRow("8 bits n/a") << "S : 0|8@1+ (1,-40) [0|0] \"degC\" N"
                                << "" << true << QByteArray("FF") << "n/a";
    QTest::newRow("8 bits error") << "S : 0|8@1+ (1,-40) [0|0] \"degC\" N"
                                  << "" << true << QByteArray("FE") << "error";
    QTest::newRow("16 bits error range") << "S : 0|16@1+ (0.125,0) [0|0] \"rpm\" N"
                                         << "" << true << QByteArray("10FE") << "error";
    QTest::newRow("16 bits n/a range") << "S : 0|16@1+ (0.125,0) [0|0] \"rpm\" N"
                                       << "" << true << QByteArray("00FF") << "n/a";
    QTest::newRow("16 bits highest valid") << "S : 0|16@1+ (1,0) [0|0] \"\" N"
                                           << "" << true << QByteArray("FFFA") << "64255";
    QTest::newRow("2 bits error over table") << "S : 0|2@1+ (1,0) [0|3] \"\" N"
                                             << "0 \"Off\" 2 \"Err\"" << true << QByteArray("02") << "error";
    QTest::newRow("2 bits n/a") << "S : 6|2@1+ (1,0) [0|3] \"\" N"
                                << "" << true << QByteArray("C0") << "n/a";
    QTest::newRow("32 bits n/a") << "S : 0|32@1+ (0.05,0) [0|0] \"km\" N"
                                 << "" << true << QByteArray("000000FF") << "n/a";
    QTest::newRow("plain CAN 0xFF is a number") << "S : 0|8@1+ (1,0) [0|0] \"\" N"
                                                << "" << false << QByteArray("FF") << "255";
}

void TestSignals::formattedValue() {
    QFETCH(QString, signal);
    QFETCH(QString, values);
    QFETCH(bool, j1939);
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    const DbcFile file = parse(messageWith(signal.toStdString(), values.toStdString(), j1939));
    QCOMPARE(file.messages.at(0).isJ1939, j1939);
    std::vector<uint8_t> frame = bytes(data);
    frame.resize(8, 0);
    std::vector<DecodedSignal> out;
    decodeMessage(file.messages.at(0), frame, out);
    QCOMPARE(out.size(), size_t{1});
    QCOMPARE(QString::fromStdString(formatValue(out[0])), expected);
}

void TestSignals::multiplexedMessage_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("page 0") << QByteArray("0005") << QStringList{"Page=0", "Low=5"};
    QTest::newRow("page 1") << QByteArray("0107") << QStringList{"Page=1", "High=7 %"};
    QTest::newRow("unknown page") << QByteArray("0209") << QStringList{"Page=2"};
    // A frame shorter than the message: only the signals it holds.
    QTest::newRow("short frame") << QByteArray("01") << QStringList{"Page=1"};
}

void TestSignals::multiplexedMessage() {
    QFETCH(QByteArray, data);
    QFETCH(QStringList, expected);
    const DbcFile file = parse("BO_ 1024 Mux: 2 N\n"
                               " SG_ Page M : 0|8@1+ (1,0) [0|0] \"\" N\n"
                               " SG_ Low m0 : 8|8@1+ (1,0) [0|0] \"\" N\n"
                               " SG_ High m1 : 8|8@1+ (1,0) [0|0] \"%\" N\n");
    std::vector<DecodedSignal> out;
    decodeMessage(file.messages.at(0), bytes(data), out);
    QStringList got;
    for (const DecodedSignal& s : out)
        got << QString::fromStdString(s.def->name + "=" + formatValue(s));
    QCOMPARE(got, expected);
}

QTEST_APPLESS_MAIN(TestSignals)
#include "tst_signals.moc"
