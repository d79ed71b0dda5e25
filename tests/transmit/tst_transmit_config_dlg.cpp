// Load and Save of the Transmit window: the file dialogs, rows, counters,
// summaries and selections after loading, round trips, files refused as a
// whole with nothing changed (also while the transmit thread sends), and
// saves that cannot be written.
#include "fake_transmit_io.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx1708_ids.h"
#include "res/ids/tx_builder_ids.h"
#include "support/ui_helpers.h"
#include "transmit/transmit_config.h"
#include "transmit/transmit_dlg.h"

#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace res;
using namespace testsupport;
using namespace transmit;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kHeader{'Z', 'T', 'R', 'P', 'A', 'T', 'X', 0, 0x20, 0x01, 0, 0};
const Bytes kEmptyRow{0xFF};
// The example rows: J1708 priority 8, MID C8, PID 0A, data 01 02, count 1;
// J1850 6E 6A F1, data 01 3E, count -1, delay 1000, interval 500.
const Bytes kJ1708Row{0x01, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0xC8, 0x0A, 0x01, 0x02};
const Bytes kJ1850Row{0x02, 0x08, 0x00, 0xFF, 0xFF, 0xE8, 0x03, 0xF4, 0x01,
                      0x03, 0x00, 0x02, 0x6E, 0x6A, 0xF1, 0x01, 0x3E};
// J1939 18EF21F9 with data 11 22 33, sent without limit.
const Bytes kJ1939Row{0x03, 0x09, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0xEF, 0x00, 0x06, 0xF9, 0x21, 0x11, 0x22, 0x33};
// What createJ1708 builds with MID 80: priority 0, MID, PID F3, count 1.
const Bytes kBuiltJ1708Row{0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0xF3};
const Bytes kThreeRows = kHeader + kJ1708Row + kJ1850Row + kJ1939Row;

const QString kNotInFormat = QStringLiteral("This file is not in the correct format and cannot be read.");
const QString kOlderVersion =
    QStringLiteral("This file is in the correct format, but is from an older, incompatible version.");

// A row entry of a message with a length and as many buffer bytes.
Bytes entry(uint8_t protocol, int length, size_t bufferBytes) {
    Bytes bytes{protocol, uint8_t(length), uint8_t(unsigned(length) >> 8), 0xFF, 0xFF, 0, 0, 0, 0};
    return bytes + Bytes(bufferBytes, 0x42);
}

// What a load may change, and what must stay when it refuses the file.
struct RowState {
    int protocol;
    int length;
    int broadcastCount;
    int delay;
    int interval;
    Bytes buffer;
    bool operator==(const RowState&) const = default;
};
struct Snapshot {
    std::array<std::optional<RowState>, kTransmitRows> rows;
    std::array<QString, kTransmitRows> summaries;
    QStringList shown;
    int j1708Rows, j1850Rows, j1939Rows;
    int selectedRow, selectedProtocol;
    bool operator==(const Snapshot&) const = default;
};

