#include <QTest>

#include <climits>
#include <cstdio>

#include "platform/crt_format.h"

class TestCrtFormat : public QObject {
    Q_OBJECT

private slots:
    void integer_data();
    void integer();
    void text_data();
    void text();
    void starArguments();
    void programLines();
    void integersAgreeWithC_data();
    void integersAgreeWithC();
    void scan32_data();
    void scan32();
    void scan16_data();
    void scan16();
};

void TestCrtFormat::integer_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("%08u pads zeros") << QByteArray("%08u") << 1234 << QByteArray("00001234");
    QTest::newRow("%08u of -1 is unsigned") << QByteArray("%08u") << -1 << QByteArray("4294967295");
    QTest::newRow("%02X one digit") << QByteArray("%02X") << 0xA << QByteArray("0A");
    QTest::newRow("%02X three digits") << QByteArray("%02X") << 0x1FF << QByteArray("1FF");
    QTest::newRow("%X upper, no leading zeros") << QByteArray("%X") << 0xBEEF << QByteArray("BEEF");
    QTest::newRow("%X of zero") << QByteArray("%X") << 0 << QByteArray("0");
    QTest::newRow("%03d of 5") << QByteArray("%03d") << 5 << QByteArray("005");
    QTest::newRow("%03d of -5") << QByteArray("%03d") << -5 << QByteArray("-05");
    QTest::newRow("%010d negative") << QByteArray("%010d") << -123 << QByteArray("-000000123");
    QTest::newRow("%hu of 70000 wraps") << QByteArray("%hu") << 70000 << QByteArray("4464");
    QTest::newRow("%c") << QByteArray("[%c]") << int('A') << QByteArray("[A]");
    QTest::newRow("%%") << QByteArray("100%% %d") << 1 << QByteArray("100% 1");
}

void TestCrtFormat::integer() {
    QFETCH(QByteArray, format);
    QFETCH(int, value);
    QFETCH(QByteArray, expected);
    // Rows with two conversions take the value twice; extra arguments are
    // ignored as in C.
    QCOMPARE(QByteArray::fromStdString(platform::crtFormat(format.constData(), value, value)), expected);
}

void TestCrtFormat::text_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("%06s short pads digit zero")
        << QByteArray("%06s") << QByteArray("1A2") << QByteArray("0001A2");
    QTest::newRow("%06s exact") << QByteArray("%06s") << QByteArray("C1A2B3") << QByteArray("C1A2B3");
    QTest::newRow("%06s longer kept whole")
        << QByteArray("%06s") << QByteArray("12345678") << QByteArray("12345678");
    QTest::newRow("%08s short") << QByteArray("%08s") << QByteArray("18FEF1") << QByteArray("0018FEF1");
    QTest::newRow("%08s exact") << QByteArray("%08s") << QByteArray("18FEF100") << QByteArray("18FEF100");
    QTest::newRow("%08s longer (decimal id)")
        << QByteArray("%08s") << QByteArray("419361024") << QByteArray("419361024");
    QTest::newRow("%-06s pads blanks right")
        << QByteArray("[%-06s]") << QByteArray("1A") << QByteArray("[1A    ]");
    QTest::newRow("%.2s cuts") << QByteArray("%.2s") << QByteArray("abcdef") << QByteArray("ab");
    QTest::newRow("%6.2s cuts then pads")
        << QByteArray("[%6.2s]") << QByteArray("abcdef") << QByteArray("[    ab]");
}

void TestCrtFormat::text() {
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(platform::crtFormat(format.constData(), text.constData())), expected);
}

