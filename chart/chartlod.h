#ifndef TEVRANO_CHARTLOD_H
#define TEVRANO_CHARTLOD_H

#include <QVector>

#include <qcustomplot.h>

#include <vector>

// Minimum and maximum of every block of 16, 256, 4096, ... values of one
// curve, kept up to date as values are appended, so the extremes of any index
// range cost a few dozen steps whatever its length. NaN values are gaps and
// never count.
class MinMaxPyramid
{
public:
    void clear();
    void append(double value);
    void rebuild(const QVector<double> &values);
    // Extremes of values[from, to); false when the range holds only gaps.
    // `values` must be the array this pyramid was built from.
    bool extremes(const QVector<double> &values, int from, int to, double &low, double &high) const;
    qint64 bytes() const;

private:
    struct Block
    {
        double low;
        double high;
    };
    // m_levels[k] summarises blocks of 16^(k+1) values; the last block of
    // each level may be incomplete.
    std::vector<std::vector<Block>> m_levels;
    qint64 m_count = 0;
};

// What the chart draws: time keys in seconds with the object and ambient
// curves, each with its pyramid.
class ChartSeries
{
public:
    enum Curve { Object = 0, Ambient = 1 };

    void clear();
    void append(double key, double object, double ambient);
    void assign(const QVector<double> &keys,
                const QVector<double> &objects,
                const QVector<double> &ambients);
    // Drops the samples before `key` (front of the series).
    void dropBefore(double key);

    int size() const { return m_keys.size(); }
    bool isEmpty() const { return m_keys.isEmpty(); }
    const QVector<double> &keys() const { return m_keys; }
    const QVector<double> &values(Curve curve) const { return m_values[curve]; }
    // Extremes of a curve over the whole series; false when it holds only gaps.
    bool extremes(Curve curve, double &low, double &high) const;
    // Index of the sample nearest to `key`, or -1 without samples.
    int nearest(double key) const;
    qint64 bytes() const;

    // The points to hand to the graphs for the keys [lower, upper] drawn over
    // `columns` pixel columns. With more samples than twice the columns, each
    // pixel column (columns + 1 of them, counting both edges) gets its first
    // sample, its extremes and its last sample, so every peak and every line
    // between columns is drawn as the samples themselves would draw it: an
    // envelope. Otherwise the samples themselves (all of them when the whole
    // series is that small), with one neighbour beyond each edge.
    struct View
    {
        QVector<QCPGraphData> points[2]; // by Curve
        bool envelope = false;
    };
    View view(double lower, double upper, int columns) const;

private:
    QVector<double> m_keys;
    QVector<double> m_values[2];
    MinMaxPyramid m_pyramids[2];
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
    mutable QImage m_canvas; // kept between draws: the plot's size rarely changes
};

#endif // TEVRANO_CHARTLOD_H
