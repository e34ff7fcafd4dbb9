#ifndef TEVRANO_RECORDFILEJOB_H
#define TEVRANO_RECORDFILEJOB_H

#include "groupfiles.h"
#include "recordfile.h"

#include <QThread>

#include <atomic>

class RecordFileFlows;
class RecordingSession;

// Writes a session's samples to a record file or a CSV file, the group's to one CSV, reads a record
// file, or puts a drawn picture in place, off the GUI thread. Progress, errors and the end are
// reported through the owner's signals (progress, errorOccurred, fileWritten), which reach the GUI
// queued.
//
// Everything the thread needs from the session is taken in the constructor on
// the GUI thread, and an import is only handed back through takeImport() after
// the thread has finished, so the thread never touches the session.
class RecordFileJob : public QThread
{
    Q_OBJECT

public:
    // JournalMode reads a recording journal instead of a record file; CsvMode writes the
    // spreadsheet export; GroupCsvMode the one with a column per instrument; CopyMode puts a
    // finished file in place.
    enum Mode {
        ReadMode = 0,
        WriteMode = 1,
        CsvMode = 2,
        CopyMode = 3,
        JournalMode = 4,
        GroupCsvMode = 5
    };

    // An import holding more samples than the configured limit is refused whole
    // before anything is kept: a cut-off recording could pass for the complete one. WriteMode
    // and CsvMode write `source`, the owner's first session without one.
    RecordFileJob(RecordFileFlows *owner,
                  const QString &path,
                  int mode,
                  const RecordingSession *source = nullptr);
    // CopyMode: the finished file that replaces `path`.
    void setSource(const QString &source) { m_source = source; }
    const QString &path() const { return m_path; }

    // Asks a read to stop at its next block; it then fails without a message.
    void cancel() { m_cancel = true; }
    bool cancellable() const { return m_mode == ReadMode || m_mode == JournalMode; }

    // Valid once the thread has finished.
    bool succeeded() const { return m_succeeded; }
    RecordImport takeImport() { return std::move(m_import); }

protected:
    void run() override;

private:
    RecordFileFlows *const m_owner;
    const QString m_path;
    const int m_mode;
    QString m_source;
    RecordHeader m_header;
    std::optional<qint64> m_startMsecs;
    RecordSeries m_series;
    int m_intervalMs = 0;
    QVector<CsvColumn> m_columns;
    RecordImport m_import;
    qint64 m_sampleLimit = 0;
    bool m_succeeded = false;
    std::atomic<bool> m_cancel{false};
};

#endif // TEVRANO_RECORDFILEJOB_H
