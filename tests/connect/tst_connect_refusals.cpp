// The connection dialog with our own driver on devices that cannot open: the
// status line reports the last failing call of the initialisation (a command
// on the client id that never opened) and the driver's text for it says why
// the connect failed.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "connect/exports.h"
#include "connect/init_vqt_dlg.h"
#include "res/ids/connection_ids.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <pty.h>
#include <unistd.h>

using namespace connect;
using namespace testsupport;

class TestConnectRefusals : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    InitVQTDlg* dialog_ = nullptr;
    int ptyMaster_ = -1, ptySlave_ = -1;
    QString silentTty_; // a serial port nobody answers on

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // Our driver's ini: device 7 with the row's keys, offering J1708 and J1939.
    void writeDriverIni(const QString& keys) {
        std::ofstream(path("ZT121032.ini").toStdString())
            << "[DeviceInformation1]\nDeviceID=7\nDeviceDescription=Under test\n"
            << keys.toStdString() << "\n[ProtocolInformation1]\nProtocolString=J1708\nDevices=7\n"
            << "[ProtocolInformation3]\nProtocolString=J1939\nDevices=7\n";
    }

private slots:
    void initTestCase() {
        // The driver is loaded from this folder by its full path, so it reads
        // the ini written here.
        std::filesystem::copy_file(TARVIK_DRIVER_PATH, path("ZT121032.dll").toStdString());
        std::ofstream(path("rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=" << path("ZT121032").toStdString() << "\n";
        overrideImplementationIniPath(path("rp121032.ini").toStdString());
        std::ofstream(path("binary.log").toStdString(), std::ios::binary)
            << std::string("\x7f"
                           "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3e\0",
                           20)
            << std::string(70000, '\0');
        char name[128];
        QCOMPARE(::openpty(&ptyMaster_, &ptySlave_, name, nullptr, nullptr), 0);
        silentTty_ = QString::fromLatin1(name);
        dialog_ = new InitVQTDlg;
    }
    void cleanupTestCase() {
        delete dialog_;
        ::close(ptyMaster_);
        ::close(ptySlave_);
    }

    void statusLineSaysWhy_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("initButton");
        QTest::addColumn<QString>("cause"); // %D: the test's folder, %T: the silent tty
        const int can = res::IDC_INIT_CAN, uart = res::IDC_INIT_UART;
        QTest::newRow("serial-line CAN, no such tty")
            << "CAN=slcan:/dev/tarvik-none" << 7 << can << "/dev/tarvik-none does not exist";
        QTest::newRow("J1708 line, no such tty")
            << "J1708=serial:/dev/tarvik-none" << 7 << uart << "/dev/tarvik-none does not exist";
        QTest::newRow("SocketCAN interface missing")
            << "CAN=socketcan:tarvikcan9" << 7 << can << "tarvikcan9 does not exist";
        QTest::newRow("serial-line CAN adapter silent")
            << "CAN=slcan:%T" << 7 << can << "no answer from the adapter on %T";
        QTest::newRow("not a serial port")
            << "J1708=serial:/dev/null" << 7 << uart << "/dev/null is not a serial port";
        QTest::newRow("bit rate no adapter offers")
            << "CAN=slcan:%T\nCANBitrate=83333" << 7 << can
            << "bit rate 83333 is not offered by serial-line CAN adapters (10000 to 1000000)";
        QTest::newRow("unknown CAN link") << "CAN=bogus" << 7 << can << "unknown CAN link \"bogus\"";
        QTest::newRow("replay log missing")
            << "CAN=replay:missing.log" << 7 << can
            << "cannot play the CAN log (No such file or directory): %D/missing.log";
        QTest::newRow("binary replay file")
            << "CAN=replay:binary.log" << 7 << can << "%D/binary.log: no candump lines in its first 64 KiB";
        QTest::newRow("recording folder missing")
            << "Record=no/such" << 7 << can
            << "cannot record the CAN bus (No such file or directory): %D/no/such";
        QTest::newRow("device not in the ini") << "" << 9 << uart << "device 9 is not in %D/ZT121032.ini";
        QTest::newRow("protocol the device lacks")
            << "" << 7 << int(res::IDC_INIT_1850) << "device 7 does not offer J1850";
    }
    void statusLineSaysWhy() {
        QFETCH(QString, keys);
        QFETCH(int, device);
        QFETCH(int, initButton);
        QFETCH(QString, cause);
        writeDriverIni(QString(keys).replace("%T", silentTty_));
        cause.replace("%D", dir_.path()).replace("%T", silentTty_);
        dialog_->deviceId = device;
        QString status;
        ConnectionStatus record;
        whenModalRuns([&](platform::Dialog& d) {
            clickItem(d, res::IDC_DEVICE);
            if (initButton == res::IDC_INIT_CAN)
                whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
            clickItem(d, initButton);
            status = d.itemText(res::IDC_VQT_STATUS);
            clickItem(d, platform::IDOK);
        });
        DisplayInitVQT(0, &record);
        QCOMPARE(record.connected, 0);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 0);
        // The driver's text fills at most 79 characters; a long cause keeps
        // its beginning and its end.
        const QString prefix = QStringLiteral("Error 129: Invalid client id (the connect failed: ");
        QVERIFY2(status.startsWith(prefix) && status.endsWith(')'), qPrintable(status));
        const QString shown = status.mid(prefix.size()).chopped(1);
        QVERIFY2(status.size() <= 11 + 79, qPrintable(status));
        if (shown.contains(QLatin1String("...")))
            QVERIFY2(cause.startsWith(shown.section(QLatin1String("..."), 0, 0)) &&
                         cause.endsWith(shown.section(QLatin1String("..."), 1)),
                     qPrintable(status));
        else
            QCOMPARE(shown, cause);
    }
};

QTEST_MAIN(TestConnectRefusals)
#include "tst_connect_refusals.moc"
