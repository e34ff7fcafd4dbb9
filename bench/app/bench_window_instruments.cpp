// The window's share of one core while it records eight instruments sampled every 100 ms: eight
// simulators in processes of their own, so the figure is the window's alone (its GUI thread and
// the eight link threads), beside the same with one instrument.
#include "../cputime.h"
#include "chartwidget.h"
#include "instrumentset.h"
#include "mainwindow.h"
#include "recordinggroup.h"
#include "samplestore.h"
#include "settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Share
{
    double cpuPercent = -1;
    double guiPercent = -1; // of it, the GUI thread's
    qint64 samples = 0;
};

// The main thread's CPU time in ms: its task has the process's id.
double guiThreadCpuMs()
{
    QFile schedstat(
            QStringLiteral("/proc/self/task/%1/schedstat").arg(QCoreApplication::applicationPid()));
    if (!schedstat.open(QIODevice::ReadOnly))
        return 0;
    return schedstat.readAll().split(' ').value(0).toDouble() / 1e6;
}

// Starts `count` simulators, opens the window on them, records for `seconds` and returns the
// process's CPU time over that span as a share of one core; -1 when not all of them joined.
Share measure(int count, int seconds)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        const QString link = dir.filePath(QStringLiteral("tty%1").arg(i));
        sims.push_back(std::make_unique<QProcess>());
        sims.back()->start(QStringLiteral(TEVRANO_SIM_PATH),
                           {QStringLiteral("--link"),
                            link,
                            QStringLiteral("--serial-number"),
                            QString::number(7000 + i),
                            QStringLiteral("--profile"),
                            QStringLiteral("chatter:%1:2").arg(300 + 20 * i)});
        if (!sims.back()->waitForReadyRead(10000)) {
            std::fprintf(stderr, "tevrano-sim did not start\n");
            return {};
        }
        ports.append(link);
    }
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(ports.join(QLatin1Char(':'))));

    Share share;
    {
        MainWindow window;
        window.show();
        if (!QTest::qWaitFor([&] { return window.instruments()->serialNumbers().size() == count; },
                             30000)) {
            std::fprintf(stderr, "only some of %d instruments joined\n", count);
            return {};
        }
        QTest::qWait(2000); // the parameter reads after opening are over
        window.chart()->on_pushButton_startstop_clicked();
        QTest::qWait(1000);
        const double cpuBefore = processCpuMs();
        const double guiBefore = guiThreadCpuMs();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(seconds * 1000);
        share.cpuPercent = 100.0 * (processCpuMs() - cpuBefore) / double(wall.elapsed());
        share.guiPercent = 100.0 * (guiThreadCpuMs() - guiBefore) / double(wall.elapsed());
        share.samples = window.chart()->samples().size();
        window.chart()->group().stop();
        window.chart()->discardRecording();
    }
    for (auto &sim : sims) {
        sim->kill();
        sim->waitForFinished();
    }
    return share;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tevrano"));
    appSettings().readFile();
    appSettings().fillDefaults();
    appSettings().setValue(QLatin1String(SettingsKeys::ChartLineFPS), QStringLiteral("100"));
    const int seconds = argc > 1 ? qMax(5, atoi(argv[1])) : 30;

    const Share one = measure(1, seconds);
    const Share eight = measure(8, seconds);
    if (one.cpuPercent < 0 || eight.cpuPercent < 0)
        return 1;
    std::printf("recording at 100 ms for %d s, window process CPU (GUI and link threads):\n",
                seconds);
    for (const auto &[count, share] : {std::pair(1, one), std::pair(8, eight)})
        std::printf("  %d instrument(s): %5.1f %% of one core, %4.1f %% on the GUI thread (%lld "
                    "samples of the first)\n",
                    count,
                    share.cpuPercent,
                    share.guiPercent,
                    share.samples);
    return 0;
}
