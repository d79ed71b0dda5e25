#include "plot/plot_canvas.h"
#include "plot/signal_plot_window.h"

#include <QAccessible>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace plot;

namespace {
template <typename W> W* named(QWidget* window, const QString& accessibleName) {
    for (W* w : window->findChildren<W*>())
        if (w->accessibleName() == accessibleName)
            return w;
    return nullptr;
}
} // namespace

class TestPlotWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsOutEverySignalAtTheCursor();
    void pansAndZoomsByKeys_data();
    void pansAndZoomsByKeys();
    void exportsPngAndCsv();
    void acceptsEightSignalsAndTabReachesEveryControl();

private:
    // Two signals over 0..100 s: a ramp every 10 ms and a step every second.
    void feed();
    std::unique_ptr<SignalPlotWindow> window_;
    int speed_ = -1;
    int gear_ = -1;
};

void TestPlotWindow::init() {
    window_ = std::make_unique<SignalPlotWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    feed();
}

void TestPlotWindow::cleanup() {
    window_.reset();
}

void TestPlotWindow::feed() {
    speed_ = window_->addSignal("Engine speed", "rpm");
    gear_ = window_->addSignal("Gear", "");
    QCOMPARE(window_->addSignal("Engine speed", "rpm"), speed_);
    std::vector<Sample> ramp;
    for (int i = 0; i <= 10000; ++i)
        ramp.push_back({i * 0.01, i * 0.25});
    window_->appendSamples(speed_, ramp);
    for (int s = 1; s <= 100; ++s)
        window_->appendSample(gear_, s, s / 10);
    window_->appendSample(gear_, 50, 99); // older than the last: refused
    QCOMPARE(window_->rejectedSampleCount(), quint64(1));
}

