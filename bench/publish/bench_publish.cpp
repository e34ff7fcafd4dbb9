// The MQTT publisher against a local mosquitto: how long the broker takes to acknowledge a
// backlog of 360 000 rows (an hour at 10 ms), the CPU share of publishing 10 rows a second, and
// the resident memory while rows pile up on disk during an outage.
// Usage: bench_publish [SECONDS of the 10 rows/s phase] (default 30). Linux only (/proc).
#include "mqtttest.h"
#include "publisher.h"
#include "residentsize.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int BacklogRows = 360000;
constexpr int OutageRows = 3000000; // 120 MB of records against a 100 MB limit

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

PublishRow row(qint64 i)
{
    static const QDateTime start = QDateTime::currentDateTime();
    return {QStringLiteral("4711"), start.addMSecs(i * 10), 20.0 + i % 100, 21.5, false};
}

PublisherSettings settings(quint16 port, const QString &queue)
{
    PublisherSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.queueDirectory = queue;
    return settings;
}

bool backlog(const QString &directory)
{
    const QString queueDir = directory + QStringLiteral("/backlog");
    {
        DiskQueue queue(queueDir + QStringLiteral("/4711"));
        QString error;
        if (!queue.open(&error))
            return false;
        for (int i = 0; i < BacklogRows; ++i)
            if (!queue.append(row(i), &error))
                return false;
        if (!queue.sync(&error))
            return false;
    }
    TestBroker broker(directory);
    if (!broker.start())
        return false;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    Publisher publisher(settings(broker.port(), queueDir));
    if (!QTest::qWaitFor([&] { return publisher.pendingRows() == BacklogRows; }, 60000)
        || !QTest::qWaitFor([&] { return publisher.pendingRows() == 0; }, 300000))
        return false;
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("backlog: %d rows acknowledged by the broker in %.2f s (%.0f rows/s), "
                "publisher %.2f CPU s\n",
                BacklogRows,
                seconds,
                BacklogRows / seconds,
                cpuSeconds() - cpuBefore);
    return true;
}

bool steady(const QString &directory, int seconds)
{
    TestBroker broker(directory);
    if (!broker.start())
        return false;
    Publisher publisher(settings(broker.port(), directory + QStringLiteral("/steady")));
    qint64 next = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] { publisher.publish(row(next++)); });
    timer.start(100);
    publisher.publish(row(next++));
    if (!QTest::qWaitFor([&] { return publisher.state() == Publisher::State::Connected; }, 10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    // The caller's own event loop, as a window or the logger has it.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("10 rows/s for %d s: %.3f CPU s = %.2f %% of a core (%lld rows, state %s)\n",
                seconds,
                cpu,
                100.0 * cpu / (clock.elapsed() / 1000.0),
                next,
                publisher.state() == Publisher::State::Connected ? "connected" : "not connected");
    return true;
}

bool outage(const QString &directory)
{
    // Nobody listens on this port: every row waits on disk.
    PublisherSettings s = settings(1, directory + QStringLiteral("/outage"));
    Publisher publisher(s);
    int problems = 0;
    QObject::connect(&publisher, &Publisher::problem, [&] { ++problems; });
    std::printf("outage: rows queued  resident KiB\n");
    const qint64 startKiB = residentKiB();
    std::printf("        %10d  %8lld\n", 0, startKiB);
    constexpr int Batch = 5000;
    for (int i = 0; i < OutageRows; i += Batch) {
        for (int j = i; j < i + Batch; ++j)
            publisher.publish(row(j));
        QTest::qWait(10); // about 500 000 rows a second: faster than any instrument
        if ((i + Batch) % 500000 == 0)
            std::printf("        %10d  %8lld\n", i + Batch, residentKiB());
    }
    QTest::qWait(2000);
    std::printf("outage: %d rows queued (%.0f MB of records), resident %lld KiB at the end, "
                "%+lld KiB from the start; %d problem reports (unreachable broker, dropped rows)\n",
                OutageRows,
                OutageRows * double(DiskQueue::RecordSize) / 1e6,
                residentKiB(),
                residentKiB() - startKiB,
                problems);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    if (!backlog(dir.path()) || !steady(dir.path(), seconds) || !outage(dir.path())) {
        std::fprintf(stderr, "bench_publish: a phase failed\n");
        return 1;
    }
    return 0;
}
