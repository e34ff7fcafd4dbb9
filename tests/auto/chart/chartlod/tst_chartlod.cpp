#include "chartlod.h"

#include <QtTest>

#include <qcustomplot.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Noise with sparse single-sample spikes both ways and a run of gaps.
ChartSeries noisySeries(int count, double step)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    ChartSeries series;
    for (int i = 0; i < count; ++i) {
        double value = 20.0 + 5.0 * std::sin(i * 0.0007) + noise(random);
        if (i % 4999 == 17)
            value += 40.0;
        if (i % 7919 == 3)
            value -= 30.0;
        if (i > count / 3 && i < count / 3 + count / 50)
            value = kNaN;
        series.append(i * step, value, 10.0 + noise(random));
    }
    return series;
}

// Topmost and bottommost painted row of every pixel column inside the axis rect.
QVector<QPair<int, int>> columnExtents(QCustomPlot &plot)
{
    plot.replot();
    const QImage image = plot.toPixmap().toImage();
    const QRect rect = plot.axisRect()->rect();
    const QRgb background = QColor(Qt::white).rgb();
    QVector<QPair<int, int>> extents;
    for (int x = rect.left() + 1; x < rect.right(); ++x) {
        int top = -1;
        int bottom = -1;
        for (int y = rect.top() + 1; y < rect.bottom(); ++y) {
            if (image.pixel(x, y) != background) {
                if (top < 0)
                    top = y;
                bottom = y;
            }
        }
        extents.append({top, bottom});
    }
    return extents;
}

void preparePlot(QCustomPlot &plot, const QCPRange &keys)
{
    plot.resize(420, 300);
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.xAxis->setRange(keys);
    plot.yAxis->setRange(-20, 75);
    plot.xAxis->grid()->setVisible(false);
    plot.yAxis->grid()->setVisible(false);
    QCPGraph *graph = plot.addGraph();
    graph->setAdaptiveSampling(false);
    graph->setPen(QPen(Qt::black, 1));
    plot.replot(); // lays out the axis rect
}

} // namespace

Q_DECLARE_METATYPE(QCPRange)

class tst_ChartLod : public QObject
{
    Q_OBJECT

private slots:
    void extremesMatchAScan_data();
    void extremesMatchAScan();
    void envelopeDrawsWhatTheSamplesDraw_data();
    void envelopeDrawsWhatTheSamplesDraw();
    void fewSamplesAreHandedThemselves();
    void dropBeforeKeepsExtremesRight();
};

void tst_ChartLod::extremesMatchAScan_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("under one block") << 11;
    QTest::newRow("one block exactly") << 16;
    QTest::newRow("a few levels, ragged end") << 70001;
}

void tst_ChartLod::extremesMatchAScan()
{
    QFETCH(int, count);
    const ChartSeries series = noisySeries(count, 0.01);
    const QVector<double> &values = series.values(ChartSeries::Object);
    MinMaxPyramid pyramid;
    pyramid.rebuild(values);
    std::mt19937 random(count);
    std::uniform_int_distribution<int> index(0, count);
    for (int round = 0; round < 400; ++round) {
        int from = index(random);
        int to = index(random);
        if (from > to)
            std::swap(from, to);
        double low = kNaN;
        double high = kNaN;
        double scanLow = std::numeric_limits<double>::infinity();
        double scanHigh = -scanLow;
        for (int i = from; i < to; ++i) {
            if (!std::isnan(values[i])) {
                scanLow = std::min(scanLow, values[i]);
                scanHigh = std::max(scanHigh, values[i]);
            }
        }
        const bool any = pyramid.extremes(values, from, to, low, high);
        QCOMPARE(any, scanLow <= scanHigh);
        if (any) {
            QCOMPARE(low, scanLow);
            QCOMPARE(high, scanHigh);
        }
    }
}

void tst_ChartLod::envelopeDrawsWhatTheSamplesDraw_data()
{
    QTest::addColumn<QCPRange>("keys");
    QTest::newRow("whole series") << QCPRange(0, 2000);
    QTest::newRow("part, across the gap") << QCPRange(500, 900.5);
    QTest::newRow("zoomed in to the samples") << QCPRange(100, 103);
}

