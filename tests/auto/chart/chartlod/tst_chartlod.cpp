#include "chartlod.h"

#include <QtTest>

#include <qcustomplot.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <tuple>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Noise with sparse single-sample spikes both ways and a run of gaps; at an
// uneven pace, samples come in bursts and lulls with a long pause midway.
ChartSeries noisySeries(int count, double step, bool uneven = false)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    ChartSeries series;
    double key = 0.0;
    for (int i = 0; i < count; ++i) {
        double value = 20.0 + 5.0 * std::sin(i * 0.0007) + noise(random);
        if (i % 4999 == 17)
            value += 40.0;
        if (i % 7919 == 3)
            value -= 30.0;
        if (i > count / 3 && i < count / 3 + count / 50)
            value = kNaN;
        series.append(key, value, 10.0 + noise(random));
        key += !uneven ? step
                       : (i % 1000 < 500 ? 0.2 : 1.8) * step + (i == count / 2 ? 300.0 : 0.0);
    }
    return series;
}

enum class Shape { Noise, UnevenNoise, Square, ColumnSteps };

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

// The inside of the axis rect, as drawn, with the rect's right edge: a
// column drawn there is beside the last one inside.
QImage plotted(QCustomPlot &plot)
{
    plot.replot();
    const QRect inside = plot.axisRect()->rect().adjusted(1, 1, 0, -1);
    return plot.toPixmap().toImage().copy(inside).convertToFormat(QImage::Format_RGB32);
}

// The plot drawn by a painter moved by whole pixels, which strokes every line
// between an envelope's columns, moved back: the same pixels as plotted().
QImage plottedMoved(QCustomPlot &plot)
{
    const QPoint shift(7, 5);
    QImage moved(plot.size() + QSize(shift.x(), shift.y()), QImage::Format_ARGB32_Premultiplied);
    moved.fill(Qt::white);
    QCPPainter painter(&moved);
    painter.translate(shift);
    plot.toPainter(&painter, plot.width(), plot.height());
    painter.end();
    const QRect inside = plot.axisRect()->rect().adjusted(1, 1, 0, -1);
    return moved.copy(inside.translated(shift)).convertToFormat(QImage::Format_RGB32);
}

