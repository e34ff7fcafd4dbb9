#include "chartlod.h"

#include <QtTest>

#include <qcustomplot.h>

#include <cmath>
#include <limits>
#include <optional>
#include <tuple>
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

enum class Shape { Noise, Square, ColumnSteps };

// Square waves, steps landing inside pixel columns.
ChartSeries squareSeries(int count, double step)
{
    ChartSeries series;
    for (int i = 0; i < count; ++i)
        series.append(i * step, (i / 2999) % 2 ? 60.0 : -10.0, 0.0);
    return series;
}

// Three samples a pixel column over keys [0, 3 × columns], stepping every
// five columns exactly between two of them.
ChartSeries columnSteps(int columns)
{
    ChartSeries series;
    for (int i = 0; i <= 3 * columns; ++i)
        series.append(i, (i + 1) / 15 % 2 ? 60.0 : -10.0, 0.0);
    return series;
}

// The inside of the axis rect, as drawn.
QImage plotted(QCustomPlot &plot)
{
    plot.replot();
    const QRect inside = plot.axisRect()->rect().adjusted(1, 1, -1, -1);
    return plot.toPixmap().toImage().copy(inside).convertToFormat(QImage::Format_RGB32);
}

// A pixel painted in `a` with none painted in `b` within one pixel of it.
std::optional<QPoint> strayPixel(const QImage &a, const QImage &b)
{
    const QRgb background = qRgb(255, 255, 255);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == background)
                continue;
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy) {
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const QPoint near(x + dx, y + dy);
                    matched = b.valid(near) && b.pixel(near) != background;
                }
            }
            if (!matched)
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}

EnvelopeGraph *preparePlot(QCustomPlot &plot, const QCPRange &keys, int penWidth)
{
    plot.resize(420, 300);
    plot.setViewport(plot.rect()); // a plot never shown gets no resize event
    plot.setNotAntialiasedElements(QCP::aeAll);
    plot.xAxis->setRange(keys);
    plot.yAxis->setRange(-20, 75);
    plot.xAxis->grid()->setVisible(false);
    plot.yAxis->grid()->setVisible(false);
    auto *graph = new EnvelopeGraph(plot.xAxis, plot.yAxis);
    graph->setAdaptiveSampling(false);
    graph->setPen(QPen(Qt::black, penWidth));
    plot.replot(); // lays out the axis rect
    return graph;
}

} // namespace

Q_DECLARE_METATYPE(QCPRange)
Q_DECLARE_METATYPE(Shape)

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
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<QCPRange>("keys");
    QTest::addColumn<int>("penWidth");
    for (int penWidth : {1, 2}) {
        const QByteArray pen = ", pen " + QByteArray::number(penWidth);
        QTest::newRow("whole series" + pen) << Shape::Noise << QCPRange(0, 2000) << penWidth;
        QTest::newRow("part, across the gap" + pen)
                << Shape::Noise << QCPRange(500, 900.5) << penWidth;
        QTest::newRow("zoomed in to the samples" + pen)
                << Shape::Noise << QCPRange(100, 103) << penWidth;
        QTest::newRow("steps within columns" + pen)
                << Shape::Square << QCPRange(0, 2000) << penWidth;
        // The keys follow the plot's width.
        QTest::newRow("steps between columns" + pen) << Shape::ColumnSteps << QCPRange() << penWidth;
    }
}

void tst_ChartLod::envelopeDrawsWhatTheSamplesDraw()
{
    QFETCH(Shape, shape);
    QFETCH(QCPRange, keys);
    QFETCH(int, penWidth);
    QCustomPlot full;
    QCPGraph *fullGraph = preparePlot(full, keys, penWidth);
    QCustomPlot envelope;
    EnvelopeGraph *graph = preparePlot(envelope, keys, penWidth);
    ChartSeries series;
    if (shape == Shape::ColumnSteps) {
        series = columnSteps(envelope.axisRect()->width());
        keys = QCPRange(0, series.keys().constLast());
        full.xAxis->setRange(keys);
        envelope.xAxis->setRange(keys);
    } else {
        series = shape == Shape::Square ? squareSeries(200000, 0.01) : noisySeries(200000, 0.01);
    }
    fullGraph->setData(series.keys(), series.values(ChartSeries::Object), true);
    bool isEnvelope = false;
    const QVector<QCPGraphData> points = series.view(
            ChartSeries::Object, keys.lower, keys.upper, envelope.axisRect()->width(), &isEnvelope);
    QVERIFY(points.size() <= 4 * (envelope.axisRect()->width() + 1) + 2);
    QCOMPARE(isEnvelope, keys.size() > 10);
    graph->data()->set(points, true);
    graph->setEnvelope(isEnvelope);

    // Every pixel of either drawing has one of the other at most a pixel
    // away: Qt's aliased rasteriser places a line's pixels by its slope, so a
    // tip drawn as a zig-zag and as a straight stroke may land one pixel
    // apart. A lost or invented peak or step is many more.
    const QImage expected = plotted(full);
    const QImage drawn = plotted(envelope);
    for (const auto &[a, b, what] : {std::make_tuple(expected, drawn, "lost"),
                                     std::make_tuple(drawn, expected, "invented")}) {
        const std::optional<QPoint> stray = strayPixel(a, b);
        QVERIFY2(!stray,
                 qPrintable(QStringLiteral("%1 pixel at %2, %3")
                                    .arg(QLatin1String(what))
                                    .arg(stray->x())
                                    .arg(stray->y())));
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

