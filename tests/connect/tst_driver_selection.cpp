// The implementation list, the Device action and the driver result texts,
// through the real binding and the test driver library.
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace connect;
using testsupport::MessageRecorder;
using testsupport::TestDriverControl;

namespace {
const QString kNoLibrary = QStringLiteral("This program requires a 1210 library.");
const QString kNotLocated =
    QStringLiteral("The selected file could not be located.  This program requires a 1210 library.");

void unbind() {
    DriverBinding& binding = driverBinding();
    binding.forgetEntryPoints();
    binding.driverLibrary.reset();
    binding.libraryFileName.clear();
    binding.connectedProtocols = 0;
}
} // namespace

class TestDriverSelection : public QObject {
    Q_OBJECT
private slots:
    void init() {
        unbind();
        TestDriverControl().reset();
    }

    void implementationList_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("selected");
        QTest::newRow("ours in the middle")
            << "ABC,ZT121032,XYZ" << QStringList{"ABC", "ZT121032", "XYZ"} << 1;
        QTest::newRow("empty tokens") << ",,ABC,," << QStringList{"ABC"} << 0;
        QTest::newRow("blanks kept") << " A B ,C" << QStringList{" A B ", "C"} << 0;
        QTest::newRow("last match wins")
            << "ZT121032,X,myZT121032b" << QStringList{"ZT121032", "X", "myZT121032b"} << 2;
        QTest::newRow("no match") << "ABC,DEF" << QStringList{"ABC", "DEF"} << 0;
        QTest::newRow("empty") << "" << QStringList{} << -1;
        QTest::newRow("only commas") << ",,," << QStringList{} << -1;
    }
    void implementationList() {
        QFETCH(QString, value);
        QFETCH(QStringList, names);
        QFETCH(int, selected);
        const ImplementationList list = parseImplementationList(value.toStdString());
        QStringList got;
        for (const auto& name : list.names)
            got << QString::fromStdString(name);
        QCOMPARE(got, names);
        QCOMPARE(list.defaultIndex, selected);
    }

    void implementationListFromFile_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("count");
        QTest::newRow("normal") << "[RP1210Support]\nAPIImplementations=A,B\n" << 2;
        QTest::newRow("missing key") << "[RP1210Support]\nOther=A\n" << 0;
        QTest::newRow("missing section") << "[Elsewhere]\nAPIImplementations=A\n" << 0;
        // A value longer than the 256-byte buffer is cut at 255 characters:
        // 60 names of four characters and a comma make 300 characters.
        QString many = "[RP1210Support]\nAPIImplementations=";
        for (int i = 0; i < 60; ++i)
            many += QStringLiteral("N%1,").arg(i, 3, 10, QLatin1Char('0'));
        QTest::newRow("cut at the buffer") << many << 51;
    }
    void implementationListFromFile() {
        QFETCH(QString, content);
        QFETCH(int, count);
        QTemporaryDir dir;
        const std::string path = (dir.path() + "/rp121032.ini").toStdString();
        std::ofstream(path) << content.toStdString();
        QCOMPARE(int(readImplementationList(path).names.size()), count);
        QCOMPARE(int(readImplementationList(path + ".missing").names.size()), 0);
    }

    void emptySelectionNeedsALibrary() {
        MessageRecorder messages;
        ConnectionStatus status;
        const DeviceActionResult result = selectDriver("", status, nullptr);
        QVERIFY(!result.statusChanged);
        QCOMPARE(messages.texts(), QStringList{kNoLibrary});
        QCOMPARE(messages.messages().front().caption, QStringLiteral("Error"));
        QCOMPARE(status.connectionType, 4);
    }

    void deviceReadsTheVersion() {
        MessageRecorder messages;
        TestDriverControl driver;
        driver.setVersion("2", "10", "1", "0");
        ConnectionStatus status;
        const DeviceActionResult result = selectDriver(testsupport::kTestDriverName, status, nullptr);
        QVERIFY(result.statusChanged);
        QCOMPARE(result.statusText, QStringLiteral("DLL Version: 2.10, API Version: 1.0"));
        QCOMPARE(status.connected, 1);
        QCOMPARE(QString::fromStdString(driverBinding().libraryFileName), QStringLiteral("TDRV1210.dll"));
        QVERIFY(messages.texts().isEmpty());
    }

    void versionFailureTexts_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("status");
        QTest::newRow("with text") << 130 << "Client already connected"
                                   << "Error 130: Client already connected";
        QTest::newRow("unknown") << 200 << QString() << "Error 200: Unknown Error";
        // Bit 7 of the low byte decides: 0x0185 fails, 0x0105 would not.
        QTest::newRow("low byte") << 0x0185 << "x"
                                  << "Error 389: x";
    }
    void versionFailureTexts() {
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QString, status);
        TestDriverControl driver;
        driver.setResult("ReadVersion", int16_t(code));
        if (!description.isEmpty())
            driver.setErrorText(int16_t(code), description.toLatin1().constData());
        ConnectionStatus record;
        record.connected = 1;
        const DeviceActionResult result = selectDriver(testsupport::kTestDriverName, record, nullptr);
        QCOMPARE(result.statusText, status);
        QCOMPARE(record.connected, 0);
    }

    void errorTextFormats_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("three digits") << 5 << "Error 005: five";
        QTest::newRow("negative") << -5 << "Error -05: five";
    }
    void errorTextFormats() {
        QFETCH(int, code);
        QFETCH(QString, text);
        TestDriverControl driver;
        QVERIFY(loadDriverForTest(testsupport::kTestDriverName));
        driver.setErrorText(int16_t(code), "five");
        QCOMPARE(driverErrorText(code), text);
    }

    void sameSelectionIsNotReloaded() {
        TestDriverControl driver;
        ConnectionStatus status;
        selectDriver(testsupport::kTestDriverName, status, nullptr);
        const auto* loadedFrom = &*driverBinding().driverLibrary;
        driver.clearCalls();
        // "TDRV" occurs inside "TDRV1210.dll": nothing is reloaded and the
        // version is read again.
        selectDriver("TDRV", status, nullptr);
        QCOMPARE(&*driverBinding().driverLibrary, loadedFrom);
        QCOMPARE(driver.calls(), QStringList{"ReadVersion -> 0"});
    }

    void failedLoadThenSameSelection() {
        MessageRecorder messages;
        ConnectionStatus status;
        QVERIFY(!selectDriver("NOSUCHDRIVER", status, nullptr).statusChanged);
        QCOMPARE(messages.texts(), QStringList{kNotLocated});
        messages.clear();
        // The name is remembered but nothing is loaded: no message, no read.
        QVERIFY(!selectDriver("NOSUCHDRIVER", status, nullptr).statusChanged);
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(QString::fromStdString(driverBinding().libraryFileName), QStringLiteral("NOSUCHDRIVER.dll"));
    }

    void aFileThatIsNoLibrary() {
        MessageRecorder messages;
        QTemporaryDir dir;
        const QString path = dir.path() + "/notalibrary";
        std::ofstream((path + ".dll").toStdString()) << "plain text, not a shared object";
        ConnectionStatus status;
        QVERIFY(!selectDriver(path.toStdString(), status, nullptr).statusChanged);
        QCOMPARE(messages.texts(), QStringList{kNotLocated});
    }

    void replacingTheLibraryClosesItsClients() {
        TestDriverControl driver;
        ConnectionStatus status;
        selectDriver(testsupport::kTestDriverName, status, nullptr);
        DriverBinding& binding = driverBinding();
        binding.j1708ClientId = 3;
        binding.connectedProtocols = J1708_BIT;
        driver.clearCalls();
        selectDriver(testsupport::kPartialTestDriverName, status, nullptr);
        QCOMPARE(driver.calls().value(0), QStringLiteral("ClientDisconnect 3 -> 0"));
        QCOMPARE(int(binding.connectedProtocols.load()), 0);
    }

    void missingEntryPointsAreNeverCalled() {
        // The partial driver lacks SendMessage and GetErrorMsg.
        TestDriverControl driver(testsupport::kPartialTestDriverName);
        driver.reset();
        QVERIFY(loadDriverForTest(testsupport::kPartialTestDriverName));
        DriverBinding& binding = driverBinding();
        QVERIFY(!binding.RP1210_SendMessage.load());
        QVERIFY(!binding.RP1210_GetErrorMsg.load());
        QCOMPARE(binding.sendMessage(0, "x", 1, 0, 0), kEntryPointMissing);
        QCOMPARE(driverErrorText(134), QStringLiteral("Error 134: Unknown Error"));
        QVERIFY(driver.calls().isEmpty());
    }
};

QTEST_MAIN(TestDriverSelection)
#include "tst_driver_selection.moc"