// A pixel painted in `a` (left of its last column) with none painted in `b`
// within one column and two rows of it.
std::optional<QPoint> strayPixel(const QImage &a, const QImage &b)
{
    const QRgb background = qRgb(255, 255, 255);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x + 1 < a.width(); ++x) {
            if (a.pixel(x, y) == background)
                continue;
            bool matched = false;
            for (int dy = -2; dy <= 2 && !matched; ++dy) {
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

// Points as numbers QCOMPARE tells apart, gaps included.
QVector<double> flat(const QVector<QCPGraphData> &points)
{
    QVector<double> numbers;
    for (const QCPGraphData &point : points)
        numbers << point.key << (std::isnan(point.value) ? -1e300 : point.value);
    return numbers;
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
    void summariesMatchAScan_data();
    void summariesMatchAScan();
    void envelopeDrawsWhatTheSamplesDraw_data();
    void envelopeDrawsWhatTheSamplesDraw();
    void strokeReachHoldsWhatQtLights_data();
    void strokeReachHoldsWhatQtLights();
    void envelopeCellsSplitTheKeysExactly();
    void cachedEnvelopeIsTheFreshOne();
    void fewSamplesAreHandedThemselves();
    void dropBeforeKeepsExtremesRight();
};

void tst_ChartLod::summariesMatchAScan_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("under one block") << 11;
    QTest::newRow("one block exactly") << 16;
    QTest::newRow("a few levels, ragged end") << 70001;
}

void tst_ChartLod::summariesMatchAScan()
{
    QFETCH(int, count);
    // Far from zero with a small spread, where careless sums lose digits.
    ChartSeries series;
    const ChartSeries noisy = noisySeries(count, 0.01);
    for (int i = 0; i < count; ++i)
        series.append(i, 1e6 + noisy.values(ChartSeries::Object)[i] * 1e-3, 0.0);
    const QVector<double> &values = series.values(ChartSeries::Object);
    // Built level by level at once, the pyramids must say the same.
    ChartSeries assigned;
    assigned.assign(series.keys(), values, series.values(ChartSeries::Ambient));
    std::mt19937 random(count);
    std::uniform_int_distribution<int> index(0, count);
    for (int round = 0; round < 400; ++round) {
        int from = index(random);
        int to = index(random);
        if (from > to)
            std::swap(from, to);
        QVector<double> kept;
        for (int i = from; i < to; ++i) {
            if (!std::isnan(values[i]))
                kept.append(values[i]);
        }
        // Keys are indices, so the keys [from, to - 1] hold values[from, to).
        const SpanStatistics s = series.statistics(from, to - 1);
        const SpanStatistics bulk = assigned.statistics(from, to - 1);
        QCOMPARE(bulk.count, s.count);
        QCOMPARE(bulk.minimum, s.minimum);
        QCOMPARE(bulk.maximum, s.maximum);
        QVERIFY(qAbs(bulk.mean - s.mean) < 1e-9);
        QVERIFY(qAbs(bulk.standardDeviation - s.standardDeviation) < 1e-12);
        QCOMPARE(s.count, kept.size());
        if (kept.isEmpty())
            continue;
        QCOMPARE(s.minimum, *std::min_element(kept.cbegin(), kept.cend()));
        QCOMPARE(s.maximum, *std::max_element(kept.cbegin(), kept.cend()));
        // Two passes, the first about a kept value so that the sum keeps its digits.
        double offsets = 0.0;
        for (double value : kept)
            offsets += value - kept.constFirst();
        const double mean = kept.constFirst() + offsets / kept.size();
        double squares = 0.0;
        for (double value : kept)
            squares += (value - mean) * (value - mean);
        const double deviation = kept.size() > 1 ? std::sqrt(squares / (kept.size() - 1)) : 0.0;
        QVERIFY(qAbs(s.mean - mean) < 1e-9);
        QVERIFY2(qAbs(s.standardDeviation - deviation) < 1e-9 * qMax(deviation, 1e-3),
                 qPrintable(QStringLiteral("%1 instead of %2")
                                    .arg(s.standardDeviation)
                                    .arg(deviation)));
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
        QTest::newRow("uneven pace" + pen) << Shape::UnevenNoise << QCPRange(0, 3000) << penWidth;
        QTest::newRow("steps within columns" + pen)
                << Shape::Square << QCPRange(0, 2000) << penWidth;
        // The keys follow the plot's width.
        QTest::newRow("steps between columns" + pen)
                << Shape::ColumnSteps << QCPRange() << penWidth;
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
        series = shape == Shape::Square ? squareSeries(200000, 0.01)
                                        : noisySeries(200000, 0.01, shape == Shape::UnevenNoise);
    }
    fullGraph->setData(series.keys(), series.values(ChartSeries::Object), true);
    const ChartSeries::View view
            = series.view(keys.lower, keys.upper, envelope.axisRect()->width());
    const QVector<QCPGraphData> &points = view.points[ChartSeries::Object];
    QVERIFY(points.size() <= 4 * (envelope.axisRect()->width() + 1) + 2);
    QCOMPARE(view.envelope, keys.size() > 10);
    graph->data()->set(points, true);
    graph->setEnvelope(view.envelope);

    // Every pixel of either drawing has one of the other close by: Qt's
    // aliased rasteriser places a line's pixels by its slope and by where its
    // ends fall within a pixel, so a tip drawn as a zig-zag of lines and as
    // one column may end a row or two apart, a step a column apart. A lost or
    // invented peak or step is many more.
    const QImage expected = plotted(full);
    const QImage drawn = plotted(envelope);
    for (const auto &[a, b, what] :
         {std::make_tuple(expected, drawn, "lost"), std::make_tuple(drawn, expected, "invented")}) {
        const std::optional<QPoint> stray = strayPixel(a, b);
        QVERIFY2(!stray,
                 qPrintable(QStringLiteral("%1 pixel at %2, %3")
                                    .arg(QLatin1String(what))
                                    .arg(stray->x())
                                    .arg(stray->y())));
    }
    // The lines between columns left out where the columns light their pixels anyway.
    QCOMPARE(plottedMoved(envelope), drawn);
}

void tst_ChartLod::strokeReachHoldsWhatQtLights_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("cap"); // Qt::PenCapStyle
    for (int width : {2, 3, 4}) {
        for (Qt::PenCapStyle cap : {Qt::SquareCap, Qt::FlatCap, Qt::RoundCap})
            QTest::addRow("width %d, cap %d", width, int(cap)) << width << int(cap);
    }
}

