// The longest stall of the thread that owns the Instrument (the window's thread in the program)
// while it connects, reads every parameter and takes 100 panel writes, measured by a heartbeat
// timer on that thread. The search before the opening is timed on its own.
#include "instrument.h"
#include "instrumentsimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Records the longest gap between two ticks of a 1 ms timer.
class Heartbeat : public QObject
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_since.nsecsElapsed() / 1e6);
            m_since.start();
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    double longest() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    double m_longest = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    InstrumentSimulator::Config config;
    config.linkPath = dir.filePath(QStringLiteral("ttyPYRO"));
    config.identity = {0x0601, false};
    InstrumentSimulator sim(config);
    if (!sim.start())
        return 1;
    sim.setObjectTemperature(1.0);
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(config.linkPath));

    Instrument instrument;
    QElapsedTimer searching;
    searching.start();
    const std::optional<Instrument::Link> link = instrument.search();
    const qint64 searchMs = searching.elapsed();
    if (!link) {
        std::fprintf(stderr, "no instrument found\n");
        return 1;
    }
    // What the machine alone costs the heartbeat, to read the figures below against.
    Heartbeat heartbeat;
    heartbeat.start();
    QTest::qWait(2000);
    const double idleStall = heartbeat.longest();

    heartbeat.start();
    QElapsedTimer phase;
    phase.start();
    instrument.open(*link);
    // The last reads the identity and the feature mask start.
    const auto parametersRead = [&] {
        return instrument.relay2() != 0xFFFF && instrument.serialNumber() != 0;
    };
    if (!QTest::qWaitFor(parametersRead, 20000)) {
        std::fprintf(stderr, "the parameters were not read\n");
        return 1;
    }
    const double connectStall = heartbeat.longest();
    const qint64 connectMs = phase.elapsed();

    heartbeat.start();
    phase.start();
    for (int i = 0; i < 100; ++i) {
        instrument.writeParameter(Instrument::Parameter::Emissivity, 0.5 + i / 1000.0);
        QCoreApplication::processEvents();
    }
    // The last write is confirmed by its answer.
    if (!QTest::qWaitFor(
                [&] { return instrument.parameter(Instrument::Parameter::Emissivity) == 0.599; },
                60000)) {
        std::fprintf(stderr, "the writes were not answered\n");
        return 1;
    }
    const double writeStall = heartbeat.longest();
    const qint64 writeMs = phase.elapsed();

    std::printf("search (before the heartbeat):          %lld ms\n", searchMs);
    std::printf("idle, 2 s:                             longest stall %.1f ms\n", idleStall);
    std::printf("connect + full parameter read: %6lld ms, longest stall %.1f ms\n",
                connectMs,
                connectStall);
    std::printf("100 panel writes answered:     %6lld ms, longest stall %.1f ms\n",
                writeMs,
                writeStall);
    return 0;
}
