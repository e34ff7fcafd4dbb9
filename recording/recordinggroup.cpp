#include "recordinggroup.h"

#include "recordjournal.h"
#include "samplingclock.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QUrl>

#include <algorithm>

namespace {

const QString JournalStem = QStringLiteral("recording");
const QString JournalSuffix = QStringLiteral(".journal");

} // namespace

QString groupJournalPath(const QString &folder, const QString &serial, bool alone)
{
    const QString name = alone ? JournalStem + JournalSuffix
                               : JournalStem + QLatin1Char('-')
                                         + QString::fromLatin1(QUrl::toPercentEncoding(serial))
                                         + JournalSuffix;
    return QDir(folder).filePath(name);
}

QVector<FoundJournal> findGroupJournals(const QString &folder)
{
    QVector<FoundJournal> found;
    const QDir dir(folder);
    const QStringList names = dir.entryList(
            {JournalStem + QLatin1Char('*') + JournalSuffix}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (name == JournalStem + JournalSuffix) {
            found.append({dir.filePath(name), QString()});
            continue;
        }
        const int from = JournalStem.size() + 1;
        const QString encoded = name.mid(from, name.size() - from - JournalSuffix.size());
        // Another file the pattern matches ("recordings.journal") is no journal of ours.
        if (name.at(from - 1) != QLatin1Char('-') || encoded.isEmpty())
            continue;
        found.append({dir.filePath(name), QUrl::fromPercentEncoding(encoded.toLatin1())});
    }
    return found;
}

RecordingGroup::RecordingGroup(QObject *parent)
    : QObject(parent)
{
    m_ticker
            = std::make_unique<SamplingClock>(QStringLiteral("group sampling"), [this] { tick(); });
}

RecordingGroup::~RecordingGroup()
{
    {
        QMutexLocker lock(&m_lock);
        m_ticking = false;
    }
    m_ticker.reset();
    qDeleteAll(m_owned);
}

RecordingSession *RecordingGroup::add(const QString &serial, Place place)
{
    if (RecordingSession *existing = session(serial))
        return existing;
    auto *session = new RecordingSession;
    const int index = place == Place::First ? 0 : count();
    m_owned.insert(index, session);
    m_serials.insert(index, serial);
    {
        QMutexLocker lock(&m_lock);
        m_sampled.append(session);
    }
    connect(session, &RecordingSession::started, this, [this] {
        QMutexLocker lock(&m_lock);
        if (!m_recording || m_ticking)
            return;
        // The first session to sample fixed the origin and took slot 0.
        m_ticking = true;
        m_clock = m_origin->steady;
        m_lastSlot = 0;
        m_lastTakenMs = 0;
        m_tickInterval = m_interval;
        const qint64 delay = m_interval - m_clock.elapsed();
        lock.unlock();
        m_ticker->arm(delay);
        emit started();
    });
    connect(session, &RecordingSession::finished, this, [this](RecordingSession::End reason) {
        // A session that ended by itself (its limit, a capture taken once) ends the recording.
        if (m_recording)
            end(reason);
    });
    if (m_recording) {
        prepare(*session, serial);
        session->start();
    }
    emit sessionAdded(serial, session);
    return session;
}

RecordingSession *RecordingGroup::session(const QString &serial) const
{
    const int index = int(m_serials.indexOf(serial));
    return index < 0 ? nullptr : m_owned.at(index);
}

bool RecordingGroup::remove(const QString &serial)
{
    const int index = int(m_serials.indexOf(serial));
    if (index <= 0 || m_recording)
        return false;
    RecordingSession *removed = m_owned.takeAt(index);
    m_serials.removeAt(index);
    {
        QMutexLocker lock(&m_lock);
        m_sampled.removeOne(removed);
    }
    emit sessionRemoved(removed);
    delete removed;
    return true;
}

bool RecordingGroup::rename(const QString &from, const QString &to)
{
    const int index = int(m_serials.indexOf(from));
    if (index < 0 || m_serials.contains(to))
        return false;
    m_serials[index] = to;
    return true;
}

void RecordingGroup::setInterval(int ms)
{
    m_interval = std::clamp(ms, RecordingSession::MinIntervalMs, RecordingSession::MaxIntervalMs);
    for (RecordingSession *session : qAsConst(m_owned))
        session->setInterval(ms);
}

void RecordingGroup::setSampleLimit(int samples)
{
    m_limit = samples;
    for (RecordingSession *session : qAsConst(m_owned))
        session->setSampleLimit(samples);
}

void RecordingGroup::setTrigger(const std::optional<Trigger> &trigger)
{
    m_trigger = trigger;
    for (RecordingSession *session : qAsConst(m_owned))
        session->setTrigger(trigger);
}

