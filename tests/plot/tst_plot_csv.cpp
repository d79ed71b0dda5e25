#include "plot/csv_export.h"
#include "plot/sample_store.h"

#include <QBuffer>
#include <QTest>

#include <limits>

using namespace plot;

class TestPlotCsv : public QObject {
    Q_OBJECT
private slots:
    void mergesColumnsByTime();
    void reportsAFailedWrite();
};

void TestPlotCsv::mergesColumnsByTime() {
    SampleStore speed, temperature;
    for (auto [t, v] : {std::pair{0.0, 1500.25}, {0.1, 1501.0}, {0.1, 1502.0}, {0.3, 0.1}})
        speed.append(t, v);
    for (auto [t, v] : {std::pair{0.1, -40.0}, {0.2, std::numeric_limits<double>::quiet_NaN()}})
        temperature.append(t, v);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(
        writeCsv(buffer, "Time (s)",
                 {{"Engine speed (rpm)", &speed}, {"Temp, \"coolant\"", &temperature}, {"Empty", nullptr}}));
    // Each sample appears exactly once; a repeated time gets its own row.
    QCOMPARE(buffer.data(), QByteArray("Time (s),Engine speed (rpm),\"Temp, \"\"coolant\"\"\",Empty\r\n"
                                       "0,1500.25,,\r\n"
                                       "0.1,1501,-40,\r\n"
                                       "0.1,1502,,\r\n"
                                       "0.2,,nan,\r\n"
                                       "0.3,0.1,,\r\n"));
    QCOMPARE(csvField("line\nbreak"), QString("\"line\nbreak\""));
}

void TestPlotCsv::reportsAFailedWrite() {
    SampleStore s;
    s.append(0, 1);
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
    QVERIFY(!writeCsv(readOnly, "t", {{"s", &s}}));
}

QTEST_GUILESS_MAIN(TestPlotCsv)
#include "tst_plot_csv.moc"
