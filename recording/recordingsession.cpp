#include "recordingsession.h"

#include "recordjournal.h"
#include "samplingclock.h"
#include "temperatureunit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cmath>

SamplingSlot samplingSlot(qint64 elapsedMs, qint64 intervalMs, qint64 lastSlot, qint64 lastTakenMs)
{
    SamplingSlot result;
    const qint64 slot = elapsedMs / intervalMs;
    // Half an interval at least after the sample before (counted from the whole millisecond it
    // was taken in), so two samples never share a millisecond time stamp: a late sample pushes
    // the next one into its slot, never out of it.
    const qint64 earliest = lastTakenMs + std::max<qint64>(2, intervalMs / 2);
    // A timer that fires early waits for its slot; one that missed slots takes the current one
    // only, so no two samples share a slot.
    result.due = slot > lastSlot && elapsedMs >= earliest;
    result.slot = result.due ? slot : lastSlot;
    result.delayMs = slot > lastSlot && !result.due ? earliest - elapsedMs
                                                    : (result.slot + 1) * intervalMs - elapsedMs;
    return result;
}

RecordingSession::RecordingSession(QObject *parent)
    : QObject(parent)
    , m_headerWait(new QTimer(this))
{
    m_headerWait->setSingleShot(true);
    m_headerWait->setInterval(HeaderWaitMs);
    connect(m_headerWait, &QTimer::timeout, this, &RecordingSession::beginIfReady);
    m_header.application = QCoreApplication::applicationName();
    m_ticker = std::make_unique<SamplingClock>(QStringLiteral("sampling"), [this] { tick(); });
}

RecordingSession::~RecordingSession()
{
    {
        QMutexLocker lock(&m_lock);
        m_sampling = false;
    }
    m_ticker.reset();
    // The journal takes the last samples before the store goes.
    m_journal.reset();
}

qint64 RecordingSession::steadyNowMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

void RecordingSession::attach(Instrument *instrument)
{
    if (m_instrument)
        m_instrument->disconnect(this);
    m_instrument = instrument;
    if (!instrument)
        return;
    connect(instrument, &Instrument::readings, this, &RecordingSession::feed);
    connect(instrument,
            &Instrument::connectionStateChanged,
            this,
            &RecordingSession::setConnectionState);
    connect(instrument, &Instrument::parameterRead, this, &RecordingSession::noteParameter);
    connect(instrument, &Instrument::alarmChanged, this, [this](AlarmState state) {
        QMutexLocker lock(&m_lock);
        m_alarm = state != AlarmState::None;
    });
    connect(instrument, &Instrument::unitChanged, this, [this](int unit, int previous) {
        QMutexLocker lock(&m_lock);
        m_object = TemperatureUnit::convert(m_object, previous, unit);
        m_ambient = TemperatureUnit::convert(m_ambient, previous, unit);
        m_feedUnit = unit;
    });
    setConnectionState(instrument->state());
    m_emissivity = instrument->parameter(Instrument::Parameter::Emissivity);
    QMutexLocker lock(&m_lock);
    m_feedUnit = instrument->unit();
    m_alarm = instrument->alarmState() != AlarmState::None;
}

void RecordingSession::setInterval(int ms)
{
    m_interval = std::clamp(ms, MinIntervalMs, MaxIntervalMs);
}

void RecordingSession::setSampleLimit(int samples)
{
    m_limit = std::max(samples, 0);
}

void RecordingSession::setJournalPath(const QString &path)
{
    m_journal.reset();
    if (!path.isEmpty())
        m_journal = std::make_unique<RecordJournal>(m_samples, path);
}

bool RecordingSession::isSampling() const
{
    QMutexLocker lock(&m_lock);
    return m_sampling;
}

void RecordingSession::start()
{
    if (m_armed)
        return;
    m_samples.restart();
    {
        QMutexLocker lock(&m_lock);
        // Until the first sample fixes it, a file written now starts at the press of Start.
        m_start = QDateTime::currentMSecsSinceEpoch();
        m_header.startMsecs = *m_start;
        m_header.recordInterval = m_interval;
        if (!std::isnan(m_emissivity))
            m_header.emissivity = float(m_emissivity);
        m_header.markers.clear();
        m_capture.reset();
        if (m_trigger)
            m_capture.emplace(*m_trigger);
    }
    m_armed = true;
    m_unsaved = true;
    m_armedFor.start();
    m_headerWait->start();
    beginIfReady();
}

