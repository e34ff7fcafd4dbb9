// Poll transactions per second against the simulator answering at once, beside the floor the
// byte pacing sets: two request bytes with 10 ms each, plus three answer bytes at 9600 baud.
#include "instrumentsimulator.h"
#include "optserial.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
class Caller : public QObject
{
    Q_OBJECT
public:
    explicit Caller(OptSerial *serial)
    {
        connect(this, &Caller::open, serial, &OptSerial::OpenCom, Qt::BlockingQueuedConnection);
        connect(this, &Caller::poll, serial, &OptSerial::FastRead, Qt::BlockingQueuedConnection);
    }
signals:
    void open(const QString &name, QSerialPort::BaudRate baud);
    void poll(uchar code);
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    const int transactions = argc > 1 ? std::max(10, atoi(argv[1])) : 300;

    InstrumentSimulator sim({});
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    OptSerial serial;
    Caller caller(&serial);
    int valid = 0;
    QObject::connect(&serial, &OptSerial::DataRecv, [&valid](uchar, const QByteArray &, bool ok) {
        valid += ok;
    });
    emit caller.open(sim.devicePath(), QSerialPort::Baud9600);
    valid = 0;

    std::vector<double> perTransaction;
    perTransaction.reserve(size_t(transactions));
    QElapsedTimer total, one;
    total.start();
    for (int i = 0; i < transactions; ++i) {
        one.start();
        emit caller.poll(i % 2 ? 0x02 : 0x01);
        perTransaction.push_back(double(one.nsecsElapsed()) / 1e6);
    }
    const double seconds = double(total.nsecsElapsed()) / 1e9;
    std::sort(perTransaction.begin(), perTransaction.end());

    const double floorMs = 2 * 10.0 + 3 * 10 * 1000.0 / 9600.0;
    const double meanMs = seconds * 1000.0 / transactions;
    std::printf("poll transactions:        %d (%d valid)\n", transactions, valid);
    std::printf("transactions per second:  %.1f\n", transactions / seconds);
    std::printf("time per transaction:     mean %.2f ms, median %.2f ms, p95 %.2f ms\n",
                meanMs,
                perTransaction[perTransaction.size() / 2],
                perTransaction[perTransaction.size() * 95 / 100]);
    std::printf("pacing floor:             %.2f ms (%.1f per second)\n", floorMs, 1000.0 / floorMs);
    std::printf("mean / floor:             %.2f\n", meanMs / floorMs);
    // A pseudo-terminal moves bytes instantly, so only the request pacing is really paid here.
    std::printf("overhead above pacing:    %.2f ms\n", meanMs - 2 * 10.0);
    return valid == transactions ? 0 : 1;
}

#include "bench_poll.moc"
