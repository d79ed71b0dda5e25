// The Receive window driven as a user would, against the test driver and the
// real receive threads: its controls, the driver commands of Start, Stop and
// the box actions, Clear Text, Blocking Poll, Close and Cancel during a run,
// the Dec/Hex switch, and the refresh from the threads' text.
#include "platform/posted_message.h"
#include "receive/display_line.h"
#include "receive/receive_dlg.h"
#include "receive_test_env.h"
#include "res/icons.h"
#include "res/ids/receive_ids.h"
#include "support/ui_helpers.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using connect::Protocol;
using receive::ReceiveDlg;
using testsupport::clickItem;
using namespace res;

Q_DECLARE_METATYPE(Protocol)

namespace {

// Records what the seams for the filter windows were asked.
class ProbeDlg : public ReceiveDlg {
public:
    int filterWindowsRun = 0;
    bool filterAnswer = true;

protected:
    bool runJ1708FilterWindow() override {
        ++filterWindowsRun;
        return filterAnswer;
    }
    bool runJ1939FilterWindow() override {
        ++filterWindowsRun;
        return filterAnswer;
    }
};

QString boxText(const ReceiveDlg& dlg) {
    return dlg.multiLineEdit(IDC_RX_TEXT)->toPlainText();
}
QString widgetText(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

std::vector<uint8_t> j1708(uint32_t timestamp) {
    return rxtest::message(timestamp, {0x80, 0x54, 0x01});
}
std::string j1708Line(uint32_t timestamp, bool hex = true) {
    return receive::displayLine(Protocol::J1708, j1708(timestamp), hex);
}

QStringList commandsOf(const testsupport::TestDriverControl& driver) {
    QStringList commands;
    for (const QString& call : driver.calls())
        if (call.startsWith("SendCommand"))
            commands << call;
    return commands;
}

} // namespace

class TestReceiveDlg : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void protocolControlsUnlocked_data();
    void protocolControlsUnlocked();
    void startCommands_data();
    void startCommands();
    void stopCommands();
    void boxActions_data();
    void boxActions();
    void boxTickedDuringRunWaitsForNextStart();
    void filterButtonsOnlyWhileStopped();
    void linesShownLive();
    void clearTextDuringRun();
    void boxFollowsTheTextPastItsCap();
    void blockingPollDuringRunKeepsEveryLine();
    void closeDuringRunStops();
    void cancelDuringRunKeepsReceiving();
    void switchKeepsItsPictureAcrossHiding();
    void refreshAtMostAtScreenRate();

private:
    std::unique_ptr<ProbeDlg> dlg;
};

void TestReceiveDlg::init() {
    QVERIFY(rxtest::pauseAndReset());
    dlg = std::make_unique<ProbeDlg>();
    QVERIFY(dlg->create());
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
}

void TestReceiveDlg::cleanup() {
    QVERIFY(rxtest::pauseAndReset());
    dlg.reset();
}

void TestReceiveDlg::controls_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("name");
    auto row = [](int id, const char* caption, bool enabled, const char* name) {
        QTest::addRow("%d", id) << id << QString(caption) << enabled << QString(name);
    };
    row(IDC_RX_LOAD, "Load", true, "Load");
    row(IDC_RX_SAVE, "Save", true, "Save");
    row(IDC_RX_WINDOW_NUMBER, "0", true, "0");
    row(IDC_RX_PICTURE_BUTTON, "", false, "Receive picture");
    row(IDC_RX_BUFFER_SPILL, "Enable Buffer Spill", false, "Enable Buffer Spill");
    row(IDC_RX_BLOCKING_POLL, "Blocking Poll", true, "Blocking Poll");
    row(IDC_RX_MESSAGES, "0", true, "Messages");
    row(IDC_RX_FLAG_MESSAGES, "0", true, "Flag Messages");
    row(IDC_RX_TRIGGER_MESSAGES, "0", true, "Trigger Messages");
    row(IDC_RX_TEXT, "", true, "Received messages");
    row(IDC_RX_START, "&Start", true, "Start");
    row(IDC_RX_CLEAR, "Clear Te&xt", true, "Clear Text");
    row(IDC_RX_LOG, "&Log", false, "Log");
    row(IDC_RX_J1708, "J1708", false, "J1708");
    row(IDC_RX_J1850, "J1850", false, "J1850");
    row(IDC_RX_J1939, "J1939", false, "J1939");
    row(IDC_RX_J1708_FILTER, "Filter", false, "J1708 Filter");
    row(IDC_RX_J1850_FILTER, "Filter", false, "J1850 Filter");
    row(IDC_RX_J1939_FILTER, "Filter", false, "J1939 Filter");
    row(IDC_RX_J1708_FLAG, "Flag", false, "J1708 Flag");
    row(IDC_RX_J1850_FLAG, "Flag", false, "J1850 Flag");
    row(IDC_RX_J1939_FLAG, "Flag", false, "J1939 Flag");
    row(IDC_RX_TRIGGERS, "Triggers", false, "Triggers");
    row(IDC_RX_CLOSE, "&Close", true, "Close");
}

