// Load and Save of the Receive window: the file dialogs, the example file
// both ways, round trips, a revision-288 file, loading during a run, and
// every kind of bad file leaving the boxes and both filters as they were.
#include "receive/receive_config.h"
#include "receive/receive_dlg.h"
#include "receive_test_env.h"
#include "res/ids/receive_ids.h"
#include "support/ui_helpers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using connect::Protocol;
using receive::ReceiveDlg;
using testsupport::clickItem;
using testsupport::FileDialogAnswer;
using testsupport::MessageRecorder;
using namespace res;

Q_DECLARE_METATYPE(std::vector<uint8_t>)

namespace {

const std::vector<uint8_t> kExampleFile = {0x5A, 0x54, 0x52, 0x50, 0x41, 0x52, 0x58, 0x00, 0x50,
                                           0x01, 0x00, 0x00, 0x01, 0x80, 0x01, 0x00, 0x01, 0x00,
                                           0x01, 0x00, 0x01, 0xF0, 0x04, 0x00, 0x03, 0x00, 0x00};
const QString kNotInFormat = QStringLiteral("This file is not in the correct format and cannot be read.");
const QString kIncompatible =
    QStringLiteral("This file is in the correct format, but is from an older, incompatible version.");

QStringList commandsOf(const testsupport::TestDriverControl& driver) {
    QStringList commands;
    for (const QString& call : driver.calls())
        if (call.startsWith("SendCommand"))
            commands << call;
    return commands;
}

// Everything a load may change, as text.
QStringList snapshot(const ReceiveDlg& dlg) {
    const auto& a = dlg.j1708Filter;
    const auto& b = dlg.j1939Filter;
    QStringList s;
    for (int box : {IDC_RX_J1708, IDC_RX_J1850, IDC_RX_J1939})
        s << QString("box %1 %2").arg(box).arg(dlg.isItemChecked(box));
    s << QString("1708 %1 %2 %3 %4 %5 %6 %7 %8 %9")
             .arg(a.mid)
             .arg(a.midText)
             .arg(a.pid)
             .arg(a.pidText)
             .arg(a.filterMode)
             .arg(a.midMaskText, a.midMaskDecText, a.pidMaskText, a.pidMaskDecText);
    s << QString("1939 fields %1 %2 %3 %4 %5 mode %6 hex %7")
             .arg(b.priority)
             .arg(b.page)
             .arg(b.pf)
             .arg(b.destination)
             .arg(b.source)
             .arg(b.filterMode)
             .arg(b.hexMode);
    s << QString("1939 texts %1 %2 %3 %4 %5")
             .arg(b.pfText, b.destinationText, b.sourceText, b.identifierText, QString::number(b.identifier));
    s << QString("1939 use %1 %2 %3 %4 mask %5 %6")
             .arg(b.usePriority)
             .arg(b.usePgn)
             .arg(b.useDestination)
             .arg(b.useSource)
             .arg(b.mask)
             .arg(b.maskText);
    return s;
}

// A state unlike the initial one and unlike the example file.
void setOtherState(ReceiveDlg& dlg) {
    dlg.checkItem(IDC_RX_J1708, false);
    dlg.checkItem(IDC_RX_J1850, true);
    dlg.checkItem(IDC_RX_J1939, false);
    dlg.j1708Filter.mid = 0x33;
    dlg.j1708Filter.midText = "33";
    dlg.j1708Filter.filterMode = 0;
    auto& f = dlg.j1939Filter;
    f.usePriority = 1;
    f.usePgn = 0;
    f.useDestination = 1;
    f.useSource = 0;
    f.priority = 7;
    f.page = 1;
    f.pf = 0x12;
    f.destination = 0xEE;
    f.source = 0x99;
    f.filterMode = 1;
    f.ComposeIdentifier();
    f.detached = 1;
    f.DecomposeIdentifier();
    f.RecomputeMask();
    f.detached = 0;
}

std::vector<uint8_t> withByte(std::vector<uint8_t> bytes, std::size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

std::vector<uint8_t> shortFile() {
    std::vector<uint8_t> bytes = kExampleFile;
    bytes[8] = 0x20; // 288
    bytes.pop_back();
    bytes.erase(bytes.begin() + 14, bytes.begin() + 16);
    return bytes;
}

std::vector<uint8_t> readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

bool writeAll(const QString& path, const std::vector<uint8_t>& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char*>(bytes.data()),
                                                         qint64(bytes.size())) == qint64(bytes.size());
}

} // namespace

class TestReceiveConfigDlg : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void saveWritesTheExample();
    void loadTheExample();
    void loadInDecimalKeepsDecimalTexts();
    void roundTrip();
    void revision288KeepsTheOptionalFields();
    void loadDuringRunLeavesReception();
    void badFiles_data();
    void badFiles();
    void cancelledDialogsDoNothing();
    void failedSaveIsReported();

private:
    std::unique_ptr<ReceiveDlg> dlg;
    QTemporaryDir dir;
};

