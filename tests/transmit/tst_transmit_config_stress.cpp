// Load and Save of the Transmit window while the transmit thread sends at
// full speed: every loaded record replaces one the thread may be serving,
// bad files change nothing, saves read the rows under the thread's feet.
// Meant for the sanitizer builds.
#include "platform/clock.h"
#include "platform/posted_message.h"
#include "platform/thread.h"
#include "support/ui_helpers.h"
#include "transmit/transmit_config.h"
#include "transmit/transmit_dlg.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace transmit;

namespace {

// Reads every byte it is handed, so a released record shows up.
class ReadingIo : public TransmitIo {
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

// A file of three rows, each empty or a message of a random protocol and
// length sent without limit, interval 0.
std::vector<uint8_t> randomFile(std::mt19937& random) {
    std::array<std::unique_ptr<TxMessage>, kTransmitConfigRows> records;
    std::array<const TxMessage*, kTransmitConfigRows> rows{};
    for (int i = 0; i < kTransmitConfigRows; ++i) {
        const int protocol = int(random() % 4);
        if (protocol == 0)
            continue;
        records[i] = newTxMessage(protocol);
        records[i]->length = int16_t(random() % (bufferCapacity(protocol) + 1));
        records[i]->broadcastCount = -1;
        for (auto& byte : records[i]->buffer)
            byte = uint8_t(random());
        rows[i] = records[i].get();
    }
    return encodeTransmitConfig(rows);
}

} // namespace

class TransmitConfigStressTest : public QObject {
    Q_OBJECT
private slots:
    void loadAndSaveWhileSending();
};

void TransmitConfigStressTest::loadAndSaveWhileSending() {
    auto& io = *new ReadingIo;         // the thread outlives the test
    auto* shared = new TransmitShared; // the thread outlives the test
    shared->transmitEvent = platform::createAutoResetEvent().release();
    platform::startThread([shared, &io] { runTransmitThread(*shared, io); }, 0x8000);

    QTemporaryDir folder;
    testsupport::MessageRecorder messages;
    testsupport::FileDialogAnswer answer(std::nullopt);
    TransmitDlg window(*shared);
    window.create();
    window.show();
    window.startStop();

    std::mt19937 random(4321);
    const QString good = folder.filePath(QStringLiteral("good.zttxc"));
    const QString bad = folder.filePath(QStringLiteral("bad.zttxc"));
    const QString saved = folder.filePath(QStringLiteral("saved.zttxc"));
    QElapsedTimer timer;
    timer.start();
    int loads = 0, refused = 0;
    while (timer.elapsed() < 1500) {
        std::vector<uint8_t> bytes = randomFile(random);
        const bool cut = random() % 3 == 0;
        if (cut)
            bytes.resize(random() % bytes.size()); // truncated: refused as a whole
        QFile file(cut ? bad : good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        file.close();
        answer.setPath(cut ? bad : good);
        window.loadConfiguration();
        ++(cut ? refused : loads);
        if (random() % 4 == 0) {
            answer.setPath(saved);
            window.saveConfiguration();
        }
        QCoreApplication::processEvents();
    }
    window.startStop();
    QTRY_VERIFY(shared->threadIdle.load());
    QVERIFY(loads > 20);
    QVERIFY(io.sends.load() > 100);
    QCOMPARE(messages.texts().size(), refused);
    // The counters match the rows, and the last save reads back as the rows.
    int held[4] = {};
    for (int row = 0; row < kTransmitRows; ++row)
        ++held[window.table().protocolOf(row)];
    QCOMPARE(int(window.j1708Rows), held[1]);
    QCOMPARE(int(window.j1850Rows), held[2]);
    QCOMPARE(int(window.j1939Rows), held[3]);
    answer.setPath(saved);
    window.saveConfiguration();
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const TransmitConfigResult result = decodeTransmitConfig(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    QCOMPARE(result.error, TransmitConfigError::None);
    for (int row = 0; row < kTransmitConfigRows; ++row)
        QCOMPARE(result.config.rows[row] ? result.config.rows[row]->protocol : 0,
                 window.table().protocolOf(row));
    window.hide();
}

QTEST_MAIN(TransmitConfigStressTest)
#include "tst_transmit_config_stress.moc"
