#ifndef TEVRANO_BENCH_CPUTIME_H
#define TEVRANO_BENCH_CPUTIME_H

// CPU times for the benchmarks, read the Unix way.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <sys/resource.h>

// The whole process's user and system time in ms.
inline double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// CPU time of the process's thread called `name` in ms, from the scheduler's
// nanosecond count; -1 when there is no such thread.
inline double threadCpuMs(const QByteArray &name)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name)
            continue;
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (!schedstat.open(QIODevice::ReadOnly))
            return -1.0;
        return schedstat.readAll().split(' ').value(0).toDouble() / 1e6;
    }
    return -1.0;
}

#endif // TEVRANO_BENCH_CPUTIME_H
