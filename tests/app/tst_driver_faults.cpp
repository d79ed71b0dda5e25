// The program's windows against a driver that misbehaves: every entry point
// failing with every error code, read results that lie about their length,
// texts without terminators, slow and held calls, a missing export, and the
// library released and reloaded under the worker threads. Failures show on
// the connection dialog's status line or are retried silently; nothing is
// lost from "Messages" or the transmit counts.
#include "app/tarvik_app.h"
#include "connect/driver_binding.h"
#include "connect/driver_selection.h"
#include "res/ids/connection_ids.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx_builder_ids.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace testsupport;
using connect::driverBinding;

namespace {

// Client ids the test driver hands out after a reset, in connect order.
constexpr int16_t kJ1708 = 0, kJ1850 = 1, kJ1939 = 2;
constexpr int16_t kClients[3] = {kJ1708, kJ1850, kJ1939};
// One good receive buffer per protocol, and the size of the reader's buffer.
const std::vector<uint8_t> kGood[3] = {{0, 0, 0, 1, 0x80, 0xBE, 0x10, 0x20},
                                       {0, 0, 0, 1, 3, 0, 2, 0, 0x48, 0x0C, 0x10, 1, 2},
                                       {0, 0, 0, 1, 0x04, 0xF0, 0x00, 3, 0x00, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8}};
constexpr int16_t kReaderBuffer[3] = {505, 255, 1785};
constexpr int kFirstCode = ERR_DLL_NOT_INITIALIZED, kLastCode = ERR_ADDRESS_NEVER_CLAIMED;
constexpr int kSendsPerRun = 5;

enum class Fault {
    None,
    ReadResult,      // reads return `value` (the reader's buffer size + value when relative)
    ReadPastBuffer,  // reads report one byte more than the reader's buffer
    ShortWrite,      // reads report a good length but write two bytes
    ReadEveryCode,   // reads fail with every error code
    SendEveryCode,   // sends fail with every error code, then succeed
    CommandFails,    // every command after connecting fails with `value`
    DisconnectFails, // ClientDisconnect fails with `value`
    Slow,            // every call of `entry` takes 200 ms
};

bool mapsContain(const QString& name) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name.toLatin1());
}

} // namespace

class TestDriverFaults : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    app::TarvikApp* app_ = nullptr;
    MessageRecorder boxes_;
    bool rowCreated_ = false;

    app::TarvikDlg& main() { return app_->mainWindow(); }
    receive::ReceiveDlg& receiveWindow() { return main().receiveWindow(); }
    transmit::TransmitDlg& transmitWindow() { return main().transmitWindow(); }
    int messages() { return receiveWindow().itemText(res::IDC_RX_MESSAGES).toInt(); }

    // Opens the connection dialog, presses Device on the named driver and
    // then the given Init buttons (Init CAN's claim dialog accepted), and
    // returns the status line after each press. Done closes the dialog.
    QStringList connectWith(const QString& driver, QList<int> initButtons) {
        QStringList statuses;
        whenModalRuns([&](platform::Dialog& d) {
            d.comboBox(res::IDC_DLL_LIST)->setCurrentText(driver);
            clickItem(d, res::IDC_DEVICE);
            statuses << d.itemText(res::IDC_VQT_STATUS);
            for (int id : initButtons) {
                if (id == res::IDC_INIT_CAN)
                    whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
                clickItem(d, id);
                statuses << d.itemText(res::IDC_VQT_STATUS);
            }
            clickItem(d, platform::IDOK);
        });
        clickItem(main(), res::IDC_CONNECT);
        return statuses;
    }
    // Readers that poll never sit blocked in a driver that cannot wake them.
    void setBlockingPoll(bool blocking) {
        if (receiveWindow().isItemChecked(res::IDC_RX_BLOCKING_POLL) != blocking)
            clickItem(receiveWindow(), res::IDC_RX_BLOCKING_POLL);
    }
    QStringList connectAll(const QString& driver = QStringLiteral("TDRV1210")) {
        return connectWith(driver, {res::IDC_INIT_UART, res::IDC_INIT_1850, res::IDC_INIT_CAN});
    }
    // Connect turns into Disconnect once a connection was made.
    void disconnect() {
        if (main().isItemEnabled(res::IDC_RECEIVE_WINDOW))
            clickItem(main(), res::IDC_CONNECT);
    }

    // Row 1 of the transmit window: a J1708 message sent kSendsPerRun times.
    void createTransmitRow() {
        if (rowCreated_)
            return;
        whenModalRuns([](platform::Dialog& builder) {
            pressArrow(builder, res::IDC_TXB_BROADCAST_SPIN, +1, kSendsPerRun - 1);
            typeInto(builder, res::IDC_TXB_INTERVAL, QStringLiteral("0"));
            clickItem(builder, platform::IDOK);
        });
        clickItem(transmitWindow(), res::IDC_TX_CREATE);
        rowCreated_ = true;
    }
    int successfulSends(const TestDriverControl& driver) {
        return int(
            driver.calls().filter(QStringLiteral("SendMessage ")).filter(QStringLiteral("-> 0")).size());
    }

