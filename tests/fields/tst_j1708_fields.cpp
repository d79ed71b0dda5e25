// The J1708 field set driven as a user would, through a small window on the
// J1708 filter template.
#include "field_test_windows.h"
#include "res/icons.h"
#include "res/ids/j1708_fields.h"
#include "support/ui_helpers.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace res;
using namespace testsupport;

namespace {

// Replaces the whole text at once, as a paste does.
void pasteInto(platform::Dialog& dialog, int id, const QString& text) {
    QLineEdit* edit = dialog.edit(id);
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

bool showsIcon(platform::Dialog& dialog, bool hexMode) {
    return dialog.button(IDC_DISPLAY_SWITCH)->icon().cacheKey() == res::switchIcon(hexMode).cacheKey();
}

} // namespace

class TestJ1708Fields : public QObject {
    Q_OBJECT
    std::unique_ptr<Test1708Window> w_;

    Test1708Window& open() {
        w_ = std::make_unique<Test1708Window>();
        w_->create();
        w_->show();
        return *w_;
    }
    int spin(int id) { return w_->upDown(id)->pos(); }

private slots:
    void cleanup() { w_.reset(); }

    void opensInHexMode() {
        Test1708Window& w = open();
        QVERIFY(w.hexMode);
        QVERIFY(showsIcon(w, true));
        QVERIFY(w.isItemEnabled(IDC_MID_HEX) && w.isItemEnabled(IDC_PID_HEX));
        QVERIFY(!w.isItemEnabled(IDC_MID_DEC) && !w.isItemEnabled(IDC_PID_DEC));
        QCOMPARE(w.upDown(IDC_MID_HEX_SPIN)->range(), std::make_pair(0, 255));
        QCOMPARE(w.upDown(IDC_PID_DEC_SPIN)->range(), std::make_pair(0, 255));
    }

    void typingHex_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("value");
        QTest::newRow("MID 1f") << int(IDC_MID_HEX) << "1f"
                                << "1F" << 31;
        QTest::newRow("MID 8g") << int(IDC_MID_HEX) << "8g"
                                << "8" << 8;
        QTest::newRow("MID emptied") << int(IDC_MID_HEX) << ""
                                     << "0" << 0;
        QTest::newRow("PID ff") << int(IDC_PID_HEX) << "ff"
                                << "FF" << 255;
        QTest::newRow("PID g") << int(IDC_PID_HEX) << "g"
                               << "0" << 0;
    }
    void typingHex() {
        QFETCH(int, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, value);
        Test1708Window& w = open();
        w.mid = 0x42;
        w.midText = QStringLiteral("42");
        w.updateData(false);
        w.syncCount = 0;
        typeInto(w, edit, typed);
        const bool isMid = edit == IDC_MID_HEX;
        QCOMPARE(w.itemText(edit), shown);
        QCOMPARE(int(isMid ? w.mid : w.pid), value);
        QCOMPARE(isMid ? w.midText : w.pidText, shown);
        QCOMPARE(w.itemText(isMid ? IDC_MID_DEC : IDC_PID_DEC), QString::number(value));
        QCOMPARE(spin(isMid ? IDC_MID_HEX_SPIN : IDC_PID_HEX_SPIN), value);
        QCOMPARE(spin(isMid ? IDC_MID_DEC_SPIN : IDC_PID_DEC_SPIN), value);
        // Each keystroke settles after a short chain.
        QVERIFY2(w.maxDepth <= 3, qPrintable(QString::number(w.maxDepth)));
        QVERIFY(w.syncCount <= 4 * std::max<qsizetype>(1, typed.size()));
    }

