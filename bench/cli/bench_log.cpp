// tevrano-log at --interval 10 against the simulator: rows written against the nominal count,
// the logger's CPU time as a share of one core, its resident memory over the run, and how far
// each row's time strays from the first row's time plus the elapsed seconds.
// Usage: bench_log [SECONDS [TEVRANO_LOG]] (default 30, the one built here). Reads /proc, so
// Linux only.
#include "instrumentsimulator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int IntervalMs = 10;

// User plus system CPU seconds of a process.
double cpuSeconds(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // Fields after the parenthesised command name; utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toLongLong() + fields.value(12).toLongLong())
           / double(sysconf(_SC_CLK_TCK));
}

qint64 residentKiB(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 30;

    InstrumentSimulator sim({});
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    sim.setObjectTemperature(25.0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.csv"));
    QProcess logger;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TEVRANO_SERIAL_PORTS"), sim.devicePath());
    logger.setProcessEnvironment(environment);
    logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    logger.start(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(TEVRANO_LOG_PATH),
                 {"--interval",
                  QString::number(IntervalMs),
                  "--duration",
                  QString::number(seconds),
                  "--output",
                  path,
                  "--quiet"});
    if (!logger.waitForStarted())
        return 1;
    const qint64 pid = logger.processId();

    // The search and the first reading come before the first row: measure from there.
    while (QFile(path).size() <= 40 && logger.state() == QProcess::Running)
        QThread::msleep(20);
    QElapsedTimer wall;
    wall.start();
    const double cpuAtStart = cpuSeconds(pid);
    double cpuAtEnd = cpuAtStart;
    qint64 rssFirst = -1;
    qint64 rssMin = 0;
    qint64 rssMax = 0;
    double cpuSpan = 0;
    while (!logger.waitForFinished(1000)) {
        const qint64 rss = residentKiB(pid);
        const double cpu = cpuSeconds(pid);
        if (rss <= 0 || cpu < 0)
            continue;
        cpuAtEnd = cpu;
        cpuSpan = wall.elapsed() / 1000.0;
        // Memory settles once the instrument is open and the first rows are out.
        if (wall.elapsed() < 5000)
            continue;
        if (rssFirst < 0)
            rssFirst = rssMin = rssMax = rss;
        rssMin = std::min(rssMin, rss);
        rssMax = std::max(rssMax, rss);
    }

    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> lines = file.readAll().split('\n');
    const int rows = int(lines.size()) - 2; // the header, and the empty text after the last row
    // Every row's time against the first row's time plus the elapsed seconds since it.
    double stray = 0;
    int repeated = 0;
    qint64 firstMs = 0;
    qint64 previousMs = 0;
    double firstElapsed = 0;
    for (int i = 1; i <= rows; ++i) {
        const QList<QByteArray> fields = lines[i].split(',');
        const qint64 ms
                = QDateTime::fromString(QString::fromLatin1(fields.value(0)), Qt::ISODateWithMs)
                          .toMSecsSinceEpoch();
        const double elapsed = fields.value(1).toDouble();
        if (i == 1) {
            firstMs = ms;
            firstElapsed = elapsed;
        } else {
            stray = std::max(stray, std::abs(ms - firstMs - (elapsed - firstElapsed) * 1000.0));
            repeated += ms == previousMs ? 1 : 0;
        }
        previousMs = ms;
    }
    const int nominal = seconds * 1000 / IntervalMs;
    std::printf("exit status       %d\n", logger.exitCode());
    std::printf(
            "rows written      %d of %d nominal (%.4f)\n", rows, nominal, double(rows) / nominal);
    std::printf("CPU               %.2f %% of one core over %.1f s\n",
                cpuSpan > 0 ? (cpuAtEnd - cpuAtStart) / cpuSpan * 100 : 0.0,
                cpuSpan);
    std::printf("resident memory   %lld KiB after 5 s, %lld..%lld KiB after that\n",
                rssFirst,
                rssMin,
                rssMax);
    std::printf("row times         at most %.1f ms from first + elapsed; %d rows repeat the time "
                "before\n",
                stray,
                repeated);
    return 0;
}
