#include "recordjournal.h"

#include "filesync.h"
#include "samplestore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// Rows reach the operating system at least this often.
constexpr int kWriteMs = 500;
// What was written reaches the disk at the first write after this.
constexpr qint64 kSyncMs = 4000;
// A torn last line is short: its end is looked for only this far back.
constexpr qint64 kTailWindow = 64 * 1024;
constexpr int kHeaderLines = 8;
constexpr int kMaxNameAttempts = 1000;

// When the journal's recording started, from its "Date:" line; the file's
// last change when the header does not say, and now when nothing does (a
// dangling link), so an aside name is never empty.
QDateTime journalStart(const QString &path)
{
    QFile file(path);
    if (openRegularFile(file, QIODevice::ReadOnly)) {
        for (int i = 0; i < kHeaderLines && !file.atEnd(); ++i) {
            const QByteArray line = file.readLine(256).trimmed();
            if (!line.startsWith("Date:"))
                continue;
            const QDateTime start = QDateTime::fromString(
                    QString::fromLatin1(line.mid(5)), QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
            if (start.isValid())
                return start;
        }
    }
    const QDateTime changed = QFileInfo(path).lastModified();
    return changed.isValid() ? changed : QDateTime::currentDateTime();
}

// Also a link whose target is gone, or a FIFO: whatever holds the name.
bool namePresent(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Reads an open file only up to `limit` bytes.
class LimitedReader : public QIODevice
{
public:
    LimitedReader(QFile &file, qint64 limit)
        : m_file(file)
        , m_limit(limit)
    {}

    qint64 size() const override { return m_limit; }
    // The reader counts the rows before it keeps them, so it comes back to the body.
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_file.seek(pos); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 left = m_limit - m_file.pos();
        return left > 0 ? m_file.read(data, std::min(maxSize, left)) : 0;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile &m_file;
    const qint64 m_limit;
};

// Bytes up to and including the last line end, looked for in the last
// kTailWindow bytes. Without a line end there, a short file holds no complete
// line and a long one ends in a line too long to be a row anyway.
qint64 completeLinesSize(QFile &file)
{
    const qint64 size = file.size();
    const qint64 from = std::max<qint64>(0, size - kTailWindow);
    if (!file.seek(from))
        return 0;
    const QByteArray tail = file.read(size - from);
    file.seek(0);
    const int end = tail.lastIndexOf('\n');
    if (end >= 0)
        return from + end + 1;
    return from > 0 ? size : 0;
}

} // namespace

class RecordJournal::Writer : public QObject
{
public:
    Writer(RecordJournal &owner, const SampleStore &store)
        : m_owner(owner)
        , m_store(store)
        , m_file(owner.path())
        , m_tick(new QTimer(this))
    {
        m_tick->setInterval(kWriteMs);
        connect(m_tick, &QTimer::timeout, this, [this] { writeNew(); });
    }

    void begin(const RecordHeader &header, quint64 generation)
    {
        end();
        if (namePresent(m_owner.path())) {
            const QString target = moveAside();
            if (target.isEmpty()) {
                // It still holds an earlier recording: better no journal than that one lost.
                notifyFailed();
                return;
            }
            notifyMoved(target);
        }
        m_header = header;
        m_generation = generation;
        m_written = 0;
        // Opened by its descriptor, a QFile forgets its name: every recording names it anew.
        m_file.setFileName(m_owner.path());
        if (!openRegularFile(m_file,
                             QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
            || !writeRecordHeader(m_file, header, 0)) {
            giveUp();
            return;
        }
        if (sync())
            m_tick->start();
    }

    void end()
    {
        if (!m_file.isOpen())
            return;
        writeNew();
        if (m_file.isOpen() && (!m_unsynced || sync()))
            close();
    }

    void addMarker(const Marker &marker)
    {
        writeNew();
        if (!m_file.isOpen())
            return;
        if (!appendRecordMarker(m_file, marker)) {
            giveUp();
            return;
        }
        m_unsynced = true;
    }

    void remove()
    {
        close();
        QFile::remove(m_owner.path());
    }

    // The new name, empty when the journal could not be moved.
    QString moveAside()
    {
        close();
        if (!namePresent(m_owner.path()))
            return QString();
        const QString name
                = journalStart(m_owner.path()).toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
        const QDir dir(m_owner.recoveredDir());
        if (!dir.mkpath(QStringLiteral(".")))
            return QString();
        for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
            const QString target = dir.filePath(
                    attempt == 1 ? name + QStringLiteral(".txt")
                                 : QStringLiteral("%1_%2.txt").arg(name).arg(attempt));
            if (QFileInfo::exists(target))
                continue;
            // By name: it may be a FIFO, never opened, or a link whose target is gone, which
            // QFile takes for no file at all.
            const bool moved = QFile::rename(m_owner.path(), target)
                               || std::rename(QFile::encodeName(m_owner.path()).constData(),
                                              QFile::encodeName(target).constData())
                                          == 0;
            return moved ? target : QString();
        }
        return QString();
    }

    void reportMoveAside() { notifyMoved(moveAside()); }

private:
    void writeNew()
    {
        if (!m_file.isOpen())
            return;
        const RecordSeries rows = m_store.copySince(m_generation, m_written);
        if (!rows.durations.isEmpty()) {
            if (!appendRecordRows(m_file, m_header, rows, m_written)) {
                giveUp();
                return;
            }
            m_written += rows.durations.size();
            m_unsynced = true;
        }
        if (m_unsynced && m_sinceSync.hasExpired(kSyncMs))
            sync();
    }

    bool sync()
    {
        if (!syncFileData(m_file)) {
            giveUp();
            return false;
        }
        m_unsynced = false;
        m_sinceSync.start();
        ++m_owner.m_syncs;
        return true;
    }

    void close()
    {
        m_tick->stop();
        m_file.close();
    }

    // The recording goes on without its journal.
    void giveUp()
    {
        close();
        notifyFailed();
    }

    // The owner's signals leave from the owner's thread, whoever receives them.
    template<typename Emit>
    void notify(Emit emitter)
    {
        QMetaObject::invokeMethod(
                &m_owner, [&owner = m_owner, emitter] { emitter(owner); }, Qt::QueuedConnection);
    }

    void notifyFailed()
    {
        notify([](RecordJournal &owner) { emit owner.failed(); });
    }

    void notifyMoved(const QString &target)
    {
        notify([target](RecordJournal &owner) { emit owner.movedAside(target); });
    }

    RecordJournal &m_owner;
    const SampleStore &m_store;
    QFile m_file;
    QTimer *m_tick;
    RecordHeader m_header;
    quint64 m_generation = 0;
    int m_written = 0;
    bool m_unsynced = false;
    QElapsedTimer m_sinceSync;
};

RecordJournal::RecordJournal(const SampleStore &store, const QString &path)
    : m_path(path)
    , m_writer(new Writer(*this, store))
{
    m_writer->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("record journal"));
    m_thread.start(QThread::LowPriority);
}