void TestReceiveConfigDlg::init() {
    QVERIFY(rxtest::pauseAndReset());
    dlg = std::make_unique<ReceiveDlg>();
    QVERIFY(dlg->create());
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939})
        dlg->enableProtocolControls(protocol);
    rxtest::setUp().clearCalls();
}

void TestReceiveConfigDlg::cleanup() {
    QVERIFY(rxtest::pauseAndReset());
    dlg.reset();
}

void TestReceiveConfigDlg::saveWritesTheExample() {
    dlg->checkItem(IDC_RX_J1850, false);
    dlg->j1708Filter.filterMode = 1;
    dlg->j1708Filter.mid = 0x80;
    dlg->j1939Filter.usePgn = 1;
    dlg->j1939Filter.useSource = 1;
    dlg->j1939Filter.pf = 0xF0;
    dlg->j1939Filter.destination = 0x04;
    dlg->j1939Filter.priority = 3;
    const QString path = dir.filePath("example.ztrxc");
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_SAVE);
    QCOMPARE(readAll(path), kExampleFile);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(commandsOf(rxtest::setUp()), QStringList());
    QCOMPARE(answer.requests().size(), std::size_t(1));
    const platform::FileRequest& request = answer.requests().front();
    QVERIFY(request.save);
    QCOMPARE(request.filter, QString("*.ztrxc"));
    QCOMPARE(request.defaultExtension, QString("ztrxc"));
}

void TestReceiveConfigDlg::loadTheExample() {
    const QString path = dir.filePath("load.ztrxc");
    QVERIFY(writeAll(path, kExampleFile));
    setOtherState(*dlg);
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(!answer.requests().front().save);
    QCOMPARE(answer.requests().front().filter, QString("*.ztrxc"));
    QCOMPARE(commandsOf(rxtest::setUp()),
             QStringList({"SendCommand 7 1 [80] 1 -> 0", "SendCommand 4 3 [05 04 F0 00 03 00 00] 7 -> 0"}));
    QVERIFY(dlg->isItemChecked(IDC_RX_J1708));
    QVERIFY(!dlg->isItemChecked(IDC_RX_J1850));
    QVERIFY(dlg->isItemChecked(IDC_RX_J1939));
    QCOMPARE(dlg->j1708Filter.midText, QString("80"));
    QCOMPARE(dlg->j1708Filter.filterMode, 1);
    const auto& f = dlg->j1939Filter;
    QCOMPARE(f.identifier, 0x0CF00400u);
    QCOMPARE(f.identifierText, QString("CF00400"));
    QCOMPARE(f.pfText, QString("F0"));
    QCOMPARE(f.destinationText, QString("4"));
    QCOMPARE(f.sourceText, QString("0"));
    QCOMPARE(f.maskText, QString("FF00FF"));
    QCOMPARE(f.filterMode, 0);
    QCOMPARE(f.detached, uint8_t(0));
    QVERIFY(!dlg->running());
}

void TestReceiveConfigDlg::loadInDecimalKeepsDecimalTexts() {
    const QString path = dir.filePath("load.ztrxc");
    QVERIFY(writeAll(path, kExampleFile));
    dlg->j1939Filter.hexMode = 0;
    FileDialogAnswer answer(path);
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(dlg->j1939Filter.identifierText, QString("217056256"));
    QCOMPARE(dlg->j1939Filter.maskText, QString("16711935"));
    QCOMPARE(dlg->j1939Filter.pfText, QString("F0")); // the paired texts are always hexadecimal
}

void TestReceiveConfigDlg::roundTrip() {
    setOtherState(*dlg);
    const QStringList saved = snapshot(*dlg);
    const QString path = dir.filePath("round.ztrxc");
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_SAVE);
    QCOMPARE(readAll(path).size(), receive::kReceiveConfigSize);

    // Change everything the file holds, then load it back.
    dlg->checkItem(IDC_RX_J1708, true);
    dlg->checkItem(IDC_RX_J1850, false);
    dlg->checkItem(IDC_RX_J1939, true);
    dlg->j1708Filter.mid = 0xFE;
    dlg->j1708Filter.midText = "FE";
    dlg->j1708Filter.filterMode = 1;
    auto& f = dlg->j1939Filter;
    f.usePriority = 0;
    f.usePgn = 1;
    f.useDestination = 0;
    f.useSource = 1;
    f.priority = 1;
    f.page = 0;
    f.pf = 0xFF;
    f.destination = 1;
    f.source = 2;
    f.filterMode = 0;
    f.ComposeIdentifier();
    f.RecomputeMask();
    QVERIFY(snapshot(*dlg) != saved);
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(snapshot(*dlg), saved);
}

