// The receive text: newest first, the 101-line cap by line feeds, and taking
// an edited text box back while lines arrive.
#include "receive/rx_text.h"

#include <QRandomGenerator>
#include <QTest>

#include <string>

using receive::RxTextBuffer;

namespace {

std::string lineNo(int n) {
    return "RXJ1708  " + std::to_string(n) + "\r\n";
}

int lineFeeds(std::string_view text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

// The rule on a plain string, as a reference for the buffer.
void referenceAdd(std::string& text, uint32_t& count, const std::string& line) {
    text = line + text;
    if (count > 100)
        text.resize(receive::oldestLineCut(text));
    ++count;
}

} // namespace

class TestRxText : public QObject {
    Q_OBJECT
private slots:
    void oldestLineCut_data();
    void oldestLineCut();
    void capAt101Lines();
    void editedTextLosesByLineFeeds();
    void bufferMatchesPlainString();
    void mergeTakenBack_data();
    void mergeTakenBack();
    void endsChange_data();
    void endsChange();
};

void TestRxText::oldestLineCut_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("two lines") << "A\r\nB\r\n"
                               << "A\r\n";
    QTest::newRow("one line feed: empty") << "A\r\n"
                                          << "";
    QTest::newRow("no line feed: unchanged") << "typed"
                                             << "typed";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("text after the final line feed goes too") << "A\r\nB\r\nxyz"
                                                             << "A\r\n";
    QTest::newRow("bare line feeds") << "A\nB\n"
                                     << "A\n";
    QTest::newRow("leading line feed") << "\nB\n"
                                       << "\n";
}

void TestRxText::oldestLineCut() {
    QFETCH(QString, text);
    QFETCH(QString, kept);
    const std::string s = text.toStdString();
    QCOMPARE(QString::fromStdString(s.substr(0, receive::oldestLineCut(s))), kept);
}

// From an empty text: 101 lines stay; the 102nd drops the very first line
// and the count goes on.
void TestRxText::capAt101Lines() {
    RxTextBuffer text;
    uint32_t count = 0;
    for (int n = 1; n <= 101; ++n)
        QVERIFY(!receive::addReceivedLine(text, count, lineNo(n)));
    QCOMPARE(lineFeeds(text.view()), 101);
    QCOMPARE(count, 101u);
    QVERIFY(text.view().starts_with(lineNo(101)));
    QVERIFY(text.view().ends_with(lineNo(1)));

    QVERIFY(receive::addReceivedLine(text, count, lineNo(102)));
    QCOMPARE(lineFeeds(text.view()), 101);
    QCOMPARE(count, 102u);
    QVERIFY(text.view().starts_with(lineNo(102)));
    QVERIFY(text.view().ends_with(lineNo(2)));

    for (int n = 103; n <= 5000; ++n)
        receive::addReceivedLine(text, count, lineNo(n));
    QCOMPARE(lineFeeds(text.view()), 101);
    QCOMPARE(count, 5000u);
    QVERIFY(text.view().ends_with(lineNo(4900)));
}

// A text the user edited (no final line feed, one long line) loses its
// oldest part by line feeds, not by lines of the threads.
void TestRxText::editedTextLosesByLineFeeds() {
    RxTextBuffer text;
    text.assign("edited without line end");
    uint32_t count = 150;
    receive::addReceivedLine(text, count, lineNo(1));
    QCOMPARE(std::string(text.view()), std::string()); // one line feed: empty
    QCOMPARE(count, 151u);
    receive::addReceivedLine(text, count, lineNo(2));
    QCOMPARE(std::string(text.view()), std::string()); // again one line feed
    text.assign("old A\r\nold B");
    count = 101;
    receive::addReceivedLine(text, count, lineNo(3));
    QCOMPARE(std::string(text.view()), lineNo(3)); // "old A\r\nold B" went with its line feed
}