void RecordingSession::beginIfReady()
{
    if (!m_armed || isSampling())
        return;
    {
        QMutexLocker lock(&m_lock);
        if (!m_connected || m_objectAt < 0 || isSampleGap(steadyNowMs() - m_objectAt, m_interval))
            return;
    }
    // Only an instrument reports the emissivity; a silent one does not hold the recording up.
    if (m_instrument && std::isnan(m_emissivity) && !m_armedFor.hasExpired(HeaderWaitMs))
        return;
    begin();
}

void RecordingSession::begin()
{
    m_headerWait->stop();
    RecordHeader header;
    // A session joining its group's running recording takes its first sample in the group's
    // next slot, on the group's time axis.
    const bool joins = m_origin && m_origin->wallMsecs;
    {
        QMutexLocker lock(&m_lock);
        if (joins) {
            m_clock = m_origin->steady;
            m_start = *m_origin->wallMsecs;
        } else {
            m_clock.start();
            m_start = QDateTime::currentMSecsSinceEpoch();
            if (m_origin) {
                m_origin->steady = m_clock;
                m_origin->wallMsecs = m_start;
            }
        }
        m_lastSlot = 0;
        m_lastTakenMs = 0;
        m_sampling = true;
        m_header.startMsecs = *m_start;
        if (!std::isnan(m_emissivity))
            m_header.emissivity = float(m_emissivity);
        m_header.unit = m_feedUnit;
        m_header.recordInterval = m_interval;
        header = m_header;
    }
    if (!joins)
        takeSample();
    if (m_journal)
        m_journal->begin(header, m_samples.generation());
    if (!m_origin)
        m_ticker->arm(m_interval);
    emit started();
}

void RecordingSession::tick()
{
    SamplingSlot next;
    {
        QMutexLocker lock(&m_lock);
        if (!m_sampling)
            return;
        next = samplingSlot(m_clock.elapsed(), m_header.recordInterval, m_lastSlot, m_lastTakenMs);
        if (next.due) {
            m_lastSlot = next.slot;
            m_lastTakenMs = m_clock.elapsed();
            lock.unlock();
            takeSample();
            lock.relock();
            if (!m_sampling)
                return;
            next = samplingSlot(
                    m_clock.elapsed(), m_header.recordInterval, m_lastSlot, m_lastTakenMs);
        }
    }
    m_ticker->arm(next.delayMs);
}

void RecordingSession::takeSample()
{
    QMutexLocker lock(&m_lock);
    if (!m_sampling)
        return;
    const double duration = double(m_clock.nsecsElapsed()) / 1e9;
    // A reading that stopped coming, or an instrument known to be gone, gives a gap, not the
    // last value repeated as if it were live.
    const bool gap = !m_connected || m_objectAt < 0
                     || isSampleGap(steadyNowMs() - m_objectAt, m_header.recordInterval);
    // Samples are in the unit of the samples held, whatever the readings came in.
    const auto value = [this, gap](double reading) {
        return gap ? std::nan("") : TemperatureUnit::convert(reading, m_feedUnit, m_header.unit);
    };
    if (!keepSample(duration, value(m_object), value(m_ambient))) {
        m_sampling = false;
        QMetaObject::invokeMethod(
                this, [this] { end(End::LimitReached); }, Qt::QueuedConnection);
        return;
    }
    if (m_capture && m_capture->gate().finished()) {
        m_sampling = false;
        QMetaObject::invokeMethod(
                this, [this] { end(End::Stopped); }, Qt::QueuedConnection);
    }
    lock.unlock();
    emit sampled();
}

