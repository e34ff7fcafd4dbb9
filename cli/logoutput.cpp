#include "logoutput.h"

#include "filesync.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

// Written rows reach the disk at the first row after this.
constexpr qint64 SyncMs = 4000;

// The layout of the rows of `format` an existing file holds, judged by its first line; an empty
// file takes the current one. None when the file holds no such rows.
std::optional<RowLayout> rowLayoutOf(QFile &file, LogFormat format)
{
    const QByteArray first = file.readLine(4096);
    if (first.isEmpty())
        return RowLayout::WithInstrument;
    if (format == LogFormat::Csv) {
        for (const RowLayout layout : {RowLayout::WithInstrument, RowLayout::WithoutInstrument})
            if (first == csvHeader(layout))
                return layout;
        return std::nullopt;
    }
    if (!first.startsWith("{\"time\":"))
        return std::nullopt;
    return first.contains(",\"instrument\":") ? RowLayout::WithInstrument
                                              : RowLayout::WithoutInstrument;
}

} // namespace

LogOutput::LogOutput(LogFormat format)
    : m_format(format)
{}

bool LogOutput::open(const QString &path, bool append, bool instrumentNeeded, QString *error)
{
    m_append = append;
    if (path.isEmpty())
        return true; // rows only to the broker
    // Unbuffered: each row is one write to the system, and the record count can be patched in
    // place without a buffer in between. No text mode, so the count's offset is exact. Read and
    // write, as write-only would empty the file now.
    constexpr QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
    bool ok = false;
    if (path == QLatin1String("-")) {
        // The descriptor, not the stdio stream, whose buffer would hold rows back. What the
        // shell opened is written on, never emptied.
        ok = m_file.open(fileno(stdout), QIODevice::WriteOnly | QIODevice::Unbuffered);
        m_append = true;
    } else {
        m_file.setFileName(path);
        m_created = !QFileInfo::exists(path);
        ok = m_file.open(mode);
        if (ok && append) {
            const std::optional<RowLayout> layout = rowLayoutOf(m_file, m_format);
            if (!layout || (instrumentNeeded && layout != RowLayout::WithInstrument)) {
                *error = layout ? QStringLiteral("cannot append to %1: its rows have no instrument "
                                                 "field to tell several instruments apart")
                                          .arg(path)
                                : QStringLiteral("cannot append to %1: it holds no %2 rows of "
                                                 "tevrano-log")
                                          .arg(path, m_format == LogFormat::Csv ? "csv" : "jsonl");
                m_file.close();
                return false;
            }
            m_layout = *layout;
        }
        if (ok && append && m_file.size() > 0)
            m_lineEndMissing = m_file.seek(m_file.size() - 1) && m_file.read(1) != "\n";
    }
    if (!ok) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        if (m_created)
            QFile::remove(path);
    }
    return ok;
}

bool LogOutput::writeBytes(const QByteArray &bytes)
{
    errno = 0;
    if (m_file.write(bytes) == bytes.size())
        return true;
    m_readerGone = errno == EPIPE;
    return false;
}

bool LogOutput::start(const RecordHeader &header)
{
    if (!m_file.isOpen() || m_started)
        return true;
    m_started = true;
    m_sinceSync.start();
    if (!m_file.isSequential()) {
        if (!(m_append ? m_file.seek(m_file.size()) : m_file.resize(0) && m_file.seek(0)))
            return false;
        if (m_lineEndMissing && !writeBytes("\n"))
            return false;
    }
    switch (m_format) {
    case LogFormat::Csv:
        return m_file.pos() > 0 || writeBytes(csvHeader(m_layout));
    case LogFormat::Jsonl:
        return true;
    case LogFormat::Record:
        m_record.emplace(m_file, header);
        return m_record->start();
    }
    return false;
}

bool LogOutput::write(const LogRow &row, const RecordHeader &header)
{
    if (!m_file.isOpen()) {
        ++m_rows; // rows only to the broker
        return true;
    }
    if (!start(header))
        return false;
    bool ok = false;
    switch (m_format) {
    case LogFormat::Csv:
        ok = writeBytes(csvRow(row, m_layout));
        break;
    case LogFormat::Jsonl:
        ok = writeBytes(jsonlRow(row, m_layout));
        break;
    case LogFormat::Record:
        ok = std::all_of(row.markers.cbegin(),
                         row.markers.cend(),
                         [this](const Marker &marker) { return m_record->appendMarker(marker); })
             && m_record->append(row.elapsedS, row.object, row.ambient);
        break;
    }
    if (!ok) {
        m_readerGone = m_readerGone || errno == EPIPE;
        return false;
    }
    ++m_rows;
    return syncWhenDue();
}

bool LogOutput::syncWhenDue()
{
    // Pipes and terminals have no disk behind them.
    if (m_file.isSequential() || !m_sinceSync.hasExpired(SyncMs))
        return true;
    m_sinceSync.start();
    return syncFileData(m_file);
}

bool LogOutput::finish()
{
    if (!m_file.isOpen())
        return true;
    if (!m_started) {
        m_file.close();
        if (m_created)
            m_file.remove();
        return true;
    }
    bool ok = !m_record || m_record->finish();
    ok = (m_file.isSequential() || syncFileData(m_file)) && ok;
    m_file.close();
    return ok;
}
