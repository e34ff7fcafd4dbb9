#ifndef TEVRANO_WRITEFILETHREAD_H
#define TEVRANO_WRITEFILETHREAD_H

#include "recordfile.h"

#include <QThread>

class ttwidget;

// Writes the chart's samples to a record file, or reads one, off the GUI
// thread. Progress, errors and the end are reported through the owner's
// signals (progress, occurerror, writefinish), which reach the GUI queued.
//
// Everything the thread needs from the chart is taken in the constructor on
// the GUI thread, and an import is only handed back through takeImport() after
// the thread has finished, so the thread never touches the chart's fields.
class WriteFileThread : public QThread
{
    Q_OBJECT

public:
    // JournalMode reads a recording journal instead of a record file.
    enum Mode { ReadMode = 0, WriteMode = 1, JournalMode = 2 };

    // An import holding more samples than the chart's configured limit is refused whole
    // before anything is kept: a cut-off recording could pass for the complete one.
    WriteFileThread(ttwidget *owner, const QString &path, int mode);

    // Valid once the thread has finished.
    bool succeeded() const { return m_succeeded; }
    RecordImport takeImport() { return std::move(m_import); }

protected:
    void run() override;

private:
    ttwidget *const m_owner;
    const QString m_path;
    const int m_mode;
    RecordHeader m_header;
    RecordSeries m_series;
    RecordImport m_import;
    qint64 m_sampleLimit = 0;
    bool m_succeeded = false;
};

#endif // TEVRANO_WRITEFILETHREAD_H