// The real clock; remembers how often and what was last sent per protocol.
// The thread outlives a test, so it is never destroyed.
class RecordingIo : public TransmitIo {
public:
    uint32_t now() override { return platform::tickCount(); }
    uint8_t connectedProtocols() override { return 7; }
    int16_t send(int16_t client, const uint8_t* bytes, int16_t length, int16_t) override {
        std::lock_guard lock(mutex_);
        last_[client] = Bytes(bytes, bytes + length);
        ++sends_;
        return 0;
    }
    int16_t clientId(int32_t protocol) override { return int16_t(protocol); }
    void post(QObject*, unsigned) override {}
    long sends() const {
        std::lock_guard lock(mutex_);
        return sends_;
    }
    Bytes last(int protocol) const {
        std::lock_guard lock(mutex_);
        auto found = last_.find(protocol);
        return found == last_.end() ? Bytes{} : found->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, Bytes> last_;
    long sends_ = 0;
};

struct Fixture {
    std::unique_ptr<TransmitShared> ownedShared = std::make_unique<TransmitShared>();
    std::unique_ptr<platform::AutoResetEvent> ownedEvent = platform::createAutoResetEvent();
    TransmitShared* shared = ownedShared.get();
    TransmitDlg window{*shared};
    QTemporaryDir folder;
    Fixture() {
        shared->transmitEvent = ownedEvent.get();
        window.create();
    }
    // A transmit thread on the shared record; the thread outlives the test,
    // so the record and its event are never released.
    void startThread(TransmitIo& io) {
        ownedShared.release();
        ownedEvent.release();
        platform::startThread([shared = shared, &io] { runTransmitThread(*shared, io); }, 0x8000);
    }
    void enableAll() {
        for (auto protocol : {connect::Protocol::J1708, connect::Protocol::J1850, connect::Protocol::J1939})
            window.enableProtocolControls(protocol);
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QString write(const QString& name, const Bytes& bytes) const {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path(name);
    }
    static Bytes read(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = file.readAll();
        return Bytes(data.begin(), data.end());
    }
    // Load and Save as the user presses them, the dialog answered with path.
    void load(const QString& path) {
        FileDialogAnswer answer(path);
        clickItem(window, IDC_TX_LOAD);
    }
    void save(const QString& path) {
        FileDialogAnswer answer(path);
        clickItem(window, IDC_TX_SAVE);
    }
    void select(int row, int protocolId) {
        clickItem(window, kTransmitRowIds[row].radio);
        clickItem(window, protocolId);
    }
    QString summaryShown(int row) { return window.edit(kTransmitRowIds[row].summary)->text(); }
    Snapshot snapshot() {
        Snapshot s;
        for (int row = 0; row < kTransmitRows; ++row) {
            if (const std::optional<TxMessage> m = window.table().copyOf(row))
                s.rows[row] =
                    RowState{m->protocol, m->length, m->broadcastCount, m->delay, m->interval, m->buffer};
            s.summaries[row] = window.rowSummary[row];
            s.shown << summaryShown(row);
        }
        s.j1708Rows = window.j1708Rows;
        s.j1850Rows = window.j1850Rows;
        s.j1939Rows = window.j1939Rows;
        s.selectedRow = window.selectedRow;
        s.selectedProtocol = window.selectedProtocol;
        return s;
    }
};

// Creates a J1708 message with the given MID, PID F3, in a row through the
// real builder.
void createJ1708(Fixture& f, int row, const QString& mid) {
    f.select(row, IDC_TX_J1708);
    whenModalRuns([mid](platform::Dialog& d) {
        typeInto(d, IDC_MID_HEX, mid);
        typeInto(d, IDC_PID_HEX, QStringLiteral("F3"));
        clickItem(d, platform::IDOK);
    });
    clickItem(f.window, IDC_TX_CREATE);
}

} // namespace

class TransmitConfigDlgTest : public QObject {
    Q_OBJECT
private slots:
    void fileDialogs();
    void loadExampleRows();
    void loadedRowWithoutClient();
    void twoMessagesOfOneProtocol();
    void saveChangeLoad();
    void badFiles_data();
    void badFiles();
    void badFilesWhileRunning();
    void loadAndSaveWhileRunning();
    void saveNotWritten();
};

void TransmitConfigDlgTest::fileDialogs() {
    Fixture f;
    f.enableAll();
    createJ1708(f, 0, QStringLiteral("80"));
    const Snapshot before = f.snapshot();
    FileDialogAnswer cancelled(std::nullopt);
    clickItem(f.window, IDC_TX_LOAD);
    clickItem(f.window, IDC_TX_SAVE);
    QCOMPARE(cancelled.requests().size(), size_t(2));
    for (const platform::FileRequest& request : cancelled.requests()) {
        QCOMPARE(request.filter, QStringLiteral("*.zttxc"));
        QCOMPARE(request.defaultExtension, QStringLiteral("zttxc"));
        QCOMPARE(request.parent, &f.window);
    }
    QVERIFY(!cancelled.requests()[0].save);
    QVERIFY(cancelled.requests()[1].save); // asks before overwriting
    QVERIFY(f.snapshot() == before);
    QVERIFY(QDir(f.folder.path()).isEmpty());
}

void TransmitConfigDlgTest::loadExampleRows() {
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    // Row 1 holds a J1708 message that has been sent once; the file's row 1 is empty.
    createJ1708(f, 0, QStringLiteral("80"));
    FakeTransmitIo io;
    io.clock = 1;
    f.window.table().servePass(0, io);
    const Tx1850Fields builderBefore = f.window.tx1850.messageFields();

    f.load(f.write(QStringLiteral("j1850.zttxc"), kHeader + kEmptyRow + kJ1850Row + kEmptyRow));
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(f.summaryShown(1), QStringLiteral("TXJ1850  6E6AF1    01  3E"));
    QCOMPARE(f.window.rowSummary[1], f.summaryShown(1));
    QVERIFY(f.summaryShown(0).isEmpty());
    QVERIFY(f.summaryShown(2).isEmpty());
    QCOMPARE(int(f.window.j1708Rows), 0);
    QCOMPARE(int(f.window.j1850Rows), 1);
    QCOMPARE(f.window.table().protocolOf(0), 0);
    const std::optional<TxMessage> loaded = f.window.table().copyOf(1);
    QVERIFY(loaded);
    QCOMPARE(loaded->broadcastCount, int16_t(-1));
    QCOMPARE(loaded->delay, uint16_t(1000));
    QCOMPARE(loaded->interval, uint16_t(500));
    QCOMPARE(loaded->sentOnce, uint8_t(0));
    QCOMPARE(Bytes(loaded->buffer.begin(), loaded->buffer.begin() + loaded->length),
             (Bytes{0x03, 0x00, 0x02, 0x6E, 0x6A, 0xF1, 0x01, 0x3E}));
    // J1850 and row 3 are selected; the emptied row keeps its count.
    QCOMPARE(f.window.selectedProtocol, 1);
    QCOMPARE(f.window.selectedRow, 2);
    QVERIFY(f.window.radioButton(IDC_TX_J1850)->isChecked());
    QVERIFY(f.window.radioButton(kTransmitRowIds[2].radio)->isChecked());
    QCOMPARE(f.window.rowCount(0), 1);
    // No builder is touched by a load.
    const Tx1850Fields builderAfter = f.window.tx1850.messageFields();
    QCOMPARE(builderAfter.header, builderBefore.header);
    QCOMPARE(builderAfter.dataCount, builderBefore.dataCount);

    // Three empty rows empty the window; the protocol stays as it was.
    f.load(f.write(QStringLiteral("empty.zttxc"), kHeader + kEmptyRow + kEmptyRow + kEmptyRow));
    QCOMPARE(int(f.window.j1850Rows), 0);
    QVERIFY(f.summaryShown(1).isEmpty());
    QCOMPARE(f.window.table().protocolOf(1), 0);
    QCOMPARE(f.window.selectedProtocol, 1);
    QVERIFY(messages.texts().isEmpty());
}

void TransmitConfigDlgTest::loadedRowWithoutClient() {
    // No client open: the J1939 radio button is disabled, yet loading checks
    // it. The row holds a full J1939 buffer: its summary stops at 255
    // characters, the builder takes 8 data bytes, the thread sends all 1791.
    Fixture f;
    Bytes buffer(kJ1939Capacity);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = uint8_t(i);
    Bytes row{0x03, uint8_t(kJ1939Capacity & 0xFF), uint8_t(kJ1939Capacity >> 8), 1, 0, 0, 0, 0, 0};
    f.load(f.write(QStringLiteral("long.zttxc"), kHeader + kEmptyRow + kEmptyRow + row + buffer));
    QCOMPARE(f.window.selectedProtocol, 2);
    QVERIFY(f.window.radioButton(IDC_TX_J1939)->isChecked());
    QVERIFY(!f.window.isItemEnabled(IDC_TX_J1939));
    QCOMPARE(f.summaryShown(2).size(), 255);
    QVERIFY(f.summaryShown(2).startsWith(QStringLiteral("TXJ1939  0E010504    06  07  08")));

    uint8_t count = 0;
    QString firstData, lastData;
    whenModalRuns([&](platform::Dialog& d) {
        count = f.window.tx1939.dataCount;
        firstData = d.edit(kTxDataEdit[0])->text();
        lastData = d.edit(kTxDataEdit[kJ1939DataBytes - 1])->text();
        clickItem(d, platform::IDCANCEL);
    });
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(int(count), kJ1939DataBytes);
    QCOMPARE(firstData, QStringLiteral("6"));
    QCOMPARE(lastData, QStringLiteral("D"));
    QCOMPARE(int(f.window.table().copyOf(2)->length), kJ1939Capacity); // Cancel: unchanged

    FakeTransmitIo io;
    io.clock = 1;
    f.window.table().servePass(0, io);
    QCOMPARE(io.sends().size(), size_t(1));
    QCOMPARE(io.sends()[0].bytes, buffer);
}

void TransmitConfigDlgTest::twoMessagesOfOneProtocol() {
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    Bytes second = kJ1708Row;
    second[10] = 0x11; // MID 11
    f.load(f.write(QStringLiteral("two.zttxc"), kHeader + kJ1708Row + kEmptyRow + second));
    QCOMPARE(int(f.window.j1708Rows), 2);
    QCOMPARE(f.summaryShown(0), QStringLiteral("TXJ1708  C8  0A    01  02"));
    QCOMPARE(f.summaryShown(2), QStringLiteral("TXJ1708  11  0A    01  02"));
    // Only the rows holding a J1708 message may be edited.
    f.select(1, IDC_TX_J1708);
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("You may only create one message per protocol")});
    QString shownMid;
    f.select(2, IDC_TX_J1708);
    whenModalRuns([&shownMid](platform::Dialog& d) {
        shownMid = d.edit(IDC_MID_HEX)->text();
        clickItem(d, platform::IDOK);
    });
    clickItem(f.window, IDC_TX_CREATE);
    QCOMPARE(shownMid, QStringLiteral("11"));
    QCOMPARE(int(f.window.j1708Rows), 2);
    QCOMPARE(f.summaryShown(2), QStringLiteral("TXJ1708  11  0A    01  02"));
}

