// Reconnection after a loss, through the Instrument against the simulator answering at once:
// time from the device's return to the first poll answer, and the poll rate before and after.
#include "instrument.h"
#include "instrumentsimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Complete object/ambient pairs per second over `ms`.
double pollRate(Instrument &instrument, int ms)
{
    int pairs = 0;
    const QMetaObject::Connection counting = QObject::connect(
            &instrument, &Instrument::readings, [&pairs](const Instrument::Reading &reading) {
                pairs += std::isfinite(reading.object) && std::isfinite(reading.ambient);
            });
    QElapsedTimer timer;
    timer.start();
    QTest::qWait(ms);
    QObject::disconnect(counting);
    return pairs * 1000.0 / double(timer.elapsed());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTemporaryDir dir;
    InstrumentSimulator::Config config;
    config.linkPath = dir.filePath(QStringLiteral("ttyPYRO"));
    InstrumentSimulator sim(config);
    if (!sim.start())
        return 1;
    sim.setObjectTemperature(1.0);
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(config.linkPath));

    Instrument instrument;
    const std::optional<Instrument::Link> link = instrument.search();
    if (!link) {
        std::fprintf(stderr, "no instrument found\n");
        return 1;
    }
    instrument.open(*link);
    if (!QTest::qWaitFor([&] { return instrument.lastResponseTime() != 0; }, 10000))
        return 1;
    QTest::qWait(4000); // the parameter reads after the identity are over
    const double before = pollRate(instrument, 5000);

    std::vector<double> returns;
    double reopenedSum = 0;
    QElapsedTimer back;
    QObject::connect(
            &instrument, &Instrument::opened, [&] { reopenedSum += double(back.elapsed()); });
    for (int round = 0; round < rounds; ++round) {
        sim.unplug();
        if (!QTest::qWaitFor(
                    [&] { return instrument.state() == Instrument::ConnectionState::Lost; }, 5000))
            return 1;
        // Returns at a different moment of the watch's second in each round.
        QTest::qWait(1500 + 1000 * round / rounds);
        const qint64 lastAnswer = instrument.lastResponseTime();
        back.start();
        if (!sim.replug())
            return 1;
        if (!QTest::qWaitFor([&] { return instrument.lastResponseTime() > lastAnswer; }, 10000)) {
            std::fprintf(stderr, "no answer after the return\n");
            return 1;
        }
        returns.push_back(double(back.elapsed()));
    }
    QTest::qWait(4000);
    const double after = pollRate(instrument, 5000);

    std::sort(returns.begin(), returns.end());
    double sum = 0;
    for (double ms : returns)
        sum += ms;
    std::printf(
            "return to first poll answer: mean %.0f ms, min %.0f ms, max %.0f ms over %d returns\n",
            sum / double(returns.size()),
            returns.front(),
            returns.back(),
            rounds);
    // An XOR opening waits up to a second for an answer to its wake frame before it reports.
    std::printf("of which to the reopening:   mean %.0f ms\n", reopenedSum / rounds);
    std::printf(
            "poll pairs per second:       %.1f before, %.1f after reconnection\n", before, after);
    return 0;
}
