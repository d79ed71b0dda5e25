// The Diagnostics window's reader thread against a driver that never runs
// dry, and closed at awkward moments: while it claims, and while it reads a
// flood. Run under ThreadSanitizer in CI.
#include "connect/driver_selection.h"
#include "diagnostics/diagnostics_window.h"
#include "support/test_driver_control.h"

#include <QTest>

using namespace testsupport;
using namespace diagnostics;

class TestDiagnosticsStress : public QObject {
    Q_OBJECT
    TestDriverControl driver_;

private slots:
    void initTestCase() { QVERIFY(connect::loadDriverForTest(kTestDriverName)); }
    void init() { driver_.reset(); }

    void floodWhileTheWindowTakesBatches() {
        for (int round = 0; round < 3; ++round) {
            // DM1 from 0x00, one code, over and over, to the window's client.
            driver_.reset();
            driver_.setReadFlood(
                0, {0, 0, 0, 1, 0xCA, 0xFE, 0x00, 6, 0x00, 0xFF, 0x04, 0xFF, 0x6E, 0x00, 0x10, 0x03});
            DiagnosticsWindow window;
            window.setConnection(ConnectionInfo{101, QStringLiteral("TDRV1210"), std::nullopt, std::nullopt});
            window.show();
            QTRY_VERIFY(window.client().messagesReceived() > 10000);
            QTRY_VERIFY(window.network().node(0x00) && window.network().node(0x00)->active);
            QCOMPARE(window.network().node(0x00)->active->codes.size(), std::size_t(1));
            window.close();
        }
        driver_.setReadFlood(0, {});
    }

    void closedWhileClaiming() {
        driver_.setDelay("SendCommand", 100);
        for (int round = 0; round < 3; ++round) {
            DiagnosticsWindow window;
            window.setConnection(ConnectionInfo{101, QStringLiteral("TDRV1210"), std::nullopt, std::nullopt});
            window.show();
            QTRY_VERIFY(driver_.callsInside() > 0);
            window.close();
            QCOMPARE(window.client().status().state, DiagnosticsClient::State::Closed);
        }
        QTRY_COMPARE(driver_.callsInside(), 0);
        const QStringList calls = driver_.calls();
        QCOMPARE(calls.filter(QStringLiteral("ClientConnect")).size(),
                 calls.filter(QStringLiteral("ClientDisconnect")).size());
    }
};

QTEST_MAIN(TestDiagnosticsStress)
#include "tst_diagnostics_stress.moc"