void tst_ChartLod::envelopeDrawsWhatTheSamplesDraw()
{
    QFETCH(QCPRange, keys);
    const ChartSeries series = noisySeries(200000, 0.01);
    QCustomPlot full;
    preparePlot(full, keys);
    full.graph(0)->setData(series.keys(), series.values(ChartSeries::Object), true);
    QCustomPlot envelope;
    preparePlot(envelope, keys);
    const QVector<QCPGraphData> points = series.view(
            ChartSeries::Object, keys.lower, keys.upper, envelope.axisRect()->width());
    QVERIFY(points.size() <= 4 * envelope.axisRect()->width() + 2);
    envelope.graph(0)->data()->set(points, true);

    // Every pixel column reaches as high and as low as the full drawing does
    // there or one column beside: Qt's aliased rasteriser places a line's
    // pixels by its slope, so a tip drawn as a zig-zag and as a straight
    // stroke may land one pixel apart. A lost or invented peak is many more.
    const QVector<QPair<int, int>> expected = columnExtents(full);
    const QVector<QPair<int, int>> drawn = columnExtents(envelope);
    QCOMPARE(drawn.size(), expected.size());
    // Whether `e` stays within what `in` draws in the columns x - 1 .. x + 1.
    const auto near = [](const QVector<QPair<int, int>> &in, int x, const QPair<int, int> &e) {
        if (e.first < 0)
            return true;
        int top = INT_MAX;
        int bottom = -1;
        for (int n = std::max(x - 1, 0); n <= std::min(x + 1, int(in.size()) - 1); ++n) {
            if (in[n].first >= 0) {
                top = std::min(top, in[n].first);
                bottom = std::max(bottom, in[n].second);
            }
        }
        return e.first >= top - 1 && e.second <= bottom + 1;
    };
    for (int x = 0; x < expected.size(); ++x) {
        QVERIFY2(near(expected, x, drawn[x]) && near(drawn, x, expected[x]),
                 qPrintable(QStringLiteral("column %1: %2..%3 instead of %4..%5")
                                    .arg(x)
                                    .arg(drawn[x].first)
                                    .arg(drawn[x].second)
                                    .arg(expected[x].first)
                                    .arg(expected[x].second)));
    }
}

void tst_ChartLod::fewSamplesAreHandedThemselves()
{
    ChartSeries series;
    for (int i = 0; i < 10; ++i)
        series.append(i, i * 2.0, kNaN);
    // Everything, even outside the keys asked for: the series is that small.
    const QVector<QCPGraphData> points = series.view(ChartSeries::Object, 3, 5, 100);
    QCOMPARE(points.size(), 10);
    QCOMPARE(points[4].key, 4.0);
    QCOMPARE(points[4].value, 8.0);
    QVERIFY(std::isnan(series.view(ChartSeries::Ambient, 3, 5, 100)[4].value));
    double low = 0.0;
    double high = 0.0;
    QVERIFY(!series.extremes(ChartSeries::Ambient, low, high));
}

void tst_ChartLod::dropBeforeKeepsExtremesRight()
{
    ChartSeries series;
    series.append(0.0, 100.0, 1.0);
    for (int i = 1; i < 50; ++i)
        series.append(i, 20.0 + i % 3, 1.0);
    series.dropBefore(10.0);
    QCOMPARE(series.size(), 40);
    QCOMPARE(series.keys().constFirst(), 10.0);
    double low = 0.0;
    double high = 0.0;
    QVERIFY(series.extremes(ChartSeries::Object, low, high));
    QCOMPARE(low, 20.0);
    QCOMPARE(high, 22.0);
    QCOMPARE(series.nearest(12.4), 2);
    QCOMPARE(series.nearest(-5.0), 0);
    QCOMPARE(series.nearest(500.0), 39);
}

QTEST_MAIN(tst_ChartLod)
#include "tst_chartlod.moc"
