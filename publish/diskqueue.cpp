#include "diskqueue.h"

#include "filesync.h"

#include <QDir>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Record layout, little-endian: marker, flags, seq, ms since the epoch, UTC offset in seconds,
// object, ambient, then a checksum of all that.
constexpr quint8 Marker = 0xA5;
constexpr int ChecksumAt = 38;
constexpr char StateFile[] = "acked";
constexpr char SegmentPrefix[] = "segment-";
constexpr char SegmentSuffix[] = ".q";

template<typename T>
void put(char *at, T value)
{
    qToLittleEndian(value, at);
}

template<typename T>
T get(const char *at)
{
    return qFromLittleEndian<T>(at);
}

void putDouble(char *at, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(at, bits);
}

double getDouble(const char *at)
{
    const quint64 bits = get<quint64>(at);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// FNV-1a folded to 16 bits: enough to tell a whole record from a torn or unwritten one, and the
// same on every platform and Qt version.
quint16 checksum(const char *record)
{
    quint32 hash = 2166136261u;
    for (int i = 0; i < ChecksumAt; ++i)
        hash = (hash ^ quint8(record[i])) * 16777619u;
    return quint16(hash ^ (hash >> 16));
}

void encode(const PublishRow &row, quint64 seq, char *record)
{
    record[0] = char(Marker);
    record[1] = row.fahrenheit ? 1 : 0;
    put<quint64>(record + 2, seq);
    put<qint64>(record + 10, row.time.toMSecsSinceEpoch());
    put<qint32>(record + 18, row.time.offsetFromUtc());
    putDouble(record + 22, row.object);
    putDouble(record + 30, row.ambient);
    put<quint16>(record + ChecksumAt, checksum(record));
}

bool decode(const char *record, DiskQueue::Entry *entry)
{
    if (quint8(record[0]) != Marker || get<quint16>(record + ChecksumAt) != checksum(record))
        return false;
    entry->row.fahrenheit = record[1] & 1;
    entry->seq = get<quint64>(record + 2);
    entry->row.time = QDateTime::fromMSecsSinceEpoch(
            get<qint64>(record + 10), Qt::OffsetFromUTC, get<qint32>(record + 18));
    entry->row.object = getDouble(record + 22);
    entry->row.ambient = getDouble(record + 30);
    return true;
}

} // namespace

DiskQueue::DiskQueue(const QString &directory, qint64 limitBytes)
    : m_directory(directory)
    , m_limit(std::max(limitBytes, 2 * RecordSize))
    // Dropping goes by whole segments: small enough that a drop loses little of the limit.
    , m_segmentLimit(std::clamp<qint64>(m_limit / 25 / RecordSize * RecordSize,
                                        RecordSize,
                                        4 * 1024 * 1024 / RecordSize * RecordSize))
{}

QString DiskQueue::segmentPath(quint64 number) const
{
    return m_directory + QLatin1Char('/') + QLatin1String(SegmentPrefix)
           + QStringLiteral("%1").arg(number, 12, 10, QLatin1Char('0'))
           + QLatin1String(SegmentSuffix);
}

bool DiskQueue::open(QString *error)
{
    if (!QDir().mkpath(m_directory)) {
        *error = QStringLiteral("cannot create the queue directory %1").arg(m_directory);
        return false;
    }
    if (!readState()) {
        *error = QStringLiteral("the queue's state file in %1 is damaged").arg(m_directory);
        return false;
    }
    const QStringList names = QDir(m_directory)
                                      .entryList({QLatin1String(SegmentPrefix) + QLatin1Char('*')
                                                  + QLatin1String(SegmentSuffix)},
                                                 QDir::Files,
                                                 QDir::Name);
    for (const QString &name : names) {
        bool ok = false;
        const quint64 number = name.mid(int(std::strlen(SegmentPrefix)), 12).toULongLong(&ok);
        if (!ok)
            continue;
        if (number < m_acked.segment)
            QFile::remove(segmentPath(number)); // acknowledged before the last run ended
        else
            m_segments.push_back({number, 0});
    }
    for (Segment &segment : m_segments)
        if (!scanSegment(segment, &segment == &m_segments.back())) {
            *error = QStringLiteral("cannot read the queue file %1")
                             .arg(segmentPath(segment.number));
            return false;
        }
    if (!m_segments.empty() && m_acked < Position{m_segments.front().number, 0})
        m_acked = {m_segments.front().number, 0};
    m_syncedAck = m_acked;
    m_read = m_acked;
    return true;
}

