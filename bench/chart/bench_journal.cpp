// What the recording journal costs at the 10 ms sampling interval: CPU time per
// 1000 samples and the sampling thread's timing, each with the journal off and
// on, and how far the journal's Time column strays from Date + Duration. A
// recording session samples readings fed at the instrument's pace.
// Run a Release build: bench_journal [seconds per run, default 30].

#include "recordingsession.h"
#include "recordjournal.h"

#include "../cputime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr int kIntervalMs = 10;

struct Run
{
    double cpuMs = 0.0;        // the whole process
    double journalCpuMs = 0.0; // the journal's thread alone
    QVector<qint64> ticksNs;   // when each sample was taken
};

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Run sample(int seconds, const QString &journalPath)
{
    Run run;
    run.ticksNs.reserve(seconds * 1000 / kIntervalMs + 1000);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuMs();
    {
        RecordingSession session;
        session.setInterval(kIntervalMs);
        session.setSampleLimit(INT_MAX);
        session.samples().reset(seconds * 1000 / kIntervalMs + 1000);
        session.setJournalPath(journalPath);
        QObject::connect(
                &session,
                &RecordingSession::sampled,
                &session,
                [&] { run.ticksNs.append(clock.nsecsElapsed()); },
                Qt::DirectConnection);
        // Readings at the instrument's pace, on the owner's thread.
        int n = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            Instrument::Reading reading;
            reading.object = 25.0 + (n++ % 50) * 0.1;
            reading.ambient = 21.0;
            reading.monotonicMs = RecordingSession::steadyNowMs();
            session.feed(reading);
        });
        poll.start(20);
        session.start();
        spin(seconds * 1000);
        session.stop();
        poll.stop();
        spin(1000); // the journal's last write and sync
        run.journalCpuMs = journalPath.isEmpty() ? 0.0 : threadCpuMs("record journal");
    } // the sampling thread has ended here
    run.cpuMs = processCpuMs() - cpuBefore;
    return run;
}

// The largest distance in ms between a row's Time and Date + Duration in a record file; -1 when
// it holds no row.
double timeColumnStray(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1.0;
    QDateTime date;
    LocalClock clock;
    double worst = -1.0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("Date:"))
            date = QDateTime::fromString(QString::fromLatin1(line.mid(5)),
                                         QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() < 5 || !date.isValid())
            continue;
        const QList<QByteArray> t = fields[4].split(':');
        if (t.size() != 4)
            continue;
        const qint64 written
                = ((t[0].toLongLong() * 60 + t[1].toLongLong()) * 60 + t[2].toLongLong()) * 1000
                  + t[3].toLongLong();
        const double expected
                = double(clock.msOfDay(date.toMSecsSinceEpoch())) + fields[1].toDouble() * 1000.0;
        worst = std::max(worst, std::abs(double(written) - expected));
    }
    return worst;
}

void report(const char *name, const Run &run)
{
    QVector<double> lateness; // ms away from the nominal interval
    double sum = 0.0, sumSquares = 0.0;
    for (int i = 1; i < run.ticksNs.size(); ++i) {
        const double interval = (run.ticksNs[i] - run.ticksNs[i - 1]) / 1e6;
        sum += interval;
        sumSquares += interval * interval;
        lateness.append(std::abs(interval - kIntervalMs));
    }
    const int n = lateness.size();
    if (n == 0)
        return;
    std::sort(lateness.begin(), lateness.end());
    const double mean = sum / n;
    std::printf(
            "%-11s %6d samples  interval mean %6.3f ms  sd %6.3f ms  |dev| p50 %6.3f  p99 %6.3f  "
            "max %6.3f ms  process CPU %7.1f ms (%.2f ms / 1000 samples)\n",
            name,
            n + 1,
            mean,
            std::sqrt(std::max(0.0, sumSquares / n - mean * mean)),
            lateness[n / 2],
            lateness[std::min(n - 1, n * 99 / 100)],
            lateness.last(),
            run.cpuMs,
            run.cpuMs / (n + 1) * 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("recording.journal"));

    const Run off = sample(seconds, QString());
    const Run on = sample(seconds, path);
    report("journal off", off);
    report("journal on", on);
    const int samples = on.ticksNs.size();
    std::printf("journal thread: %.1f ms CPU for %d samples = %.3f ms per 1000 samples, "
                "%.3f %% of one core; process CPU difference on - off: %.1f ms; file %lld bytes\n",
                on.journalCpuMs,
                samples,
                on.journalCpuMs / samples * 1000.0,
                on.journalCpuMs / (seconds * 1000.0) * 100.0,
                on.cpuMs - off.cpuMs,
                static_cast<long long>(QFile(path).size()));
    std::printf("journal Time column: at most %.1f ms from Date + Duration over %d s\n",
                timeColumnStray(path),
                seconds);
    return 0;
}
