// The Diagnostics window through the test driver: what it asks the network,
// and what it shows of the answers that come back, on an injected clock.
#include "connect/driver_selection.h"
#include "diagnostics/diagnostics_window.h"
#include "support/test_driver_control.h"
#include "support/ui_helpers.h"

#include <libxml/HTMLparser.h>
#include <libxml/xmlerror.h>

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace testsupport;
using namespace diagnostics;
using namespace std::chrono_literals;

namespace {

constexpr int16_t kClient = 0; // the first client after a reset

std::vector<uint8_t> received(uint32_t pgn, uint8_t source, uint8_t destination, std::vector<uint8_t> data) {
    std::vector<uint8_t> buffer = {
        0, 0, 0, 1, uint8_t(pgn), uint8_t(pgn >> 8), uint8_t(pgn >> 16), 6, source, destination};
    buffer.insert(buffer.end(), data.begin(), data.end());
    return buffer;
}

// NAMEs written out from the bit layout: the simulated engine's, and one
// with every field set (identity 0x1ABCD, manufacturer 291, ECU instance 5,
// function instance 3, function 130, vehicle system 37, its instance 9,
// industry group 2, arbitrary address capable).
const std::vector<uint8_t> kEngineName = {0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};
const std::vector<uint8_t> kFullName = {0xCD, 0xAB, 0x61, 0x24, 0x1D, 0x82, 0x4A, 0xA9};

// DM1s: no code; amber on with SPN 110 FMI 16 seen 3 times; MIL flashing
// fast and amber on with three codes, the last SPN 520192 FMI 2, conversion
// method 1, seen 5 times.
const std::vector<uint8_t> kNoCode = {0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
const std::vector<uint8_t> kOneCode = {0x04, 0xFF, 0x6E, 0x00, 0x10, 0x03};
const std::vector<uint8_t> kThreeCodes = {0x44, 0x7F, 0x6E, 0x00, 0x10, 0x03, 0x64,
                                          0x00, 0x01, 0x01, 0x00, 0xF0, 0xE2, 0x85};

QString cell(QAbstractItemModel& model, int row, int column) {
    return model.index(row, column).data().toString();
}

std::vector<uint8_t> bytesOf(const char* text) {
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

// The page read back by libxml2's HTML parser: its text per element name,
// and every parse error.
struct ParsedPage {
    QStringList errors;
    QMultiMap<QString, QString> textByElement;
};

void collectText(xmlNode* node, ParsedPage& page) {
    for (xmlNode* at = node; at; at = at->next) {
        if (at->type == XML_ELEMENT_NODE) {
            xmlChar* content = xmlNodeGetContent(at);
            page.textByElement.insert(QString::fromUtf8(reinterpret_cast<const char*>(at->name)),
                                      QString::fromUtf8(reinterpret_cast<const char*>(content)));
            xmlFree(content);
        }
        collectText(at->children, page);
    }
}

ParsedPage parseHtml(const QByteArray& html) {
    ParsedPage page;
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    xmlSetStructuredErrorFunc(&page, [](void* user, xmlErrorPtr error) {
        static_cast<ParsedPage*>(user)->errors << QString::fromUtf8(error->message).trimmed();
    });
    htmlDocPtr document = htmlCtxtReadMemory(context, html.constData(), int(html.size()), "report.html",
                                             "UTF-8", HTML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!document)
        page.errors << QStringLiteral("no document");
    else
        collectText(xmlDocGetRootElement(document), page);
    xmlFreeDoc(document);
    htmlFreeParserCtxt(context);
    return page;
}

} // namespace

class TestDiagnosticsWindow : public QObject {
    Q_OBJECT
    TimePoint now_{std::chrono::hours(1)};
    std::unique_ptr<DiagnosticsWindow> window_;
    TestDriverControl driver_;

    DiagnosticsWindow& window() { return *window_; }
    uint64_t fed_ = 0;
    void feed(uint32_t pgn, uint8_t source, std::vector<uint8_t> data, uint8_t destination = 0xFF) {
        driver_.queueRead(kClient, received(pgn, source, destination, std::move(data)));
        ++fed_;
    }
    // Waits until the reader has handed over everything fed, then lets the
    // window take it (as its timer would).
    void settle() {
        QTRY_COMPARE(window().client().messagesReceived(), fed_);
        window().takeUpdates();
    }
    QStringList sent() const { return driver_.calls().filter(QStringLiteral("SendMessage ")); }
    void openWindow(ConnectionInfo info = {101, QStringLiteral("TDRV1210"), std::nullopt, std::nullopt}) {
        fed_ = 0;
        window_ = std::make_unique<DiagnosticsWindow>([this] { return now_; });
        window().setConnection(info);
        window().show();
    }
    void openReady() {
        openWindow();
        QTRY_VERIFY(window().statusText().contains(QStringLiteral("node 0xF9")));
        QTRY_COMPARE(sent().size(), 1);
    }
    void nodesClaim() {
        feed(60928, 0x00, kEngineName);
        feed(60928, 0x03, kFullName);
        settle();
        QCOMPARE(window().nodeTable().rowCount(), 2);
    }

private slots:
    void initTestCase() { QVERIFY(connect::loadDriverForTest(kTestDriverName)); }
    void init() { driver_.reset(); }
    void cleanup() {
        window_.reset();
        driver_.reset();
    }

    // The window's client: which address it claims, and what it says when
    // the driver refuses it or the claims fail.
    void claim_data() {
        QTest::addColumn<int>("addressInUse");        // -1: none
        QTest::addColumn<int>("connectResult");       // 0: the driver's own id
        QTest::addColumn<QList<int>>("claimResults"); // per claim tried
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("claimsSent");
        QTest::newRow("default") << -1 << 0 << QList<int>{} << "This window is J1939 node 0xF9."
                                 << QStringList{"SendCommand 19 0 [F9"};
        QTest::newRow("F9 held by the connection")
            << 0xF9 << 0 << QList<int>{} << "node 0xFA (0xF9 is held by the connection's own client)"
            << QStringList{"SendCommand 19 0 [FA"};
        QTest::newRow("F9 lost to a lower NAME")
            << -1 << 0 << QList<int>{146} << "node 0xFA (claiming 0xF9 failed: Error 146: Unknown Error)."
            << QStringList{"SendCommand 19 0 [F9", "SendCommand 19 0 [FA"};
        QTest::newRow("both lost") << -1 << 0 << QList<int>{146, 146}
                                   << "could not claim a J1939 address, so it cannot send requests"
                                   << QStringList{"SendCommand 19 0 [F9", "SendCommand 19 0 [FA"};
        QTest::newRow("second client refused")
            << -1 << 131 << QList<int>{} << "The driver refused a J1939 client for this window (Error 131"
            << QStringList{};
    }
    void claim() {
        QFETCH(int, addressInUse);
        QFETCH(int, connectResult);
        QFETCH(QList<int>, claimResults);
        QFETCH(QString, status);
        QFETCH(QStringList, claimsSent);
        if (connectResult)
            driver_.queueResult("ClientConnect", int16_t(connectResult));
        for (int result : claimResults)
            driver_.queueResult("SendCommand", int16_t(result));
        ConnectionInfo info{101, QStringLiteral("TDRV1210"), std::nullopt, std::nullopt};
        if (addressInUse >= 0)
            info.addressInUse = uint8_t(addressInUse);
        openWindow(info);
        QTRY_VERIFY2(window().statusText().contains(status), qPrintable(window().statusText()));
        const QStringList claims = driver_.calls().filter(QStringLiteral("SendCommand 19 "));
        QCOMPARE(claims.size(), claimsSent.size());
        for (int i = 0; i < claims.size(); ++i)
            QVERIFY2(claims[i].startsWith(claimsSent[i]), qPrintable(claims[i]));
        // Only a client holding an address asks anything; one without lets
        // its client go.
        const bool ready = status.contains(QStringLiteral("node 0x"));
        QCOMPARE(window().refreshButton()->isEnabled(), ready);
        if (ready) {
            QTRY_COMPARE(sent().size(), 1);
            QVERIFY2(sent()[0].contains(QStringLiteral("[00 EA 00 06 ") +
                                        status.mid(status.indexOf("0x") + 2, 2) +
                                        QStringLiteral(" FF 00 EE 00]")),
                     qPrintable(sent()[0]));
        } else if (!claimsSent.isEmpty()) {
            QVERIFY(driver_.calls().filter(QStringLiteral("ClientDisconnect 0")).size() == 1);
        }
    }

    // Nodes answering the Request for Address Claimed, with their NAMEs
    // decoded; a NAME heard at another address moves its node.
    void nodesAndNames() {
        openReady();
        nodesClaim();
        auto& nodes = window().nodeTable();
        QCOMPARE(cell(nodes, 0, NodeTableModel::Address), QStringLiteral("0x00"));
        QCOMPARE(cell(nodes, 0, NodeTableModel::NameHex), QStringLiteral("1000000000000101"));
        QCOMPARE(cell(nodes, 0, NodeTableModel::IndustryGroup), QStringLiteral("1"));
        const QStringList full = {"0x03", "A94A821D2461ABCD", "291", "130", "37", "5", "2", "yes"};
        for (int column = 0; column < full.size(); ++column)
            QCOMPARE(cell(nodes, 1, column), full[column]);
        QCOMPARE(cell(nodes, 1, NodeTableModel::LastHeard), QStringLiteral("0 s ago"));
        now_ += 7s;
        window().takeUpdates();
        QCOMPARE(cell(nodes, 1, NodeTableModel::LastHeard), QStringLiteral("7 s ago"));

        feed(60928, 0x25, kFullName); // the same ECU, now at 0x25
        settle();
        QCOMPARE(nodes.rowCount(), 2);
        QCOMPARE(cell(nodes, 1, NodeTableModel::Address), QStringLiteral("0x25"));

        // Refresh asks again, to every node.
        driver_.clearCalls();
        QTest::mouseClick(window().refreshButton(), Qt::LeftButton);
        QCOMPARE(sent(), QStringList{"SendMessage 0 [00 EA 00 06 F9 FF 00 EE 00] 9 0 0 -> 0"});
    }

    // A node's latest DM1: lamps in words, codes with SPN (named when a DBC
    // knows it), FMI and its meaning, occurrences and conversion method.
    void dm1_data() {
        QTest::addColumn<std::vector<uint8_t>>("dm1");
        QTest::addColumn<QStringList>("lamps");
        QTest::addColumn<QStringList>("codes"); // SPN|FMI number|occurrences|conversion method
        QTest::newRow("no code") << kNoCode
                                 << QStringList{"MIL: off", "Red stop: off", "Amber warning: off",
                                                "Protect: off"}
                                 << QStringList{};
        QTest::newRow("one code") << kOneCode
                                  << QStringList{"MIL: off", "Red stop: off", "Amber warning: on",
                                                 "Protect: off"}
                                  << QStringList{"110 Engine Coolant Temperature|16|3|0"};
        QTest::newRow("three codes") << kThreeCodes
                                     << QStringList{"MIL: flashing fast", "Red stop: off",
                                                    "Amber warning: on", "Protect: off"}
                                     << QStringList{"110 Engine Coolant Temperature|16|3|0", "100|1|1|0",
                                                    "520192|2|5|1"};
    }
    void dm1() {
        QFETCH(std::vector<uint8_t>, dm1);
        QFETCH(QStringList, lamps);
        QFETCH(QStringList, codes);
        openReady();
        window().setSpnNameLookup([](uint32_t spn) {
            return spn == 110 ? std::string("Engine Coolant Temperature") : std::string();
        });
        feed(60928, 0x00, kEngineName);
        feed(65226, 0x00, dm1);
        settle();
        window().selectNode(0x00);
        for (int lamp = 0; lamp < 4; ++lamp)
            QCOMPARE(window().lampText(lamp), lamps[lamp]);
        auto& faults = window().faultTable();
        QCOMPARE(faults.rowCount(), codes.size());
        for (int row = 0; row < codes.size(); ++row) {
            const QStringList expected = codes[row].split('|');
            QCOMPARE(cell(faults, row, FaultTableModel::Kind), QStringLiteral("Active"));
            QCOMPARE(cell(faults, row, FaultTableModel::Spn), expected[0]);
            const QString fmi = cell(faults, row, FaultTableModel::Fmi);
            QVERIFY2(fmi.startsWith(expected[1] + ' ') && fmi.size() > 10, qPrintable(fmi));
            QCOMPARE(cell(faults, row, FaultTableModel::Occurrences), expected[2]);
            QCOMPARE(cell(faults, row, FaultTableModel::ConversionMethod), expected[3]);
        }
        // The fault goes when the node's DM1 says none.
        feed(65226, 0x00, kNoCode);
        settle();
        QCOMPARE(faults.rowCount(), 0);
        QCOMPARE(cell(window().nodeTable(), 0, NodeTableModel::Faults), QStringLiteral("none active"));
    }

    // A DM1 that stops coming: its codes are marked stale after 3 s, and
    // fresh again with the next one.
    void staleDm1() {
        openReady();
        feed(65226, 0x00, kOneCode);
        settle();
        window().selectNode(0x00);
        now_ += 2999ms;
        window().takeUpdates();
        QCOMPARE(window().staleText(), QString());
        QCOMPARE(cell(window().faultTable(), 0, FaultTableModel::Kind), QStringLiteral("Active"));
        now_ += 1ms;
        window().takeUpdates();
        QCOMPARE(window().staleText(), QStringLiteral("Stale: no DM1 for 3 s"));
        QCOMPARE(cell(window().faultTable(), 0, FaultTableModel::Kind), QStringLiteral("Active (stale)"));
        QCOMPARE(cell(window().nodeTable(), 0, NodeTableModel::Faults), QStringLiteral("1 active, stale"));
        feed(65226, 0x00, kOneCode);
        settle();
        QCOMPARE(window().staleText(), QString());
    }

    // "Previously active" asks the chosen node, or every node, for DM2 and
    // lists the answer apart from the active codes.
    void previouslyActive() {
        openReady();
        nodesClaim();
        feed(65226, 0x03, kOneCode);
        settle();
        window().selectNode(0x03);
        driver_.clearCalls();
        QTest::mouseClick(window().previouslyActiveButton(), Qt::LeftButton);
        window().setTarget(DiagnosticsWindow::Target::AllNodes);
        QTest::mouseClick(window().previouslyActiveButton(), Qt::LeftButton);
        QCOMPARE(sent(), (QStringList{"SendMessage 0 [00 EA 00 06 F9 03 CB FE 00] 9 0 0 -> 0",
                                      "SendMessage 0 [00 EA 00 06 F9 FF CB FE 00] 9 0 0 -> 0"}));
        feed(65227, 0x03, {0x00, 0xFF, 0x64, 0x00, 0x01, 0x02}, 0xF9);
        settle();
        auto& faults = window().faultTable();
        QCOMPARE(faults.rowCount(), 2);
        QCOMPARE(cell(faults, 0, FaultTableModel::Kind), QStringLiteral("Active"));
        QCOMPARE(cell(faults, 1, FaultTableModel::Kind), QStringLiteral("Previously active"));
        QCOMPARE(cell(faults, 1, FaultTableModel::Spn), QStringLiteral("100"));
        QCOMPARE(cell(faults, 1, FaultTableModel::Occurrences), QStringLiteral("2"));
    }

    // Clearing, behind a confirmation that names what goes on which ECUs;
    // each node's acknowledgment shown, and silence said as such.
    void clear_data() {
        QTest::addColumn<bool>("active"); // DM11, else DM3
        QTest::addColumn<bool>("global");
        QTest::addColumn<int>("control"); // acknowledgment control byte; -1 none
        QTest::addColumn<QString>("shown");
        QTest::newRow("DM11 positive") << true << false << 0 << "cleared (positive acknowledgment)";
        QTest::newRow("DM11 negative") << true << false << 1 << "refused (negative acknowledgment)";
        QTest::newRow("DM11 access denied") << true << true << 2 << "access denied";
        QTest::newRow("DM11 cannot respond") << true << true << 3 << "cannot respond";
        QTest::newRow("DM11 unanswered") << true << true << -1 << "no answer (timed out)";
        QTest::newRow("DM3 positive") << false << true << 0 << "cleared (positive acknowledgment)";
        QTest::newRow("DM3 unanswered") << false << false << -1 << "no answer (timed out)";
    }
    void clear() {
        QFETCH(bool, active);
        QFETCH(bool, global);
        QFETCH(int, control);
        QFETCH(QString, shown);
        openReady();
        nodesClaim();
        window().selectNode(0x03);
        window().setTarget(global ? DiagnosticsWindow::Target::AllNodes
                                  : DiagnosticsWindow::Target::SelectedNode);
        QPushButton* button = active ? window().clearActiveButton() : window().clearPreviouslyActiveButton();
        const QString pgn = active ? QStringLiteral("D3 FE 00") : QStringLiteral("CC FE 00");
        driver_.clearCalls();
        {
            MessageRecorder declined(platform::IDNO);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(declined.messages().size(), std::size_t(1));
            const QString question = declined.messages()[0].text;
            QVERIFY2(question.contains(active ? QStringLiteral("active trouble codes (DM11)")
                                              : QStringLiteral("previously active trouble codes (DM3)")),
                     qPrintable(question));
            QVERIFY(question.contains(QStringLiteral("0x03 (NAME A94A821D2461ABCD)")));
            QCOMPARE(question.contains(QStringLiteral("0x00 (NAME 1000000000000101)")), global);
            QVERIFY(sent().isEmpty());
        }
        MessageRecorder confirmed(platform::IDYES);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(sent(), QStringList{QStringLiteral("SendMessage 0 [00 EA 00 06 F9 %1 %2] 9 0 0 -> 0")
                                         .arg(global ? "FF" : "03", pgn)});
        const int column = active ? NodeTableModel::ClearActive : NodeTableModel::ClearPreviouslyActive;
        auto& nodes = window().nodeTable();
        QCOMPARE(cell(nodes, 1, column), QStringLiteral("waiting for an answer"));
        if (control >= 0) {
            std::vector<uint8_t> acknowledgment = {uint8_t(control), 0xFF, 0xFF, 0xFF, 0xF9};
            acknowledgment.push_back(active ? 0xD3 : 0xCC);
            acknowledgment.push_back(0xFE);
            acknowledgment.push_back(0x00);
            feed(59392, 0x03, acknowledgment);
            settle();
        }
        now_ += NetworkModel::kAcknowledgmentTimeout;
        window().takeUpdates();
        QCOMPARE(cell(nodes, 1, column), shown);
        // A node asked along with the others that never answered.
        QCOMPARE(cell(nodes, 0, column), global ? QStringLiteral("no answer (timed out)") : QString());
    }

    // The saved report: well-formed HTML with no script, every node with its
    // NAME and IDs, every active and previously active code; what ECUs send
    // stays text, markup included.
    void report() {
        openReady();
        nodesClaim();
        feed(65226, 0x00, kThreeCodes);
        feed(65227, 0x03, {0x00, 0xFF, 0x64, 0x00, 0x01, 0x02});
        feed(65259, 0x03, bytesOf("ZT*<script>alert(1)</script>*SN&1*"));
        feed(65242, 0x03,
             bytesOf("\x02"
                     "1.2*B&C*"));
        feed(65260, 0x00, bytesOf("1ZTTRVK7XPN000101*"));
        settle();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.html"));
        FileDialogAnswer answer(path);
        QTest::mouseClick(window().saveReportButton(), Qt::LeftButton);
        QCOMPARE(answer.requests().size(), std::size_t(1));
        QVERIFY(answer.requests()[0].save);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const ParsedPage page = parseHtml(file.readAll());
        QVERIFY2(page.errors.isEmpty(), qPrintable(page.errors.join('\n')));
        QVERIFY(!page.textByElement.contains(QStringLiteral("script")));
        const QString body = page.textByElement.value(QStringLiteral("body"));
        for (const char* expected :
             {"Node 0x00", "1000000000000101", "Node 0x03", "A94A821D2461ABCD", "manufacturer 291",
              "1ZTTRVK7XPN000101", "ZT / <script>alert(1)</script> / SN&1", "1.2 / B&C", "Device101",
              "DriverTDRV1210", "MIL: flashing fast", "Amber warning: on", "Previously active codes (DM2)"})
            QVERIFY2(body.contains(QString::fromUtf8(expected)), expected);
        const QStringList cells = page.textByElement.values(QStringLiteral("td"));
        for (const char* code : {"110", "100", "520192"})
            QVERIFY2(cells.contains(QString::fromLatin1(code)), code);
        QCOMPARE(cells.count(QStringLiteral("100")), 2); // active at 0x00, previously active at 0x03
    }

    // Every control is reached with Tab; lamps say their state in words.
    void keyboard() {
        openReady();
        QList<QWidget*> expected = {window().refreshButton(),
                                    window().requestIdsButton(),
                                    window().previouslyActiveButton(),
                                    window().clearActiveButton(),
                                    window().clearPreviouslyActiveButton(),
                                    window().targetBox(),
                                    window().saveReportButton(),
                                    window().nodeView(),
                                    window().faultView()};
        QList<QWidget*> reached;
        QWidget* at = window().refreshButton();
        for (int i = 0; i < 20 && at; ++i) {
            if (!reached.contains(at))
                reached << at;
            at = at->nextInFocusChain();
            while (at && at != &window() && !(at->focusPolicy() & Qt::TabFocus))
                at = at->nextInFocusChain();
        }
        for (QWidget* control : expected)
            QVERIFY2(reached.contains(control), qPrintable(control->accessibleName()));
    }
};

QTEST_MAIN(TestDiagnosticsWindow)
#include "tst_diagnostics_window.moc"