void TestReceiveDlg::controls() {
    QFETCH(int, id);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    QFETCH(QString, name);
    QWidget* control = dlg->item(id);
    QVERIFY(control);
    QCOMPARE(dlg->itemText(id), caption);
    QCOMPARE(control->isEnabled(), enabled);
    QCOMPARE(testsupport::accessibleName(control), name);
    if (auto* box = qobject_cast<QCheckBox*>(control))
        QVERIFY(!box->isChecked());
    QCOMPARE(dlg->windowTitle(), QString("Receive"));
    QCOMPARE(dlg->button(IDC_RX_SWITCH)->icon().cacheKey(), res::switchIcon(true).cacheKey());
    QVERIFY(!qobject_cast<QAbstractButton*>(dlg->item(IDC_RX_PICTURE_BUTTON))->icon().isNull());
    QVERIFY(!dlg->running());
    QCOMPARE(dlg->hexMode(), uint8_t(1));
}

void TestReceiveDlg::protocolControlsUnlocked_data() {
    QTest::addColumn<Protocol>("protocol");
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("filter"); // 0: none
    QTest::newRow("J1708") << Protocol::J1708 << int(IDC_RX_J1708) << int(IDC_RX_J1708_FILTER);
    QTest::newRow("J1850") << Protocol::J1850 << int(IDC_RX_J1850) << 0;
    QTest::newRow("J1939") << Protocol::J1939 << int(IDC_RX_J1939) << int(IDC_RX_J1939_FILTER);
}

void TestReceiveDlg::protocolControlsUnlocked() {
    QFETCH(Protocol, protocol);
    QFETCH(int, box);
    QFETCH(int, filter);
    dlg->enableProtocolControls(protocol);
    QVERIFY(dlg->isItemEnabled(box));
    QVERIFY(dlg->isItemChecked(box));
    for (int id : {IDC_RX_J1708_FILTER, IDC_RX_J1850_FILTER, IDC_RX_J1939_FILTER})
        QCOMPARE(dlg->isItemEnabled(id), id == filter);
    QCOMPARE(rxtest::setUp().calls(), QStringList()); // nothing is sent
}

void TestReceiveDlg::startCommands_data() {
    QTest::addColumn<int>("connected"); // bits
    QTest::addColumn<int>("ticked");    // bits
    QTest::addColumn<QStringList>("commands");
    const QStringList j1708 = {"SendCommand 18 1 [01] 1 -> 0", "SendCommand 17 1 [] 0 -> 0",
                               "SendCommand 3 1 [] 0 -> 0", "SendCommand 18 1 [01] 1 -> 0"};
    const QStringList j1850 = {"SendCommand 18 2 [01] 1 -> 0", "SendCommand 3 2 [] 0 -> 0"};
    const QStringList j1939 = {"SendCommand 18 3 [01] 1 -> 0",
                               "SendCommand 4 3 [00 00 00 00 00 00 00] 7 -> 0"};
    QTest::newRow("J1708") << 1 << 1 << j1708;
    QTest::newRow("J1850") << 2 << 2 << j1850;
    QTest::newRow("J1939") << 4 << 4 << j1939;
    QTest::newRow("all three") << 7 << 7 << (j1708 + j1850 + j1939);
    QTest::newRow("J1708 and J1939 of three") << 7 << 5 << (j1708 + j1939);
    QTest::newRow("ticked, not connected") << 0 << 7 << QStringList();
    QTest::newRow("connected, not ticked") << 7 << 0 << QStringList();
}

