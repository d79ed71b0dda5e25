// The J1939 field set driven as a user would, through a small window on the
// J1939 filter template.
#include "field_test_windows.h"
#include "fields/j1939_identifier.h"
#include "res/icons.h"
#include "res/ids/j1939_fields.h"
#include "support/ui_helpers.h"

#include <QLineEdit>
#include <QTest>

#include <memory>

using namespace res;
using namespace testsupport;

namespace {

void pasteInto(platform::Dialog& dialog, int id, const QString& text) {
    QLineEdit* edit = dialog.edit(id);
    edit->setFocus();
    edit->selectAll();
    edit->insert(text);
}

struct Fields {
    int priority, page, pf, destination, source;
};

Fields fieldsOf(const fields::J1939Dlg& w) {
    return {w.priority, w.page, w.pf, w.destination, w.source};
}

} // namespace

Q_DECLARE_METATYPE(Fields)

class TestJ1939Fields : public QObject {
    Q_OBJECT
    std::unique_ptr<Test1939Window> w_;

    Test1939Window& open() {
        w_ = std::make_unique<Test1939Window>();
        w_->create();
        w_->show();
        return *w_;
    }
    int spin(int id) { return w_->upDown(id)->pos(); }
    void compareFields(const Fields& expected) {
        const Fields got = fieldsOf(*w_);
        QCOMPARE(got.priority, expected.priority);
        QCOMPARE(got.page, expected.page);
        QCOMPARE(got.pf, expected.pf);
        QCOMPARE(got.destination, expected.destination);
        QCOMPARE(got.source, expected.source);
        // Controls and up-downs follow the members.
        QCOMPARE(w_->itemText(IDC_PRIORITY), QString::number(expected.priority));
        QCOMPARE(w_->itemText(IDC_PGN_HEX), QString::number(expected.pf, 16).toUpper());
        QCOMPARE(w_->itemText(IDC_DEST_DEC), QString::number(expected.destination));
        QCOMPARE(w_->itemText(IDC_SOURCE_HEX), QString::number(expected.source, 16).toUpper());
        QCOMPARE(spin(IDC_PRIORITY_SPIN), expected.priority);
        QCOMPARE(spin(IDC_PAGE_SPIN), expected.page);
        QCOMPARE(spin(IDC_PGN_DEC_SPIN), expected.pf);
        QCOMPARE(spin(IDC_DEST_HEX_SPIN), expected.destination);
        QCOMPARE(spin(IDC_SOURCE_DEC_SPIN), expected.source);
    }

private slots:
    void cleanup() { w_.reset(); }