// Random adds, clears and assignments give the same text as the plain rule.
void TestRxText::bufferMatchesPlainString() {
    QRandomGenerator random(4242);
    RxTextBuffer text;
    std::string reference;
    uint32_t count = 0, referenceCount = 0;
    for (int step = 0; step < 20000; ++step) {
        const int choice = int(random.bounded(1000));
        if (choice == 0) {
            text.clear();
            reference.clear();
            count = referenceCount = 0;
        } else if (choice == 1) {
            const std::string typed = "typed " + std::to_string(step) + (step % 2 ? "\r\n" : "");
            text.assign(typed);
            reference = typed;
        } else {
            const std::string line = std::string(random.bounded(1, 170), char('a' + step % 26)) + "\r\n";
            receive::addReceivedLine(text, count, line);
            referenceAdd(reference, referenceCount, line);
        }
        QCOMPARE(count, referenceCount);
        if (std::string(text.view()) != reference)
            QFAIL(qPrintable(QStringLiteral("texts differ at step %1").arg(step)));
    }
}

void TestRxText::mergeTakenBack_data() {
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("merged");
    QTest::newRow("nothing arrived: the box as typed") << "L1\r\n"
                                                       << 0 << 0 << "typed"
                                                       << "typed";
    QTest::newRow("new lines stay in front") << "N2\r\nN1\r\nL1\r\n"
                                             << 2 << 0 << "L1 edited\r\n"
                                             << "N2\r\nN1\r\nL1 edited\r\n";
    QTest::newRow("dropped lines go from the box text") << "N1\r\nL2\r\n"
                                                        << 1 << 1 << "L2\r\nL1 edited\r\n"
                                                        << "N1\r\nL2\r\n";
    QTest::newRow("more arrived than the text holds") << "N3\r\nN2\r\n"
                                                      << 5 << 4 << "old\r\n"
                                                      << "N3\r\nN2\r\n";
    QTest::newRow("box emptied by the user") << "N1\r\nL1\r\n"
                                             << 1 << 0 << ""
                                             << "N1\r\n";
}

void TestRxText::mergeTakenBack() {
    QFETCH(QString, current);
    QFETCH(int, added);
    QFETCH(int, dropped);
    QFETCH(QString, box);
    QFETCH(QString, merged);
    QCOMPARE(QString::fromStdString(receive::mergeTakenBack(current.toStdString(), uint64_t(added),
                                                            uint64_t(dropped), box.toStdString())),
             merged);
}

// The box is edited at its ends only when the new text is exactly the new
// lines followed by the old text less its dropped lines; kept -1: rewritten.
void TestRxText::endsChange_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<int>("front");
    QTest::addColumn<int>("kept");
    QTest::newRow("lines arrived") << "L1\r\n"
                                   << "N2\r\nN1\r\nL1\r\n"
                                   << 2 << 0 << 8 << 4;
    QTest::newRow("lines arrived, oldest dropped") << "L2\r\nL1\r\n"
                                                   << "N1\r\nL2\r\n"
                                                   << 1 << 1 << 4 << 4;
    QTest::newRow("all new") << "L1\r\n"
                             << "N2\r\nN1\r\n"
                             << 5 << 4 << 8 << 0;
    QTest::newRow("first lines into an empty box") << ""
                                                   << "N1\r\n"
                                                   << 1 << 0 << 4 << 0;
    QTest::newRow("cleared meanwhile") << "L2\r\nL1\r\n"
                                       << "N1\r\n"
                                       << 1 << 0 << -1 << -1;
    QTest::newRow("the user's edit was taken back") << "L1\r\n"
                                                    << "N1\r\nL1 typed\r\n"
                                                    << 1 << 0 << -1 << -1;
}

void TestRxText::endsChange() {
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, added);
    QFETCH(int, dropped);
    QFETCH(int, front);
    QFETCH(int, kept);
    const auto change =
        receive::endsChange(before.toStdString(), after.toStdString(), uint64_t(added), uint64_t(dropped));
    QCOMPARE(change.has_value(), kept >= 0);
    if (change) {
        QCOMPARE(int(change->frontBytes), front);
        QCOMPARE(int(change->keptBytes), kept);
    }
}

QTEST_APPLESS_MAIN(TestRxText)
#include "tst_rx_text.moc"