void TestReceiveDlg::startCommands() {
    QFETCH(int, connected);
    QFETCH(int, ticked);
    QFETCH(QStringList, commands);
    const auto& driver = rxtest::setUp();
    const int boxes[] = {IDC_RX_J1708, IDC_RX_J1850, IDC_RX_J1939};
    for (int p = 0; p < 3; ++p) {
        dlg->enableProtocolControls(Protocol(p));
        if (!(ticked & (1 << p)))
            clickItem(*dlg, boxes[p]); // stopped: J1708/J1939 send command 17
    }
    connect::driverBinding().connectedProtocols = uint8_t(connected);
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_START);
    QCOMPARE(commandsOf(driver), commands);
    QVERIFY(dlg->running());
    QCOMPARE(dlg->itemText(IDC_RX_START), QString("&Stop"));
    QCOMPARE(testsupport::accessibleName(dlg->item(IDC_RX_START)), QString("Stop"));
    QCOMPARE(receive::receiveShared().receiveStopped.load(), uint8_t(0));
}

// Stop switches off every connected protocol, ticked or not.
void TestReceiveDlg::stopCommands() {
    const auto& driver = rxtest::setUp();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_START);
    QCOMPARE(commandsOf(driver), QStringList({"SendCommand 17 1 [] 0 -> 0", "SendCommand 18 1 [00] 1 -> 0",
                                              "SendCommand 17 2 [] 0 -> 0", "SendCommand 18 2 [00] 1 -> 0",
                                              "SendCommand 17 3 [] 0 -> 0", "SendCommand 18 3 [00] 1 -> 0"}));
    QVERIFY(!dlg->running());
    QCOMPARE(dlg->itemText(IDC_RX_START), QString("&Start"));
    QCOMPARE(receive::receiveShared().receiveStopped.load(), uint8_t(1));
    // Through the main window's disconnect seam: the same action.
    dlg->startStop();
    QVERIFY(dlg->running());
    dlg->startStop();
    QVERIFY(!dlg->running());
}

void TestReceiveDlg::boxActions_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<bool>("run");
    QTest::addColumn<QStringList>("untick"); // first click: the box goes clear
    QTest::addColumn<QStringList>("tick");   // second click: ticked again
    QTest::newRow("J1708 stopped") << int(IDC_RX_J1708) << false << QStringList{"SendCommand 17 1 [] 0 -> 0"}
                                   << QStringList{"SendCommand 17 1 [] 0 -> 0"};
    QTest::newRow("J1708 running") << int(IDC_RX_J1708) << true
                                   << QStringList{"SendCommand 17 1 [] 0 -> 0",
                                                  "SendCommand 18 1 [00] 1 -> 0"}
                                   << QStringList{"SendCommand 17 1 [] 0 -> 0", "SendCommand 3 1 [] 0 -> 0",
                                                  "SendCommand 18 1 [01] 1 -> 0"};
    QTest::newRow("J1850 stopped") << int(IDC_RX_J1850) << false << QStringList() << QStringList();
    QTest::newRow("J1850 running") << int(IDC_RX_J1850) << true
                                   << QStringList{"SendCommand 17 2 [] 0 -> 0",
                                                  "SendCommand 18 2 [00] 1 -> 0"}
                                   << QStringList{"SendCommand 3 2 [] 0 -> 0",
                                                  "SendCommand 18 2 [01] 1 -> 0"};
    QTest::newRow("J1939 stopped") << int(IDC_RX_J1939) << false << QStringList{"SendCommand 17 3 [] 0 -> 0"}
                                   << QStringList{"SendCommand 17 3 [] 0 -> 0"};
    QTest::newRow("J1939 running") << int(IDC_RX_J1939) << true
                                   << QStringList{"SendCommand 17 3 [] 0 -> 0",
                                                  "SendCommand 18 3 [00] 1 -> 0"}
                                   << QStringList{"SendCommand 17 3 [] 0 -> 0",
                                                  "SendCommand 4 3 [00 00 00 00 00 00 00] 7 -> 0",
                                                  "SendCommand 18 3 [01] 1 -> 0"};
}

