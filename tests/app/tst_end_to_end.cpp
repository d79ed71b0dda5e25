// A new user's first session with our shipped driver and its simulated
// vehicle: connect all three protocols, watch live traffic in both bases,
// then build J1708, J1850 and J1939 messages, send them with Echo on and
// see them come back in the Receive window.
#include "app/tarvik_app.h"
#include "connect/driver_binding.h"
#include "res/ids/connection_ids.h"
#include "res/ids/j1708_fields.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx_builder_ids.h"
#include "support/ui_helpers.h"

#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;

class TestEndToEnd : public QObject {
    Q_OBJECT
    app::TarvikApp* app_ = nullptr;
    MessageRecorder messages_; // none is expected; a box must not block the run

    QString receivedText() { return app_->mainWindow().receiveWindow().itemText(res::IDC_RX_TEXT); }
    bool received(const QString& pattern) { return receivedText().contains(QRegularExpression(pattern)); }

private slots:
    void initTestCase() {
        app::TarvikDlg::endProcess() = [](int) {};
        app_ = new app::TarvikApp;
        QVERIFY(app_->initInstance());
    }

    void connectAllThreeProtocols() {
        whenModalRuns([](platform::Dialog& d) {
            QCOMPARE(d.comboBox(res::IDC_DLL_LIST)->currentText(), QStringLiteral("ZT121032"));
            QCOMPARE(d.itemText(res::IDC_DEVICE_ID), QStringLiteral("101"));
            clickItem(d, res::IDC_DEVICE);
            QVERIFY(d.itemText(res::IDC_VQT_STATUS).startsWith(QStringLiteral("DLL Version: ")));
            clickItem(d, res::IDC_INIT_UART);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("UART Initialized Successfully"));
            clickItem(d, res::IDC_INIT_1850);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("J1850 Initialized Successfully"));
            // The address claim opens over the connection dialog; its
            // defaults claim address F9.
            whenModalRuns([](platform::Dialog& claim) { clickItem(claim, platform::IDOK); });
            clickItem(d, res::IDC_INIT_CAN);
            QCOMPARE(d.itemText(res::IDC_VQT_STATUS), QStringLiteral("CAN Initialized Successfully"));
            clickItem(d, platform::IDOK);
        });
        clickItem(app_->mainWindow(), res::IDC_CONNECT);
        QCOMPARE(int(connect::driverBinding().connectedProtocols.load()), 7);
        QVERIFY(app_->mainWindow().isItemEnabled(res::IDC_RECEIVE_WINDOW));
    }

    void liveTrafficInBothBases() {
        clickItem(app_->mainWindow(), res::IDC_RECEIVE_WINDOW);
        receive::ReceiveDlg& receive = app_->mainWindow().receiveWindow();
        QVERIFY(receive.isVisible());
        for (int box : {res::IDC_RX_J1708, res::IDC_RX_J1850, res::IDC_RX_J1939})
            QVERIFY(receive.isItemChecked(box));
        clickItem(receive, res::IDC_RX_START);
        QVERIFY(receive.running());
        // The engine: MID 128 on J1708, EEC1 from source 00 on J1939.
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1708  \\d{8}  80     ")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1939  \\d{8}  0CF00400  ")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1850  \\d{8}  [0-9A-F]{6}      ")), 5000);
        clickItem(receive, res::IDC_RX_SWITCH);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1708  \\d{8}  128     ")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1939  \\d{8}  0217056256  ")), 5000);
        clickItem(receive, res::IDC_RX_SWITCH);
        const int before = receive.itemText(res::IDC_RX_MESSAGES).toInt();
        QTRY_VERIFY(receive.itemText(res::IDC_RX_MESSAGES).toInt() > before);
    }

    void ourJ1708MessageComesBackWithEcho() {
        clickItem(app_->mainWindow(), res::IDC_TRANSMIT_WINDOW);
        transmit::TransmitDlg& transmit = app_->mainWindow().transmitWindow();
        QVERIFY(transmit.isVisible());
        QVERIFY(transmit.isItemChecked(res::IDC_TX_J1708));
        whenModalRuns([](platform::Dialog& builder) {
            typeInto(builder, res::IDC_MID_HEX, QStringLiteral("AC"));
            typeInto(builder, res::IDC_PID_HEX, QStringLiteral("5B"));
            // Broadcast Count from 1 down to -1 (without limit), every 20 ms.
            pressArrow(builder, res::IDC_TXB_BROADCAST_SPIN, -1, 2);
            QCOMPARE(builder.itemText(res::IDC_TXB_BROADCAST), QStringLiteral("-1"));
            typeInto(builder, res::IDC_TXB_INTERVAL, QStringLiteral("20"));
            clickItem(builder, platform::IDOK);
        });
        clickItem(transmit, res::IDC_TX_CREATE);
        QVERIFY(transmit.rowSummary[0].startsWith(QStringLiteral("TXJ1708")));
        clickItem(transmit, res::IDC_TX_ECHO);
        clickItem(transmit, res::IDC_TX_START);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1708  \\d{8}  AC     5B     ")), 5000);
        QTRY_VERIFY(transmit.itemText(res::IDC_TX_TOTAL).toInt() > 3);
        clickItem(transmit, res::IDC_TX_START); // Stop
    }

    void j1850AndJ1939MessagesComeBackToo() {
        transmit::TransmitDlg& transmit = app_->mainWindow().transmitWindow();
        auto build = [&](int row, int protocolRadio) {
            clickItem(transmit, res::kTransmitRowIds[row].radio);
            clickItem(transmit, protocolRadio);
            whenModalRuns([](platform::Dialog& builder) {
                // Two data bytes: a J1850 read shorter than 13 bytes is not shown.
                pressArrow(builder, res::IDC_TXB_DATA_COUNT_SPIN, +1, 2);
                pressArrow(builder, res::IDC_TXB_BROADCAST_SPIN, -1, 2);
                typeInto(builder, res::IDC_TXB_INTERVAL, QStringLiteral("20"));
                clickItem(builder, platform::IDOK);
            });
            clickItem(transmit, res::IDC_TX_CREATE);
        };
        build(1, res::IDC_TX_J1850);
        build(2, res::IDC_TX_J1939);
        QVERIFY(transmit.rowSummary[1].startsWith(QStringLiteral("TXJ1850  080000")));
        QVERIFY(transmit.rowSummary[2].startsWith(QStringLiteral("TXJ1939  ")));
        const QString j1939Identifier = transmit.rowSummary[2].mid(9, 8);
        clickItem(transmit, res::IDC_TX_START);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1850  \\d{8}  080000      ")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(received(QStringLiteral("RXJ1939  \\d{8}  %1  ").arg(j1939Identifier)),
                                 5000);
        QTRY_VERIFY(transmit.itemText(res::kTransmitRowIds[1].count).toInt() > 3);
        QTRY_VERIFY(transmit.itemText(res::kTransmitRowIds[2].count).toInt() > 3);
        clickItem(transmit, res::IDC_TX_START); // Stop
    }

    void truckTroubleCodesAndVinShowAsSingleLines() {
        // DM1 comes by BAM once a second; TP.CM/TP.DT frames are never shown.
        QTRY_VERIFY_WITH_TIMEOUT(
            received(
                QStringLiteral("RXJ1939  \\d{8}  18FECA00    04  FF  6E  00  10  03  64  00  01  01\r\n")),
            5000);
        QVERIFY(!received(QStringLiteral("  1CE[BC]FF00  ")));
    }

    void longJ1939RowFromAFileComesBackOnceWhole() {
        // Row 0: 100 bytes (0, 1, ... 99) of PGN 0xFF42 from F9 by BAM; row 1:
        // a request to the engine for its VIN. Each sent once.
        std::vector<uint8_t> file{'Z', 'T', 'R', 'P', 'A', 'T', 'X', 0, 0x20, 0x01, 0, 0};
        const auto row = [&](std::vector<uint8_t> buffer) {
            const auto n = buffer.size();
            const uint8_t head[] = {0x03, uint8_t(n), uint8_t(n >> 8), 1, 0, 0, 0, 0, 0};
            file.insert(file.end(), std::begin(head), std::end(head));
            file.insert(file.end(), buffer.begin(), buffer.end());
        };
        std::vector<uint8_t> longMessage{0x42, 0xFF, 0x00, 0x06, 0xF9, 0x00};
        for (int i = 0; i < 100; ++i)
            longMessage.push_back(uint8_t(i));
        row(longMessage);
        row({0x00, 0xEA, 0x00, 0x06, 0xF9, 0x00, 0xEC, 0xFE, 0x00});
        file.push_back(0xFF); // the third row is empty
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.zttxc"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
        out.close();

        transmit::TransmitDlg& transmit = app_->mainWindow().transmitWindow();
        {
            FileDialogAnswer answer(path);
            clickItem(transmit, res::IDC_TX_LOAD);
        }
        QVERIFY(transmit.isItemChecked(res::IDC_TX_ECHO));
        clickItem(transmit, res::IDC_TX_START);
        // A display line shows the first 22 data bytes.
        QStringList first22;
        for (int i = 0; i < 22; ++i)
            first22 << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
        const QString echoed = QStringLiteral("RXJ1939  \\d{8}  18FF42F9    ") + first22.join("  ") + "\r\n";
        // The VIN answer, by RTS/CTS from the engine to F9: "1ZT..." and on.
        // It is done long before the 100-byte BAM, so it is looked for first,
        // while it is still among the lines the window keeps.
        QTRY_VERIFY_WITH_TIMEOUT(
            received(QStringLiteral("RXJ1939  \\d{8}  18FEEC00    31  5A  54  54  52  56  4B")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(received(echoed), 5000);
        QCOMPARE(receivedText().count(QRegularExpression(echoed)), 1);
        clickItem(transmit, res::IDC_TX_START); // Stop
    }

    void noMessageBoxAppeared() { QCOMPARE(messages_.texts(), QStringList()); }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