bool DiskQueue::readState()
{
    QFile file(m_directory + QLatin1Char('/') + QLatin1String(StateFile));
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> fields = file.readAll().simplified().split(' ');
    if (fields.size() != 4 || fields[0] != "1")
        return false;
    bool ok[3] = {};
    m_acked.segment = fields[1].toULongLong(&ok[0]);
    m_acked.offset = fields[2].toLongLong(&ok[1]);
    m_nextSeq = fields[3].toULongLong(&ok[2]);
    return ok[0] && ok[1] && ok[2];
}

bool DiskQueue::scanSegment(Segment &segment, bool last)
{
    QFile file(segmentPath(segment.number));
    if (!file.open(QIODevice::ReadWrite))
        return false;
    qint64 size = file.size() / RecordSize * RecordSize;
    // Only the segment appended to when the process ended can hold a torn or unwritten record.
    if (last) {
        const QByteArray bytes = file.read(size);
        qint64 valid = 0;
        Entry entry;
        while (valid < size && decode(bytes.constData() + valid, &entry)) {
            m_nextSeq = std::max(m_nextSeq, entry.seq + 1);
            valid += RecordSize;
        }
        size = valid;
    }
    if (size != file.size() && !file.resize(size))
        return false;
    segment.size = size;
    return true;
}

DiskQueue::Position DiskQueue::appendPosition() const
{
    return m_segments.empty() ? m_acked
                              : Position{m_segments.back().number, m_segments.back().size};
}

bool DiskQueue::startSegment(QString *error)
{
    // The finished segment is made durable now: opening trusts all but the last.
    if (m_writer.isOpen() && !syncFileData(m_writer)) {
        *error = m_writer.errorString();
        return false;
    }
    m_writer.close();
    const quint64 number = m_segments.empty() ? m_acked.segment + (m_acked.offset > 0 ? 1 : 0)
                                              : m_segments.back().number + 1;
    m_writer.setFileName(segmentPath(number));
    if (!m_writer.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = QStringLiteral("cannot write %1: %2")
                         .arg(m_writer.fileName(), m_writer.errorString());
        return false;
    }
    m_segments.push_back({number, 0});
    if (m_acked < Position{number, 0} && m_segments.size() == 1)
        m_acked = m_read = {number, 0};
    return true;
}

bool DiskQueue::append(const PublishRow &row, QString *error)
{
    if (m_segments.empty() || m_segments.back().size >= m_segmentLimit || !m_writer.isOpen()) {
        if (!m_segments.empty() && !m_writer.isOpen() && m_segments.back().size < m_segmentLimit) {
            m_writer.setFileName(segmentPath(m_segments.back().number));
            if (!m_writer.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
                *error = QStringLiteral("cannot write %1: %2")
                                 .arg(m_writer.fileName(), m_writer.errorString());
                return false;
            }
        } else if (!startSegment(error)) {
            return false;
        }
    }
    char record[RecordSize];
    encode(row, m_nextSeq, record);
    if (m_writer.write(record, RecordSize) != RecordSize) {
        *error = QStringLiteral("cannot write %1: %2")
                         .arg(m_writer.fileName(), m_writer.errorString());
        // A partial record would be cut off on the next open; this run starts a fresh segment.
        m_writer.close();
        m_segments.back().size = m_segmentLimit;
        return false;
    }
    m_segments.back().size += RecordSize;
    ++m_nextSeq;
    m_unsynced = true;
    while (bytes() > m_limit && m_segments.size() > 1)
        dropOldest();
    return true;
}

