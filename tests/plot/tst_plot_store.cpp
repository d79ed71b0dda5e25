#include "plot/axis_ticks.h"
#include "plot/column_reduction.h"
#include "plot/sample_store.h"

#include <QTest>

#include <cmath>
#include <limits>
#include <random>

using namespace plot;

class TestPlotStore : public QObject {
    Q_OBJECT
private slots:
    void reductionMatchesBruteForce_data();
    void reductionMatchesBruteForce();
    void refusesWhatWouldBreakTimeOrder();
    void niceTicks_data();
    void niceTicks();
};

void TestPlotStore::reductionMatchesBruteForce_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<double>("t0");
    QTest::addColumn<double>("t1");
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("nanShare");
    // A random walk 1 ms apart from t = 0, every fifth time repeated.
    QTest::newRow("dense, whole range") << 200000 << 1 << 0.0 << 200.0 << 1600 << 0.0;
    QTest::newRow("dense, inside, uneven columns") << 200000 << 1 << 13.37 << 151.9 << 977 << 0.01;
    QTest::newRow("sparse, more columns than samples") << 300 << 1 << -0.05 << 0.35 << 1000 << 0.1;
    QTest::newRow("window past the data") << 5000 << 1 << 4.0 << 9.0 << 300 << 0.0;
    QTest::newRow("window before the data") << 5000 << 1 << -9.0 << -1.0 << 300 << 0.0;
    QTest::newRow("all non-finite") << 10000 << 1 << 0.0 << 10.0 << 100 << 1.0;
    QTest::newRow("oldest chunks dropped") << 50000 << 16384 << 0.0 << 50.0 << 640 << 0.02;
}

void TestPlotStore::reductionMatchesBruteForce() {
    QFETCH(int, count);
    QFETCH(int, capacity);
    QFETCH(double, t0);
    QFETCH(double, t1);
    QFETCH(int, columns);
    QFETCH(double, nanShare);

    SampleStore store(std::size_t(capacity > 1 ? capacity : count));
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> noise(-50, 50);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Sample> kept;
    double walk = 0;
    for (int i = 0; i < count; ++i) {
        walk += noise(random);
        const double value = unit(random) < nanShare ? std::numeric_limits<double>::quiet_NaN() : walk;
        const double t = (i - (i % 5 == 1 ? 1 : 0)) * 0.001;
        QVERIFY(store.append(t, value));
        kept.push_back({t, value});
    }
    const std::size_t dropped = std::size_t(store.droppedCount());
    QCOMPARE(store.size() + dropped, kept.size());
    QVERIFY(store.size() <= store.capacity());
    kept.erase(kept.begin(), kept.begin() + std::ptrdiff_t(dropped));

    const std::vector<ColumnExtent> extents = reduceColumns(store, t0, t1, columns);
    QCOMPARE(int(extents.size()), columns);
    for (int c = 0; c < columns; ++c) {
        const double from = columnBoundary(t0, t1, columns, c);
        const double to = columnBoundary(t0, t1, columns, c + 1);
        ValueRange expected;
        std::size_t inColumn = 0;
        std::size_t firstIndex = 0;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (kept[i].timeSeconds >= from && kept[i].timeSeconds < to) {
                if (inColumn++ == 0)
                    firstIndex = i;
                expected.include(kept[i].value);
            }
        }
        const ColumnExtent& got = extents[std::size_t(c)];
        QCOMPARE(got.end - got.begin, inColumn);
        if (inColumn > 0)
            QCOMPARE(got.begin, firstIndex);
        QCOMPARE(got.range.empty, expected.empty);
        if (!expected.empty) {
            QCOMPARE(got.range.min, expected.min);
            QCOMPARE(got.range.max, expected.max);
        }
    }
}

void TestPlotStore::refusesWhatWouldBreakTimeOrder() {
    SampleStore store;
    QVERIFY(store.append(1.0, 10));
    QVERIFY(!store.append(0.5, 11));
    QVERIFY(!store.append(std::numeric_limits<double>::quiet_NaN(), 12));
    QVERIFY(!store.append(std::numeric_limits<double>::infinity(), 13));
    QVERIFY(store.append(1.0, std::numeric_limits<double>::infinity()));
    QVERIFY(store.append(2.0, 14));
    QCOMPARE(store.size(), std::size_t(3));
    double v = 0;
    QVERIFY(!store.valueAt(0.99, &v));
    QVERIFY(store.valueAt(1.5, &v));
    QVERIFY(std::isinf(v));
    QVERIFY(store.valueAt(2.0, &v));
    QCOMPARE(v, 14.0);
    const ValueRange all = store.range(0, store.size());
    QCOMPARE(all.min, 10.0);
    QCOMPARE(all.max, 14.0);
}

void TestPlotStore::niceTicks_data() {
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<int>("maxTicks");
    QTest::addColumn<QString>("labels");
    QTest::newRow("unit range") << 0.0 << 1.0 << 5 << "0.0 0.2 0.4 0.6 0.8 1.0";
    QTest::newRow("engine speed") << -75.0 << 3075.0 << 8 << "0 500 1000 1500 2000 2500 3000";
    QTest::newRow("across zero") << -0.33 << 0.27 << 6 << "-0.3 -0.2 -0.1 0.0 0.1 0.2";
    QTest::newRow("milliseconds") << 12.3401 << 12.3449 << 5 << "12.341 12.342 12.343 12.344";
    QTest::newRow("empty range") << 5.0 << 5.0 << 5 << "";
}

void TestPlotStore::niceTicks() {
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(int, maxTicks);
    QFETCH(QString, labels);
    const AxisTicks ticks = plot::niceTicks(min, max, maxTicks);
    QStringList got;
    for (double v : ticks.values)
        got << formatTick(v, ticks.step);
    QCOMPARE(got.join(' '), labels);
}

QTEST_GUILESS_MAIN(TestPlotStore)
#include "tst_plot_store.moc"