    void typingDecimal() {
        Test1708Window& w = open();
        clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, IDC_MID_DEC, QStringLiteral("200"));
        QCOMPARE(int(w.mid), 200);
        QCOMPARE(w.itemText(IDC_MID_HEX), QStringLiteral("C8"));
        QCOMPARE(spin(IDC_MID_HEX_SPIN), 200);
        QCOMPARE(spin(IDC_MID_DEC_SPIN), 200);
    }

    void decimalOutOfRangeKeepsThePreviousValue() {
        MessageRecorder messages;
        Test1708Window& w = open();
        clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, IDC_PID_DEC, QStringLiteral("30"));
        QVERIFY(messages.texts().isEmpty());
        pasteInto(w, IDC_PID_DEC, QStringLiteral("300"));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Please enter an integer between 0 and 255.")});
        QCOMPARE(int(w.pid), 30);
        QCOMPARE(w.itemText(IDC_PID_DEC), QStringLiteral("30"));
        QCOMPARE(w.itemText(IDC_PID_HEX), QStringLiteral("1E"));
        // Typed digit by digit, the last good value stays.
        messages.clear();
        typeInto(w, IDC_MID_DEC, QStringLiteral("256"));
        QCOMPARE(messages.texts().size(), 1);
        QCOMPARE(int(w.mid), 25);
        QCOMPARE(w.itemText(IDC_MID_DEC), QStringLiteral("25"));
    }

    void arrows_data() {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<int>("upDown");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::newRow("1078 at 255 up") << true << int(IDC_MID_DEC_SPIN) << 255 << 1 << 255 << "FF";
        QTest::newRow("1078 at 9 up") << true << int(IDC_MID_DEC_SPIN) << 9 << 1 << 10 << "A";
        QTest::newRow("1066 at 0 down") << false << int(IDC_MID_HEX_SPIN) << 0 << -1 << 0 << "0";
        QTest::newRow("1066 at 254 up") << false << int(IDC_MID_HEX_SPIN) << 254 << 1 << 255 << "FF";
        QTest::newRow("1068 at 16 down") << false << int(IDC_PID_HEX_SPIN) << 16 << -1 << 15 << "F";
        QTest::newRow("1080 at 0 down") << true << int(IDC_PID_DEC_SPIN) << 0 << -1 << 0 << "0";
    }
    void arrows() {
        QFETCH(bool, decimal);
        QFETCH(int, upDown);
        QFETCH(int, start);
        QFETCH(int, step);
        QFETCH(int, expected);
        QFETCH(QString, text);
        Test1708Window& w = open();
        if (decimal)
            clickItem(w, IDC_DISPLAY_SWITCH);
        const bool isMid = upDown == IDC_MID_HEX_SPIN || upDown == IDC_MID_DEC_SPIN;
        const int hexEdit = isMid ? IDC_MID_HEX : IDC_PID_HEX;
        typeInto(w, decimal ? (isMid ? IDC_MID_DEC : IDC_PID_DEC) : hexEdit,
                 decimal ? QString::number(start) : QString::number(start, 16));
        QCOMPARE(spin(upDown), start);
        pressArrow(w, upDown, step);
        QCOMPARE(int(isMid ? w.mid : w.pid), expected);
        QCOMPARE(isMid ? w.midText : w.pidText, text);
        QCOMPARE(w.itemText(hexEdit), text);
        QCOMPARE(w.itemText(isMid ? IDC_MID_DEC : IDC_PID_DEC), QString::number(expected));
        QCOMPARE(spin(upDown), expected);
        QCOMPARE(spin(w.GetTwinControl(upDown)), expected);
    }

    void switchOnceAndTwice() {
        Test1708Window& w = open();
        typeInto(w, IDC_MID_HEX, QStringLiteral("7f"));
        clickItem(w, IDC_DISPLAY_SWITCH);
        QVERIFY(!w.hexMode);
        QVERIFY(showsIcon(w, false));
        QVERIFY(!w.isItemEnabled(IDC_MID_HEX) && !w.isItemEnabled(IDC_PID_HEX));
        QVERIFY(w.isItemEnabled(IDC_MID_DEC) && w.isItemEnabled(IDC_PID_DEC));
        QCOMPARE(w.itemText(IDC_MID_DEC), QStringLiteral("127"));
        clickItem(w, IDC_DISPLAY_SWITCH);
        QVERIFY(w.hexMode);
        QVERIFY(showsIcon(w, true));
        QVERIFY(w.isItemEnabled(IDC_MID_HEX) && w.isItemEnabled(IDC_PID_HEX));
        QVERIFY(!w.isItemEnabled(IDC_MID_DEC) && !w.isItemEnabled(IDC_PID_DEC));
        QCOMPARE(int(w.mid), 127);
        QCOMPARE(w.midText, QStringLiteral("7F"));
    }

    void reopensInDecimalModeWithItsValues() {
        Test1708Window w;
        whenModalRuns([](platform::Dialog& d) {
            clickItem(d, IDC_DISPLAY_SWITCH);
            typeInto(d, IDC_MID_DEC, QStringLiteral("99"));
            clickItem(d, platform::IDOK);
        });
        QCOMPARE(w.doModal(), int(platform::IDOK));
        QVERIFY(!w.hexMode);
        // The owner changes the PID while the window is closed.
        w.pid = 0xAB;
        w.pidText = QStringLiteral("AB");
        bool checked = false;
        whenModalRuns([&](platform::Dialog& d) {
            QVERIFY(showsIcon(d, false));
            QVERIFY(d.isItemEnabled(IDC_MID_DEC) && !d.isItemEnabled(IDC_MID_HEX));
            QCOMPARE(d.itemText(IDC_MID_DEC), QStringLiteral("99"));
            QCOMPARE(d.itemText(IDC_MID_HEX), QStringLiteral("63"));
            QCOMPARE(d.itemText(IDC_PID_DEC), QStringLiteral("171"));
            QCOMPARE(d.upDown(IDC_PID_HEX_SPIN)->pos(), 0xAB);
            QCOMPARE(d.upDown(IDC_MID_DEC_SPIN)->pos(), 99);
            checked = true;
            clickItem(d, platform::IDCANCEL);
        });
        QCOMPARE(w.doModal(), int(platform::IDCANCEL));
        QVERIFY(checked);
        QVERIFY(!w.hexMode);
    }

    void twinsAndMembers() {
        Test1708Window w;
        const std::pair<int, int> twins[] = {{1065, 1077}, {1067, 1079}, {1066, 1078}, {1068, 1080}};
        for (auto [a, b] : twins) {
            QCOMPARE(w.GetTwinControl(a), b);
            QCOMPARE(w.GetTwinControl(b), a);
        }
        QCOMPARE(w.GetTwinControl(1040), 0);
        QCOMPARE(w.GetFieldText(1065), &w.midText);
        QCOMPARE(w.GetFieldText(1067), &w.pidText);
        QCOMPARE(w.GetFieldText(1077), nullptr);
        QCOMPARE(w.GetFieldValue(1077), &w.mid);
        QCOMPARE(w.GetFieldValue(1079), &w.pid);
        QCOMPARE(w.GetFieldValue(1065), nullptr);
    }

    void layout() {
        Test1708Window& w = open();
        const QImage image = w.grab().toImage();
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("TARVIK_SAVE_LAYOUTS"))
            image.save(qEnvironmentVariable("TARVIK_SAVE_LAYOUTS") + "/filt1708.png");
        QCOMPARE(w.edit(IDC_MID_HEX)->accessibleName(), QStringLiteral("MID hexadecimal"));
        QCOMPARE(w.upDown(IDC_MID_DEC_SPIN)->accessibleName(), QStringLiteral("MID decimal arrows"));
    }
};

QTEST_MAIN(TestJ1708Fields)
#include "tst_j1708_fields.moc"
