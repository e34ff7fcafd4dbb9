#pragma once

#include "logoptions.h"
#include "logrows.h"
#include "recordfile.h"

#include <QElapsedTimer>
#include <QFile>

#include <optional>

// Where the rows go, in the chosen format. Every row is one write to the operating system as it
// is taken, so a reader of the file, pipe or redirected standard output sees it at once, and a
// file's rows reach the disk at least every few seconds. An existing file is replaced, or added
// to, only at the first row: a run that takes none leaves it as it was.
class LogOutput
{
public:
    explicit LogOutput(LogFormat format);

    // Opens `path` ("-" is standard output, an empty path none: rows are then counted and
    // dropped) without changing it yet. With `append`, an existing file must be one of the chosen
    // format (csv or jsonl); its rows stay, its header is not repeated and the new rows follow its
    // layout. One whose rows name no instrument is refused when `instrumentNeeded`.
    bool open(const QString &path, bool append, bool instrumentNeeded, QString *error);

    // Replaces, or adds to, the file now, as the first row would: a csv file gets its header line,
    // a record file its header, a jsonl file nothing. Once only; write() calls it.
    bool start(const RecordHeader &header);
    // `header` goes into a record file with the first row.
    bool write(const LogRow &row, const RecordHeader &header);
    // Completes the file (a record file gets its sample count) and closes it. A file the run
    // created without starting it goes again.
    bool finish();

    int rows() const { return m_rows; }
    QString errorString() const { return m_file.errorString(); }
    // The last write failed because nobody reads the pipe any more.
    bool readerGone() const { return m_readerGone; }

private:
    bool writeBytes(const QByteArray &bytes);
    bool syncWhenDue();

    const LogFormat m_format;
    QFile m_file;
    bool m_append = false;
    bool m_created = false;
    bool m_readerGone = false;
    bool m_lineEndMissing = false; // an appended-to file whose last line is torn
    bool m_started = false;
    RowLayout m_layout = RowLayout::WithInstrument;
    std::optional<RecordAppender> m_record;
    QElapsedTimer m_sinceSync;
    int m_rows = 0;
};
