// The text clean-up of hexadecimal fields and the J1939 identifier layout.
#include "fields/hex_text.h"
#include "fields/j1939_identifier.h"

#include <QTest>

using namespace fields;

class TestFieldLogic : public QObject {
    Q_OBJECT
private slots:
    void cleanHexText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("lower case") << "1a" << 2 << "1A";
        QTest::newRow("leading non-digit") << "g7" << 2 << "0";
        QTest::newRow("empty") << "" << 2 << "0";
        QTest::newRow("run ends at x") << "12x4" << 8 << "12";
        QTest::newRow("leading blank") << " 5" << 2 << "0";
        QTest::newRow("cut to length") << "abc" << 2 << "AB";
        QTest::newRow("decimal data byte") << "1234" << 3 << "123";
        QTest::newRow("8g") << "8g" << 2 << "8";
        QTest::newRow("identifier") << "1cfef1fe" << 8 << "1CFEF1FE";
        QTest::newRow("sign is not a digit") << "-1" << 2 << "0";
        QTest::newRow("non-Latin letter") << QString::fromUtf8("\xc3\xa9") << 2 << "0";
    }
    void cleanHexText() {
        QFETCH(QString, typed);
        QFETCH(int, maxLength);
        QFETCH(QString, cleaned);
        fields::cleanHexText(typed, maxLength);
        QCOMPARE(typed, cleaned);
    }

    void identifier_data() {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("pf");
        QTest::addColumn<int>("destination");
        QTest::addColumn<int>("source");
        QTest::addColumn<uint>("identifier");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("decimal");
        QTest::newRow("zero") << 0 << 0 << 0 << 0 << 0 << 0u << "0"
                              << "0";
        QTest::newRow("18F00400") << 6 << 0 << 0xF0 << 0x04 << 0x00 << 0x18F00400u << "18F00400"
                                  << "418382848";
        QTest::newRow("1CFEF1FE") << 7 << 0 << 0xFE << 0xF1 << 0xFE << 0x1CFEF1FEu << "1CFEF1FE"
                                  << "486470142";
        QTest::newRow("page 1") << 0 << 1 << 0 << 0 << 0 << (1u << 24) << "1000000"
                                << "16777216";
        QTest::newRow("all ones") << 7 << 1 << 0xFF << 0xFF << 0xFF << 0x1DFFFFFFu << "1DFFFFFF"
                                  << "503316479";
    }
    void identifier() {
        QFETCH(int, priority);
        QFETCH(int, page);
        QFETCH(int, pf);
        QFETCH(int, destination);
        QFETCH(int, source);
        QFETCH(uint, identifier);
        QFETCH(QString, hex);
        QFETCH(QString, decimal);
        const IdentifierFields parts{uint8_t(priority), uint8_t(page), uint8_t(pf), uint8_t(destination),
                                     uint8_t(source)};
        QCOMPARE(composeIdentifier(parts), identifier);
        QVERIFY(decomposeIdentifier(identifier) == parts);
        QCOMPARE(identifierText(identifier, true), hex);
        QCOMPARE(identifierText(identifier, false), decimal);
        uint32_t parsed = 12345;
        QVERIFY(parseIdentifierText(hex, true, parsed));
        QCOMPARE(parsed, identifier);
        QVERIFY(parseIdentifierText(decimal, false, parsed));
        QCOMPARE(parsed, identifier);
    }

    void decomposeDropsReservedBits_data() {
        QTest::addColumn<uint>("value");
        QTest::addColumn<uint>("masked");
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("page");
        QTest::newRow("bit 25") << 0x0FFFFFFFu << 0x0DFFFFFFu << 3 << 1;
        QTest::newRow("bits 29-31") << 0xE0000000u << 0u << 0 << 0;
        QTest::newRow("everything") << 0xFFFFFFFFu << 0x1DFFFFFFu << 7 << 1;
    }
    void decomposeDropsReservedBits() {
        QFETCH(uint, value);
        QFETCH(uint, masked);
        QFETCH(int, priority);
        QFETCH(int, page);
        const IdentifierFields parts = decomposeIdentifier(value);
        QCOMPARE(int(parts.priority), priority);
        QCOMPARE(int(parts.page), page);
        QCOMPARE(composeIdentifier(parts), masked);
        QCOMPARE(value & kIdentifierMask, masked);
    }

    void unreadableIdentifierLeavesTheValue() {
        uint32_t value = 77;
        QVERIFY(!parseIdentifierText(QStringLiteral("G1"), true, value));
        QVERIFY(!parseIdentifierText(QString(), false, value));
        QCOMPARE(value, 77u);
        // Decimal reading stops at the first letter.
        QVERIFY(parseIdentifierText(QStringLiteral("12A"), false, value));
        QCOMPARE(value, 12u);
    }
};

QTEST_APPLESS_MAIN(TestFieldLogic)
#include "tst_field_logic.moc"
