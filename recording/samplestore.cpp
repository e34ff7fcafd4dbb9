#include "samplestore.h"

#include "temperatureunit.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// The settings dialog's largest limit. A larger limit from a hand-edited
// settings file still works, but its room is taken as samples arrive.
constexpr int kMaxReserved = 10000 * 1000;

// Copies of the samples from index `from` on. A copy, not a share (mid() shares a whole array):
// the next append must not have to detach the whole series.
RecordSeries rowsFrom(const RecordSeries &series, int from)
{
    const auto part = [from](const QVector<double> &values) {
        return QVector<double>(values.cbegin() + from, values.cend());
    };
    return {part(series.durations), part(series.temperatures), part(series.ambients)};
}
} // namespace

void SampleStore::reset(int capacity)
{
    QMutexLocker lock(&m_mutex);
    m_series = RecordSeries();
    clearLocked();
    const int reserved = std::clamp(capacity, 0, kMaxReserved);
    m_series.durations.reserve(reserved);
    m_series.temperatures.reserve(reserved);
    m_series.ambients.reserve(reserved);
}

void SampleStore::restart()
{
    QMutexLocker lock(&m_mutex);
    m_series.durations.resize(0);
    m_series.temperatures.resize(0);
    m_series.ambients.resize(0);
    clearLocked();
}

bool SampleStore::appendWithin(double duration, double temperature, double ambient, int limit)
{
    QMutexLocker lock(&m_mutex);
    if (m_series.durations.size() >= limit)
        return false;
    appendLocked(duration, temperature, ambient);
    return true;
}

void SampleStore::append(double duration, double temperature, double ambient)
{
    QMutexLocker lock(&m_mutex);
    appendLocked(duration, temperature, ambient);
}

void SampleStore::replace(RecordSeries series)
{
    QMutexLocker lock(&m_mutex);
    m_series = std::move(series);
    clearLocked();
    for (int i = 0; i < m_series.temperatures.size(); ++i)
        noteExtremes(m_series.temperatures[i]);
}

void SampleStore::convertUnit(int from, int to)
{
    if (from == to || !TemperatureUnit::isKnown(from) || !TemperatureUnit::isKnown(to))
        return;
    const auto convert = [from, to](double &value) {
        value = TemperatureUnit::convert(value, from, to);
    };
    QMutexLocker lock(&m_mutex);
    for (QVector<double> *values : {&m_series.temperatures, &m_series.ambients})
        std::for_each(values->begin(), values->end(), convert);
    // The conversion is monotonic, so the extremes stay extremes.
    for (double *value : {&m_minTemperature, &m_maxTemperature})
        convert(*value);
}

RecordSeries SampleStore::takeAll()
{
    QMutexLocker lock(&m_mutex);
    RecordSeries taken = std::exchange(m_series, RecordSeries());
    clearLocked();
    return taken;
}

RecordSeries SampleStore::snapshot() const
{
    QMutexLocker lock(&m_mutex);
    return m_series;
}

int SampleStore::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_series.durations.size();
}

quint64 SampleStore::generation() const
{
    QMutexLocker lock(&m_mutex);
    return m_generation;
}

double SampleStore::lastDuration() const
{
    QMutexLocker lock(&m_mutex);
    return m_series.durations.isEmpty() ? 0.0 : m_series.durations.constLast();
}

SampleStore::Tail SampleStore::tailSince(quint64 generation, int seen) const
{
    QMutexLocker lock(&m_mutex);
    Tail tail;
    tail.generation = m_generation;
    tail.count = m_series.durations.size();
    const int from = generation == m_generation ? std::min(seen, tail.count) : 0;
    tail.rows = rowsFrom(m_series, from);
    if (tail.count > 0) {
        tail.firstDuration = m_series.durations.constFirst();
        tail.lastDuration = m_series.durations.constLast();
    }
    tail.minTemperature = m_minTemperature;
    tail.maxTemperature = m_maxTemperature;
    return tail;
}

RecordSeries SampleStore::copySince(quint64 generation, int from) const
{
    QMutexLocker lock(&m_mutex);
    if (generation != m_generation || from >= m_series.durations.size())
        return RecordSeries();
    return rowsFrom(m_series, std::max(from, 0));
}

void SampleStore::noteExtremes(double temperature)
{
    // std::fmin and std::fmax take the number when one side is NaN.
    m_minTemperature = std::fmin(m_minTemperature, temperature);
    m_maxTemperature = std::fmax(m_maxTemperature, temperature);
}

void SampleStore::appendLocked(double duration, double temperature, double ambient)
{
    noteExtremes(temperature);
    m_series.durations.append(duration);
    m_series.temperatures.append(temperature);
    m_series.ambients.append(ambient);
}

void SampleStore::clearLocked()
{
    ++m_generation;
    m_minTemperature = m_maxTemperature = std::nan("");
}
