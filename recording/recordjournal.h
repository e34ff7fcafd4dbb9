#ifndef TEVRANO_RECORDJOURNAL_H
#define TEVRANO_RECORDJOURNAL_H

#include "recordfile.h"

#include <QObject>
#include <QThread>

#include <atomic>

class SampleStore;

// The running recording written through to a record file while it grows, so a
// crash or a power cut costs at most the last second of it. Rows reach the
// operating system at least once a second and the disk at least every five
// seconds and when the recording ends.
//
// Every disk access runs on the journal's own thread, in the order of the
// calls, which only queue the work and return. A journal that cannot be
// written says so once through failed() and is given up until the next
// begin(); the recording in memory does not depend on it.
class RecordJournal : public QObject
{
    Q_OBJECT

public:
    // `store` holds the recording and must outlive the journal.
    RecordJournal(const SampleStore &store, const QString &path);
    // Ends an open journal and waits for every queued job.
    ~RecordJournal() override;

    QString path() const { return m_path; }
    // Where journals go that were not restored, named after their start.
    QString recoveredDir() const;

    // Starts a journal of the recording the store holds in `generation`. A
    // journal found at the path belongs to an earlier recording that was
    // neither saved nor discarded: it is moved aside first, never overwritten.
    void begin(const RecordHeader &header, quint64 generation);
    // Writes the rows held so far, then the marker, so recovery keeps it in place.
    void addMarker(const Marker &marker);
    // Writes what is missing, makes it durable and closes the file.
    void end();
    // Deletes the journal: its recording was saved or discarded.
    void remove();
    // Moves the journal to recoveredDir().
    void moveAside();
    // How often the journal reached the disk since it was made: a watchdog for the periodic sync.
    int syncCount() const { return m_syncs; }

signals:
    void failed();
    // After a journal was moved aside; `target` is empty when it could not be.
    void movedAside(const QString &target);

private:
    class Writer;
    template<typename Job>
    void queue(Job job);

    const QString m_path;
    std::atomic<int> m_syncs{0};
    QThread m_thread;
    Writer *m_writer;
};

// Reads a journal as an import reads a record file, but only up to its last
// complete line: a crash may have cut the last row short. A torn last line
// counts as a skipped line.
bool loadJournalFile(const QString &path,
                     RecordImport &result,
                     const RecordProgress &progress = {},
                     QString *error = nullptr,
                     qint64 sampleLimit = MaxRecordSamples);

#endif // TEVRANO_RECORDJOURNAL_H
