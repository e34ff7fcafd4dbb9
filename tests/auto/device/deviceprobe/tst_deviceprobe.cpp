// The probe and the port search against the simulator.
#include "deviceprobe.h"
#include "instrumentsimulator.h"
#include "serialframe.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(SerialPortEntry)

class tst_DeviceProbe : public QObject
{
    Q_OBJECT
private slots:
    void probe_data();
    void probe();
    void searchSkipsDebugAdapters();
    void serialPortsFromEnvironment();
    void returnedPort_data();
    void returnedPort();

private:
    QTemporaryDir m_dir;
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
    QCOMPARE(probed,
             QStringList({"ttyUSB0@9600", "ttyUSB0@115200", "ttyUSB1@9600", "ttyUSB1@115200"}));
    QVERIFY(!findDevice({}, probe));
}

void tst_DeviceProbe::serialPortsFromEnvironment()
{
    qputenv("TEVRANO_SERIAL_PORTS", "/dev/pts/7::/tmp/ttyB|USB serial|A10K7Q|0403|6001");
    QList<SerialPortEntry> ports = listSerialPorts();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0).name, QStringLiteral("/dev/pts/7"));
    QVERIFY(ports.at(0).serialNumber.isEmpty());
    QCOMPARE(ports.at(1).name, QStringLiteral("/tmp/ttyB"));
    QCOMPARE(ports.at(1).description, QStringLiteral("USB serial"));
    QCOMPARE(ports.at(1).serialNumber, QStringLiteral("A10K7Q"));
    QCOMPARE(ports.at(1).vendorId, quint16(0x0403));
    QCOMPARE(ports.at(1).productId, quint16(0x6001));
    prependSerialPort(QStringLiteral("/tmp/demo"), QStringLiteral("simulated"));
    ports = listSerialPorts();
    QCOMPARE(ports.size(), 3);
    QCOMPARE(ports.first().name, QStringLiteral("/tmp/demo"));
    qunsetenv("TEVRANO_SERIAL_PORTS");
}

void tst_DeviceProbe::returnedPort_data()
{
    QTest::addColumn<SerialPortEntry>("lost");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QStringList>("absent");
    const SerialPortEntry plain(QStringLiteral("ttyS0"));
    const SerialPortEntry withSerial(QStringLiteral("ttyUSB0"),
                                     QStringLiteral("USB serial"),
                                     QStringLiteral("A1"),
                                     0x0403,
                                     0x6001);
    const SerialPortEntry noSerial(
            QStringLiteral("ttyUSB0"), QStringLiteral("USB serial"), {}, 0x0403, 0x6001);
    QTest::newRow("same path") << plain << "ttyS0" << QStringList();
    QTest::newRow("same path, other form")
            << SerialPortEntry(QStringLiteral("/dev/ttyS0")) << "ttyS0" << QStringList();
    QTest::newRow("same serial number, new name") << withSerial << "ttyUSB3" << QStringList();
    QTest::newRow("same ids and description, new name") << noSerial << "ttyUSB2" << QStringList();
    QTest::newRow("the first entry of the adapter absent")
            << withSerial << "ttyUSB5" << QStringList{"ttyUSB3"};
    QTest::newRow("gone") << SerialPortEntry(QStringLiteral("ttyACM7")) << "" << QStringList();
    QTest::newRow("not there yet") << plain << "" << QStringList{"ttyS0"};
    QTest::newRow("another adapter at the old name")
            << SerialPortEntry(QStringLiteral("ttyUSB0"),
                               QStringLiteral("USB serial"),
                               QStringLiteral("C9"),
                               0x0403,
                               0x6001)
            << "" << QStringList();
    // A link such as /dev/serial/by-id/... to a listed node.
    const QString node = m_dir.filePath(QStringLiteral("ttyNODE"));
    const QString link = m_dir.filePath(QStringLiteral("by-id-link"));
    QFile nodeFile(node);
    QVERIFY(nodeFile.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(node, link));
    QTest::newRow("link to a listed node") << SerialPortEntry(link) << node << QStringList();
}

void tst_DeviceProbe::returnedPort()
{
    QFETCH(SerialPortEntry, lost);
    QFETCH(QString, found);
    QFETCH(QStringList, absent);
    // ttyUSB0 now holds another adapter; ttyUSB2 has the lost one's ids without a serial
    // number, ttyUSB3 its serial number.
    const QList<SerialPortEntry> ports
            = {{QStringLiteral("ttyS0")},
               {QStringLiteral("ttyUSB0"),
                QStringLiteral("Other"),
                QStringLiteral("B2"),
                0x067B,
                0x2303},
               {QStringLiteral("ttyUSB2"), QStringLiteral("USB serial"), {}, 0x0403, 0x6001},
               {QStringLiteral("ttyUSB3"),
                QStringLiteral("USB serial"),
                QStringLiteral("A1"),
                0x0403,
                0x6001},
               {QStringLiteral("ttyUSB5"),
                QStringLiteral("USB serial"),
                QStringLiteral("A1"),
                0x0403,
                0x6001},
               {m_dir.filePath(QStringLiteral("ttyNODE"))}};
    const auto present = [&absent](const QString &name) {
        return !absent.contains(name);
    };
    const std::optional<SerialPortEntry> port = findReturnedPort(lost, ports, present);
    QCOMPARE(port ? port->name : QString(), found);
}

QTEST_GUILESS_MAIN(tst_DeviceProbe)
#include "tst_deviceprobe.moc"
