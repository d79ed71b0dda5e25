// The Diagnostics window on our driver's device 101: the simulated truck's
// five ECUs found, named, identified, their codes read and cleared, through
// the driver's address claims and transport protocol.
#include "connect/driver_selection.h"
#include "diagnostics/diagnostics_window.h"
#include "support/ui_helpers.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace testsupport;
using namespace diagnostics;

namespace {
constexpr uint8_t kEcus[] = {0x00, 0x03, 0x0B, 0x17, 0x21};

bool allEcus(const NetworkModel& model, const std::function<bool(const Node&)>& test) {
    for (uint8_t address : kEcus) {
        const Node* node = model.node(address);
        if (!node || !test(*node))
            return false;
    }
    return true;
}
} // namespace

class TestDiagnosticsDevice101 : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(connect::loadDriverForTest("ZT121032")); }

    void truckNetwork() {
        DiagnosticsWindow window;
        window.setConnection(ConnectionInfo{101, QStringLiteral("ZT121032"), std::nullopt, std::nullopt});
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(window.statusText().contains(QStringLiteral("node 0xF9")), 5000);
        const NetworkModel& model = window.network();
        // Every ECU answers the Request for Address Claimed sent on opening.
        QTRY_VERIFY_WITH_TIMEOUT(allEcus(model, [](const Node& node) { return node.name.has_value(); }),
                                 5000);
        QCOMPARE(decode::splitName(*model.node(0x03)->name).function, uint8_t(3));

        // The IDs are longer than a frame: they come through the transport
        // protocol, the VIN from the engine.
        window.setTarget(DiagnosticsWindow::Target::AllNodes);
        QTest::mouseClick(window.requestIdsButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.vinText().contains(QStringLiteral("1ZTTRVK7XPN000101")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(allEcus(model,
                                         [](const Node& node) {
                                             return node.componentId && !node.componentId->empty() &&
                                                    node.softwareId;
                                         }),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(allEcus(model, [](const Node& node) { return node.active.has_value(); }),
                                 5000);

        QTest::mouseClick(window.previouslyActiveButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            allEcus(model, [](const Node& node) { return node.previouslyActive.has_value(); }), 5000);

        // Clearing the active codes everywhere: one ECU refuses.
        MessageRecorder confirm(platform::IDYES);
        QTest::mouseClick(window.clearActiveButton(), Qt::LeftButton);
        QCOMPARE(confirm.messages().size(), std::size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(allEcus(model,
                                         [](const Node& node) {
                                             return node.clearActive.outcome == ClearOutcome::Positive ||
                                                    node.clearActive.outcome == ClearOutcome::Negative;
                                         }),
                                 5000);
        int refused = 0;
        for (uint8_t address : kEcus)
            refused += model.node(address)->clearActive.outcome == ClearOutcome::Negative;
        QCOMPARE(refused, 1);

        // The picture of the window in the documentation is taken here.
        const QByteArray screenshot = qgetenv("TARVIK_DIAGNOSTICS_SCREENSHOT");
        if (!screenshot.isEmpty()) {
            window.selectNode(0x00);
            window.takeUpdates();
            QVERIFY(window.grab().save(QString::fromLocal8Bit(screenshot)));
        }

        QTemporaryDir dir;
        FileDialogAnswer answer(dir.filePath(QStringLiteral("truck.html")));
        QTest::mouseClick(window.saveReportButton(), Qt::LeftButton);
        QFile report(dir.filePath(QStringLiteral("truck.html")));
        QVERIFY(report.open(QIODevice::ReadOnly));
        const QByteArray html = report.readAll();
        QVERIFY(html.contains("1ZTTRVK7XPN000101"));
        QVERIFY(html.contains("Node 0x21"));
    }
};

QTEST_MAIN(TestDiagnosticsDevice101)
#include "tst_diagnostics_device101.moc"
