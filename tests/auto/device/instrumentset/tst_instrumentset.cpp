// The InstrumentSet against several simulated instruments, each on a pseudo-terminal of its own:
// every one found and known by its serial number, one instrument on two ports opened once, an
// unplugged one rejoining while the others go on, silent ports delaying no one.
#include "instrumentset.h"
#include "instrumentsimulator.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

using State = Instrument::ConnectionState;

constexpr uchar SerialNumberCode = 0x12;

} // namespace

class tst_InstrumentSet : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyInstrumentOnceBySerialNumber();
    void unpluggedRejoinsWhileOthersGoOn_data();
    void unpluggedRejoinsWhileOthersGoOn();
    void silentPortsDelayNoOne();

private:
    // A simulator answering with this serial number (none: silent), listed among the ports.
    InstrumentSimulator *addSimulator(const QString &name, std::optional<quint32> serialNumber);
    void listPorts();
    // Readings of the member counted from now, waited for.
    bool readingsArrive(const QString &serialNumber, int count, int timeoutMs = 10000);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<InstrumentSimulator>> m_sims;
    QStringList m_ports;
    std::unique_ptr<InstrumentSet> m_set;
    std::unique_ptr<QSignalSpy> m_added;
};

void tst_InstrumentSet::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_set = std::make_unique<InstrumentSet>();
    m_added = std::make_unique<QSignalSpy>(m_set.get(), &InstrumentSet::instrumentAdded);
}

void tst_InstrumentSet::cleanup()
{
    m_added.reset();
    m_set.reset();
    m_sims.clear();
    m_ports.clear();
    qunsetenv("TEVRANO_SERIAL_PORTS");
}

InstrumentSimulator *tst_InstrumentSet::addSimulator(const QString &name,
                                                     std::optional<quint32> serialNumber)
{
    InstrumentSimulator::Config config;
    config.linkPath = m_dir->filePath(name);
    auto sim = std::make_unique<InstrumentSimulator>(config);
    if (!sim->start())
        return nullptr;
    sim->setObjectTemperature(500.0);
    if (serialNumber)
        sim->setRegister(SerialNumberCode, *serialNumber);
    InstrumentSimulator::Faults faults;
    faults.silent = !serialNumber;
    sim->setFaults(faults);
    m_ports.append(config.linkPath);
    m_sims.push_back(std::move(sim));
    listPorts();
    return m_sims.back().get();
}

void tst_InstrumentSet::listPorts()
{
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(m_ports.join(QLatin1Char(':'))));
}

bool tst_InstrumentSet::readingsArrive(const QString &serialNumber, int count, int timeoutMs)
{
    Instrument *instrument = m_set->instrument(serialNumber);
    if (!instrument)
        return false;
    QSignalSpy readings(instrument, &Instrument::readings);
    return QTest::qWaitFor([&] { return readings.size() >= count; }, timeoutMs);
}

void tst_InstrumentSet::everyInstrumentOnceBySerialNumber()
{
    QVERIFY(addSimulator(QStringLiteral("ttyA"), 1001));
    QVERIFY(addSimulator(QStringLiteral("ttyB"), 1002));
    QVERIFY(addSimulator(QStringLiteral("ttyA2"), 1001)); // the same instrument on another port
    m_set->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_added->size(), 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_set->isSearching(), 10000);
    // Another look must neither probe the declined port again nor add anything.
    QTest::qWait(2 * InstrumentSet::WatchIntervalMs);
    QCOMPARE(m_added->size(), 2);
    QStringList serials = m_set->serialNumbers();
    serials.sort();
    QCOMPARE(serials, QStringList({QStringLiteral("1001"), QStringLiteral("1002")}));
    // The duplicate's instrument is gone; the two left poll each on its port.
    QTRY_COMPARE_WITH_TIMEOUT(m_set->findChildren<Instrument *>().size(), 2, 5000);
    QVERIFY(!m_set->isSearching());
    for (const QString &serial : qAsConst(serials)) {
        QCOMPARE(m_set->instrument(serial)->serialNumber(), serial.toInt());
        QVERIFY(readingsArrive(serial, 3));
    }
    QVERIFY(m_set->instrument(QStringLiteral("1001"))->link().portName
            != m_set->instrument(QStringLiteral("1002"))->link().portName);

    QSignalSpy removed(m_set.get(), &InstrumentSet::instrumentRemoved);
    m_set->stop();
    QCOMPARE(removed.size(), 2);
    QVERIFY(m_set->serialNumbers().isEmpty());
}

