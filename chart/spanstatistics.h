#ifndef TEVRANO_SPANSTATISTICS_H
#define TEVRANO_SPANSTATISTICS_H

#include <QVector>

// What the statistics strip says about one curve over a span of time.
struct SpanStatistics
{
    int count = 0; // samples with a value; the rest is meaningless when 0
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double standardDeviation = 0.0; // of a sample (n - 1), 0 for a single value
    double duration = 0.0;          // seconds from the first to the last value
};

// Over the samples whose keys lie in [from, to]; `keys` ascending, NaN values
// are gaps and do not count.
SpanStatistics
spanStatistics(const QVector<double> &keys, const QVector<double> &values, double from, double to);

#endif // TEVRANO_SPANSTATISTICS_H