private slots:
    void initTestCase() {
        QStringList drivers{QStringLiteral("TDRV1210"), QStringLiteral("TDRVPART")};
        for (const char* entry : {"ClientConnect", "ClientDisconnect", "SendMessage", "ReadMessage",
                                  "SendCommand", "ReadVersion", "GetHardwareStatus", "GetErrorMsg"})
            drivers << QString::fromLatin1(kLackingTestDriverPrefix) + QString::fromLatin1(entry);
        std::ofstream((dir_.path() + "/rp121032.ini").toStdString())
            << "[RP1210Support]\nAPIImplementations=" << drivers.join(QLatin1Char(',')).toStdString() << "\n";
        connect::overrideImplementationIniPath((dir_.path() + "/rp121032.ini").toStdString());
        app::TarvikDlg::endProcess() = [](int) {};
        app_ = new app::TarvikApp;
        QVERIFY(app_->initInstance());
    }
    void init() {
        disconnect();
        TestDriverControl().reset();
        boxes_.clear();
    }
    void cleanup() {
        TestDriverControl().releaseHeldCalls();
        disconnect();
        // Every reader has left the driver before the next case resets it.
        QTRY_COMPARE(TestDriverControl().callsInside(), 0);
    }

    void statusLineShowsEveryFailure_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("unterminated");
        for (const char* entry : {"ReadVersion", "ClientConnect", "SendCommand"})
            for (int code = kFirstCode; code <= kLastCode; ++code)
                QTest::addRow("%s %d", entry, code) << QString::fromLatin1(entry) << code << false;
        QTest::addRow("unterminated error text") << QStringLiteral("ClientConnect") << 141 << true;
    }
    void statusLineShowsEveryFailure() {
        QFETCH(QString, entry);
        QFETCH(int, code);
        QFETCH(bool, unterminated);
        TestDriverControl driver;
        const std::string description = "text of " + std::to_string(code);
        driver.setErrorText(int16_t(code), description.c_str());
        driver.setUnterminatedTexts(unterminated);
        driver.setResult(entry.toLatin1().constData(), int16_t(code));
        const bool version = entry == QLatin1String("ReadVersion");
        const QStringList statuses =
            connectWith(QStringLiteral("TDRV1210"), version ? QList<int>{} : QList<int>{res::IDC_INIT_UART});
        QString expected = QStringLiteral("Error %1: ").arg(code);
        // Without a terminator the whole 81-byte buffer is the text.
        expected += unterminated
                        ? QString::fromStdString(description).repeated(10).left(RP1210_ERROR_TEXT_SIZE)
                        : QString::fromStdString(description);
        QCOMPARE(statuses.value(version ? 0 : 1), expected);
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 0);
        QVERIFY(boxes_.messages().empty());
    }

    void versionTextsOfEveryLength_data() {
        QTest::addColumn<bool>("unterminated");
        QTest::addColumn<QString>("status");
        QTest::newRow("seven characters, terminated")
            << false << QStringLiteral("DLL Version: 1234567.7654321, API Version: 1111111.2222222");
        QTest::newRow("eight characters, no terminator")
            << true << QStringLiteral("DLL Version: 12345671.76543217, API Version: 11111111.22222222");
    }
    void versionTextsOfEveryLength() {
        QFETCH(bool, unterminated);
        QFETCH(QString, status);
        TestDriverControl driver;
        driver.setVersion("1234567", "7654321", "1111111", "2222222");
        driver.setUnterminatedTexts(unterminated);
        QCOMPARE(connectWith(QStringLiteral("TDRV1210"), {}).value(0), status);
    }

    // A whole session (connect, receive with filters, transmit with echo,
    // disconnect) with one fault; run as rows, it is the loop.
    void sessionSurvivesFault_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("value");
        auto row = [](const char* name, Fault fault, const char* entry, int value) {
            QTest::newRow(name) << int(fault) << QString::fromLatin1(entry) << value;
        };
        row("no fault", Fault::None, "", 0);
        row("ReadMessage -1", Fault::ReadResult, "ReadMessage", -1);
        row("ReadMessage 0", Fault::ReadResult, "ReadMessage", 0);
        row("ReadMessage one past the buffer", Fault::ReadPastBuffer, "ReadMessage", 0);
        row("ReadMessage 32767", Fault::ReadResult, "ReadMessage", 32767);
        row("ReadMessage -32768", Fault::ReadResult, "ReadMessage", -32768);
        row("ReadMessage writes less than it reports", Fault::ShortWrite, "ReadMessage", 0);
        row("ReadMessage every error code", Fault::ReadEveryCode, "ReadMessage", 0);
        row("SendMessage every error code", Fault::SendEveryCode, "SendMessage", 0);
        row("SendCommand 143", Fault::CommandFails, "SendCommand", ERR_COMMAND_NOT_SUPPORTED);
        row("SendCommand -1", Fault::CommandFails, "SendCommand", -1);
        row("ClientDisconnect 129", Fault::DisconnectFails, "ClientDisconnect", ERR_INVALID_CLIENT_ID);
        row("ReadMessage 200 ms", Fault::Slow, "ReadMessage", 200);
        row("SendMessage 200 ms", Fault::Slow, "SendMessage", 200);
        row("SendCommand 200 ms", Fault::Slow, "SendCommand", 200);
    }
    void sessionSurvivesFault() {
        QFETCH(int, fault);
        QFETCH(QString, entry);
        QFETCH(int, value);
        const auto kind = Fault(fault);
        TestDriverControl driver;
        const QByteArray entryName = entry.toLatin1();
        if (kind == Fault::Slow)
            driver.setDelay(entryName.constData(), value);
        if (kind == Fault::DisconnectFails)
            driver.setResult("ClientDisconnect", int16_t(value));

        const QStringList statuses = connectAll();
        QCOMPARE(statuses.last(), QStringLiteral("CAN Initialized Successfully"));
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 7);
        if (kind == Fault::CommandFails)
            driver.setResult("SendCommand", int16_t(value));

        // Receive: good messages with the fault's reads between them.
        clickItem(main(), res::IDC_RECEIVE_WINDOW);
        receive::ReceiveDlg& receive = receiveWindow();
        clickItem(receive, res::IDC_RX_CLEAR);
        setBlockingPoll(true);
        int shown = 0;
        for (int p = 0; p < 3; ++p) {
            const int16_t client = kClients[p];
            for (int i = 0; i < 3; ++i) {
                driver.queueRead(client, kGood[p]);
                ++shown;
                switch (kind) {
                case Fault::ReadResult:
                    driver.queueReadResult(client, {}, int16_t(value));
                    break;
                case Fault::ReadPastBuffer:
                    driver.queueReadResult(client, kGood[p], int16_t(kReaderBuffer[p] + 1));
                    break;
                case Fault::ShortWrite:
                    driver.queueReadResult(client, {0, 0}, int16_t(kGood[p].size()));
                    ++shown; // the driver's word for its length is taken
                    break;
                case Fault::ReadEveryCode:
                    for (int code = kFirstCode; code <= kLastCode; ++code)
                        driver.queueReadResult(client, {}, int16_t(-code));
                    break;
                default:
                    break;
                }
            }
        }
        clickItem(receive, res::IDC_RX_START);
        QVERIFY(receive.running());
        // Filters: J1939 off and on again, while messages arrive.
        clickItem(receive, res::IDC_RX_J1939);
        clickItem(receive, res::IDC_RX_J1939);
        QTRY_COMPARE(driver.pendingReads(kJ1708) + driver.pendingReads(kJ1850) + driver.pendingReads(kJ1939),
                     0);
        QTRY_COMPARE(messages(), shown);

        // Transmit with echo: exactly kSendsPerRun good sends are counted.
        if (kind == Fault::SendEveryCode)
            for (int code = kFirstCode; code <= kLastCode; ++code)
                driver.queueResult("SendMessage", int16_t(code));
        clickItem(main(), res::IDC_TRANSMIT_WINDOW);
        transmit::TransmitDlg& transmit = transmitWindow();
        createTransmitRow();
        clickItem(transmit, res::IDC_TX_ECHO);
        clickItem(transmit, res::IDC_TX_CLEAR_COUNT);
        QCOMPARE(transmit.itemText(res::IDC_TX_TOTAL).toInt(), 0);
        clickItem(transmit, res::IDC_TX_START);
        QTRY_COMPARE(successfulSends(driver), kSendsPerRun);
        QTRY_COMPARE(transmit.itemText(res::IDC_TX_TOTAL).toInt(), kSendsPerRun);
        QCOMPARE(transmit.itemText(res::kTransmitRowIds[0].count).toInt(), kSendsPerRun);
        if (kind == Fault::SendEveryCode)
            QCOMPARE(driver.calls().filter(QStringLiteral("SendMessage ")).size(),
                     kSendsPerRun + kLastCode - kFirstCode + 1);
        clickItem(transmit, res::IDC_TX_START); // Stop
        clickItem(transmit, res::IDC_TX_ECHO);
        QCOMPARE(successfulSends(driver), kSendsPerRun);
        QCOMPARE(transmit.itemText(res::IDC_TX_TOTAL).toInt(), kSendsPerRun);

        clickItem(receive, res::IDC_RX_START); // Stop
        QCOMPARE(messages(), shown);
        disconnect();
        QCOMPARE(int(driverBinding().connectedProtocols.load()), 0);
        QVERIFY(!main().isItemEnabled(res::IDC_RECEIVE_WINDOW));
        QCOMPARE(boxes_.texts(), QStringList());
    }

    // Workers held inside the driver do not hold up the windows.
    void windowsWorkWhileWorkersAreInsideTheDriver() {
        TestDriverControl driver;
        connectAll();
        clickItem(main(), res::IDC_RECEIVE_WINDOW);
        receive::ReceiveDlg& receive = receiveWindow();
        setBlockingPoll(true);
        clickItem(main(), res::IDC_TRANSMIT_WINDOW);
        transmit::TransmitDlg& transmit = transmitWindow();
        createTransmitRow();
        driver.setDelay("ReadMessage", -1);
        driver.setDelay("SendMessage", -1);
        clickItem(receive, res::IDC_RX_START);
        clickItem(transmit, res::IDC_TX_START);
        QTRY_COMPARE(driver.callsInside(), 4); // three readers and the sender

        // The windows answer: stop, clear, filters, echo, start again.
        clickItem(receive, res::IDC_RX_START);
        QVERIFY(!receive.running());
        clickItem(receive, res::IDC_RX_CLEAR);
        QCOMPARE(messages(), 0);
        clickItem(receive, res::IDC_RX_J1708);
        clickItem(receive, res::IDC_RX_J1708);
        clickItem(transmit, res::IDC_TX_ECHO);
        clickItem(transmit, res::IDC_TX_ECHO);
        clickItem(transmit, res::IDC_TX_START);
        clickItem(transmit, res::IDC_TX_START);
        clickItem(receive, res::IDC_RX_START);
        QVERIFY(receive.running());
        QCOMPARE(driver.callsInside(), 4);

        driver.setDelay("ReadMessage", 0);
        driver.setDelay("SendMessage", 0);
        driver.queueRead(kJ1708, kGood[0]);
        driver.releaseHeldCalls();
        QTRY_COMPARE(messages(), 1);
        QTRY_COMPARE(successfulSends(driver), kSendsPerRun + 1); // the held send counts in the run before
        QTRY_COMPARE(transmit.itemText(res::IDC_TX_TOTAL).toInt(), kSendsPerRun);
        clickItem(transmit, res::IDC_TX_START);
        clickItem(receive, res::IDC_RX_START);
    }

    // A driver lacking one export: what needs it fails on the status line or
    // is retried silently; nothing calls the missing entry point.
    void sessionWithoutOneExport_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("statuses");
        const QString version = QStringLiteral("DLL Version: 1.0, API Version: 2.0");
        const QString missing = QStringLiteral("Error 128: Unknown Error");
        const QStringList good{version, QStringLiteral("UART Initialized Successfully"),
                               QStringLiteral("J1850 Initialized Successfully"),
                               QStringLiteral("CAN Initialized Successfully")};
        auto row = [&](const char* entry, QStringList statuses) {
            QTest::newRow(entry) << QString::fromLatin1(entry) << statuses;
        };
        row("ClientConnect", {version, missing, missing, missing});
        row("ClientDisconnect", good);
        row("SendMessage", good);
        row("ReadMessage", good);
        row("SendCommand", {version, missing, missing, missing});
        row("ReadVersion", QStringList{missing} + good.mid(1));
        row("GetHardwareStatus", good);
        row("GetErrorMsg", good);
    }
    void sessionWithoutOneExport() {
        QFETCH(QString, entry);
        QFETCH(QStringList, statuses);
        const QString driverName = QString::fromLatin1(kLackingTestDriverPrefix) + entry;
        QCOMPARE(connectAll(driverName), statuses);
        // Unloaded by the next row's driver: its state goes with it.
        TestDriverControl(driverName.toLatin1().constData()).release();
        if (main().isItemEnabled(res::IDC_RECEIVE_WINDOW) && driverBinding().connectedProtocols.load() == 7) {
            clickItem(main(), res::IDC_RECEIVE_WINDOW);
            setBlockingPoll(false);
            clickItem(receiveWindow(), res::IDC_RX_START);
            clickItem(main(), res::IDC_TRANSMIT_WINDOW);
            createTransmitRow();
            clickItem(transmitWindow(), res::IDC_TX_ECHO);
            clickItem(transmitWindow(), res::IDC_TX_START);
            if (entry != QLatin1String("SendMessage"))
                QTRY_COMPARE(transmitWindow().itemText(res::IDC_TX_TOTAL).toInt(), kSendsPerRun);
            clickItem(transmitWindow(), res::IDC_TX_START);
            clickItem(transmitWindow(), res::IDC_TX_ECHO);
            clickItem(receiveWindow(), res::IDC_RX_START);
        }
        disconnect();
        QCOMPARE(boxes_.texts(), QStringList());
    }

    // Switching drivers unloads the old library while the transmit thread
    // runs and the readers have only just been woken out of it.
    void driverReleasedAndReloadedUnderTheWorkers() {
        const QString drivers[2] = {QStringLiteral("TDRVNO_GetHardwareStatus"), QStringLiteral("TDRVPART")};
        for (int round = 0; round < 6; ++round) {
            const QString& name = drivers[round % 2];
            const QString& other = drivers[1 - round % 2];
            QCOMPARE(connectAll(name).last(), QStringLiteral("CAN Initialized Successfully"));
            QVERIFY(!mapsContain(QStringLiteral("lib%1.so").arg(other)));
            clickItem(main(), res::IDC_RECEIVE_WINDOW);
            clickItem(main(), res::IDC_TRANSMIT_WINDOW);
            setBlockingPoll(false);
            {
                TestDriverControl driver(name.toLatin1().constData());
                for (int p = 0; p < 3; ++p)
                    driver.setReadFlood(kClients[p], kGood[p]);
                driver.release(); // the binding's hold is the only one left
            }
            clickItem(receiveWindow(), res::IDC_RX_CLEAR);
            clickItem(receiveWindow(), res::IDC_RX_START);
            clickItem(transmitWindow(), res::IDC_TX_START);
            QTRY_VERIFY(messages() > 100);
            clickItem(receiveWindow(), res::IDC_RX_START);
            disconnect(); // the transmit run goes on without clients
        }
        clickItem(transmitWindow(), res::IDC_TX_START);
        QCOMPARE(boxes_.texts(), QStringList());
    }
};

QTEST_MAIN(TestDriverFaults)
#include "tst_driver_faults.moc"
