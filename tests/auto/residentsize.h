#pragma once

#include <QFile>

// A figure from /proc/self/status in KiB, or -1 where there is none.
inline qint64 statusKiB(const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The process's resident set in KiB.
inline qint64 residentKiB()
{
    return statusKiB("VmRSS");
}

// Starts measuring the resident set's peak afresh; false where the system cannot.
inline bool resetResidentPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

inline qint64 residentPeakKiB()
{
    return statusKiB("VmHWM");
}