void TransmitConfigDlgTest::saveChangeLoad() {
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    // J1850 and J1939 from a file, a J1708 message built in the builder.
    f.load(f.write(QStringLiteral("a.zttxc"), kHeader + kJ1850Row + kJ1939Row + kEmptyRow));
    createJ1708(f, 2, QStringLiteral("80"));
    const Snapshot saved = f.snapshot();
    const QString path = f.path(QStringLiteral("b.zttxc"));
    f.save(path);
    QCOMPARE(Fixture::read(path), kHeader + kJ1850Row + kJ1939Row + kBuiltJ1708Row);
    QVERIFY(f.snapshot() == saved); // saving changes nothing

    // Change everything, then load what was saved.
    for (int row = 0; row < 3; ++row) {
        clickItem(f.window, kTransmitRowIds[row].radio);
        clickItem(f.window, IDC_TX_DELETE);
    }
    createJ1708(f, 0, QStringLiteral("55"));
    f.select(1, IDC_TX_J1939);
    QVERIFY(!(f.snapshot() == saved));
    f.load(path);
    QVERIFY(f.snapshot() == saved);
    QCOMPARE(f.summaryShown(2), QStringLiteral("TXJ1708  80  F3  "));
    QCOMPARE(f.window.selectedProtocol, 0);
    // Saving again over the file writes the same bytes.
    const Bytes first = Fixture::read(path);
    f.save(path);
    QCOMPARE(Fixture::read(path), first);
    QVERIFY(messages.texts().isEmpty());
}