void RecordingGroup::setJournalFolder(const QString &folder)
{
    m_journalFolder = folder;
}

void RecordingGroup::prepare(RecordingSession &session, const QString &serial)
{
    session.setInterval(m_interval);
    session.setSampleLimit(m_limit);
    session.setTrigger(m_trigger);
    session.shareOrigin(m_origin);
    const QString journal = m_journalFolder.isEmpty()
                                    ? QString()
                                    : groupJournalPath(m_journalFolder, serial, count() == 1);
    if (!session.journal() || session.journal()->path() != journal)
        session.setJournalPath(journal);
}

void RecordingGroup::start()
{
    if (m_recording)
        return;
    m_origin = std::make_shared<SharedOrigin>();
    m_recording = true;
    for (int i = 0; i < count(); ++i)
        prepare(*m_owned.at(i), m_serials.at(i));
    for (RecordingSession *session : qAsConst(m_owned))
        session->start();
}

void RecordingGroup::stop()
{
    end(RecordingSession::End::Stopped);
}

void RecordingGroup::end(RecordingSession::End reason)
{
    if (!m_recording)
        return;
    m_recording = false;
    {
        QMutexLocker lock(&m_lock);
        m_ticking = false;
    }
    m_ticker->halt();
    for (RecordingSession *session : qAsConst(m_owned))
        session->stop();
    emit finished(reason);
}

void RecordingGroup::tick()
{
    QMutexLocker lock(&m_lock);
    if (!m_ticking)
        return;
    SamplingSlot next = samplingSlot(m_clock.elapsed(), m_tickInterval, m_lastSlot, m_lastTakenMs);
    if (next.due) {
        m_lastSlot = next.slot;
        m_lastTakenMs = m_clock.elapsed();
        // Sessions not sampling (armed, waiting for their instrument) pass.
        for (RecordingSession *session : qAsConst(m_sampled))
            session->takeSample();
        next = samplingSlot(m_clock.elapsed(), m_tickInterval, m_lastSlot, m_lastTakenMs);
    }
    m_ticker->arm(next.delayMs);
}

bool RecordingGroup::hasUnsaved() const
{
    return std::any_of(m_owned.cbegin(), m_owned.cend(), [](const RecordingSession *session) {
        return session->hasUnsaved();
    });
}

void RecordingGroup::discard()
{
    for (RecordingSession *session : qAsConst(m_owned))
        session->discard();
}

void RecordingGroup::addMarker(const Marker &marker)
{
    for (RecordingSession *session : qAsConst(m_owned))
        session->addMarker(marker);
}

std::optional<qint64> RecordingGroup::startMsecs() const
{
    if (m_origin && m_origin->wallMsecs)
        return m_origin->wallMsecs;
    std::optional<qint64> earliest;
    for (const RecordingSession *session : m_owned) {
        const auto start = session->startMsecs();
        if (start && (!earliest || *start < *earliest))
            earliest = start;
    }
    return earliest;
}

int RecordingGroup::restoreJournals(const QVector<FoundJournal> &journals)
{
    int restored = 0;
    for (const FoundJournal &found : journals) {
        RecordImport imported;
        if (!loadJournalFile(found.path, imported))
            continue;
        restoreJournal(found, std::move(imported));
        ++restored;
    }
    return restored;
}

void RecordingGroup::restoreJournal(const FoundJournal &found, RecordImport imported)
{
    RecordingSession *session = add(found.serial);
    session->load(std::move(imported));
    // Kept where it is until the recording is saved or discarded.
    session->setJournalPath(found.path);
    session->setUnsaved(true);
}

bool RecordingGroup::loadFiles(const QStringList &paths, QString *error)
{
    QVector<RecordImport> imports(paths.size());
    for (int i = 0; i < paths.size(); ++i) {
        if (!loadRecordFile(paths.at(i), imports[i], {}, error))
            return false;
    }
    loadImports(paths, std::move(imports));
    return true;
}

void RecordingGroup::loadImports(const QStringList &paths, QVector<RecordImport> imports)
{
    std::optional<qint64> origin;
    for (const RecordImport &imported : qAsConst(imports)) {
        if (imported.startMsecs && (!origin || *imported.startMsecs < *origin))
            origin = imported.startMsecs;
    }
    for (int i = 0; i < paths.size(); ++i) {
        RecordImport &imported = imports[i];
        // Onto the earliest file's time axis; a file without a start stays where it is.
        if (origin && imported.startMsecs) {
            const double shift = double(*imported.startMsecs - *origin) / 1000.0;
            for (double &duration : imported.series.durations)
                duration += shift;
            for (Marker &marker : imported.markers)
                marker.seconds += shift;
            imported.startMsecs = origin;
        }
        add(QFileInfo(paths.at(i)).completeBaseName())->load(std::move(imported));
    }
}
