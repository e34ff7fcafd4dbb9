#ifndef TEVRANO_CHARTLOD_H
#define TEVRANO_CHARTLOD_H

#include "recordfile.h"

#include <QVector>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

// The lowest and highest of a run of values; NaN values are gaps and never
// count.
struct Extremes
{
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    bool isEmpty() const { return low > high; }
    void add(double value)
    {
        // std::min/max with a NaN second argument keep the first: gaps drop out.
        low = std::min(low, value);
        high = std::max(high, value);
    }
    void add(const Extremes &other)
    {
        low = std::min(low, other.low);
        high = std::max(high, other.high);
    }
};

// Count, mean and spread of a run of values, gaps left out. The sums are
// taken about the run's first value, so a small spread far from zero keeps
// its digits, and runs add up without a division.
struct Moments
{
    qint64 count = 0;
    double origin = 0.0;
    double sum = 0.0;     // of value - origin
    double squares = 0.0; // of (value - origin)²

    void add(double value)
    {
        if (std::isnan(value))
            return;
        if (count == 0)
            origin = value;
        const double d = value - origin;
        ++count;
        sum += d;
        squares += d * d;
    }
    void add(const Moments &other);
    double mean() const { return origin + sum / count; }
    double sampleVariance() const; // 0 below two values
};

// A Summary (Extremes or Moments) of every block of 16, 256, 4096, ... values
// of one curve, kept up to date as values are appended, so the summary of any
// index range costs a few dozen steps whatever its length.
template<typename Summary>
class SummaryPyramid
{
public:
    void clear();
    void append(double value);
    void rebuild(const QVector<double> &values);
    // Of values[from, to); `values` must be the array this pyramid was built from.
    Summary over(const QVector<double> &values, int from, int to) const;
    qint64 bytes() const;

private:
    // m_levels[k] summarises blocks of 16^(k+1) values; the last block of
    // each level may be incomplete.
    std::vector<std::vector<Summary>> m_levels;
    qint64 m_count = 0;
};

// What the statistics strip says about the object curve over a span of time.
struct SpanStatistics
{
    int count = 0; // samples with a value; the rest is meaningless when 0
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double standardDeviation = 0.0; // of a sample (n - 1), 0 for a single value
    double duration = 0.0;          // seconds from the first to the last value
};

// Which samples a ChartSeries holds, to an EnvelopeCache: a new one whenever
// they change other than by an append. A copy, and what is left of a series
// moved from, is a series of its own.
class SeriesIdentity
{
public:
    SeriesIdentity()
        : m_value(issue())
    {}
    SeriesIdentity(const SeriesIdentity &)
        : m_value(issue())
    {}
    SeriesIdentity(SeriesIdentity &&other) noexcept
        : m_value(other.m_value)
    {
        other.renew();
    }
    SeriesIdentity &operator=(const SeriesIdentity &other);
    SeriesIdentity &operator=(SeriesIdentity &&other) noexcept;

    void renew() { m_value = issue(); }
    quint64 value() const { return m_value; }

private:
    static quint64 issue();
    quint64 m_value;
};

// What ChartSeries::view keeps of an envelope for the next view of the same
// series: where its cells start and their extremes without their first and last
// samples. While samples are only appended, a cell the next view draws whose
// edges moved by a few samples is mended from those that left or joined it,
// never read again through the pyramid unless one that left was an extreme.
class EnvelopeCache
{
    friend class ChartSeries;
    quint64 m_identity = 0;           // of the samples it was made from; never issued
    std::vector<int> m_starts;        // of each cell, then where the last one ends
    std::vector<Extremes> m_inner[2]; // by curve, empty for a curve not drawn
};

// What the chart draws: time keys in seconds with the object and ambient
// curves, with pyramids for their extremes and the object curve's moments.
class ChartSeries
{
public:
    enum Curve { Object = 0, Ambient = 1 };

    void clear();
    void append(double key, double object, double ambient);
    // Samples as the sample store hands them over.
    void append(const RecordSeries &rows);
    void assign(const QVector<double> &keys,
                const QVector<double> &objects,
                const QVector<double> &ambients);
    // Drops the samples before `key` (front of the series).
    void dropBefore(double key);

    int size() const { return m_keys.size(); }
    bool isEmpty() const { return m_keys.isEmpty(); }
    const QVector<double> &keys() const { return m_keys; }
    const QVector<double> &values(Curve curve) const { return m_values[curve]; }
    // Of a curve over the whole series.
    Extremes extremes(Curve curve) const;
    // Of the object curve over the samples with keys in [from, to].
    SpanStatistics statistics(double from, double to) const;
    // Index of the sample nearest to `key`, or -1 without samples.
    int nearest(double key) const;
    qint64 bytes() const;

    // The points to hand to the graphs for the keys [lower, upper] drawn over
    // `columns` pixel columns. With more samples than twice the columns, each
    // pixel column (columns + 1 of them, counting both edges) gets its first
    // sample, its extremes and its last sample, so every peak and every line
    // between columns is drawn as the samples themselves would draw it: an
    // envelope. Otherwise the samples themselves (all of them when the whole
    // series is that small), with one neighbour beyond each edge. The ambient
    // curve's points are left empty without `ambient`.
    struct View
    {
        QVector<QCPGraphData> points[2]; // by Curve
        bool envelope = false;
    };
    // With a `cache`, the envelope's cells come from the one it holds where
    // they can, and it holds this view's for the next.
    View view(double lower,
              double upper,
              int columns,
              bool ambient = true,
              EnvelopeCache *cache = nullptr) const;

private:
    QVector<double> m_keys;
    void rebuildPyramids();

    QVector<double> m_values[2];
    SummaryPyramid<Extremes> m_extremes[2];
    SummaryPyramid<Moments> m_moments; // of the object curve
    SeriesIdentity m_identity;
};

// A graph that can be handed ChartSeries::view's envelope: its points then
// crowd up to four into a pixel column, and stroking them as lines costs Qt 5's
// rasteriser tens of milliseconds for a screenful of near-vertical strokes. In
// envelope mode the points of one column are filled as one column the width
// of the pen, which lights the pixels the lines would, give or take one.
class EnvelopeGraph : public QCPGraph
{
public:
    EnvelopeGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    void setEnvelope(bool envelope) { m_envelope = envelope; }
    bool envelope() const { return m_envelope; }

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override;

private:
    void paintColumns(QPainter *painter, const QVector<QRect> &columns, const QColor &colour) const;

    bool m_envelope = false;
    // Kept between draws, as the plot's size rarely changes; m_lit is where
    // the last draw painted in it.
    mutable QImage m_canvas;
    mutable QRect m_lit;
};

// The pixels an aliased stroke of `line`, `width` pixels wide, may light with any cap; two
// pixels wide at least (a thinner line takes Qt's cosmetic stroker, which rounds otherwise).
QRect aliasedStrokeReach(const QLineF &line, int width);
// Whether every pixel of `reach` lies in `a` or in `b`.
bool coveredBy(const QRect &reach, const QRect &a, const QRect &b);

// The value range auto-fit shows for curves spanning [low, high] (NaN when nothing is shown), with
// 5 % of the span above and below. A flat curve keeps `currentSize` and centres on the value;
// without any value the result is not valid.
QCPRange autoFitRange(double low, double high, double currentSize);

#endif // TEVRANO_CHARTLOD_H
