#include "chartlod.h"

#include <QtTest>

#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The values at keys 0, 1, 2, ...
SpanStatistics statisticsAtCountingKeys(const QVector<double> &values, double from, double to)
{
    ChartSeries series;
    for (int i = 0; i < values.size(); ++i)
        series.append(i, values[i], kNaN);
    return series.statistics(from, to);
}
} // namespace

class tst_SpanStatistics : public QObject
{
    Q_OBJECT

private slots:
    void handComputed_data();
    void handComputed();
    void nothingToDescribe_data();
    void nothingToDescribe();
};

void tst_SpanStatistics::handComputed_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("deviation");
    QTest::addColumn<double>("duration");
    // Keys 0, 1, 2, ...: the gaps at 2 and 5 do not count.
    const QVector<double> gappy{2.0, 4.0, kNaN, 4.0, 5.0, kNaN, 5.0, 7.0, 9.0};
    // 2,4,4,5,5,7,9: mean 36/7, squares about it 216/7 -> variance 216/42.
    QTest::newRow("all, gaps excluded")
            << gappy << 0.0 << 8.0 << 7 << 2.0 << 9.0 << 36.0 / 7 << std::sqrt(216.0 / 42) << 8.0;
    // 4,4,5 at keys 1..4: mean 13/3, deviation sqrt((1/9+1/9+4/9)/2).
    QTest::newRow("selection with a gap inside")
            << gappy << 0.5 << 4.2 << 3 << 4.0 << 5.0 << 13.0 / 3 << std::sqrt(1.0 / 3) << 3.0;
    QTest::newRow("selection edges on gaps")
            << gappy << 2.0 << 5.0 << 2 << 4.0 << 5.0 << 4.5 << std::sqrt(0.5) << 1.0;
    QTest::newRow("one value") << gappy << 6.5 << 7.5 << 1 << 7.0 << 7.0 << 7.0 << 0.0 << 0.0;
    // Large values with a small spread: no cancellation.
    QTest::newRow("large offset") << QVector<double>{1e9 + 1, 1e9 + 2, 1e9 + 3} << 0.0 << 2.0 << 3
                                  << 1e9 + 1 << 1e9 + 3 << 1e9 + 2 << 1.0 << 2.0;
}

void tst_SpanStatistics::handComputed()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, from);
    QFETCH(double, to);
    const SpanStatistics s = statisticsAtCountingKeys(values, from, to);
    QTEST(s.count, "count");
    QTEST(s.minimum, "minimum");
    QTEST(s.maximum, "maximum");
    QTEST(s.mean, "mean");
    QTEST(s.standardDeviation, "deviation");
    QTEST(s.duration, "duration");
}

void tst_SpanStatistics::nothingToDescribe_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::newRow("no samples") << QVector<double>{} << 0.0 << 10.0;
    QTest::newRow("only gaps") << QVector<double>{kNaN, kNaN, kNaN} << 0.0 << 10.0;
    QTest::newRow("span beside the samples") << QVector<double>{1.0, 2.0} << 5.0 << 10.0;
}

void tst_SpanStatistics::nothingToDescribe()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, from);
    QFETCH(double, to);
    const SpanStatistics s = statisticsAtCountingKeys(values, from, to);
    QCOMPARE(s.count, 0);
    for (double v : {s.minimum, s.maximum, s.mean, s.standardDeviation, s.duration})
        QVERIFY(std::isfinite(v));
}

QTEST_MAIN(tst_SpanStatistics)
#include "tst_spanstatistics.moc"
