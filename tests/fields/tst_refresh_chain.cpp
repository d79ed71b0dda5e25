// A refresh delivers the text changes it causes only once every control
// shows its member, so a change handler that reads the controls cannot take
// the old text of a control the refresh has not reached yet.
#include "platform/dialog.h"
#include "res/ids/j1708_fields.h"
#include "res/templates.h"

#include <QTest>

namespace {

class TwoFieldWindow : public platform::Dialog {
public:
    TwoFieldWindow() : platform::Dialog(res::IDD_FILT1708) {}
    QString first = QStringLiteral("0");
    QString second = QStringLiteral("0");
    QList<int> changes;
    bool refreshingSeen = false;

protected:
    void doDataExchange(platform::DataExchange& dx) override {
        platform::Dialog::doDataExchange(dx);
        dx.text(res::IDC_MID_HEX, first);
        dx.text(res::IDC_PID_HEX, second);
    }
    bool onNotify(int id, platform::Notification code) override {
        if (code == platform::Notification::TextChanged) {
            changes << id;
            refreshingSeen |= isRefreshing();
            updateData(true);
            updateData(false);
            return true;
        }
        return platform::Dialog::onNotify(id, code);
    }
};

} // namespace

class TestRefreshChain : public QObject {
    Q_OBJECT
private slots:
    void refreshKeepsEveryMember() {
        TwoFieldWindow w;
        w.create();
        w.first = QStringLiteral("A");
        w.second = QStringLiteral("B");
        w.updateData(false);
        QCOMPARE(w.first, QStringLiteral("A"));
        QCOMPARE(w.second, QStringLiteral("B"));
        QCOMPARE(w.itemText(res::IDC_PID_HEX), QStringLiteral("B"));
        QCOMPARE(w.changes, (QList<int>{res::IDC_MID_HEX, res::IDC_PID_HEX}));
        QVERIFY(!w.refreshingSeen);
        QVERIFY(!w.isRefreshing());
    }
    void typingStillNotifiesAtOnce() {
        TwoFieldWindow w;
        w.create();
        w.edit(res::IDC_MID_HEX)->setText(QStringLiteral("7"));
        QCOMPARE(w.changes, QList<int>{res::IDC_MID_HEX});
        QCOMPARE(w.first, QStringLiteral("7"));
    }
};

QTEST_MAIN(TestRefreshChain)
#include "tst_refresh_chain.moc"