void TestCrtFormat::starArguments() {
    QCOMPARE(platform::crtFormat("[%*d]", 5, 42), std::string("[   42]"));
    QCOMPARE(platform::crtFormat("[%*d]", -5, 42), std::string("[42   ]"));
    QCOMPARE(platform::crtFormat("[%.*s]", 3, "abcdef"), std::string("[abc]"));
    QCOMPARE(platform::crtFormat("[%.*d]", -1, 42), std::string("[42]"));
    QCOMPARE(platform::crtFormat("[%0*s]", 4, "7"), std::string("[0007]"));
    QCOMPARE(platform::crtFormat("%lld %llu", LLONG_MIN, ULLONG_MAX),
             std::string("-9223372036854775808 18446744073709551615"));
    QCOMPARE(platform::crtFormat("[%s]", static_cast<const char*>(nullptr)), std::string("[(null)]"));
    QCOMPARE(platform::crtFormat("end %"), std::string("end %"));
}

// Whole display and summary lines built the way the windows build them.
void TestCrtFormat::programLines() {
    QCOMPARE(platform::crtFormat("RXJ1708  %08u  %02X     %02X     ", 1234u, 0x80, 0xF3),
             std::string("RXJ1708  00001234  80     F3     "));
    QCOMPARE(platform::crtFormat("RXJ1939  %08u  %010d  ", 7u, 0x18FEF100),
             std::string("RXJ1939  00000007  0419361024  "));
    QCOMPARE(platform::crtFormat("TXJ1850  %06s  ", "C1A2"), std::string("TXJ1850  00C1A2  "));
    QCOMPARE(platform::crtFormat("TXJ1939  %08s  ", "CFEF100"), std::string("TXJ1939  0CFEF100  "));
    QCOMPARE(platform::crtFormat("%s  %02X", "TXJ1708  80  F3  ", 1), std::string("TXJ1708  80  F3    01"));
    QCOMPARE(platform::crtFormat("Error %03d: %s", 5, "Unknown Error"),
             std::string("Error 005: Unknown Error"));
    QCOMPARE(platform::crtFormat("DLL Version: %s.%s, API Version: %s.%s", "2", "10", "1", "0"),
             std::string("DLL Version: 2.10, API Version: 1.0"));
}

// For integers the rules are C's; check a grid of flags, widths and
// precisions against the system's printf.
void TestCrtFormat::integersAgreeWithC_data() {
    QTest::addColumn<QByteArray>("format");
    const char* flagSets[] = {"", "-", "0", "+", " ", "#", "-0", "+0", "-+", "#0", "- "};
    const char* widths[] = {"", "1", "6", "12"};
    const char* precisions[] = {"", ".0", ".3", ".9"};
    const char* conversions[] = {"d", "i", "u", "x", "X", "o", "hd", "hu", "hhx", "lld", "llx"};
    for (const char* f : flagSets) {
        for (const char* w : widths) {
            for (const char* p : precisions) {
                for (const char* c : conversions) {
                    const QByteArray format = QByteArray("%") + f + w + p + c;
                    QTest::newRow(format.constData()) << format;
                }
            }
        }
    }
}

void TestCrtFormat::integersAgreeWithC() {
    QFETCH(QByteArray, format);
    const bool wide = format.contains("ll");
    const long long values[] = {0, 1, -1, 42, -42, 255, 65535, 70000, INT_MAX, INT_MIN, LLONG_MIN};
    for (long long v : values) {
        char expected[128];
        std::string actual;
        if (wide) {
            std::snprintf(expected, sizeof expected, format.constData(), v);
            actual = platform::crtFormat(format.constData(), v);
        } else {
            const int narrow = static_cast<int>(v);
            std::snprintf(expected, sizeof expected, format.constData(), narrow);
            actual = platform::crtFormat(format.constData(), narrow);
        }
        QCOMPARE(QByteArray::fromStdString(actual), QByteArray(expected));
    }
}