void DiskQueue::dropOldest()
{
    const Segment oldest = m_segments.front();
    const qint64 from = m_acked.segment == oldest.number ? m_acked.offset : 0;
    m_dropped += quint64(std::max<qint64>(0, oldest.size - from) / RecordSize);
    if (m_reader.isOpen() && m_read.segment == oldest.number)
        m_reader.close();
    QFile::remove(segmentPath(oldest.number));
    m_segments.pop_front();
    const Position next{m_segments.front().number, 0};
    m_acked = std::max(m_acked, next);
    m_read = std::max(m_read, next);
}

bool DiskQueue::readNext(Entry *entry)
{
    for (;;) {
        const auto segment
                = std::find_if(m_segments.begin(), m_segments.end(), [this](const Segment &s) {
                      return s.number == m_read.segment;
                  });
        if (segment == m_segments.end())
            return false;
        if (m_read.offset + RecordSize <= segment->size)
            break;
        if (segment + 1 == m_segments.end())
            return false;
        m_read = {(segment + 1)->number, 0};
    }
    if (!m_reader.isOpen() || m_reader.fileName() != segmentPath(m_read.segment)) {
        m_reader.close();
        m_reader.setFileName(segmentPath(m_read.segment));
        if (!m_reader.open(QIODevice::ReadOnly))
            return false;
    }
    char record[RecordSize];
    if (m_reader.pos() != m_read.offset)
        m_reader.seek(m_read.offset);
    if (m_reader.read(record, RecordSize) != RecordSize || !decode(record, entry)) {
        m_reader.close();
        return false;
    }
    m_read.offset += RecordSize;
    entry->end = m_read;
    return true;
}

void DiskQueue::rewind()
{
    m_read = m_acked;
}

void DiskQueue::acknowledge(Position end)
{
    m_acked = std::max(m_acked, end);
}

bool DiskQueue::writeState(QString *error)
{
    QSaveFile file(m_directory + QLatin1Char('/') + QLatin1String(StateFile));
    const QByteArray text = QByteArray("1 ") + QByteArray::number(m_acked.segment) + ' '
                            + QByteArray::number(m_acked.offset) + ' '
                            + QByteArray::number(m_nextSeq) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !syncFileData(file)
        || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

bool DiskQueue::sync(QString *error)
{
    if (m_unsynced) {
        if (m_writer.isOpen() && !syncFileData(m_writer)) {
            *error = QStringLiteral("cannot write %1: %2")
                             .arg(m_writer.fileName(), m_writer.errorString());
            return false;
        }
        m_unsynced = false;
    }
    if (m_acked == m_syncedAck)
        return true;
    if (!writeState(error))
        return false;
    m_syncedAck = m_acked;
    // A segment goes only once the state file that passes it is on disk.
    while (m_segments.size() > 1
           && !(m_acked < Position{m_segments.front().number, m_segments.front().size})) {
        if (m_reader.isOpen() && m_reader.fileName() == segmentPath(m_segments.front().number))
            m_reader.close();
        QFile::remove(segmentPath(m_segments.front().number));
        m_segments.pop_front();
    }
    return true;
}

qint64 DiskQueue::pendingRows() const
{
    qint64 rows = 0;
    for (const Segment &segment : m_segments) {
        if (segment.number < m_acked.segment)
            continue;
        const qint64 from = segment.number == m_acked.segment ? m_acked.offset : 0;
        rows += std::max<qint64>(0, segment.size - from) / RecordSize;
    }
    return rows;
}

qint64 DiskQueue::bytes() const
{
    qint64 total = 0;
    for (const Segment &segment : m_segments)
        total += segment.size;
    return total;
}
