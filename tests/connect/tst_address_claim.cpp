// The claim packing and the address claim dialog driven as a user would.
#include "connect/address_claim.h"
#include "connect/address_claim_dialog.h"
#include "connect/init_can_dlg.h"
#include "res/ids/init_can_ids.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace connect;
using namespace res;
using namespace testsupport;

using Claim = std::array<uint8_t, 10>;
Q_DECLARE_METATYPE(Claim)

namespace {
QString hexBytes(const Claim& claim, int first, int count) {
    QStringList parts;
    for (int i = first; i < first + count; ++i)
        parts << QStringLiteral("%1").arg(claim[i], 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(' ');
}
} // namespace

class TestAddressClaim : public QObject {
    Q_OBJECT
private slots:
    void packing_data() {
        QTest::addColumn<AddressClaimValues>("values");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("bytes");
        AddressClaimValues v;
        QTest::newRow("defaults") << v << 0 << "F9 01 00 60 01 00 81 00 00 00";
        v = {};
        v.arbitraryAddressCapable = 1;
        v.industryGroup = 2;
        v.vehicleSystemInstance = "5";
        QTest::newRow("byte 8") << v << 8 << "A5";
        v = {};
        v.functionInstance = "1F";
        v.ecuInstance = 7;
        QTest::newRow("byte 5") << v << 5 << "FF";
        v = {};
        v.vehicleSystem = "7F";
        QTest::newRow("byte 7") << v << 7 << "FE";
        v = {};
        v.manufacturerCode = "3FF";
        v.identityNumber = "1FFFFF";
        QTest::newRow("bytes 1-4") << v << 1 << "FF FF FF 7F";
        v = {};
        v.manufacturerCode = "abc"; // lower case reads as hexadecimal; bit 10 and up dropped
        v.networkAddress = "fe";
        QTest::newRow("lower case") << v << 0 << "FE 01 00 80 57";
    }
    void packing() {
        QFETCH(AddressClaimValues, values);
        QFETCH(int, first);
        QFETCH(QString, bytes);
        const Claim claim = packAddressClaim(values);
        QCOMPARE(hexBytes(claim, first, int(bytes.split(' ').size())), bytes);
        QCOMPARE(int(claim[9]), int(kClaimBlockUntilDone));
    }

    void typing_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<int>("upDown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("position");
        QTest::newRow("function 1g") << int(IDC_CLAIM_FUNCTION) << int(IDC_CLAIM_FUNCTION_SPIN) << "1g"
                                     << "1" << 1;
        QTest::newRow("identity cleared") << int(IDC_CLAIM_IDENTITY) << int(IDC_CLAIM_IDENTITY_SPIN) << ""
                                          << "0" << 0;
        QTest::newRow("manufacturer ABC")
            << int(IDC_CLAIM_MANUFACTURER) << int(IDC_CLAIM_MANUFACTURER_SPIN) << "abc"
            << "ABC" << 1023; // above the range: the up-down clamps
        QTest::newRow("identity 1FFFFF")
            << int(IDC_CLAIM_IDENTITY) << int(IDC_CLAIM_IDENTITY_SPIN) << "1fffff"
            << "1FFFFF" << 0x1FFFFF;
        QTest::newRow("address x") << int(IDC_CLAIM_ADDRESS) << int(IDC_CLAIM_ADDRESS_SPIN) << "x"
                                   << "0" << 0;
    }
    void typing() {
        QFETCH(int, edit);
        QFETCH(int, upDown);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, position);
        InitCANDlg dialog;
        whenModalRuns([&](platform::Dialog& d) {
            typeInto(d, edit, typed);
            QCOMPARE(d.itemText(edit), shown);
            QCOMPARE(d.upDown(upDown)->pos(), position);
            clickItem(d, platform::IDCANCEL);
        });
        QCOMPARE(dialog.doModal(), int(platform::IDCANCEL));
    }