void TestReceiveConfigDlg::revision288KeepsTheOptionalFields() {
    const QString path = dir.filePath("old.ztrxc");
    QVERIFY(writeAll(path, shortFile()));
    dlg->checkItem(IDC_RX_J1850, true);
    dlg->j1708Filter.filterMode = 1;
    dlg->j1939Filter.filterMode = 1;
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(messages.texts(), QStringList());
    QVERIFY(dlg->isItemChecked(IDC_RX_J1850));
    QCOMPARE(dlg->j1708Filter.filterMode, 1);
    QCOMPARE(dlg->j1939Filter.filterMode, 1);
    QCOMPARE(dlg->j1708Filter.mid, uint8_t(0x80));
    QCOMPARE(dlg->j1939Filter.pf, uint8_t(0xF0));
    QCOMPARE(dlg->j1939Filter.useSource, 1);
    QCOMPARE(commandsOf(rxtest::setUp()),
             QStringList({"SendCommand 7 1 [80] 1 -> 0", "SendCommand 4 3 [05 04 F0 00 03 00 00] 7 -> 0"}));
}

// The boxes change without their box actions: only the two filters are sent.
void TestReceiveConfigDlg::loadDuringRunLeavesReception() {
    const QString path = dir.filePath("run.ztrxc");
    QVERIFY(writeAll(path, withByte(kExampleFile, 15, 1))); // J1850 ticked too
    dlg->checkItem(IDC_RX_J1708, false);
    dlg->checkItem(IDC_RX_J1850, false);
    dlg->checkItem(IDC_RX_J1939, false);
    clickItem(*dlg, IDC_RX_START);
    QVERIFY(dlg->running());
    rxtest::setUp().clearCalls();
    FileDialogAnswer answer(path);
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(commandsOf(rxtest::setUp()),
             QStringList({"SendCommand 7 1 [80] 1 -> 0", "SendCommand 4 3 [05 04 F0 00 03 00 00] 7 -> 0"}));
    QVERIFY(dlg->running());
    QVERIFY(dlg->isItemChecked(IDC_RX_J1850));
}

void TestReceiveConfigDlg::badFiles_data() {
    QTest::addColumn<std::vector<uint8_t>>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addRow("empty") << std::vector<uint8_t>{} << kNotInFormat;
    for (std::size_t size : {4u, 8u, 11u, 12u, 13u, 16u, 21u, 26u})
        QTest::addRow("cut to %zu", size)
            << std::vector<uint8_t>(kExampleFile.begin(), kExampleFile.begin() + size) << kNotInFormat;
    QTest::addRow("one byte too many") << [] {
        auto b = kExampleFile;
        b.push_back(0);
        return b;
    }() << kNotInFormat;
    QTest::addRow("288 cut to 23") << [] {
        auto b = shortFile();
        b.pop_back();
        return b;
    }() << kNotInFormat;
    QTest::addRow("wrong magic") << withByte(kExampleFile, 6, 'Y') << kNotInFormat;
    QTest::addRow("compatibility 1") << withByte(kExampleFile, 7, 1) << kIncompatible;
    QTest::addRow("J1939 box 2") << withByte(kExampleFile, 16, 2) << kNotInFormat;
    QTest::addRow("page 2") << withByte(kExampleFile, 23, 2) << kNotInFormat;
    QTest::addRow("priority 8") << withByte(kExampleFile, 24, 8) << kNotInFormat;
    QTest::addRow("J1939 mode 2, the last byte") << withByte(kExampleFile, 26, 2) << kNotInFormat;
}

void TestReceiveConfigDlg::badFiles() {
    QFETCH(std::vector<uint8_t>, bytes);
    QFETCH(QString, message);
    const QString path = dir.filePath("bad.ztrxc");
    QVERIFY(writeAll(path, bytes));
    setOtherState(*dlg);
    dlg->j1939Filter.hexMode = 0; // the texts would change with a load
    const QStringList before = snapshot(*dlg);
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_LOAD);
    QCOMPARE(messages.texts(), QStringList{message});
    QCOMPARE(messages.messages().front().caption, QString("Error"));
    QCOMPARE(snapshot(*dlg), before);
    QCOMPARE(commandsOf(rxtest::setUp()), QStringList());
}

void TestReceiveConfigDlg::cancelledDialogsDoNothing() {
    setOtherState(*dlg);
    const QStringList before = snapshot(*dlg);
    FileDialogAnswer answer(std::nullopt);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_LOAD);
    clickItem(*dlg, IDC_RX_SAVE);
    QCOMPARE(answer.requests().size(), std::size_t(2));
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(snapshot(*dlg), before);
    QCOMPARE(commandsOf(rxtest::setUp()), QStringList());
}

void TestReceiveConfigDlg::failedSaveIsReported() {
    const QString path = dir.filePath("missing/folder/rx.ztrxc");
    FileDialogAnswer answer(path);
    MessageRecorder messages;
    clickItem(*dlg, IDC_RX_SAVE);
    QCOMPARE(messages.messages().size(), std::size_t(1));
    QVERIFY(messages.texts().front().startsWith("This file could not be written."));
    QCOMPARE(messages.messages().front().caption, QString("Error"));
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TestReceiveConfigDlg)
#include "tst_receive_config_dlg.moc"
