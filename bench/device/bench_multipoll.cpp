// Poll steps per second of each instrument when eight are polled at once through one
// InstrumentSet, beside the rate of one instrument alone: the links run on threads of their own,
// so eight should each keep at least 0.9 of the lone rate. Measured back to back and at 100 ms.
#include "instrumentset.h"
#include "instrumentsimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Instruments = 8;

void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Valid poll steps per second of each of `count` instruments over `seconds`; empty when not
// all of them joined.
std::vector<double> measure(int count, int intervalMs, int seconds)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<InstrumentSimulator>> sims;
    QStringList ports;
    for (int i = 0; i < count; ++i) {
        InstrumentSimulator::Config config;
        config.linkPath = dir.filePath(QStringLiteral("tty%1").arg(i));
        sims.push_back(std::make_unique<InstrumentSimulator>(config));
        QString error;
        if (!sims.back()->start(&error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return {};
        }
        sims.back()->setRegister(0x12, quint32(5000 + i));
        sims.back()->setObjectTemperature(400.0 + i);
        ports.append(config.linkPath);
    }
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(ports.join(QLatin1Char(':'))));

    InstrumentSet set;
    set.setPollInterval(intervalMs);
    QHash<QString, int> valid;
    bool counting = false;
    QObject::connect(&set,
                     &InstrumentSet::instrumentAdded,
                     &set,
                     [&](const QString &serial, Instrument *instrument) {
                         QObject::connect(instrument,
                                          &Instrument::readings,
                                          &set,
                                          [&, serial](const Instrument::Reading &reading) {
                                              if (counting && std::isfinite(reading.object))
                                                  ++valid[serial];
                                          });
                     });
    set.start();
    QElapsedTimer joining;
    joining.start();
    while (set.serialNumbers().size() < count && joining.elapsed() < 20000)
        runEventsFor(100);
    if (set.serialNumbers().size() < count) {
        std::fprintf(stderr,
                     "only %d of %d instruments joined\n",
                     int(set.serialNumbers().size()),
                     count);
        return {};
    }
    runEventsFor(1000); // the parameter reads after opening are over
    counting = true;
    QElapsedTimer window;
    window.start();
    runEventsFor(seconds * 1000);
    counting = false;
    const double elapsed = double(window.nsecsElapsed()) / 1e9;
    std::vector<double> rates;
    for (const QString &serial : set.serialNumbers())
        rates.push_back(valid.value(serial) / elapsed);
    set.stop();
    runEventsFor(200);
    return rates;
}

bool report(int intervalMs, int seconds)
{
    const std::vector<double> alone = measure(1, intervalMs, seconds);
    const std::vector<double> together = measure(Instruments, intervalMs, seconds);
    if (alone.empty() || together.empty())
        return false;
    std::printf("poll interval %d ms, %d s each\n", intervalMs, seconds);
    std::printf("  alone:            %.1f steps per second\n", alone.front());
    std::printf("  with %d at once: ", Instruments);
    for (double rate : together)
        std::printf(" %.1f", rate);
    const double slowest = *std::min_element(together.begin(), together.end());
    std::printf("\n  slowest / alone:  %.2f (goal >= 0.90)\n", slowest / alone.front());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    return report(0, seconds) && report(100, seconds) ? 0 : 1;
}
