// The two receive filter windows driven as a user would, from the Receive
// window's Filter buttons, and the filter commands the driver receives on
// OK, at Start and at a box action during a run.
#include "receive/receive_dlg.h"
#include "receive_test_env.h"
#include "res/icons.h"
#include "res/ids/filt1708_ids.h"
#include "res/ids/filt1939_ids.h"
#include "res/ids/receive_ids.h"
#include "support/ui_helpers.h"

#include <QAbstractButton>
#include <QTest>

using connect::Protocol;
using receive::ReceiveDlg;
using testsupport::clickItem;
using testsupport::leaveItem;
using testsupport::typeInto;
using testsupport::whenModalRuns;
using namespace res;
using platform::IDCANCEL;
using platform::IDOK;

namespace {

QStringList commandsOf(const testsupport::TestDriverControl& driver) {
    QStringList commands;
    for (const QString& call : driver.calls())
        if (call.startsWith("SendCommand"))
            commands << call;
    return commands;
}

// The enabled state of each control, in id order.
QList<bool> enabledStates(const platform::Dialog& dialog, std::initializer_list<int> ids) {
    QList<bool> states;
    for (int id : ids)
        states << dialog.isItemEnabled(id);
    return states;
}

// Clicks a check box on its indicator: a click beyond a short caption
// misses the box.
void clickBox(platform::Dialog& dialog, int id) {
    QAbstractButton* box = dialog.button(id);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TestReceiveFilters : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void j1708Window_data();
    void j1708Window();
    void j1708Ok_data();
    void j1708Ok();
    void j1708CancelKeepsReadValuesAndSendsNothing();
    void j1708ReopensInItsBase();
    void j1939Ok_data();
    void j1939Ok();
    void j1939MaskFollowsBoxesAndBase();
    void j1939IdentifierTyped();
    void startAppliesBothFilters();
    void boxDuringRunAppliesFilter();

private:
    // Opens a filter window from its button, runs action inside it, then
    // returns the commands the driver received.
    QStringList runFilter(int button, std::function<void(platform::Dialog&)> action);

    std::unique_ptr<ReceiveDlg> dlg;
};

void TestReceiveFilters::init() {
    QVERIFY(rxtest::pauseAndReset());
    dlg = std::make_unique<ReceiveDlg>();
    QVERIFY(dlg->create());
    dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939})
        dlg->enableProtocolControls(protocol);
    rxtest::setUp().clearCalls();
}

void TestReceiveFilters::cleanup() {
    QVERIFY(rxtest::pauseAndReset());
    dlg.reset();
}

QStringList TestReceiveFilters::runFilter(int button, std::function<void(platform::Dialog&)> action) {
    const auto& driver = rxtest::setUp();
    driver.clearCalls();
    bool ran = false;
    whenModalRuns([&](platform::Dialog& filter) {
        ran = true;
        action(filter);
    });
    clickItem(*dlg, button);
    [&] { QVERIFY(ran); }();
    return commandsOf(driver);
}

void TestReceiveFilters::j1708Window_data() {
    QTest::addColumn<bool>("decimal");
    QTest::newRow("hexadecimal") << false;
    QTest::newRow("decimal") << true;
}

