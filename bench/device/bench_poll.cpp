// Poll transactions per second against the simulator answering at once, beside the floor the
// byte pacing sets: two request bytes with 10 ms each, plus three answer bytes at 9600 baud.
// Run once with polls only and once with a guarded parameter write every second.
#include "instrumentsimulator.h"
#include "seriallink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Run
{
    int polls = 0;
    int valid = 0;
    int writes = 0;
    double seconds = 0;
    std::vector<double> gaps; // ms between two poll answers
};

Run measure(InstrumentSimulator &sim, int transactions, bool writeEverySecond)
{
    Run run;
    SerialLink link;
    QEventLoop loop;
    QElapsedTimer total, one;
    QObject::connect(&link, &SerialLink::opened, &loop, &QEventLoop::quit);
    link.open(sim.devicePath(), 9600, SerialFrame::XorFraming);
    loop.exec();
    QObject::connect(&link, &SerialLink::answered, &loop, [&](uchar code, QByteArray, bool ok) {
        if (code == 0x00) { // the wake frame's outcome: polling starts after it
            total.start();
            one.start();
            link.startPolling(0x01);
            return;
        }
        if (code != 0x01 && code != 0x02) {
            run.writes += code == 0xA0;
            return;
        }
        run.gaps.push_back(double(one.nsecsElapsed()) / 1e6);
        one.start();
        run.valid += ok;
        if (++run.polls == transactions) {
            run.seconds = double(total.nsecsElapsed()) / 1e9;
            link.stopPolling();
            loop.quit();
        }
    });
    QTimer writer;
    QObject::connect(&writer, &QTimer::timeout, &loop, [&link] {
        link.write(0xA0, QByteArray::fromHex("03B6"), true);
    });
    if (writeEverySecond)
        writer.start(1000);
    loop.exec();
    std::sort(run.gaps.begin(), run.gaps.end());
    return run;
}

void print(const char *title, const Run &run)
{
    const double floorMs = 2 * 10.0 + 3 * 10 * 1000.0 / 9600.0;
    const double meanMs = run.seconds * 1000.0 / run.polls;
    std::printf("%s\n", title);
    std::printf("  poll transactions:        %d (%d valid), %d writes between them\n",
                run.polls,
                run.valid,
                run.writes);
    std::printf("  transactions per second:  %.1f\n", run.polls / run.seconds);
    std::printf("  time per transaction:     mean %.2f ms, median %.2f ms, p95 %.2f ms\n",
                meanMs,
                run.gaps[run.gaps.size() / 2],
                run.gaps[run.gaps.size() * 95 / 100]);
    std::printf(
            "  pacing floor:             %.2f ms (%.1f per second)\n", floorMs, 1000.0 / floorMs);
    std::printf("  mean / floor:             %.2f\n", meanMs / floorMs);
    // A pseudo-terminal moves bytes instantly, so only the request pacing is really paid here.
    std::printf("  overhead above pacing:    %.2f ms\n", meanMs - 2 * 10.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int transactions = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    InstrumentSimulator sim({});
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    const Run polls = measure(sim, transactions, false);
    print("polls only", polls);
    const Run withWrites = measure(sim, transactions, true);
    print("with a parameter write every second", withWrites);
    return polls.valid == transactions && withWrites.valid == transactions ? 0 : 1;
}