void TestPlotWindow::readsOutEverySignalAtTheCursor() {
    window_->setCursorTime(12.345);
    // The last sample at or before the cursor: 12.34 s for the ramp, 12 s for the gear.
    const QString expected = "At 12.345 s: Engine speed 308.5 rpm; Gear 1";
    QCOMPARE(window_->cursorReadout(), expected);
    QCOMPARE(window_->canvas()->accessibleDescription(), expected);
    auto* label = named<QLabel>(window_.get(), "Cursor values");
    QVERIFY(label);
    QCOMPARE(label->text(), expected);

    window_->setCursorTime(0.505);
    QCOMPARE(window_->cursorReadout(), QString("At 0.505 s: Engine speed 12.5 rpm; Gear no data"));

    // Shift+Right moves the cursor by a hundredth of the 30 s span.
    window_->canvas()->setFocus();
    QTest::keyClick(window_->canvas(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(window_->cursorReadout(), QString("At 0.805 s: Engine speed 20 rpm; Gear no data"));
}

void TestPlotWindow::pansAndZoomsByKeys_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::addColumn<bool>("following");
    // Live: the 30 s before the newest sample at 100 s.
    QTest::newRow("nothing") << QList<int>{} << 70.0 << 100.0 << true;
    QTest::newRow("left pans back a tenth") << QList<int>{Qt::Key_Left} << 67.0 << 97.0 << false;
    QTest::newRow("left, right") << QList<int>{Qt::Key_Left, Qt::Key_Right} << 70.0 << 100.0 << false;
    QTest::newRow("plus zooms in, keeps following") << QList<int>{Qt::Key_Plus} << 85.0 << 100.0 << true;
    QTest::newRow("minus zooms out") << QList<int>{Qt::Key_Minus} << 40.0 << 100.0 << true;
    QTest::newRow("held: zoom about the centre")
        << QList<int>{Qt::Key_Left, Qt::Key_Plus} << 74.5 << 89.5 << false;
    QTest::newRow("home follows live again")
        << QList<int>{Qt::Key_Left, Qt::Key_Left, Qt::Key_Home} << 70.0 << 100.0 << true;
    QTest::newRow("space pauses") << QList<int>{Qt::Key_Space} << 70.0 << 100.0 << false;
}

void TestPlotWindow::pansAndZoomsByKeys() {
    QFETCH(QList<int>, keys);
    QFETCH(double, start);
    QFETCH(double, end);
    QFETCH(bool, following);
    PlotCanvas* canvas = window_->canvas();
    canvas->setFocus();
    for (int key : keys)
        QTest::keyClick(canvas, Qt::Key(key));
    QCOMPARE(window_->isFollowingLive(), following);
    auto* pause = named<QPushButton>(window_.get(), "Pause");
    QCOMPARE(pause->text(), QString("Pause"));
    QCOMPARE(pause->isChecked(), !following);

    // New samples move a following view only.
    window_->appendSample(gear_, 110, 11);
    canvas->updateLiveEnd();
    const double shift = following ? 10 : 0;
    QVERIFY(qAbs(canvas->view().start() - (start + shift)) < 1e-9);
    QVERIFY(qAbs(canvas->view().end() - (end + shift)) < 1e-9);
}

void TestPlotWindow::exportsPngAndCsv() {
    QTemporaryDir dir;
    QString error;
    const QString png = dir.filePath("plot.png");
    QVERIFY2(window_->exportPng(png, &error), qPrintable(error));
    const QImage image(png);
    QCOMPARE(image.size(), window_->canvas()->size());
    // Both signal colours are on the picture.
    bool blue = false, orange = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y) & 0xFFFFFF;
            blue = blue || p == 0x0072B2;
            orange = orange || p == 0xD55E00;
        }
    QVERIFY(blue && orange);

    const QString csv = dir.filePath("plot.csv");
    QVERIFY2(window_->exportCsv(csv, &error), qPrintable(error));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("Time (s),Engine speed (rpm),Gear\r"));
    QCOMPARE(lines.size(), 1 + 10001 + 1); // header, one row per distinct time, empty tail
    QCOMPARE(lines[101], QByteArray("1,25,0\r"));

    QVERIFY(!window_->exportCsv(dir.filePath("missing/plot.csv"), &error));
    QVERIFY(error.contains("missing/plot.csv"));
    QVERIFY(!window_->exportPng(dir.filePath("missing/plot.png"), &error));
}

void TestPlotWindow::acceptsEightSignalsAndTabReachesEveryControl() {
    for (int i = 3; i <= 8; ++i)
        QVERIFY(window_->addSignal(QString("Signal %1").arg(i), "V") > 0);
    QCOMPARE(window_->addSignal("Signal 9", "V"), -1);
    QCOMPARE(window_->signalCount(), 8);

    // The user removes the first row; the caller hears of it.
    QSignalSpy removed(window_.get(), &SignalPlotWindow::signalRemoved);
    auto* table = window_->findChild<QTableView*>();
    table->selectRow(0);
    auto* remove = named<QPushButton>(window_.get(), "Remove");
    remove->click();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(0).toInt(), speed_);
    QVERIFY(!window_->hasSignal("Engine speed"));
    QVERIFY(window_->addSignal("Signal 9", "V") > 0);

    // Every control is reachable by Tab and has a name for screen readers.
    QSet<QWidget*> reached;
    window_->findChild<QPushButton*>()->setFocus();
    for (int i = 0; i < 20; ++i) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        reached.insert(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QList<QWidget*> controls{window_->canvas(), table, window_->findChild<QComboBox*>()};
    for (QPushButton* b : window_->findChildren<QPushButton*>())
        controls << b;
    for (QWidget* w : controls) {
        QVERIFY2(reached.contains(w),
                 qPrintable(w->metaObject()->className() + QString(" ") + w->accessibleName()));
        QVERIFY(!w->accessibleName().isEmpty());
    }
}

QTEST_MAIN(TestPlotWindow)
#include "tst_plot_window.moc"
