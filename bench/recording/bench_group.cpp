// What one recording over eight instruments costs at 100 ms: CPU time of the recording work per
// 1000 samples (the process as a whole, readings fed and journals written included, and the
// group's sampling thread alone), and how far apart the sessions' Durations of one slot lie.
// Readings are fed as eight instruments polled at 100 ms would hand them in.
// Run a Release build: bench_group [seconds, default 20].

#include "recordinggroup.h"

#include "../cputime.h"

#include <QCoreApplication>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kInstruments = 8;
constexpr int kIntervalMs = 100;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    RecordingGroup group;
    group.setInterval(kIntervalMs);
    group.setJournalFolder(dir.path());
    for (int i = 0; i < kInstruments; ++i)
        group.add(QStringLiteral("SN%1").arg(i));
    QTimer feeder;
    int step = 0;
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        Instrument::Reading reading;
        reading.monotonicMs = RecordingSession::steadyNowMs();
        ++step;
        for (int i = 0; i < kInstruments; ++i) {
            reading.object = 400.0 + i + std::sin(step / 10.0);
            reading.ambient = 25.0;
            group.session(group.serials().at(i))->feed(reading);
        }
    });
    feeder.start(kIntervalMs);

    const double cpuBefore = processCpuMs();
    const double clockBefore = threadCpuMs("group sampling");
    group.start();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        group.stop();
        app.quit();
    });
    app.exec();
    const double cpu = processCpuMs() - cpuBefore;
    const double clockCpu = threadCpuMs("group sampling") - clockBefore;

    // Every session's Duration of each slot; the spread within a slot is the skew.
    QHash<qint64, std::pair<double, double>> bySlot;
    qint64 samples = 0;
    for (const QString &serial : group.serials()) {
        const RecordSeries series = group.session(serial)->samples().snapshot();
        samples += series.durations.size();
        for (double duration : series.durations) {
            const qint64 slot = std::llround(duration * 1000.0 / kIntervalMs);
            auto it = bySlot.find(slot);
            if (it == bySlot.end())
                bySlot.insert(slot, {duration, duration});
            else
                *it = {std::min(it->first, duration), std::max(it->second, duration)};
        }
    }
    QVector<double> skews;
    for (const auto &range : qAsConst(bySlot))
        skews.append((range.second - range.first) * 1e6);
    std::sort(skews.begin(), skews.end());
    if (samples == 0 || skews.isEmpty()) {
        std::printf("no samples taken\n");
        return 1;
    }
    std::printf("%d instruments at %d ms for %d s: %lld samples in %d slots\n",
                kInstruments,
                kIntervalMs,
                seconds,
                samples,
                int(bySlot.size()));
    std::printf("CPU per 1000 samples: %.2f ms process, %.2f ms sampling clock thread\n",
                cpu * 1000.0 / double(samples),
                clockCpu * 1000.0 / double(samples));
    std::printf("CPU share of one core: %.2f %%\n", cpu / (seconds * 10.0));
    std::printf("skew between sessions in one slot: median %.0f us, max %.0f us\n",
                skews.at(skews.size() / 2),
                skews.last());
    group.discard();
    return 0;
}
