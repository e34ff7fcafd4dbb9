#include "samplestore.h"

#include "temperatureunit.h"

#include <QMutexLocker>

#include <algorithm>
#include <cmath>

namespace {
// The settings dialog's largest limit. A larger limit from a hand-edited
// settings file still works, but its room is taken as samples arrive.
constexpr int kMaxReserved = 10000 * 1000;
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
    m_clock.start();
}

bool SampleStore::appendNow(double temperature, double ambient, int limit)
{
    QMutexLocker lock(&m_mutex);
    if (m_series.durations.size() >= limit)
        return false;
    // A monotonic clock: a change of the wall clock must not bend the time axis.
    const double duration = m_clock.isValid() ? double(m_clock.nsecsElapsed()) / 1e9 : 0.0;
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
    tail.temperature.reserve(tail.count - from);
    tail.ambient.reserve(tail.count - from);
    for (int i = from; i < tail.count; ++i) {
        const double key = m_series.durations[i];
        tail.temperature.append(QCPGraphData(key, m_series.temperatures[i]));
        tail.ambient.append(QCPGraphData(key, m_series.ambients[i]));
    }
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
    RecordSeries copy;
    const int count = m_series.durations.size();
    if (generation != m_generation || from >= count)
        return copy;
    from = std::max(from, 0);
    // Not mid(): for the whole array it hands out a share.
    const auto tail = [from](const QVector<double> &values) {
        return QVector<double>(values.cbegin() + from, values.cend());
    };
    copy.durations = tail(m_series.durations);
    copy.temperatures = tail(m_series.temperatures);
    copy.ambients = tail(m_series.ambients);
    return copy;
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

QCPRange autoFitRange(double low, double high, double currentSize)
{
    if (std::isnan(low))
        return QCPRange(std::nan(""), std::nan(""));
    const double margin = (high - low) * 0.05;
    if (QCPRange::validRange(low - margin, high + margin))
        return QCPRange(low - margin, high + margin);
    const double centre = (low + high) * 0.5;
    return QCPRange(centre - currentSize * 0.5, centre + currentSize * 0.5);
}
