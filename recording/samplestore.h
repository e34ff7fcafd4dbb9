#ifndef TEVRANO_SAMPLESTORE_H
#define TEVRANO_SAMPLESTORE_H

#include "recordfile.h"

#include <QMutex>
#include <QVector>

#include <cmath>

// The samples of the current recording, shared by the sampling thread, which
// appends, and the threads that draw, save and journal them. Every member takes the lock, so an
// append and a read never overlap.
//
// Each emptying starts a new generation; a reader that remembers the
// generation and count it has already seen gets only what was added since.
class SampleStore
{
public:
    // Samples added since a reader's last visit.
    struct Tail
    {
        quint64 generation = 0;
        int count = 0; // samples held in total
        RecordSeries rows;
        double firstDuration = 0.0;
        double lastDuration = 0.0;
        // Extremes over all samples held, gaps left out; NaN without any.
        double minTemperature = std::nan("");
        double maxTemperature = std::nan("");
    };

    // Drops every sample and reserves room for `capacity` more.
    void reset(int capacity);
    // Drops every sample, keeping the reserved room.
    void restart();
    // Appends a sample unless `limit` samples are held already; false when it did not.
    bool appendWithin(double duration, double temperature, double ambient, int limit);
    void append(double duration, double temperature, double ambient);
    void replace(RecordSeries series);

    // Hands every sample held over and keeps none; a new generation begins. For a reader that
    // passes the samples on and needs none of them again.
    RecordSeries takeAll();
    // Shares the arrays (no copy until the next append).
    RecordSeries snapshot() const;
    int size() const;
    // Changes with every emptying; what tailSince() reports as its generation.
    quint64 generation() const;
    // Duration of the newest sample, or 0 without samples.
    double lastDuration() const;
    Tail tailSince(quint64 generation, int seen) const;
    // Copies of the samples from index `from` on while the store is still in
    // `generation`, nothing once it has been emptied since. A copy, not a
    // share: the next append must not have to detach the whole series.
    RecordSeries copySince(quint64 generation, int from) const;
    // Converts every sample held between the unit codes (1 Fahrenheit, 2 Celsius); the generation
    // stays, so readers see the converted values only from a full read.
    void convertUnit(int from, int to);

private:
    void appendLocked(double duration, double temperature, double ambient);
    void noteExtremes(double temperature);
    void clearLocked();

    mutable QMutex m_mutex;
    RecordSeries m_series;
    quint64 m_generation = 1;
    // Extremes over the samples that are not gaps; NaN without any.
    double m_minTemperature = std::nan("");
    double m_maxTemperature = std::nan("");
};

#endif // TEVRANO_SAMPLESTORE_H