void TransmitConfigDlgTest::badFiles_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << Bytes{} << kNotInFormat;
    QTest::newRow("five bytes") << Bytes{'Z', 'T', 'R', 'P', 'A'} << kNotInFormat;
    Bytes magic = kThreeRows;
    magic[0] = 'z';
    QTest::newRow("wrong magic") << magic << kNotInFormat;
    Bytes compatibility = kThreeRows;
    compatibility[7] = 1;
    QTest::newRow("compatibility byte 1") << compatibility << kOlderVersion;
    QTest::newRow("header only") << kHeader << kNotInFormat;
    QTest::newRow("cut inside row 2") << Bytes(kThreeRows.begin(), kThreeRows.begin() + 30) << kNotInFormat;
    QTest::newRow("cut before row 3") << kHeader + kJ1708Row + kJ1850Row << kNotInFormat;
    QTest::newRow("cut in the last buffer byte")
        << Bytes(kThreeRows.begin(), kThreeRows.end() - 1) << kNotInFormat;
    QTest::newRow("negative length") << kHeader + kJ1708Row + entry(2, 0xFFFF, 0) + kEmptyRow << kNotInFormat;
    QTest::newRow("J1708 length 507") << kHeader + entry(1, 507, 507) + kEmptyRow + kEmptyRow << kNotInFormat;
    QTest::newRow("J1850 length 515") << kHeader + kEmptyRow + entry(2, 515, 515) + kEmptyRow << kNotInFormat;
    QTest::newRow("J1939 length 1792")
        << kHeader + kEmptyRow + kEmptyRow + entry(3, 1792, 1792) << kNotInFormat;
}