    void startUp() {
        Test1939Window& w = open();
        QCOMPARE(w.upDown(IDC_PRIORITY_SPIN)->range(), std::make_pair(0, 7));
        QCOMPARE(w.upDown(IDC_PAGE_SPIN)->range(), std::make_pair(0, 1));
        QCOMPARE(w.upDown(IDC_SOURCE_DEC_SPIN)->range(), std::make_pair(0, 255));
        QVERIFY(w.isItemEnabled(IDC_PGN_HEX) && !w.isItemEnabled(IDC_PGN_DEC));
        QVERIFY(w.isItemEnabled(IDC_PRIORITY) && w.isItemEnabled(IDC_IDENTIFIER));
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("0"));
    }

    void typingTheFieldsComposesTheIdentifier() {
        Test1939Window& w = open();
        typeInto(w, IDC_PRIORITY, QStringLiteral("6"));
        typeInto(w, IDC_PGN_HEX, QStringLiteral("f0"));
        typeInto(w, IDC_DEST_HEX, QStringLiteral("04"));
        typeInto(w, IDC_SOURCE_HEX, QStringLiteral("00"));
        QCOMPARE(w.identifier, 0x18F00400u);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("18F00400"));
        QCOMPARE(w.itemText(IDC_PGN_DEC), QStringLiteral("240"));
        QCOMPARE(spin(IDC_PGN_HEX_SPIN), 240);
        clickItem(w, IDC_DISPLAY_SWITCH);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("418382848"));
        QVERIFY(w.isItemEnabled(IDC_DEST_DEC) && !w.isItemEnabled(IDC_DEST_HEX));
        // A decimal edit also recomposes.
        typeInto(w, IDC_SOURCE_DEC, QStringLiteral("255"));
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("418383103"));
        QCOMPARE(w.sourceText, QStringLiteral("FF"));
        // Page 0 -> 1 adds 2^24.
        typeInto(w, IDC_PAGE, QStringLiteral("1"));
        QCOMPARE(w.identifier, 0x18F004FFu + (1u << 24));
        QVERIFY(w.maxDepth <= 4);
    }

    void leavingTheIdentifier_data() {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Fields>("expected");
        QTest::addColumn<QString>("shown");
        QTest::newRow("1CFEF1FE") << true << "1CFEF1FE" << Fields{7, 0, 0xFE, 0xF1, 0xFE} << "1CFEF1FE";
        QTest::newRow("bit 25 dropped") << true << "0FFFFFFF" << Fields{3, 1, 0xFF, 0xFF, 0xFF} << "DFFFFFF";
        QTest::newRow("lower case") << true << "18fef1fe" << Fields{6, 0, 0xFE, 0xF1, 0xFE} << "18FEF1FE";
        QTest::newRow("decimal") << false << "419361278" << Fields{6, 0, 0xFE, 0xF1, 0xFE} << "419361278";
        QTest::newRow("decimal top bits dropped")
            << false << "4294967295" << Fields{7, 1, 0xFF, 0xFF, 0xFF} << "503316479";
        QTest::newRow("G1 pasted") << true << "G1" << Fields{0, 0, 0, 0, 0} << "0";
    }
    void leavingTheIdentifier() {
        QFETCH(bool, hex);
        QFETCH(QString, typed);
        QFETCH(Fields, expected);
        QFETCH(QString, shown);
        Test1939Window& w = open();
        // Start from non-zero fields so that clearing shows.
        typeInto(w, IDC_PRIORITY, QStringLiteral("2"));
        typeInto(w, IDC_SOURCE_HEX, QStringLiteral("33"));
        if (!hex)
            clickItem(w, IDC_DISPLAY_SWITCH);
        pasteInto(w, IDC_IDENTIFIER, typed);
        if (typed == QLatin1String("G1"))
            QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("0")); // cleaned at once
        // The fields wait for the edit to lose the focus.
        QCOMPARE(int(w.priority), 2);
        leaveItem(w, IDC_IDENTIFIER);
        compareFields(expected);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), shown);
        // Leaving again without a change changes nothing.
        leaveItem(w, IDC_IDENTIFIER);
        compareFields(expected);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), shown);
    }

    void typingTheIdentifierIsCleanedPerBase() {
        Test1939Window& w = open();
        pasteInto(w, IDC_IDENTIFIER, QStringLiteral("123456789A"));
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("12345678"));
        clickItem(w, IDC_DISPLAY_SWITCH);
        pasteInto(w, IDC_IDENTIFIER, QStringLiteral("12a"));
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("12A")); // letters survive in decimal mode
        leaveItem(w, IDC_IDENTIFIER);
        QCOMPARE(int(w.source), 12);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("12"));
    }

    void arrows_data() {
        QTest::addColumn<bool>("decimal");
        QTest::addColumn<int>("upDown");
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::addColumn<uint>("identifier");
        QTest::newRow("PGN up at FF")
            << false << int(IDC_PGN_HEX_SPIN) << int(IDC_PGN_HEX) << "ff" << 1 << 255 << 0x00FF0000u;
        QTest::newRow("PGN up from EF")
            << false << int(IDC_PGN_HEX_SPIN) << int(IDC_PGN_HEX) << "ef" << 1 << 240 << 0x00F00000u;
        QTest::newRow("destination down at 0")
            << true << int(IDC_DEST_DEC_SPIN) << int(IDC_DEST_DEC) << "0" << -1 << 0 << 0u;
        QTest::newRow("source up decimal")
            << true << int(IDC_SOURCE_DEC_SPIN) << int(IDC_SOURCE_DEC) << "9" << 1 << 10 << 10u;
        QTest::newRow("source up at 255 decimal")
            << true << int(IDC_SOURCE_DEC_SPIN) << int(IDC_SOURCE_DEC) << "255" << 1 << 255 << 255u;
    }
    void arrows() {
        QFETCH(bool, decimal);
        QFETCH(int, upDown);
        QFETCH(int, edit);
        QFETCH(QString, start);
        QFETCH(int, step);
        QFETCH(int, expected);
        QFETCH(uint, identifier);
        Test1939Window& w = open();
        if (decimal)
            clickItem(w, IDC_DISPLAY_SWITCH);
        typeInto(w, edit, start);
        pressArrow(w, upDown, step);
        QCOMPARE(spin(upDown), expected);
        QCOMPARE(spin(w.GetTwinControl(upDown)), expected);
        QCOMPARE(w.identifier, identifier);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), fields::identifierText(identifier, !decimal));
        const int hexEdit = decimal ? w.GetTwinControl(edit) : edit;
        QCOMPARE(w.itemText(hexEdit), QString::number(expected, 16).toUpper());
    }

    void priorityArrowsWriteTheEditAndRecompose() {
        Test1939Window& w = open();
        pressArrow(w, IDC_PRIORITY_SPIN, +1, 9);
        QCOMPARE(int(w.priority), 7);
        QCOMPARE(w.itemText(IDC_PRIORITY), QStringLiteral("7"));
        QCOMPARE(w.identifier, 7u << 26);
        pressArrow(w, IDC_PAGE_SPIN, +1, 2);
        QCOMPARE(int(w.page), 1);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("1D000000"));
    }

    void outOfRangeIsReportedAndTheOldValueShown_data() {
        QTest::addColumn<int>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("priority 8") << int(IDC_PRIORITY) << "8"
                                    << "Please enter an integer between 0 and 7.";
        QTest::newRow("page 2") << int(IDC_PAGE) << "2"
                                << "Please enter an integer between 0 and 1.";
        QTest::newRow("PGN 256") << int(IDC_PGN_DEC) << "256"
                                 << "Please enter an integer between 0 and 255.";
    }
    void outOfRangeIsReportedAndTheOldValueShown() {
        QFETCH(int, edit);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        MessageRecorder messages;
        Test1939Window& w = open();
        if (edit == IDC_PGN_DEC)
            clickItem(w, IDC_DISPLAY_SWITCH);
        pasteInto(w, edit, typed);
        QCOMPARE(messages.texts().value(0), message);
        QCOMPARE(w.itemText(edit), QStringLiteral("0"));
        QCOMPARE(w.identifier, 0u);
    }

    void reopensInDecimalMode() {
        Test1939Window w;
        whenModalRuns([](platform::Dialog& d) {
            typeInto(d, IDC_PGN_HEX, QStringLiteral("fe"));
            clickItem(d, IDC_DISPLAY_SWITCH);
            clickItem(d, platform::IDCANCEL);
        });
        w.doModal();
        QVERIFY(!w.hexMode);
        whenModalRuns([](platform::Dialog& d) {
            QCOMPARE(d.button(IDC_DISPLAY_SWITCH)->icon().cacheKey(), res::switchIcon(false).cacheKey());
            QVERIFY(d.isItemEnabled(IDC_PGN_DEC) && !d.isItemEnabled(IDC_PGN_HEX));
            QCOMPARE(d.itemText(IDC_PGN_DEC), QStringLiteral("254"));
            QCOMPARE(d.itemText(IDC_IDENTIFIER), QStringLiteral("16646144"));
            QCOMPARE(d.upDown(IDC_PGN_DEC_SPIN)->pos(), 254);
            clickItem(d, platform::IDOK);
        });
        QCOMPARE(w.doModal(), int(platform::IDOK));
        QVERIFY(!w.hexMode);
    }

    void detachedOwnerUse() {
        // An owner fills a closed window: nothing touches the (absent) controls.
        Test1939Window w;
        w.detached = 1;
        w.priority = 6;
        w.pf = 0xEA;
        w.destination = 0xFF;
        w.source = 0xF9;
        w.ComposeIdentifier();
        QCOMPARE(w.identifierText, QStringLiteral("18EAFFF9"));
        w.identifierText = QStringLiteral("1CFEF1FE");
        w.DecomposeIdentifier();
        QCOMPARE(int(w.priority), 7);
        QCOMPARE(w.pfText, QStringLiteral("FE"));
        QCOMPARE(w.destinationText, QStringLiteral("F1"));
        QCOMPARE(w.sourceText, QStringLiteral("FE"));
        w.identifierText = QStringLiteral("zz");
        w.DecomposeIdentifier(); // unreadable: the previous identifier is kept
        QCOMPARE(w.identifier, 0x1CFEF1FEu);
        QCOMPARE(w.identifierText, QStringLiteral("1CFEF1FE"));
        w.detached = 0;
        w.create();
        QCOMPARE(w.itemText(IDC_PGN_HEX), QStringLiteral("FE"));
        QCOMPARE(w.upDown(IDC_PGN_HEX_SPIN)->pos(), 0xFE);
        QCOMPARE(w.itemText(IDC_IDENTIFIER), QStringLiteral("1CFEF1FE"));
    }

    void layout() {
        Test1939Window& w = open();
        const QImage image = w.grab().toImage();
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("TARVIK_SAVE_LAYOUTS"))
            image.save(qEnvironmentVariable("TARVIK_SAVE_LAYOUTS") + "/filt1939.png");
        QCOMPARE(w.edit(IDC_DEST_HEX)->accessibleName(), QStringLiteral("Destination hexadecimal"));
    }
};

QTEST_MAIN(TestJ1939Fields)
#include "tst_j1939_fields.moc"