RecordJournal::~RecordJournal()
{
    // Runs after every job queued before; the timer can only be stopped on its thread.
    QMetaObject::invokeMethod(
            m_writer, [writer = m_writer] { writer->end(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_writer;
}

QString RecordJournal::recoveredDir() const
{
    return QFileInfo(m_path).dir().filePath(QStringLiteral("recovered"));
}

template<typename Job>
void RecordJournal::queue(Job job)
{
    QMetaObject::invokeMethod(m_writer, std::move(job), Qt::QueuedConnection);
}

void RecordJournal::begin(const RecordHeader &header, quint64 generation)
{
    queue([writer = m_writer, header, generation] { writer->begin(header, generation); });
}

void RecordJournal::addMarker(const Marker &marker)
{
    queue([writer = m_writer, marker] { writer->addMarker(marker); });
}

void RecordJournal::end()
{
    queue([writer = m_writer] { writer->end(); });
}

void RecordJournal::remove()
{
    queue([writer = m_writer] { writer->remove(); });
}

void RecordJournal::moveAside()
{
    queue([writer = m_writer] { writer->reportMoveAside(); });
}

bool loadJournalFile(const QString &path,
                     RecordImport &result,
                     const RecordProgress &progress,
                     QString *error,
                     qint64 sampleLimit)
{
    QFile file(path);
    if (!openRegularFile(file, QIODevice::ReadOnly, error)) {
        result.failure = RecordFailure::Unreadable;
        return false;
    }
    const qint64 complete = completeLinesSize(file);
    LimitedReader reader(file, complete);
    reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    if (!readRecord(reader, result, progress, sampleLimit))
        return false;
    if (complete < file.size())
        ++result.skippedLines;
    return true;
}