void TransmitConfigDlgTest::badFiles() {
    QFETCH(Bytes, bytes);
    QFETCH(QString, message);
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    f.load(f.write(QStringLiteral("good.zttxc"), kThreeRows));
    FakeTransmitIo io;
    io.clock = 1;
    f.window.table().servePass(0, io);
    clickItem(f.window, kTransmitRowIds[0].radio);
    f.window.updateData(true);
    const Snapshot before = f.snapshot();
    const RowCounts counts = f.window.table().counts();
    QVERIFY(messages.texts().isEmpty());

    f.load(f.write(QStringLiteral("bad.zttxc"), bytes));
    QCOMPARE(messages.texts(), QStringList{message});
    QCOMPARE(messages.messages()[0].caption, QStringLiteral("Error"));
    QCOMPARE(messages.messages()[0].buttons, platform::MessageButtons::Ok);
    QVERIFY(f.snapshot() == before);
    QCOMPARE(f.window.table().counts().rowCount, counts.rowCount);
    QVERIFY(f.window.radioButton(kTransmitRowIds[0].radio)->isChecked());
    // A name that does not exist reads as a foreign file.
    messages.clear();
    f.load(f.path(QStringLiteral("missing.zttxc")));
    QCOMPARE(messages.texts(), QStringList{kNotInFormat});
    QVERIFY(f.snapshot() == before);
}