void tst_ChartLod::strokeReachHoldsWhatQtLights()
{
    QFETCH(int, width);
    QFETCH(int, cap);
    // Short lines of every slope, as between neighbouring columns, and longer
    // ones; ends on whole pixels, as an aliased graph rounds them, and between.
    std::mt19937 random(width * 10 + cap);
    std::uniform_int_distribution<int> offset(-6, 6);
    std::uniform_int_distribution<int> sixteenths(0, 15);
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    for (int round = 0; round < 600; ++round) {
        const bool whole = round % 2 == 0;
        const auto coordinate = [&](int at) {
            return at + (whole ? 0.0 : sixteenths(random) / 16.0);
        };
        const QLineF line(coordinate(20),
                          coordinate(20),
                          coordinate(20 + offset(random)),
                          coordinate(20 + offset(random)));
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::PenCapStyle(cap)));
        painter.drawLine(line);
        painter.end();
        const QRect reach = aliasedStrokeReach(line, width);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) != 0 && !reach.contains(x, y))
                    QFAIL(qPrintable(QStringLiteral("(%1, %2) to (%3, %4) lights %5, %6")
                                             .arg(line.x1())
                                             .arg(line.y1())
                                             .arg(line.x2())
                                             .arg(line.y2())
                                             .arg(x)
                                             .arg(y)));
            }
        }
    }
}

void tst_ChartLod::envelopeCellsSplitTheKeysExactly()
{
    // Bursts and lulls defeat a search that trusts the pace; a linear walk
    // over the samples and cell edges says what each cell must hand over.
    const ChartSeries series = noisySeries(100000, 0.01, true);
    const QVector<double> &keys = series.keys();
    const QVector<double> &values = series.values(ChartSeries::Object);
    const int columns = 97;
    for (const QCPRange &range : {QCPRange(0, 1000), QCPRange(123.4, 789.1), QCPRange(290, 320)}) {
        const ChartSeries::View view = series.view(range.lower, range.upper, columns);
        QVERIFY(view.envelope);
        // Samples by cell, in order.
        QVector<QVector<int>> cells(columns + 1);
        int c = 0;
        for (int i = 0; i < keys.size(); ++i) {
            if (keys[i] < range.lower || keys[i] > range.upper)
                continue;
            while (c < columns && keys[i] >= range.lower + (c + 0.5) * range.size() / columns)
                ++c;
            cells[c].append(i);
        }
        QVector<QCPGraphData> expected;
        const auto add = [&](int i) {
            expected.append(QCPGraphData(keys[i], values[i]));
        };
        const int inside
                = int(std::lower_bound(keys.cbegin(), keys.cend(), range.lower) - keys.cbegin());
        if (inside > 0)
            add(inside - 1);
        for (const QVector<int> &cell : cells) {
            if (cell.isEmpty())
                continue;
            add(cell.constFirst());
            double low = INFINITY;
            double high = -INFINITY;
            for (int k = 1; k + 1 < cell.size(); ++k) {
                low = std::fmin(low, values[cell[k]]);
                high = std::fmax(high, values[cell[k]]);
            }
            const double middle = (keys[cell.constFirst()] + keys[cell.constLast()]) * 0.5;
            if (low <= high)
                expected << QCPGraphData(middle, low) << QCPGraphData(middle, high);
            if (cell.size() > 1)
                add(cell.constLast());
        }
        const int beyond
                = int(std::upper_bound(keys.cbegin(), keys.cend(), range.upper) - keys.cbegin());
        if (beyond < keys.size())
            add(beyond);
        QCOMPARE(flat(view.points[ChartSeries::Object]), flat(expected));
    }
}