// Only the MID edit of the base in force is editable; PID and masks never.
void TestReceiveFilters::j1708Window() {
    QFETCH(bool, decimal);
    runFilter(IDC_RX_J1708_FILTER, [&](platform::Dialog& w) {
        QCOMPARE(w.windowTitle(), QString("J1708 Receive Message Filter"));
        if (decimal)
            clickItem(w, IDC_DISPLAY_SWITCH);
        const QList<bool> states = enabledStates(w, {IDC_MID_HEX, IDC_MID_DEC, IDC_PID_HEX, IDC_PID_DEC,
                                                     IDC_FILT1708_MID_MASK_HEX, IDC_FILT1708_MID_MASK_DEC,
                                                     IDC_FILT1708_PID_MASK_HEX, IDC_FILT1708_PID_MASK_DEC});
        QCOMPARE(states, QList<bool>({!decimal, decimal, false, false, false, false, false, false}));
        QCOMPARE(w.itemText(IDC_FILT1708_MID_MASK_HEX), QString("FF"));
        QCOMPARE(w.itemText(IDC_FILT1708_MID_MASK_DEC), QString("FF"));
        QCOMPARE(w.itemText(IDC_FILT1708_PID_MASK_HEX), QString("0"));
        QCOMPARE(w.itemText(IDC_FILT1708_PID_MASK_DEC), QString("0"));
        QVERIFY(w.isItemChecked(IDC_FILT1708_PASS));
        QCOMPARE(w.button(IDC_DISPLAY_SWITCH)->icon().cacheKey(), res::switchIcon(!decimal).cacheKey());
        clickItem(w, IDCANCEL);
    });
}

void TestReceiveFilters::j1708Ok_data() {
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("filter");
    QTest::addColumn<int>("mid");
    QTest::addColumn<QString>("command");
    QTest::newRow("hex 80, Filter") << false << "80" << true << 128 << "SendCommand 7 1 [80] 1 -> 0";
    QTest::newRow("dec 128, Filter") << true << "128" << true << 128 << "SendCommand 7 1 [80] 1 -> 0";
    QTest::newRow("hex 1f, Filter") << false << "1f" << true << 31 << "SendCommand 7 1 [1F] 1 -> 0";
    QTest::newRow("hex 80, Pass") << false << "80" << false << 128 << "SendCommand 3 1 [] 0 -> 0";
}

void TestReceiveFilters::j1708Ok() {
    QFETCH(bool, decimal);
    QFETCH(QString, typed);
    QFETCH(bool, filter);
    QFETCH(int, mid);
    QFETCH(QString, command);
    const QStringList sent = runFilter(IDC_RX_J1708_FILTER, [&](platform::Dialog& w) {
        if (decimal)
            clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, decimal ? IDC_MID_DEC : IDC_MID_HEX, typed);
        clickItem(w, filter ? IDC_FILT1708_FILTER : IDC_FILT1708_PASS);
        clickItem(w, IDOK);
    });
    QCOMPARE(sent, QStringList{command});
    QCOMPARE(int(dlg->j1708Filter.mid), mid);
    QCOMPARE(dlg->j1708Filter.midText, QString::asprintf("%X", mid));
    QCOMPARE(dlg->j1708Filter.filterMode, filter ? 1 : 0);
}

void TestReceiveFilters::j1708CancelKeepsReadValuesAndSendsNothing() {
    const QStringList sent = runFilter(IDC_RX_J1708_FILTER, [](platform::Dialog& w) {
        typeInto(w, IDC_MID_HEX, "2a");
        clickItem(w, IDC_FILT1708_FILTER);
        clickItem(w, IDCANCEL);
    });
    QCOMPARE(sent, QStringList());
    QCOMPARE(int(dlg->j1708Filter.mid), 0x2A); // read by the synchronisation of the MID
    QCOMPARE(dlg->j1708Filter.filterMode, 0);  // the radio button was never read
}

void TestReceiveFilters::j1708ReopensInItsBase() {
    runFilter(IDC_RX_J1708_FILTER, [](platform::Dialog& w) {
        clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, IDC_MID_DEC, "200");
        clickItem(w, IDOK);
    });
    QCOMPARE(dlg->j1708Filter.hexMode, uint8_t(0));
    runFilter(IDC_RX_J1708_FILTER, [](platform::Dialog& w) {
        QVERIFY(w.isItemEnabled(IDC_MID_DEC));
        QVERIFY(!w.isItemEnabled(IDC_MID_HEX));
        QVERIFY(!w.isItemEnabled(IDC_PID_DEC));
        QCOMPARE(w.itemText(IDC_MID_DEC), QString("200"));
        QCOMPARE(w.itemText(IDC_MID_HEX), QString("C8"));
        QCOMPARE(w.upDown(IDC_MID_HEX_SPIN)->pos(), 200);
        clickItem(w, IDCANCEL);
    });
}

