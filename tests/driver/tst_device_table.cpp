// Where the driver finds its ini file, and what one device section alone
// offers.
#include "config/device_table.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<std::string>)

class DeviceTableTest : public QObject {
    Q_OBJECT

private slots:
    void iniLookedForWhereTheLibraryLives_data() {
        QTest::addColumn<QString>("libraryFolder");
        QTest::addColumn<std::vector<std::string>>("paths");
        QTest::newRow("build tree: beside the library only")
            << "/home/me/tarvik/build/bin"
            << std::vector<std::string>{"/home/me/tarvik/build/bin/ZT121032.ini"};
        QTest::newRow("package: /etc, then beside the library")
            << "/usr/lib/tarvik"
            << std::vector<std::string>{"/etc/ZT121032.ini", "/usr/lib/tarvik/ZT121032.ini"};
        QTest::newRow("other prefix: its etc/tarvik first")
            << "/opt/t/lib/tarvik"
            << std::vector<std::string>{"/opt/t/etc/tarvik/ZT121032.ini", "/etc/ZT121032.ini",
                                        "/opt/t/lib/tarvik/ZT121032.ini"};
        QTest::newRow("unknown folder") << "" << std::vector<std::string>{};
    }
    void iniLookedForWhereTheLibraryLives() {
        QFETCH(QString, libraryFolder);
        QFETCH(std::vector<std::string>, paths);
        QCOMPARE(zt::deviceTablePaths(libraryFolder.toStdString()), paths);
    }

    // A device that no [ProtocolInformationN] lists offers what its links carry.
    void oneDeviceSectionIsEnough_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("protocols"); // J1708, J1850, J1939 as 0/1
        QTest::newRow("SocketCAN adapter") << "CAN=socketcan:can0"
                                           << "001";
        QTest::newRow("serial-line CAN adapter") << "CAN=slcan:/dev/ttyACM0"
                                                 << "001";
        QTest::newRow("J1708 line") << "J1708=serial:/dev/ttyUSB0"
                                    << "100";
        QTest::newRow("both") << "CAN=socketcan:can0\nJ1708=serial:/dev/ttyUSB0"
                              << "101";
        QTest::newRow("in-process buses") << "Paced=Yes"
                                          << "111";
        QTest::newRow("listed by a protocol") << "CAN=socketcan:can0\n[ProtocolInformation1]\n"
                                                 "ProtocolString=J1708\nDevices=201"
                                              << "100";
    }
    void oneDeviceSectionIsEnough() {
        QFETCH(QString, keys);
        QFETCH(QString, protocols);
        const zt::DeviceTable table =
            zt::parseDeviceTable("[DeviceInformation1]\nDeviceID=201\n" + keys.toStdString() + "\n");
        const zt::DeviceEntry* device = table.find(201);
        QVERIFY(device != nullptr);
        QString offered;
        for (zt::Protocol p : {zt::Protocol::J1708, zt::Protocol::J1850, zt::Protocol::J1939})
            offered += device->supports(p) ? '1' : '0';
        QCOMPARE(offered, protocols);
    }
};

QTEST_GUILESS_MAIN(DeviceTableTest)
#include "tst_device_table.moc"