    void arrows_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<int>("upDown");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("shown");
        QTest::newRow("address up from F9")
            << int(IDC_CLAIM_ADDRESS) << int(IDC_CLAIM_ADDRESS_SPIN) << "" << 1 << "FA";
        QTest::newRow("instance at F")
            << int(IDC_CLAIM_VEHICLE_INSTANCE) << int(IDC_CLAIM_VEHICLE_INSTANCE_SPIN) << "f" << 1 << "F";
        QTest::newRow("vehicle system at 7F")
            << int(IDC_CLAIM_VEHICLE_SYSTEM) << int(IDC_CLAIM_VEHICLE_SYSTEM_SPIN) << "7f" << 1 << "7F";
        QTest::newRow("identity at 1FFFFF")
            << int(IDC_CLAIM_IDENTITY) << int(IDC_CLAIM_IDENTITY_SPIN) << "1fffff" << 1 << "1FFFFF";
        QTest::newRow("identity above FFFF")
            << int(IDC_CLAIM_IDENTITY) << int(IDC_CLAIM_IDENTITY_SPIN) << "12345" << -1 << "12344";
        QTest::newRow("function at 0")
            << int(IDC_CLAIM_FUNCTION) << int(IDC_CLAIM_FUNCTION_SPIN) << "0" << -1 << "0";
        QTest::newRow("industry group at 7")
            << int(IDC_CLAIM_INDUSTRY_GROUP) << int(IDC_CLAIM_INDUSTRY_GROUP_SPIN) << "7" << 1 << "7";
        QTest::newRow("ECU instance up")
            << int(IDC_CLAIM_ECU_INSTANCE) << int(IDC_CLAIM_ECU_INSTANCE_SPIN) << "" << 1 << "1";
    }
    void arrows() {
        QFETCH(int, edit);
        QFETCH(int, upDown);
        QFETCH(QString, start);
        QFETCH(int, step);
        QFETCH(QString, shown);
        InitCANDlg dialog;
        whenModalRuns([&](platform::Dialog& d) {
            if (!start.isEmpty())
                typeInto(d, edit, start);
            pressArrow(d, upDown, step);
            QCOMPARE(d.itemText(edit), shown);
            clickItem(d, platform::IDOK);
        });
        QCOMPARE(dialog.doModal(), int(platform::IDOK));
    }

    void decimalOutOfRangeIsReportedAndReset() {
        MessageRecorder messages;
        InitCANDlg dialog;
        whenModalRuns([&](platform::Dialog& d) {
            typeInto(d, IDC_CLAIM_INDUSTRY_GROUP, QStringLiteral("9"));
            QCOMPARE(messages.texts().value(0), QStringLiteral("Please enter an integer between 0 and 7."));
            QCOMPARE(d.itemText(IDC_CLAIM_INDUSTRY_GROUP), QStringLiteral("0"));
            clickItem(d, platform::IDOK);
        });
        QCOMPARE(dialog.doModal(), int(platform::IDOK));
    }

    void okPacksTheValuesAndEveryOpeningStartsFromTheDefaults() {
        whenModalRuns([](platform::Dialog& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Init CAN"));
            QCOMPARE(d.comboBox(IDC_CLAIM_ARBITRARY)->currentText(), QStringLiteral("False"));
            d.comboBox(IDC_CLAIM_ARBITRARY)->setCurrentIndex(1);
            typeInto(d, IDC_CLAIM_INDUSTRY_GROUP, QStringLiteral("2"));
            typeInto(d, IDC_CLAIM_VEHICLE_INSTANCE, QStringLiteral("5"));
            typeInto(d, IDC_CLAIM_ADDRESS, QStringLiteral("80"));
            clickItem(d, platform::IDOK);
        });
        const auto claim = runAddressClaimDialog(nullptr);
        QVERIFY(claim);
        QCOMPARE(hexBytes(*claim, 0, 10), QStringLiteral("80 01 00 60 01 00 81 00 A5 00"));
        for (int button : {int(platform::IDCANCEL), int(platform::IDOK)}) {
            bool defaults = false;
            whenModalRuns([&](platform::Dialog& d) {
                defaults = d.itemText(IDC_CLAIM_ADDRESS) == QLatin1String("F9") &&
                           d.itemText(IDC_CLAIM_VEHICLE_INSTANCE) == QLatin1String("0") &&
                           d.comboBox(IDC_CLAIM_ARBITRARY)->currentIndex() == 0 &&
                           d.upDown(IDC_CLAIM_MANUFACTURER_SPIN)->pos() == 11 &&
                           d.upDown(IDC_CLAIM_IDENTITY_SPIN)->pos() == 1;
                typeInto(d, IDC_CLAIM_FUNCTION, QStringLiteral("22"));
                clickItem(d, button);
            });
            const auto result = runAddressClaimDialog(nullptr);
            QVERIFY(defaults);
            QCOMPARE(result.has_value(), button == platform::IDOK);
        }
    }

    void accessibleNames() {
        InitCANDlg dialog;
        whenModalRuns([](platform::Dialog& d) {
            QCOMPARE(d.edit(IDC_CLAIM_IDENTITY)->accessibleName(), QStringLiteral("Identity Number"));
            QCOMPARE(d.upDown(IDC_CLAIM_FUNCTION_SPIN)->accessibleName(), QStringLiteral("Function arrows"));
            if (qEnvironmentVariableIsSet("TARVIK_SAVE_LAYOUTS"))
                d.grab().save(qEnvironmentVariable("TARVIK_SAVE_LAYOUTS") + "/init_can.png");
            clickItem(d, platform::IDCANCEL);
        });
        dialog.doModal();
    }
};

QTEST_MAIN(TestAddressClaim)
#include "tst_address_claim.moc"
