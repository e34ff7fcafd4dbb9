#include "spanstatistics.h"

#include <algorithm>
#include <cmath>

SpanStatistics
spanStatistics(const QVector<double> &keys, const QVector<double> &values, double from, double to)
{
    SpanStatistics result;
    const int n = std::min(keys.size(), values.size());
    const double *k = keys.constData();
    const double *v = values.constData();
    const int first = int(std::lower_bound(k, k + n, from) - k);
    const int end = int(std::upper_bound(k + first, k + n, to) - k);
    // Sums of differences from the first value keep the variance exact for
    // large values with a small spread.
    double shift = 0.0;
    double sum = 0.0;
    double squares = 0.0;
    double low = 0.0;
    double high = 0.0;
    int count = 0;
    int firstValue = -1;
    int lastValue = -1;
    for (int i = first; i < end; ++i) {
        const double value = v[i];
        if (std::isnan(value))
            continue;
        if (count == 0) {
            shift = low = high = value;
            firstValue = i;
        }
        const double d = value - shift;
        sum += d;
        squares += d * d;
        low = std::min(low, value);
        high = std::max(high, value);
        lastValue = i;
        ++count;
    }
    if (count == 0)
        return result;
    result.count = count;
    result.minimum = low;
    result.maximum = high;
    result.mean = shift + sum / count;
    if (count > 1) {
        const double variance = (squares - sum * sum / count) / (count - 1);
        result.standardDeviation = std::sqrt(std::max(variance, 0.0));
    }
    result.duration = k[lastValue] - k[firstValue];
    return result;
}