void TestReceiveFilters::j1939Ok_data() {
    QTest::addColumn<bool>("decimal");
    QTest::addColumn<QString>("pgn");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<bool>("filterRadio");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("command");
    const QList<int> pgnAndSource = {IDC_FILT1939_USE_PGN, IDC_FILT1939_USE_SOURCE};
    const QList<int> all = {IDC_FILT1939_USE_PRIORITY, IDC_FILT1939_USE_PGN, IDC_FILT1939_USE_DESTINATION,
                            IDC_FILT1939_USE_SOURCE};
    QTest::newRow("PF F0: PS in the PGN") << false << "F0"
                                          << "04" << pgnAndSource << false << "FF00FF"
                                          << "SendCommand 4 3 [05 04 F0 00 03 00 00] 7 -> 0";
    QTest::newRow("PF EA: PS as destination") << false << "EA"
                                              << "17" << pgnAndSource << false << "FF00FF"
                                              << "SendCommand 4 3 [05 00 EA 00 03 00 17] 7 -> 0";
    QTest::newRow("Filter radio changes nothing") << false << "F0"
                                                  << "04" << pgnAndSource << true << "FF00FF"
                                                  << "SendCommand 4 3 [05 04 F0 00 03 00 00] 7 -> 0";
    QTest::newRow("all four, decimal") << true << "240"
                                       << "4" << all << false << "486539263"
                                       << "SendCommand 4 3 [0F 04 F0 00 03 00 00] 7 -> 0";
    QTest::newRow("no box") << false << "F0"
                            << "04" << QList<int>() << false << "0"
                            << "SendCommand 4 3 [00 04 F0 00 03 00 00] 7 -> 0";
}

void TestReceiveFilters::j1939Ok() {
    QFETCH(bool, decimal);
    QFETCH(QString, pgn);
    QFETCH(QString, destination);
    QFETCH(QList<int>, boxes);
    QFETCH(bool, filterRadio);
    QFETCH(QString, mask);
    QFETCH(QString, command);
    const QStringList sent = runFilter(IDC_RX_J1939_FILTER, [&](platform::Dialog& w) {
        QCOMPARE(w.windowTitle(), QString("J1939 Receive Message Filter"));
        if (decimal)
            clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, decimal ? IDC_PGN_DEC : IDC_PGN_HEX, pgn);
        typeInto(w, decimal ? IDC_DEST_DEC : IDC_DEST_HEX, destination);
        typeInto(w, IDC_PRIORITY, "3");
        for (int box : boxes)
            clickBox(w, box);
        if (filterRadio)
            clickItem(w, IDC_FILT1939_FILTER);
        QCOMPARE(w.itemText(IDC_FILT1939_MASK), mask);
        QVERIFY(w.edit(IDC_FILT1939_MASK)->isReadOnly());
        clickItem(w, IDOK);
    });
    QCOMPARE(sent, QStringList{command});
    QCOMPARE(dlg->j1939Filter.maskText, mask);
    QCOMPARE(dlg->j1939Filter.filterMode, filterRadio ? 1 : 0);
}