bool RecordingSession::keepSample(double duration, double object, double ambient)
{
    if (!m_capture)
        return m_samples.appendWithin(duration, object, ambient, m_limit);
    bool kept = true;
    const double celsius = TemperatureUnit::toCelsius(object, m_header.unit);
    m_capture->push(
            duration,
            celsius,
            m_alarm,
            Held{duration, object, ambient},
            [&](const Held &held, bool opens) {
                if (opens) {
                    const Marker marker{held.duration, m_capture->gate().trigger().name()};
                    // Added on the owner's thread, where the journal is driven.
                    QMetaObject::invokeMethod(
                            this, [this, marker] { addMarker(marker); }, Qt::QueuedConnection);
                }
                kept = kept
                       && m_samples.appendWithin(held.duration, held.object, held.ambient, m_limit);
            });
    return kept;
}

void RecordingSession::stop()
{
    end(End::Stopped);
}

void RecordingSession::end(End reason)
{
    if (!m_armed)
        return;
    m_armed = false;
    m_headerWait->stop();
    {
        QMutexLocker lock(&m_lock);
        m_sampling = false;
    }
    m_ticker->halt();
    if (m_journal)
        m_journal->end();
    emit finished(reason);
}

void RecordingSession::feed(const Instrument::Reading &reading)
{
    {
        QMutexLocker lock(&m_lock);
        if (reading.unit != m_feedUnit && TemperatureUnit::isKnown(reading.unit))
            m_feedUnit = reading.unit;
        if (std::isfinite(reading.object)) {
            m_object = reading.object;
            m_objectAt = reading.monotonicMs;
        }
        if (std::isfinite(reading.ambient))
            m_ambient = reading.ambient;
    }
    beginIfReady();
}

void RecordingSession::setConnectionState(Instrument::ConnectionState state)
{
    using State = Instrument::ConnectionState;
    QMutexLocker lock(&m_lock);
    m_connected = state == State::Connected || state == State::NotResponding;
}

void RecordingSession::noteParameter(Instrument::Parameter parameter, double value)
{
    if (parameter != Instrument::Parameter::Emissivity)
        return;
    m_emissivity = value;
    beginIfReady();
}

void RecordingSession::load(RecordImport imported)
{
    end(End::Stopped);
    m_samples.replace(std::move(imported.series));
    QMutexLocker lock(&m_lock);
    // A file without these header lines leaves the values known before.
    m_header.unit = imported.unit.value_or(m_header.unit);
    m_header.emissivity = imported.emissivity.value_or(m_header.emissivity);
    m_start = imported.startMsecs;
    m_header.markers = std::move(imported.markers);
    if (m_start)
        m_header.startMsecs = *m_start;
    m_unsaved = false;
}

void RecordingSession::setUnit(int code)
{
    QMutexLocker lock(&m_lock);
    // Held to convert, so no sample mixes the units; a code not known is kept, values as they are.
    m_samples.convertUnit(m_header.unit, code);
    m_header.unit = code;
}

int RecordingSession::unit() const
{
    QMutexLocker lock(&m_lock);
    return m_header.unit;
}

void RecordingSession::discard()
{
    if (std::exchange(m_unsaved, false) && m_journal)
        m_journal->remove();
}

void RecordingSession::addMarker(const Marker &marker)
{
    bool journalled = false;
    {
        QMutexLocker lock(&m_lock);
        m_header.markers.append(marker);
        // Before the first sample the journal has not begun; its header takes the marker then.
        journalled = m_sampling;
    }
    if (journalled && m_journal)
        m_journal->addMarker(marker);
    emit markerAdded(marker);
}

QVector<Marker> RecordingSession::markers() const
{
    QMutexLocker lock(&m_lock);
    return m_header.markers;
}

void RecordingSession::setMarkers(const QVector<Marker> &markers)
{
    QMutexLocker lock(&m_lock);
    m_header.markers = markers;
}

RecordHeader RecordingSession::header() const
{
    QMutexLocker lock(&m_lock);
    RecordHeader header = m_header;
    // Without a start of its own, a file written now starts now.
    if (!m_start)
        header.startMsecs = QDateTime::currentMSecsSinceEpoch();
    // Between recordings, the interval the next one takes.
    if (!m_armed)
        header.recordInterval = m_interval;
    return header;
}

std::optional<qint64> RecordingSession::startMsecs() const
{
    QMutexLocker lock(&m_lock);
    return m_start;
}
