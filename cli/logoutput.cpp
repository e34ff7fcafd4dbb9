#include "logoutput.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

LogOutput::LogOutput(LogFormat format, int intervalMs)
    : m_format(format)
    , m_intervalMs(intervalMs)
{}

bool LogOutput::open(const QString &path, QString *error)
{
    // Unbuffered: each row is one write to the system, and the record count can be patched in
    // place without a buffer in between. No text mode, so the count's offset is exact.
    constexpr QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    bool ok = false;
    if (path == QLatin1String("-")) {
        ok = m_file.open(stdout, mode);
    } else {
        m_file.setFileName(path);
        ok = m_file.open(mode | QIODevice::Truncate);
    }
    if (ok && m_format == LogFormat::Csv)
        ok = writeBytes(csvHeader());
    if (!ok)
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
    return ok;
}

bool LogOutput::writeBytes(const QByteArray &bytes)
{
    return m_file.write(bytes) == bytes.size();
}

bool LogOutput::write(const LogRow &row)
{
    bool ok = false;
    switch (m_format) {
    case LogFormat::Csv:
        ok = writeBytes(csvRow(row));
        break;
    case LogFormat::Jsonl:
        ok = writeBytes(jsonlRow(row));
        break;
    case LogFormat::Record:
        // The header's start is the run's, so a first row taken late by a trigger keeps its time.
        if (!m_record
            && !startRecord(row.time.toMSecsSinceEpoch() - qint64(row.elapsedS * 1000),
                            row.fahrenheit))
            return false;
        ok = std::all_of(row.markers.cbegin(),
                         row.markers.cend(),
                         [this](const Marker &marker) { return m_record->appendMarker(marker); })
             && m_record->append(row.elapsedS, row.object, row.ambient);
        break;
    }
    m_rows += ok ? 1 : 0;
    return ok;
}

bool LogOutput::startRecord(qint64 startMsecs, bool fahrenheit)
{
    RecordHeader header;
    header.application = QCoreApplication::applicationName();
    header.startMsecs = startMsecs;
    header.emissivity = m_emissivity;
    header.unit = fahrenheit ? 1 : 2;
    header.recordInterval = m_intervalMs;
    m_record.emplace(m_file, header);
    return m_record->start();
}

bool LogOutput::finish()
{
    // A record without samples is still a whole file: header and no rows.
    bool ok = m_format != LogFormat::Record || m_record
              || startRecord(QDateTime::currentMSecsSinceEpoch(), false);
    ok = (!m_record || m_record->finish()) && ok;
    const bool flushed = m_file.flush();
    m_file.close();
    return ok && flushed;
}