void TestReceiveDlg::boxActions() {
    QFETCH(int, box);
    QFETCH(bool, run);
    QFETCH(QStringList, untick);
    QFETCH(QStringList, tick);
    const auto& driver = rxtest::setUp();
    for (int p = 0; p < 3; ++p)
        dlg->enableProtocolControls(Protocol(p));
    if (run)
        clickItem(*dlg, IDC_RX_START);
    driver.clearCalls();
    clickItem(*dlg, box);
    QVERIFY(!dlg->isItemChecked(box));
    QCOMPARE(commandsOf(driver), untick);
    driver.clearCalls();
    clickItem(*dlg, box);
    QVERIFY(dlg->isItemChecked(box));
    QCOMPARE(commandsOf(driver), tick);
    QCOMPARE(dlg->running(), run);
}

// A box action never wakes a thread: J1850 ticked during a run yields lines
// only from the next Start on.
void TestReceiveDlg::boxTickedDuringRunWaitsForNextStart() {
    const auto& driver = rxtest::setUp();
    for (int p = 0; p < 3; ++p)
        dlg->enableProtocolControls(Protocol(p));
    clickItem(*dlg, IDC_RX_J1850);
    QTRY_VERIFY(receive::receiveShared().isWaiting(Protocol::J1850));
    clickItem(*dlg, IDC_RX_START);
    clickItem(*dlg, IDC_RX_J1850);
    driver.queueRead(rxtest::kJ1850Client, rxtest::message(9, {0, 0, 0, 0, 0x68, 0x6A, 0xF1, 1, 2}));
    driver.queueRead(rxtest::kJ1708Client, j1708(1));
    QTRY_COMPARE(receive::receiveShared().text.messageCount(), 1u);
    QVERIFY(receive::receiveShared().isWaiting(Protocol::J1850));
    QCOMPARE(driver.pendingReads(rxtest::kJ1850Client), 1);
    clickItem(*dlg, IDC_RX_START);
    clickItem(*dlg, IDC_RX_START);
    QTRY_COMPARE(receive::receiveShared().text.messageCount(), 2u);
    QCOMPARE(driver.pendingReads(rxtest::kJ1850Client), 0);
}

void TestReceiveDlg::filterButtonsOnlyWhileStopped() {
    const auto& driver = rxtest::setUp();
    for (int p = 0; p < 3; ++p)
        dlg->enableProtocolControls(Protocol(p));
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_J1708_FILTER);
    clickItem(*dlg, IDC_RX_J1939_FILTER);
    QCOMPARE(dlg->filterWindowsRun, 2);
    QCOMPARE(commandsOf(driver),
             QStringList({"SendCommand 3 1 [] 0 -> 0", "SendCommand 4 3 [00 00 00 00 00 00 00] 7 -> 0"}));
    dlg->filterAnswer = false; // Cancel: nothing is applied
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_J1708_FILTER);
    QCOMPARE(dlg->filterWindowsRun, 3);
    QCOMPARE(commandsOf(driver), QStringList());
    clickItem(*dlg, IDC_RX_START);
    driver.clearCalls();
    dlg->filterAnswer = true;
    clickItem(*dlg, IDC_RX_J1708_FILTER);
    clickItem(*dlg, IDC_RX_J1939_FILTER);
    QCOMPARE(dlg->filterWindowsRun, 3);
    QCOMPARE(commandsOf(driver), QStringList());
}

// Start, lines arrive in the box newest first, in the base of the moment.
void TestReceiveDlg::linesShownLive() {
    const auto& driver = rxtest::setUp();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    driver.queueRead(rxtest::kJ1708Client, j1708(1));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("1"));
    clickItem(*dlg, IDC_RX_SWITCH);
    QCOMPARE(dlg->hexMode(), uint8_t(0));
    QCOMPARE(dlg->button(IDC_RX_SWITCH)->icon().cacheKey(), res::switchIcon(false).cacheKey());
    driver.queueRead(rxtest::kJ1708Client, j1708(2));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("2"));
    QCOMPARE(boxText(*dlg), widgetText(j1708Line(2, false) + j1708Line(1, true)));
    QCOMPARE(dlg->itemText(IDC_RX_FLAG_MESSAGES), QString("0"));
    QCOMPARE(dlg->itemText(IDC_RX_TRIGGER_MESSAGES), QString("0"));
}