void TestReceiveFilters::j1939MaskFollowsBoxesAndBase() {
    runFilter(IDC_RX_J1939_FILTER, [](platform::Dialog& w) {
        for (int box : {IDC_FILT1939_USE_PRIORITY, IDC_FILT1939_USE_PGN, IDC_FILT1939_USE_DESTINATION,
                        IDC_FILT1939_USE_SOURCE})
            clickBox(w, box);
        QCOMPARE(w.itemText(IDC_FILT1939_MASK), QString("1CFFFFFF"));
        clickItem(w, IDC_DISPLAY_SWITCH);
        QCOMPARE(w.itemText(IDC_FILT1939_MASK), QString("486539263"));
        clickBox(w, IDC_FILT1939_USE_PRIORITY);
        QCOMPARE(w.itemText(IDC_FILT1939_MASK), QString("16777215"));
        clickItem(w, IDC_DISPLAY_SWITCH);
        QCOMPARE(w.itemText(IDC_FILT1939_MASK), QString("FFFFFF"));
        clickItem(w, IDCANCEL);
    });
    // Values read by the box handlers stay after Cancel; Start applies them.
    QCOMPARE(dlg->j1939Filter.usePriority, 0);
    QCOMPARE(dlg->j1939Filter.useSource, 1);
    rxtest::setUp().clearCalls();
    clickItem(*dlg, IDC_RX_START);
    QVERIFY(commandsOf(rxtest::setUp()).contains("SendCommand 4 3 [0D 00 00 00 00 00 00] 7 -> 0"));
}

void TestReceiveFilters::j1939IdentifierTyped() {
    const QStringList sent = runFilter(IDC_RX_J1939_FILTER, [](platform::Dialog& w) {
        typeInto(w, IDC_IDENTIFIER, "18F00417");
        leaveItem(w, IDC_IDENTIFIER);
        QCOMPARE(w.itemText(IDC_PRIORITY), QString("6"));
        QCOMPARE(w.itemText(IDC_PGN_HEX), QString("F0"));
        clickBox(w, IDC_FILT1939_USE_SOURCE);
        clickItem(w, IDOK);
    });
    QCOMPARE(sent, QStringList{"SendCommand 4 3 [04 04 F0 00 06 17 00] 7 -> 0"});
}

void TestReceiveFilters::startAppliesBothFilters() {
    dlg->j1708Filter.filterMode = 1;
    dlg->j1708Filter.mid = 0x80;
    dlg->j1939Filter.usePgn = 1;
    dlg->j1939Filter.pf = 0xEA;
    dlg->j1939Filter.destination = 0x17;
    const auto& driver = rxtest::setUp();
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_START);
    QCOMPARE(commandsOf(driver),
             QStringList({"SendCommand 18 1 [01] 1 -> 0", "SendCommand 17 1 [] 0 -> 0",
                          "SendCommand 7 1 [80] 1 -> 0", "SendCommand 18 1 [01] 1 -> 0",
                          "SendCommand 18 2 [01] 1 -> 0", "SendCommand 3 2 [] 0 -> 0",
                          "SendCommand 18 3 [01] 1 -> 0", "SendCommand 4 3 [01 00 EA 00 00 00 17] 7 -> 0"}));
}

void TestReceiveFilters::boxDuringRunAppliesFilter() {
    dlg->j1708Filter.filterMode = 1;
    dlg->j1708Filter.mid = 0x0A;
    dlg->j1939Filter.useDestination = 1;
    dlg->j1939Filter.destination = 0x21;
    clickItem(*dlg, IDC_RX_START);
    const auto& driver = rxtest::setUp();
    clickItem(*dlg, IDC_RX_J1708); // cleared: no filter
    clickItem(*dlg, IDC_RX_J1939);
    driver.clearCalls();
    clickItem(*dlg, IDC_RX_J1708); // ticked again
    clickItem(*dlg, IDC_RX_J1939);
    QCOMPARE(commandsOf(driver),
             QStringList({"SendCommand 17 1 [] 0 -> 0", "SendCommand 7 1 [0A] 1 -> 0",
                          "SendCommand 18 1 [01] 1 -> 0", "SendCommand 17 3 [] 0 -> 0",
                          "SendCommand 4 3 [08 00 00 00 00 00 21] 7 -> 0", "SendCommand 18 3 [01] 1 -> 0"}));
}

QTEST_MAIN(TestReceiveFilters)
#include "tst_receive_filters.moc"
