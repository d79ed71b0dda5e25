// Init CAN of the connection dialog with the address claim, through the
// test driver.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "connect/exports.h"
#include "connect/init_vqt_dlg.h"
#include "res/icons.h"
#include "res/ids/connection_ids.h"
#include "res/ids/init_can_ids.h"
#include "res/templates.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace connect;
using namespace testsupport;

class TestInitCan : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    InitVQTDlg* dialog_ = nullptr;
    QList<Protocol> unlocked_;

    // Opens the connection dialog, binds the test driver, then presses Init
    // CAN and lets claimSteps act in the claim dialog; then runs check.
    ConnectionStatus initCan(std::function<void(platform::Dialog&)> claimSteps,
                             std::function<void(InitVQTDlg&)> check) {
        ConnectionStatus status;
        whenModalRuns([&](platform::Dialog& shown) {
            auto& d = static_cast<InitVQTDlg&>(shown);
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(0);
            clickItem(d, res::IDC_DEVICE);
            TestDriverControl().clearCalls();
            bool claimShown = false;
            whenModalRuns([&](platform::Dialog& claim) {
                claimShown = claim.templateId() == res::IDD_INIT_CAN;
                claimSteps(claim);
            });
            clickItem(d, res::IDC_INIT_CAN);
            QVERIFY(claimShown);
            check(d);
            clickItem(d, platform::IDOK);
        });
        DisplayInitVQT(4, &status);
        return status;
    }
    static bool showsInitialised(InitVQTDlg& d) {
        return d.picture(res::IDC_J1939_PICTURE)->icon().pixmap(16).toImage() ==
               res::loadIcon(res::IDI_INITIALISED).pixmap(16).toImage();
    }

private slots:
    void initTestCase() {
        dialog_ = new InitVQTDlg;
        dialog_->setProtocolInitialisedHandler([this](Protocol p) { unlocked_ << p; });
        std::ofstream((dir_.path() + "/rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=TDRV1210\n";
        overrideImplementationIniPath((dir_.path() + "/rp121032.ini").toStdString());
    }
    void init() {
        DriverBinding& binding = driverBinding();
        binding.connectedProtocols = 0;
        TestDriverControl().reset();
        dialog_->clearStatusText();
        unlocked_.clear();
    }

    void initialisation_data() {
        QTest::addColumn<QList<int>>("results"); // connect, then each command in order
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<int>("connected");
        const QString claim = QStringLiteral("[F9 01 00 60 01 00 81 00 00 00] 10");
        QTest::newRow("success") << QList<int>{3, 0, 0, 0}
                                 << QStringList{"ClientConnect 101 J1939 0 0 0 -> 3",
                                                "SendCommand 19 3 " + claim + " -> 0",
                                                "SendCommand 18 3 [00] 1 -> 0", "SendCommand 3 3 [] 0 -> 0"}
                                 << "CAN Initialized Successfully" << 1;
        // Below 128 a connect result is a client id, even when not 0.
        QTest::newRow("client 127") << QList<int>{127, 0, 0, 0}
                                    << QStringList{"ClientConnect 101 J1939 0 0 0 -> 127",
                                                   "SendCommand 19 127 " + claim + " -> 0",
                                                   "SendCommand 18 127 [00] 1 -> 0",
                                                   "SendCommand 3 127 [] 0 -> 0"}
                                    << "CAN Initialized Successfully" << 1;
        // A rejected connect skips the claim but still sends 18 and 3.
        QTest::newRow("connect rejected")
            << QList<int>{134, 0, 0}
            << QStringList{"ClientConnect 101 J1939 0 0 0 -> 134", "SendCommand 18 134 [00] 1 -> 0",
                           "SendCommand 3 134 [] 0 -> 0"}
            << "Error 134: device gone" << 0;
        QTest::newRow("claim lost") << QList<int>{1, 146, 0, 0}
                                    << QStringList{"ClientConnect 101 J1939 0 0 0 -> 1",
                                                   "SendCommand 19 1 " + claim + " -> 146",
                                                   "SendCommand 18 1 [00] 1 -> 0",
                                                   "SendCommand 3 1 [] 0 -> 0"}
                                    << "Error 146: Unknown Error" << 0;
    }
    void initialisation() {
        QFETCH(QList<int>, results);
        QFETCH(QStringList, calls);
        QFETCH(QString, statusText);
        QFETCH(int, connected);
        TestDriverControl driver;
        driver.setErrorText(134, "device gone");
        driver.queueResult("ClientConnect", int16_t(results[0]));
        for (int i = 1; i < results.size(); ++i)
            driver.queueResult("SendCommand", int16_t(results[i]));
        const ConnectionStatus status =
            initCan([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); },
                    [&](InitVQTDlg& d) {
                        // Then only the error text may be asked for.
                        QCOMPARE(driver.calls().mid(0, calls.size()), calls);
                        for (const QString& extra : driver.calls().mid(calls.size()))
                            QVERIFY2(extra.startsWith("GetErrorMsg"), qPrintable(extra));
                        QCOMPARE(d.itemText(res::IDC_VQT_STATUS), statusText);
                        QCOMPARE(showsInitialised(d), connected == 1);
                    });
        QCOMPARE(status.connected, connected);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), connected ? int(J1939_BIT) : 0);
        QCOMPARE(unlocked_, connected ? QList<Protocol>{Protocol::J1939} : QList<Protocol>{});
        QCOMPARE(int(driverBinding().j1939ClientId.load()), results[0]);
    }

    void claimBytesFollowTheDialog() {
        TestDriverControl driver;
        initCan(
            [](platform::Dialog& claim) {
                typeInto(claim, res::IDC_CLAIM_FUNCTION_INSTANCE, QStringLiteral("1f"));
                typeInto(claim, res::IDC_CLAIM_ECU_INSTANCE, QStringLiteral("7"));
                typeInto(claim, res::IDC_CLAIM_MANUFACTURER, QStringLiteral("3ff"));
                typeInto(claim, res::IDC_CLAIM_IDENTITY, QStringLiteral("1fffff"));
                typeInto(claim, res::IDC_CLAIM_VEHICLE_SYSTEM, QStringLiteral("7f"));
                clickItem(claim, platform::IDOK);
            },
            [&](InitVQTDlg&) {
                QCOMPARE(driver.calls().value(1),
                         QStringLiteral("SendCommand 19 0 [F9 FF FF FF 7F FF 81 FE 00 00] 10 -> 0"));
            });
    }

    void cancelMakesNoDriverCall() {
        TestDriverControl driver;
        const ConnectionStatus status = initCan(
            [](platform::Dialog& claim) {
                typeInto(claim, res::IDC_CLAIM_ADDRESS, QStringLiteral("12"));
                clickItem(claim, platform::IDCANCEL);
            },
            [&](InitVQTDlg& d) {
                QVERIFY(driver.calls().isEmpty());
                QCOMPARE(d.itemText(res::IDC_VQT_STATUS),
                         QStringLiteral("DLL Version: 1.0, API Version: 2.0"));
                QVERIFY(!showsInitialised(d));
            });
        QCOMPARE(status.connected, 1); // from the version read; Cancel changes nothing
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 0);
        QVERIFY(unlocked_.isEmpty());
    }
};

QTEST_MAIN(TestInitCan)
#include "tst_init_can.moc"
