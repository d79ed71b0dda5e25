// The connection dialog driven as a user would, with the test driver.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "connect/exports.h"
#include "connect/init_vqt_dlg.h"
#include "res/icons.h"
#include "res/ids/connection_ids.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace connect;
using namespace testsupport;

class TestInitVqt : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    InitVQTDlg* dialog_ = nullptr;
    QList<Protocol> unlocked_;

    // Opens the dialog, runs steps inside it, then presses Done (or
    // whatever the steps end it with) and returns the status record.
    ConnectionStatus run(std::function<void(InitVQTDlg&)> steps) {
        ConnectionStatus status;
        whenModalRuns([steps](platform::Dialog& shown) {
            auto& dialog = static_cast<InitVQTDlg&>(shown);
            steps(dialog);
            if (dialog.isVisible())
                clickItem(dialog, platform::IDOK);
        });
        DisplayInitVQT(4, &status);
        return status;
    }

    void writeIni(const QString& value) {
        std::ofstream((dir_.path() + "/rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=" << value.toStdString() << "\n";
    }

private slots:
    void initTestCase() {
        dialog_ = new InitVQTDlg;
        dialog_->setProtocolInitialisedHandler([this](Protocol p) { unlocked_ << p; });
        overrideImplementationIniPath((dir_.path() + "/rp121032.ini").toStdString());
    }
    void init() {
        writeIni(QStringLiteral("OTHER,TDRV1210"));
        DriverBinding& binding = driverBinding();
        binding.forgetEntryPoints();
        binding.driverLibrary.reset();
        binding.libraryFileName.clear();
        binding.connectedProtocols = 0;
        TestDriverControl().reset();
        dialog_->deviceId = 101;
        dialog_->clearStatusText();
        unlocked_.clear();
    }

    void deviceThenDoneConnects() {
        TestDriverControl driver;
        const ConnectionStatus status = run([](InitVQTDlg& d) {
            QCOMPARE(d.comboBox(res::IDC_DLL_LIST)->count(), 2);
            QCOMPARE(d.comboBox(res::IDC_DLL_LIST)->currentText(), QStringLiteral("OTHER"));
            QVERIFY(!d.isItemEnabled(res::IDC_INIT_UART));
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("DLL Version: 1.0, API Version: 2.0"));
            for (int id : {res::IDC_INIT_UART, res::IDC_INIT_1850, res::IDC_INIT_CAN})
                QVERIFY(d.isItemEnabled(id));
        });
        QCOMPARE(status.connected, 1);
        QCOMPARE(status.connectionType, 4);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 0);
    }

    void initialisation_data() {
        QTest::addColumn<int>("initButton");
        QTest::addColumn<QList<int>>("results"); // connect, command 18, command 3
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("statusText");
        QTest::addColumn<int>("connected");
        QTest::addColumn<int>("bits");
        QTest::newRow("UART, client 0")
            << int(res::IDC_INIT_UART) << QList<int>{0, 0, 0}
            << QStringList{"ClientConnect 101 J1708 0 0 0 -> 0", "SendCommand 18 0 [00] 1 -> 0",
                           "SendCommand 3 0 [] 0 -> 0"}
            << "UART Initialized Successfully" << 1 << 1;
        QTest::newRow("1850, client 4")
            << int(res::IDC_INIT_1850) << QList<int>{4, 0, 0}
            << QStringList{"ClientConnect 101 J1850 0 0 0 -> 4", "SendCommand 18 4 [00] 1 -> 0",
                           "SendCommand 3 4 [] 0 -> 0"}
            << "J1850 Initialized Successfully" << 1 << 2;
        // A rejected connect still sends both commands; the last non-zero
        // result is the one reported.
        QTest::newRow("device rejected")
            << int(res::IDC_INIT_UART) << QList<int>{134, 129, 0}
            << QStringList{"ClientConnect 101 J1708 0 0 0 -> 134", "SendCommand 18 134 [00] 1 -> 129",
                           "SendCommand 3 134 [] 0 -> 0"}
            << "Error 129: Unknown Error" << 0 << 0;
        QTest::newRow("last command fails")
            << int(res::IDC_INIT_1850) << QList<int>{0, 0, 143}
            << QStringList{"ClientConnect 101 J1850 0 0 0 -> 0", "SendCommand 18 0 [00] 1 -> 0",
                           "SendCommand 3 0 [] 0 -> 143"}
            << "Error 143: not supported" << 0 << 0;
    }
    void initialisation() {
        QFETCH(int, initButton);
        QFETCH(QList<int>, results);
        QFETCH(QStringList, calls);
        QFETCH(QString, statusText);
        QFETCH(int, connected);
        QFETCH(int, bits);
        TestDriverControl driver;
        driver.setErrorText(143, "not supported");
        const ConnectionStatus status = run([&](InitVQTDlg& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            driver.clearCalls();
            driver.queueResult("ClientConnect", int16_t(results[0]));
            driver.queueResult("SendCommand", int16_t(results[1]));
            driver.queueResult("SendCommand", int16_t(results[2]));
            clickItem(d, initButton);
            QCOMPARE(driver.calls().mid(0, 3), calls);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), statusText);
        });
        QCOMPARE(status.connected, connected);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), bits);
        QCOMPARE(unlocked_.size(), bits ? 1 : 0);
    }

    void failureAfterSuccessKeepsTheFirstClient() {
        TestDriverControl driver;
        const ConnectionStatus status = run([&](InitVQTDlg& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            clickItem(d, res::IDC_INIT_UART);
            driver.queueResult("ClientConnect", ERR_INVALID_PROTOCOL);
            clickItem(d, res::IDC_INIT_1850);
        });
        QCOMPARE(status.connected, 0);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), int(J1708_BIT));
    }

    void deviceIdIsClamped() {
        run([](InitVQTDlg& d) {
            typeInto(d, res::IDC_DEVICE_ID, QStringLiteral("70000"));
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            QCOMPARE(d.itemText(res::IDC_DEVICE_ID), QStringLiteral("65535"));
        });
        QCOMPARE(dialog_->deviceId, 65535);
    }

    void invalidDeviceIdIsReportedAndTheActionGoesOn() {
        MessageRecorder messages;
        run([](InitVQTDlg& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            typeInto(d, res::IDC_DEVICE_ID, QString());
            clickItem(d, res::IDC_DEVICE);
            // The selection was not read (the read stopped at the Device
            // ID), so the name taken before, empty, is used.
            typeInto(d, res::IDC_DEVICE_ID, QStringLiteral("7"));
        });
        QCOMPARE(messages.texts().value(0), QStringLiteral("Please enter an integer."));
    }

    void escapeKeepsTheOldValues() {
        whenModalRuns([](platform::Dialog& d) {
            typeInto(d, res::IDC_DEVICE_ID, QStringLiteral("55"));
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        ConnectionStatus status;
        DisplayInitVQT(4, &status);
        QCOMPARE(dialog_->deviceId, 101);
    }

    void reopeningShowsRememberedValuesAndLockedButtons() {
        run([](InitVQTDlg& d) {
            typeInto(d, res::IDC_DEVICE_ID, QStringLiteral("102"));
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            clickItem(d, res::IDC_INIT_UART);
        });
        run([](InitVQTDlg& d) {
            QCOMPARE(d.itemText(res::IDC_DEVICE_ID), QStringLiteral("102"));
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("UART Initialized Successfully"));
            QVERIFY(!d.isItemEnabled(res::IDC_INIT_UART));
            QCOMPARE(d.comboBox(res::IDC_BAUD)->currentText(), QStringLiteral("115200"));
            // The list is read afresh and the default selected again.
            QCOMPARE(d.comboBox(res::IDC_DLL_LIST)->currentText(), QStringLiteral("OTHER"));
        });
    }

    void initAfterAFailedLoadCallsNothing() {
        MessageRecorder messages;
        TestDriverControl driver;
        writeIni(QStringLiteral("TDRV1210,NOSUCH"));
        const ConnectionStatus status = run([&](InitVQTDlg& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(0);
            clickItem(d, res::IDC_DEVICE);
            d.comboBox(res::IDC_DLL_LIST)->setCurrentIndex(1);
            clickItem(d, res::IDC_DEVICE);
            driver.clearCalls();
            clickItem(d, res::IDC_INIT_UART);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("Error 128: Unknown Error"));
        });
        QVERIFY(driver.calls().isEmpty());
        QCOMPARE(status.connected, 0);
        QCOMPARE(messages.texts().size(), 1);
    }

    void exportedFunctions() {
        QCOMPARE(int(GetCANBitSize()), 29);
        whenModalRuns([](platform::Dialog& d) { clickItem(d, platform::IDOK); });
        DisplayInitVQT(4, nullptr); // a null record is tolerated
    }
};

QTEST_MAIN(TestInitVqt)
#include "tst_init_vqt.moc"
