#pragma once

#include "publishrow.h"

#include <QFile>
#include <QString>

#include <deque>

// One instrument's rows on their way to the broker, kept on disk so that neither an outage nor a
// killed process loses them. Rows are appended to numbered segment files of fixed-size records,
// each with its own checksum; the file "acked" says up to where the broker has confirmed them,
// and the next seq. A torn record at the end (a crash in the middle of a write) is cut off when
// the queue is opened. Only the segment list and two file handles live in memory, whatever the
// length of the queue. One owner thread; not shared.
class DiskQueue
{
public:
    struct Position
    {
        quint64 segment = 0;
        qint64 offset = 0;
        bool operator==(const Position &other) const
        {
            return segment == other.segment && offset == other.offset;
        }
        bool operator<(const Position &other) const
        {
            return segment < other.segment || (segment == other.segment && offset < other.offset);
        }
    };
    struct Entry
    {
        PublishRow row; // instrument left empty: the queue is one instrument's
        quint64 seq = 0;
        Position end; // where the record after it starts
    };

    static constexpr qint64 RecordSize = 40;
    static constexpr qint64 DefaultLimitBytes = 100 * 1024 * 1024;

    DiskQueue(const QString &directory, qint64 limitBytes = DefaultLimitBytes);

    // Creates the directory when missing, reads "acked" and the segments.
    bool open(QString *error);

    // Gives the row the next seq and writes it through to the operating system (not yet to the
    // disk: see sync). Drops the oldest segment when the queue outgrows its limit.
    bool append(const PublishRow &row, QString *error);

    // The row after the read position, which then moves past it; false when none is left.
    bool readNext(Entry *entry);
    // Starts reading again at the first row not acknowledged, as after a lost connection.
    void rewind();
    Position readPosition() const { return m_read; }
    Position appendPosition() const;
    // Everything before `end` has reached the broker.
    void acknowledge(Position end);

    // Makes the appended rows and the acknowledged position durable and removes the segments
    // all read and acknowledged. False when the disk refuses.
    bool sync(QString *error);

    qint64 pendingRows() const;
    qint64 bytes() const;
    // Rows dropped to keep within the limit since the queue was opened.
    quint64 droppedRows() const { return m_dropped; }
    quint64 nextSeq() const { return m_nextSeq; }

private:
    struct Segment
    {
        quint64 number = 0;
        qint64 size = 0;
    };
    QString segmentPath(quint64 number) const;
    bool readState();
    bool scanSegment(Segment &segment, bool last);
    bool startSegment(QString *error);
    void dropOldest();
    bool writeState(QString *error);

    const QString m_directory;
    const qint64 m_limit;
    const qint64 m_segmentLimit;
    std::deque<Segment> m_segments; // oldest first; the last is appended to
    QFile m_writer;
    QFile m_reader;
    Position m_acked;
    Position m_read;
    quint64 m_nextSeq = 0;
    quint64 m_dropped = 0;
    bool m_unsynced = false;
    Position m_syncedAck;
};