void TestReceiveDlg::clearTextDuringRun() {
    const auto& driver = rxtest::setUp();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    for (uint32_t n = 1; n <= 3; ++n)
        driver.queueRead(rxtest::kJ1708Client, j1708(n));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("3"));
    clickItem(*dlg, IDC_RX_CLEAR);
    QCOMPARE(boxText(*dlg), QString());
    QCOMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("0"));
    driver.queueRead(rxtest::kJ1708Client, j1708(4));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("1"));
    QCOMPARE(boxText(*dlg), widgetText(j1708Line(4)));
    QVERIFY(dlg->running());
}

// Lines arriving a few at a time, past the 101 kept: the box shows the text
// after every refresh, yet the lines it already showed stay in place (a
// rewrite would lay out every line again), and nothing is kept to undo.
void TestReceiveDlg::boxFollowsTheTextPastItsCap() {
    const auto& driver = rxtest::setUp();
    receive::ReceiveShared& shared = receive::receiveShared();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    QTextDocument* document = dlg->multiLineEdit(IDC_RX_TEXT)->document();
    constexpr uint32_t kBatch = 7;
    constexpr int kShownBefore = 1;
    for (uint32_t first = 1; first <= 140; first += kBatch) {
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            block.setUserState(kShownBefore);
        for (uint32_t n = first; n < first + kBatch; ++n)
            driver.queueRead(rxtest::kJ1708Client, j1708(n));
        QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString::number(first + kBatch - 1));
        QCOMPARE(boxText(*dlg), widgetText(shared.text.rxText()));
        int kept = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            kept += block.userState() == kShownBefore ? 1 : 0;
        QVERIFY2(kept >= document->blockCount() - int(kBatch), qPrintable(QString::number(kept)));
    }
    QCOMPARE(boxText(*dlg).count('\n'), 101);
    QVERIFY(!document->isUndoAvailable());

    // A reader scrolled down to older lines keeps them in view; at the top
    // the newest line shows.
    platform::MultiLineEdit* box = dlg->multiLineEdit(IDC_RX_TEXT);
    const auto topLine = [box] { return box->cursorForPosition(QPoint(4, 4)).block().text(); };
    box->verticalScrollBar()->setValue(30);
    const QString readerLine = topLine();
    for (uint32_t n = 141; n <= 143; ++n)
        driver.queueRead(rxtest::kJ1708Client, j1708(n));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("143"));
    QCOMPARE(topLine(), readerLine);
    box->verticalScrollBar()->setValue(0);
    driver.queueRead(rxtest::kJ1708Client, j1708(144));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("144"));
    QCOMPARE(topLine() + "\n", widgetText(j1708Line(144)));
}

// "Blocking Poll" takes the box back: the user's edit stays, and a line that
// arrived after the box's last refresh stays too, as does its count.
void TestReceiveDlg::blockingPollDuringRunKeepsEveryLine() {
    const auto& driver = rxtest::setUp();
    receive::ReceiveShared& shared = receive::receiveShared();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    driver.queueRead(rxtest::kJ1708Client, j1708(1));
    driver.queueRead(rxtest::kJ1708Client, j1708(2));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("2"));
    auto* box = dlg->multiLineEdit(IDC_RX_TEXT);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, "edited");
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->toPlainText(), QString("edited\n"));
    driver.queueRead(rxtest::kJ1708Client, j1708(3));
    QVERIFY(rxtest::waitWithoutEvents([&] { return shared.text.messageCount() == 3; }));
    clickItem(*dlg, IDC_RX_BLOCKING_POLL);
    QCOMPARE(dlg->blockingPoll(), 1);
    QCOMPARE(shared.text.rxText(), j1708Line(3) + "edited\r\n");
    QCOMPARE(shared.text.messageCount(), 3u);
    QTRY_COMPARE(boxText(*dlg), widgetText(j1708Line(3) + "edited\r\n"));
    QCOMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("3"));
    // The threads now block in the driver's read; the next message still comes.
    driver.queueRead(rxtest::kJ1708Client, j1708(4));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("4"));
}