enum class Return { SamePort, AnotherPort, SecondPort };
Q_DECLARE_METATYPE(Return)

void tst_InstrumentSet::unpluggedRejoinsWhileOthersGoOn_data()
{
    QTest::addColumn<Return>("comesBack");
    QTest::newRow("same port") << Return::SamePort;
    QTest::newRow("another port") << Return::AnotherPort;
    // Found on a second port while still in use on the first.
    QTest::newRow("its second port") << Return::SecondPort;
}

void tst_InstrumentSet::unpluggedRejoinsWhileOthersGoOn()
{
    QFETCH(Return, comesBack);
    InstrumentSimulator *leaving = addSimulator(QStringLiteral("ttyA"), 2001);
    QVERIFY(leaving);
    QVERIFY(addSimulator(QStringLiteral("ttyB"), 2002));
    m_set->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_added->size(), 2, 10000);
    Instrument *instrument = m_set->instrument(QStringLiteral("2001"));
    QVERIFY(readingsArrive(QStringLiteral("2001"), 2));
    if (comesBack == Return::SecondPort) {
        QVERIFY(addSimulator(QStringLiteral("ttyC"), 2001));
        QTest::qWait(InstrumentSet::WatchIntervalMs);
        QTRY_VERIFY_WITH_TIMEOUT(!m_set->isSearching(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_set->findChildren<Instrument *>().size(), 2, 10000);
    }

    leaving->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(instrument->state(), State::Lost, 5000);
    if (comesBack != Return::SecondPort) {
        // The other goes on while this one is away.
        QVERIFY(readingsArrive(QStringLiteral("2002"), 10));
        QCOMPARE(instrument->state(), State::Lost);
    }

    if (comesBack == Return::AnotherPort)
        QVERIFY(addSimulator(QStringLiteral("ttyC"), 2001));
    else if (comesBack == Return::SamePort)
        QVERIFY(leaving->replug());
    QTRY_COMPARE_WITH_TIMEOUT(instrument->state(), State::Connected, 10000);
    QVERIFY(readingsArrive(QStringLiteral("2001"), 3));
    QCOMPARE(m_set->instrument(QStringLiteral("2001")), instrument);
    QCOMPARE(m_added->size(), 2);
    QCOMPARE(instrument->link().portName,
             comesBack == Return::SamePort ? m_ports.first() : m_ports.last());
    QTRY_COMPARE_WITH_TIMEOUT(m_set->findChildren<Instrument *>().size(), 2, 5000);
}

// Each silent port costs a probe at least 1.4 s (two rates); searched one after the other, six
// of them in front would hold the instruments back for 8.4 s at least.
void tst_InstrumentSet::silentPortsDelayNoOne()
{
    for (int i = 0; i < 6; ++i)
        QVERIFY(addSimulator(QStringLiteral("ttyS%1").arg(i), std::nullopt));
    QVERIFY(addSimulator(QStringLiteral("ttyA"), 3001));
    QVERIFY(addSimulator(QStringLiteral("ttyB"), 3002));
    m_set->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_added->size(), 2, 8000);
    QVERIFY(readingsArrive(QStringLiteral("3001"), 3));
    QVERIFY(readingsArrive(QStringLiteral("3002"), 3));
    QTRY_VERIFY_WITH_TIMEOUT(!m_set->isSearching(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_set->findChildren<Instrument *>().size(), 2, 5000);
}

QTEST_GUILESS_MAIN(tst_InstrumentSet)
#include "tst_instrumentset.moc"
