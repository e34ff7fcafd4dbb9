// The probe and the port search against the simulator, and the poll loop's rhythm.
#include "deviceprobe.h"
#include "instrumentsimulator.h"
#include "pollthread.h"
#include "serialframe.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>

class tst_DeviceProbe : public QObject
{
    Q_OBJECT
private slots:
    void probe_data();
    void probe();
    void searchSkipsDebugAdapters();
    void pollLoopAlternatesAndStops();
    void serialPortsFromEnvironment();
};

void tst_DeviceProbe::probe_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("instrumentBaud");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("at9600");   // framing found at 9600, -1 none
    QTest::addColumn<int>("at115200"); // framing found at 115200, -1 none
    QTest::newRow("xor at 9600") << false << 9600 << false << 0 << -1;
    QTest::newRow("xor at 115200 only") << false << 115200 << false << -1 << 0;
    QTest::newRow("crc only") << true << 9600 << false << 1 << -1;
    QTest::newRow("silent") << false << 0 << true << -1 << -1;
}

void tst_DeviceProbe::probe()
{
    QFETCH(bool, crc);
    QFETCH(int, instrumentBaud);
    QFETCH(bool, silent);
    QFETCH(int, at9600);
    QFETCH(int, at115200);
    InstrumentSimulator::Config config;
    config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
    config.baud = instrumentBaud;
    InstrumentSimulator sim(config);
    QVERIFY(sim.start());
    InstrumentSimulator::Faults faults;
    faults.silent = silent;
    sim.setFaults(faults);

    QElapsedTimer timer;
    timer.start();
    const std::optional<int> slow = probeFraming(sim.devicePath(), 9600);
    const std::optional<int> fast = probeFraming(sim.devicePath(), 115200);
    QCOMPARE(slow.value_or(-1), at9600);
    QCOMPARE(fast.value_or(-1), at115200);
    // Two silent probes cost about 1.4 s each; anything far beyond means a wait never ended.
    QVERIFY(timer.elapsed() < 10000);
}

void tst_DeviceProbe::searchSkipsDebugAdapters()
{
    const QList<SerialPortEntry> ports = {{"ttyACM0", "MSP430 debug interface"},
                                          {"ttyACM1", "TI FET430UIF"},
                                          {"ttyUSB0", "USB serial"},
                                          {"ttyUSB1", "USB serial"}};
    QStringList probed;
    const auto probe = [&probed](const QString &name, qint32 baud) {
        probed.append(name + QLatin1Char('@') + QString::number(baud));
        return name == QLatin1String("ttyUSB1") && baud == 115200;
    };
    const std::optional<FoundDevice> found = findDevice(ports, probe);
    QVERIFY(found);
    QCOMPARE(found->portName, QStringLiteral("ttyUSB1"));
    QCOMPARE(found->baud, 115200);
    QCOMPARE(probed, QStringList({"ttyUSB0@9600", "ttyUSB0@115200", "ttyUSB1@9600", "ttyUSB1@115200"}));
    QVERIFY(!findDevice({}, probe));
}

void tst_DeviceProbe::pollLoopAlternatesAndStops()
{
    for (quint16 model : {quint16(0x0601), quint16(0x0101)}) {
        QMutex mutex;
        QList<int> codes;
        GetTempThread thread([model] { return objectTemperatureCode(model); }, [&](uchar code) {
            QMutexLocker lock(&mutex);
            codes.append(code);
            QThread::msleep(1);
        });
        thread.start();
        QTRY_VERIFY_WITH_TIMEOUT([&] { QMutexLocker lock(&mutex); return codes.size() >= 6; }(), 5000);
        thread.stop();
        QVERIFY(thread.isFinished());
        QMutexLocker lock(&mutex);
        const int objectCode = model == 0x0601 ? 0x08 : 0x01;
        for (int i = 0; i + 1 < codes.size(); i += 2) {
            QCOMPARE(codes.at(i), objectCode);
            QCOMPARE(codes.at(i + 1), 0x02);
        }
    }
}

void tst_DeviceProbe::serialPortsFromEnvironment()
{
    qputenv("TEVRANO_SERIAL_PORTS", "/dev/pts/7::/tmp/ttyB");
    QList<SerialPortEntry> ports = listSerialPorts();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0).name, QStringLiteral("/dev/pts/7"));
    QCOMPARE(ports.at(1).name, QStringLiteral("/tmp/ttyB"));
    prependSerialPort(QStringLiteral("/tmp/demo"), QStringLiteral("simulated"));
    ports = listSerialPorts();
    QCOMPARE(ports.size(), 3);
    QCOMPARE(ports.first().name, QStringLiteral("/tmp/demo"));
    qunsetenv("TEVRANO_SERIAL_PORTS");
}

QTEST_GUILESS_MAIN(tst_DeviceProbe)
#include "tst_deviceprobe.moc"