void TestReceiveDlg::closeDuringRunStops() {
    const auto& driver = rxtest::setUp();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    driver.queueRead(rxtest::kJ1708Client, j1708(1));
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString("1"));
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_CLOSE);
    QVERIFY(!dlg->isVisible());
    QVERIFY(!dlg->running());
    QCOMPARE(receive::receiveShared().receiveStopped.load(), uint8_t(1));
    QCOMPARE(commandsOf(driver).mid(0, 2),
             QStringList({"SendCommand 17 1 [] 0 -> 0", "SendCommand 18 1 [00] 1 -> 0"}));
    QCOMPARE(receive::receiveShared().text.rxText(), j1708Line(1));
    dlg->show();
    QCOMPARE(dlg->itemText(IDC_RX_START), QString("&Start"));
    QCOMPARE(boxText(*dlg), widgetText(j1708Line(1)));
}

// The title-bar box hides without stopping; lines keep arriving meanwhile.
void TestReceiveDlg::cancelDuringRunKeepsReceiving() {
    const auto& driver = rxtest::setUp();
    dlg->enableProtocolControls(Protocol::J1708);
    clickItem(*dlg, IDC_RX_START);
    driver.clearCalls();
    dlg->close();
    QVERIFY(!dlg->isVisible());
    QVERIFY(dlg->running());
    QCOMPARE(commandsOf(driver), QStringList());
    driver.queueRead(rxtest::kJ1708Client, j1708(7));
    QTRY_COMPARE(receive::receiveShared().text.messageCount(), 1u);
    dlg->show();
    QTRY_COMPARE(boxText(*dlg), widgetText(j1708Line(7)));
    QCOMPARE(dlg->itemText(IDC_RX_START), QString("&Stop"));
}

void TestReceiveDlg::switchKeepsItsPictureAcrossHiding() {
    clickItem(*dlg, IDC_RX_SWITCH);
    dlg->hide();
    dlg->show();
    QCOMPARE(dlg->hexMode(), uint8_t(0));
    QCOMPARE(dlg->button(IDC_RX_SWITCH)->icon().cacheKey(), res::switchIcon(false).cacheKey());
    clickItem(*dlg, IDC_RX_SWITCH);
    QCOMPARE(dlg->hexMode(), uint8_t(1));
    QCOMPARE(dlg->button(IDC_RX_SWITCH)->icon().cacheKey(), res::switchIcon(true).cacheKey());
}

// Under a flood the box is rewritten no more often than the screen shows,
// the window's queue holds at most one refresh, and after the run the boxes
// show the final text and count.
void TestReceiveDlg::refreshAtMostAtScreenRate() {
    const auto& driver = rxtest::setUp();
    receive::ReceiveShared& shared = receive::receiveShared();
    dlg->enableProtocolControls(Protocol::J1939);
    driver.setReadFlood(rxtest::kJ1939Client, rxtest::message(5, {1, 2, 3, 4, 5, 6, 7, 8}));
    const uint64_t refreshesBefore = dlg->controlRefreshes();
    const uint64_t postedBefore = shared.refresh.eventsPosted();
    QElapsedTimer clock;
    clock.start();
    clickItem(*dlg, IDC_RX_START);
    QTest::qWait(300);
    clickItem(*dlg, IDC_RX_START);
    const qint64 elapsed = clock.elapsed();
    QTRY_VERIFY(shared.isWaiting(Protocol::J1939));
    const uint64_t refreshes = dlg->controlRefreshes() - refreshesBefore;
    QVERIFY2(refreshes <= uint64_t(elapsed / ReceiveDlg::kMinRefreshIntervalMs + 2),
             qPrintable(QStringLiteral("%1 refreshes in %2 ms").arg(refreshes).arg(elapsed)));
    const uint32_t count = shared.text.messageCount();
    QVERIFY(count > 100);
    QVERIFY(shared.refresh.eventsPosted() - postedBefore <= count);
    QTRY_COMPARE(dlg->itemText(IDC_RX_MESSAGES), QString::number(count));
    QCOMPARE(boxText(*dlg), widgetText(shared.text.rxText()));
}

QTEST_MAIN(TestReceiveDlg)
#include "tst_receive_dlg.moc"