void tst_ChartLod::cachedEnvelopeIsTheFreshOne()
{
    // Each step changes the series or the view the way a recording, a pan or a
    // zoom does; the envelope drawn through the cache of all steps before must
    // be the one drawn from scratch. Spikes and gaps put extremes at cell edges
    // that appends move.
    ChartSeries series = noisySeries(60000, 0.01);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    // Noise with a spike every 97 samples and a gap in every 300.
    const auto appendNoisy = [&](int count) {
        for (int k = 0; k < count; ++k) {
            const double key = series.isEmpty() ? 0.0 : series.keys().constLast() + 0.01;
            const double value = 20.0 + noise(random) + (k % 97 == 0 ? 30.0 : 0.0);
            series.append(key, k % 300 > 280 ? kNaN : value, 10.0 + noise(random));
        }
    };
    const int columns = 311;
    QCPRange range(0.0, 600.0);
    const auto whole = [&] {
        range = QCPRange(series.keys().constFirst(), series.keys().constLast());
    };
    const auto pan = [&](double columnsMoved) {
        range += columnsMoved * range.size() / columns;
    };
    const auto zoom = [&](double factor) {
        range = QCPRange(range.center() - range.size() * factor / 2,
                         range.center() + range.size() * factor / 2);
    };
    bool ambient = true;
    EnvelopeCache cache;
    struct Step
    {
        const char *what;
        std::function<void()> change;
    };
    const Step steps[] = {
            {"first view",
             [] {
             }},
            {"same view again",
             [] {
             }},
            {"three samples, whole view",
             [&] {
                 appendNoisy(3);
                 whole();
             }},
            {"one sample, whole view",
             [&] {
                 appendNoisy(1);
                 whole();
             }},
            {"a burst with a gap, whole view",
             [&] {
                 appendNoisy(900);
                 whole();
             }},
            {"panned by whole columns",
             [&] {
                 pan(7);
             }},
            {"panned back by part of a column",
             [&] {
                 pan(-6.4);
             }},
            {"zoomed in",
             [&] {
                 zoom(0.37);
             }},
            {"zoomed out past the end",
             [&] {
                 zoom(5.0);
             }},
            {"ambient hidden",
             [&] {
                 ambient = false;
             }},
            {"ambient shown again, samples appended",
             [&] {
                 ambient = true;
                 appendNoisy(5);
                 whole();
             }},
            {"front dropped",
             [&] {
                 series.dropBefore(120.0);
                 whole();
             }},
            {"appended after the drop",
             [&] {
                 appendNoisy(2);
                 whole();
             }},
            {"converted to another unit: same keys, new values",
             [&] {
                 QVector<double> objects = series.values(ChartSeries::Object);
                 for (double &value : objects)
                     value = value * 1.8 + 32.0;
                 series.assign(series.keys(), objects, series.values(ChartSeries::Ambient));
             }},
            {"a copy that went its own way",
             [&] {
                 // Each with a spike of its own inside its last cell.
                 ChartSeries other = series;
                 const double key = series.keys().constLast() + 0.01;
                 for (ChartSeries *each : {&other, &series}) {
                     const double spike = each == &other ? 500.0 : -500.0;
                     each->append(key, spike, -spike);
                     each->append(key + 0.01, 20.0, 10.0);
                 }
                 other.view(range.lower, key + 0.01, columns, ambient, &cache);
                 whole();
             }},
            {"cleared and filled again",
             [&] {
                 series.clear();
                 appendNoisy(40000);
                 whole();
             }},
    };
    for (const Step &step : steps) {
        step.change();
        const ChartSeries::View cached
                = series.view(range.lower, range.upper, columns, ambient, &cache);
        const ChartSeries::View fresh = series.view(range.lower, range.upper, columns, ambient);
        QVERIFY2(cached.envelope, step.what);
        for (const int curve : {ChartSeries::Object, ChartSeries::Ambient}) {
            if (flat(cached.points[curve]) != flat(fresh.points[curve]))
                QFAIL(qPrintable(
                        QStringLiteral("%1: curve %2").arg(QLatin1String(step.what)).arg(curve)));
        }
    }
}

void tst_ChartLod::fewSamplesAreHandedThemselves()
{
    ChartSeries series;
    for (int i = 0; i < 10; ++i)
        series.append(i, i * 2.0, kNaN);
    // Everything, even outside the keys asked for: the series is that small.
    const ChartSeries::View view = series.view(3, 5, 100);
    const QVector<QCPGraphData> &points = view.points[ChartSeries::Object];
    QCOMPARE(points.size(), 10);
    QCOMPARE(points[4].key, 4.0);
    QCOMPARE(points[4].value, 8.0);
    QVERIFY(std::isnan(view.points[ChartSeries::Ambient][4].value));
    QVERIFY(series.extremes(ChartSeries::Ambient).isEmpty());
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
    const Extremes extremes = series.extremes(ChartSeries::Object);
    QCOMPARE(extremes.low, 20.0);
    QCOMPARE(extremes.high, 22.0);
    QCOMPARE(series.statistics(0, 100).count, 40);
    QCOMPARE(series.nearest(12.4), 2);
    QCOMPARE(series.nearest(-5.0), 0);
    QCOMPARE(series.nearest(500.0), 39);
}

QTEST_MAIN(tst_ChartLod)
#include "tst_chartlod.moc"