void TransmitConfigDlgTest::badFilesWhileRunning() {
    auto& io = *new RecordingIo; // the thread outlives the test
    Fixture f;
    f.startThread(io);
    f.enableAll();
    MessageRecorder messages;
    f.load(f.write(QStringLiteral("good.zttxc"), kThreeRows));
    // Rows 1 and 3 send without limit: J1708 is sent once, J1850 waits 1000 ms.
    f.window.startStop();
    QTRY_VERIFY(f.window.table().counts().rowCount[2] > 10);
    const Snapshot before = f.snapshot();

    int bad = 0;
    for (const Bytes& bytes : {Bytes{}, kHeader, Bytes(kThreeRows.begin(), kThreeRows.end() - 1),
                               kHeader + kEmptyRow + kEmptyRow + entry(3, 1792, 1792),
                               kHeader + kJ1708Row + entry(2, 0x8000, 0) + kEmptyRow}) {
        const int32_t sentBefore = f.window.table().counts().rowCount[2];
        f.load(f.write(QStringLiteral("bad%1.zttxc").arg(++bad), bytes));
        QVERIFY(f.snapshot() == before);
        // The thread keeps sending the same record, and no count is zeroed.
        QTRY_VERIFY(f.window.table().counts().rowCount[2] > sentBefore + 5);
        QCOMPARE(io.last(kJ1939), Bytes(kJ1939Row.begin() + 9, kJ1939Row.end()));
    }
    QCOMPARE(messages.texts().size(), bad);
    f.window.startStop();
    QTRY_VERIFY(f.shared->threadIdle.load());
}

void TransmitConfigDlgTest::loadAndSaveWhileRunning() {
    auto& io = *new RecordingIo; // the thread outlives the test
    Fixture f;
    f.startThread(io);
    f.enableAll();
    MessageRecorder messages;
    f.load(f.write(QStringLiteral("good.zttxc"), kThreeRows));
    f.window.startStop();
    QTRY_VERIFY(io.last(kJ1939).size() == 9);

    // A new J1939 message replaces the one being sent; its count goes on.
    Bytes other = kJ1939Row;
    other.back() = 0x44;
    f.load(f.write(QStringLiteral("other.zttxc"), kHeader + kEmptyRow + kEmptyRow + other));
    QCOMPARE(f.summaryShown(2), QStringLiteral("TXJ1939  18EF21F9    11  22  44"));
    QTRY_COMPARE(io.last(kJ1939), Bytes(other.begin() + 9, other.end()));
    QCOMPARE(f.window.table().protocolOf(0), 0);

    // Saving while it sends writes the rows as they are.
    const QString path = f.path(QStringLiteral("saved.zttxc"));
    f.save(path);
    QCOMPARE(Fixture::read(path), kHeader + kEmptyRow + kEmptyRow + other);
    const long sends = io.sends();
    QTRY_VERIFY(io.sends() > sends);
    f.window.startStop();
    QTRY_VERIFY(f.shared->threadIdle.load());
    QVERIFY(messages.texts().isEmpty());
}

void TransmitConfigDlgTest::saveNotWritten() {
    Fixture f;
    f.enableAll();
    MessageRecorder messages;
    createJ1708(f, 0, QStringLiteral("80"));
    // A folder that does not exist.
    f.save(f.path(QStringLiteral("no such folder/x.zttxc")));
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(messages.texts()[0].startsWith(QStringLiteral("This file could not be written.")));
    QCOMPARE(messages.messages()[0].caption, QStringLiteral("Error"));

    // A name that cannot be replaced (a folder of that name): what stood
    // there stays, and no half-written file is left behind.
    messages.clear();
    QDir(f.folder.path()).mkdir(QStringLiteral("taken.zttxc"));
    f.save(f.path(QStringLiteral("taken.zttxc")));
    QCOMPARE(messages.texts().size(), 1);
    QVERIFY(QFileInfo(f.path(QStringLiteral("taken.zttxc"))).isDir());
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("taken.zttxc")});

    // An existing longer file is replaced as a whole.
    messages.clear();
    const QString path = f.write(QStringLiteral("old.zttxc"), Bytes(100, 0x77));
    f.save(path);
    QVERIFY(messages.texts().isEmpty());
    QCOMPARE(Fixture::read(path), kHeader + kBuiltJ1708Row + kEmptyRow + kEmptyRow);
}

QTEST_MAIN(TransmitConfigDlgTest)
#include "tst_transmit_config_dlg.moc"
