// The Transmit window replaces, deletes and clears rows while the transmit
// thread sends at full speed (interval 0, no limit): no record may be used
// after release, no count increment lost. Meant for the sanitizer builds.
#include "fake_builder.h"
#include "platform/clock.h"
#include "platform/posted_message.h"
#include "platform/thread.h"
#include "res/ids/transmit_ids.h"
#include "support/ui_helpers.h"
#include "transmit/transmit_dlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTest>

#include <random>

using namespace res;
using namespace transmit;
using testsupport::FakeBuilder;

namespace {

// The real clock and window notifications; a driver that reads every byte
// it is handed (so a released record shows up) and counts good sends.
class CountingIo : public TransmitIo {
public:
    std::atomic<long> sends{0};
    std::atomic<unsigned> checksum{0};
    uint32_t now() override { return platform::tickCount(); }
    uint8_t connectedProtocols() override { return 7; }
    int16_t send(int16_t, const uint8_t* bytes, int16_t length, int16_t) override {
        unsigned sum = 0;
        for (int i = 0; i < length; ++i)
            sum += bytes[i];
        checksum += sum;
        sends.fetch_add(1);
        return 0;
    }
    int16_t clientId(int32_t protocol) override { return int16_t(protocol); }
    void post(QObject* window, unsigned code) override {
        platform::postMessage(window, platform::kUserMessage, code, 0);
    }
};

} // namespace

class TransmitStressTest : public QObject {
    Q_OBJECT
private slots:
    void windowChangesRowsWhileSending();
};

void TransmitStressTest::windowChangesRowsWhileSending() {
    auto& io = *new CountingIo;        // the thread outlives the test
    auto* shared = new TransmitShared; // the thread outlives the test
    shared->transmitEvent = platform::createAutoResetEvent().release();
    platform::startThread([shared, &io] { runTransmitThread(*shared, io); }, 0x8000);

    testsupport::MessageRecorder messages; // "Restricted" answers
    FakeBuilder j1708(kJ1708), j1850(kJ1850), j1939(kJ1939);
    TransmitDlg window(*shared);
    window.setBuilder(0, &j1708);
    window.setBuilder(1, &j1850);
    window.setBuilder(2, &j1939);
    window.create();
    for (auto protocol : {connect::Protocol::J1708, connect::Protocol::J1850, connect::Protocol::J1939})
        window.enableProtocolControls(protocol);
    window.show();

    const int protocolIds[] = {IDC_TX_J1708, IDC_TX_J1850, IDC_TX_J1939};
    std::mt19937 random(1234);
    auto create = [&](int row, int protocol) {
        window.radioButton(kTransmitRowIds[row].radio)->setChecked(true);
        window.radioButton(protocolIds[protocol])->setChecked(true);
        window.createMessage();
    };
    window.startStop();
    QElapsedTimer timer;
    timer.start();
    int operations = 0;
    while (timer.elapsed() < 1500) {
        const int row = int(random() % 3);
        switch (random() % 6) {
        case 0:
        case 1:
        case 2:
            create(row, int(random() % 3));
            break;
        case 3:
            window.radioButton(kTransmitRowIds[row].radio)->setChecked(true);
            window.deleteMessage();
            break;
        case 4:
            window.clearCount();
            break;
        default:
            if (random() % 50 == 0)
                window.startStop(); // stop and start again now and then
            break;
        }
        ++operations;
        QCoreApplication::processEvents();
    }
    if (!window.running)
        window.startStop();
    window.startStop();
    QTRY_VERIFY(shared->threadIdle.load());
    QVERIFY(operations > 100);
    QVERIFY(io.sends.load() > 100);
    // The counters still match the rows.
    int held[4] = {};
    for (int row = 0; row < kTransmitRows; ++row)
        ++held[window.table().protocolOf(row)];
    QCOMPARE(int(window.j1708Rows), held[1]);
    QCOMPARE(int(window.j1850Rows), held[2]);
    QCOMPARE(int(window.j1939Rows), held[3]);

    // No increment lost: with no deletes or clears, every good send is counted.
    for (int row = 0; row < 3; ++row) {
        window.radioButton(kTransmitRowIds[row].radio)->setChecked(true);
        window.deleteMessage();
    }
    create(0, 0);
    create(1, 1);
    create(2, 2);
    const long before = io.sends.load();
    window.startStop();
    timer.restart();
    while (timer.elapsed() < 500) {
        create(int(random() % 3), int(random() % 3)); // replaces keep the counts
        QCoreApplication::processEvents();
    }
    window.startStop();
    QTRY_VERIFY(shared->threadIdle.load());
    const RowCounts counts = window.table().counts();
    QCOMPARE(long(counts.totalTransmitted), io.sends.load() - before);
    QCOMPARE(counts.rowCount[0] + counts.rowCount[1] + counts.rowCount[2], counts.totalTransmitted);
    QVERIFY(counts.totalTransmitted > 0);
    QCoreApplication::processEvents();
    QCOMPARE(window.edit(IDC_TX_TOTAL)->text().toInt(), counts.totalTransmitted);
    window.hide();
}

QTEST_MAIN(TransmitStressTest)
#include "tst_transmit_stress.moc"