void TestCrtFormat::scan32_data() {
    QTest::addColumn<QByteArray>("conversion");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("%x plain") << QByteArray("x") << QByteArray("1F") << true << qint64(0x1F);
    QTest::newRow("%x blanks and prefix")
        << QByteArray("x") << QByteArray("  \t0x1a") << true << qint64(0x1A);
    QTest::newRow("%x stops at non-digit") << QByteArray("x") << QByteArray("12G4") << true << qint64(0x12);
    QTest::newRow("%x 0x alone reads 0") << QByteArray("x") << QByteArray("0xZ") << true << qint64(0);
    QTest::newRow("%x negative wraps") << QByteArray("x") << QByteArray("-1") << true << qint64(0xFFFFFFFF);
    QTest::newRow("%x too long keeps low 32 bits")
        << QByteArray("x") << QByteArray("123456789") << true << qint64(0x23456789);
    QTest::newRow("%x empty") << QByteArray("x") << QByteArray("") << false << qint64(0);
    QTest::newRow("%x sign only") << QByteArray("x") << QByteArray("-") << false << qint64(0);
    QTest::newRow("%u plain") << QByteArray("u") << QByteArray("419361024") << true << qint64(419361024);
    QTest::newRow("%u wraps past max") << QByteArray("u") << QByteArray("4294967296") << true << qint64(0);
    QTest::newRow("%u negative") << QByteArray("u") << QByteArray("-2") << true << qint64(4294967294LL);
    QTest::newRow("%u no digit") << QByteArray("u") << QByteArray("x1") << false << qint64(0);
    QTest::newRow("%d negative") << QByteArray("d") << QByteArray("-42x") << true << qint64(-42);
    QTest::newRow("%d beyond int wraps")
        << QByteArray("d") << QByteArray("2147483648") << true << qint64(INT_MIN);
    QTest::newRow("%d no digit") << QByteArray("d") << QByteArray("+") << false << qint64(0);
}

void TestCrtFormat::scan32() {
    QFETCH(QByteArray, conversion);
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(qint64, expected);
    const std::string_view input(text.constData(), text.size());
    // On failure the output keeps what it held.
    constexpr std::uint32_t kUntouched = 0xA5A5A5A5;
    if (conversion == "d") {
        std::int32_t value = static_cast<std::int32_t>(kUntouched);
        QCOMPARE(platform::scanInt(input, value), ok);
        QCOMPARE(qint64(value), ok ? expected : qint64(static_cast<std::int32_t>(kUntouched)));
        return;
    }
    std::uint32_t value = kUntouched;
    QCOMPARE(conversion == "x" ? platform::scanHex(input, value) : platform::scanUnsigned(input, value), ok);
    QCOMPARE(qint64(value), ok ? expected : qint64(kUntouched));
}

void TestCrtFormat::scan16_data() {
    QTest::addColumn<QByteArray>("conversion");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<uint>("expected");
    QTest::newRow("%hx byte") << QByteArray("hx") << QByteArray("FF") << true << 0xFFu;
    QTest::newRow("%hx keeps low 16 bits") << QByteArray("hx") << QByteArray("12345") << true << 0x2345u;
    QTest::newRow("%hx negative") << QByteArray("hx") << QByteArray("-1") << true << 0xFFFFu;
    QTest::newRow("%hx no digit") << QByteArray("hx") << QByteArray("") << false << 0u;
    QTest::newRow("%hu byte") << QByteArray("hu") << QByteArray("255") << true << 255u;
    QTest::newRow("%hu 70000 wraps") << QByteArray("hu") << QByteArray("70000") << true << 4464u;
    QTest::newRow("%hu no digit") << QByteArray("hu") << QByteArray(" -") << false << 0u;
}

void TestCrtFormat::scan16() {
    QFETCH(QByteArray, conversion);
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(uint, expected);
    const std::string_view input(text.constData(), text.size());
    std::uint16_t value = 0xA5A5;
    QCOMPARE(conversion == "hx" ? platform::scanHex16(input, value) : platform::scanUnsigned16(input, value),
             ok);
    QCOMPARE(uint(value), ok ? expected : 0xA5A5u);
}

QTEST_APPLESS_MAIN(TestCrtFormat)
#include "tst_crt_format.moc"
