#ifndef TEVRANO_RECORDINGGROUP_H
#define TEVRANO_RECORDINGGROUP_H

#include "recordingsession.h"

#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

class SamplingClock;

// The journal of the instrument `serial` in `folder`: "recording.journal" when it is the only
// one (the name a single recording has always had, so an old journal is still found), else
// "recording-<serial>.journal" with the serial percent-encoded, so any serial makes a safe,
// distinct name that gives the serial back.
QString groupJournalPath(const QString &folder, const QString &serial, bool alone);

// A journal an earlier run left in a folder; `serial` is empty for "recording.journal".
struct FoundJournal
{
    QString path;
    QString serial;
};
// The journals groupJournalPath() names in `folder`, in the order of their names.
QVector<FoundJournal> findGroupJournals(const QString &folder);

// One recording over several instruments on one time axis: a RecordingSession per instrument,
// keyed by its serial number in the order added. All sessions share the time origin of the
// group's first sample, and one sampling clock takes every session's sample in the same slot,
// so a sample has the same Duration (within the microseconds the clock's step takes) in every
// session. Interval, sample limit, trigger and the user's markers apply to all; each session
// keeps its own gaps, so an instrument lost and back has gaps in its rows only.
//
// Lives on the thread that creates it, like its sessions; the clock runs on a thread of its own.
class RecordingGroup : public QObject
{
    Q_OBJECT

public:
    explicit RecordingGroup(QObject *parent = nullptr);
    ~RecordingGroup() override;

    // Where add() puts a new session: after the others, or before them (an instrument that
    // joins a group of files: a recording's first session is always an instrument's).
    enum class Place { Last, First };
    // The session of `serial`, made at `place` if there is none. One added while recording is
    // armed and joins with its first sample at the next slot.
    RecordingSession *add(const QString &serial, Place place = Place::Last);
    // Null when there is none.
    RecordingSession *session(const QString &serial) const;
    // The session held under `from` is `to`'s from now on (a session made before its
    // instrument's serial was known); false when `to` has one already or `from` none.
    bool rename(const QString &from, const QString &to);
    // Drops the session of `serial` with all it holds, never the first one and never while
    // recording; false when it is not dropped.
    bool remove(const QString &serial);
    QStringList serials() const { return m_serials; }
    int count() const { return int(m_serials.size()); }

    void setInterval(int ms);
    int interval() const { return m_interval; }
    void setSampleLimit(int samples);
    void setTrigger(const std::optional<Trigger> &trigger);
    // Every recording from the next one on journals each session in `folder`; empty keeps none.
    void setJournalFolder(const QString &folder);
    QString journalFolder() const { return m_journalFolder; }

    void start();
    // Ends every session's recording; finished(Stopped) follows.
    void stop();
    bool isRecording() const { return m_recording; }
    bool hasUnsaved() const;
    void discard();
    // A marker of the user goes to every session.
    void addMarker(const Marker &marker);
    // Wall-clock time of the group's first sample, when known.
    std::optional<qint64> startMsecs() const;

    // Each journal into the session of its serial, as an import would, unsaved: crash recovery.
    // The number restored.
    int restoreJournals(const QVector<FoundJournal> &journals);
    // One journal already read (off this thread) into the session of its serial.
    void restoreJournal(const FoundJournal &found, RecordImport imported);
    // Several record files into one session each (keyed by the file's base name), on one time
    // axis by their start times. False with `error` at the first that does not load.
    bool loadFiles(const QStringList &paths, QString *error = nullptr);
    // The same for files already read: `imports[i]` came from `paths[i]`.
    void loadImports(const QStringList &paths, QVector<RecordImport> imports);

signals:
    void started();
    void finished(RecordingSession::End end);
    // `session` is at serials().indexOf(serial).
    void sessionAdded(const QString &serial, RecordingSession *session);
    // Just before `session` is deleted.
    void sessionRemoved(RecordingSession *session);

private:
    void prepare(RecordingSession &session, const QString &serial);
    void tick();
    void end(RecordingSession::End reason);

    QStringList m_serials;
    QVector<RecordingSession *> m_owned; // owner thread only
    QString m_journalFolder;
    int m_interval = 10;
    int m_limit = 1000 * 1000;
    std::optional<Trigger> m_trigger;
    std::shared_ptr<SharedOrigin> m_origin;
    bool m_recording = false;

    // What the clock's thread reads.
    mutable QMutex m_lock;
    QVector<RecordingSession *> m_sampled;
    bool m_ticking = false;
    QElapsedTimer m_clock;
    qint64 m_lastSlot = 0;
    qint64 m_lastTakenMs = 0;
    int m_tickInterval = 10;

    std::unique_ptr<SamplingClock> m_ticker;
};

#endif // TEVRANO_RECORDINGGROUP_H
