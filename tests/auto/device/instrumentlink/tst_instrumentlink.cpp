// The Instrument on its own, with no widget library linked, against the simulated instrument on
// a real pseudo-terminal: identity, parameters, polling, loss and return, a flapping port.
#include "instrument.h"
#include "instrumentsimulator.h"
#include "serialframe.h"
#include "temperatureunit.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using State = Instrument::ConnectionState;
using Parameter = Instrument::Parameter;

int entriesIn(const char *directory)
{
    return int(QDir(QLatin1String(directory))
                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                       .size());
}

} // namespace

Q_DECLARE_METATYPE(InstrumentSimulator::Faults)

class tst_InstrumentLink : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void nothingFound();
    void identityParametersAndPolling();
    void writes_data();
    void writes();
    void pollInterval();
    void lossAndReturnOfAnotherInstrument();
    void flappingPort();
    void returnInOtherFraming();
    void connectSequenceFaults_data();
    void connectSequenceFaults();
    void queuedWritesAtCloseOrUnplug_data();
    void queuedWritesAtCloseOrUnplug();
    void alarmsJudgedInCelsius_data();
    void alarmsJudgedInCelsius();

private:
    bool connect(InstrumentSimulator::Config config = {});
    bool waitForReadings(int count, int timeoutMs = 10000);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<InstrumentSimulator> m_sim;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<QSignalSpy> m_readings;
};

void tst_InstrumentLink::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_instrument = std::make_unique<Instrument>();
    m_readings = std::make_unique<QSignalSpy>(m_instrument.get(), &Instrument::readings);
}

void tst_InstrumentLink::cleanup()
{
    m_readings.reset();
    m_instrument.reset();
    m_sim.reset();
    qunsetenv("TEVRANO_SERIAL_PORTS");
}

bool tst_InstrumentLink::connect(InstrumentSimulator::Config config)
{
    config.linkPath = m_dir->filePath(QStringLiteral("ttyPYRO"));
    m_sim = std::make_unique<InstrumentSimulator>(config);
    if (!m_sim->start())
        return false;
    m_sim->setObjectTemperature(1.0);
    qputenv("TEVRANO_SERIAL_PORTS", QFile::encodeName(config.linkPath));
    const std::optional<Instrument::Link> link = m_instrument->search();
    if (!link)
        return false;
    m_instrument->open(*link);
    return QTest::qWaitFor([this] { return m_instrument->state() == State::Connected; }, 5000)
           && waitForReadings(1);
}

// Readings with both temperatures, counted from now.
bool tst_InstrumentLink::waitForReadings(int count, int timeoutMs)
{
    m_readings->clear();
    return QTest::qWaitFor(
            [&] {
                int complete = 0;
                for (const QList<QVariant> &signal : qAsConst(*m_readings)) {
                    const auto reading = signal.first().value<Instrument::Reading>();
                    complete += std::isfinite(reading.object) && std::isfinite(reading.ambient);
                }
                return complete >= count;
            },
            timeoutMs);
}

void tst_InstrumentLink::nothingFound()
{
    QSignalSpy states(m_instrument.get(), &Instrument::connectionStateChanged);
    QVERIFY(!m_instrument->search({m_dir->filePath(QStringLiteral("nothing"))}, {9600}));
    QCOMPARE(m_instrument->state(), State::NoInstrument);
    QCOMPARE(states.size(), 1);
}

void tst_InstrumentLink::identityParametersAndPolling()
{
    QSignalSpy identities(m_instrument.get(), &Instrument::identityRead);
    InstrumentSimulator::Config config;
    config.identity = {0x0601, false};
    QVERIFY(connect(config));
    QTRY_COMPARE_WITH_TIMEOUT(identities.size(), 1, 5000);
    QCOMPARE(identities.first().at(0).value<quint16>(), quint16(0x0601));
    QCOMPARE(m_instrument->link().framing, int(SerialFrame::XorFraming));
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->serialNumber(), 20261207, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->relay2(), quint16(1), 10000);
    QCOMPARE(m_instrument->rangeHigh(), 1000.0f);
    QCOMPARE(m_instrument->parameter(Parameter::Emissivity), 0.95);
    QCOMPARE(m_instrument->parameter(Parameter::Unit), 2.0);
    QVERIFY(m_instrument->features().alarms);
    QVERIFY(m_instrument->features().transmissivity.value_or(false));

    // Once identified, this model is polled with 0x08, the ambient with 0x02.
    const int polledBefore = int(m_sim->receivedFrames().size());
    QVERIFY(waitForReadings(3));
    const QList<QByteArray> polls = m_sim->receivedFrames().mid(polledBefore);
    const auto reading = m_readings->last().first().value<Instrument::Reading>();
    QCOMPARE(reading.object, 1.0);
    QCOMPARE(reading.ambient, 23.5);
    QCOMPARE(reading.unit, 2);
    QVERIFY(polls.contains(QByteArray::fromHex("0808")));
    QVERIFY(!polls.contains(QByteArray::fromHex("0101")));
    QCOMPARE(m_instrument->errorCount(), 0);
}

void tst_InstrumentLink::writes_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<double>("value");
    QTest::addColumn<QList<QByteArray>>("written");
    const QByteArray enable = QByteArray::fromHex("FD01FC");
    QTest::newRow("emissivity") << int(Parameter::Emissivity) << 0.9
                                << QList<QByteArray>{enable, QByteArray::fromHex("A0038427")};
    QTest::newRow("low alarm") << int(Parameter::LowAlarm) << 25.3
                               << QList<QByteArray>{enable, QByteArray::fromHex("A204E543")};
    QTest::newRow("alarm switch, unguarded") << int(Parameter::HighAlarmEnabled) << 0.0
                                             << QList<QByteArray>{QByteArray::fromHex("D700D7")};
    QTest::newRow("hold time while Real") << int(Parameter::HoldTime) << 5.0 << QList<QByteArray>{};
    QTest::newRow("read only") << int(Parameter::RangeHigh) << 5.0 << QList<QByteArray>{};
}

void tst_InstrumentLink::writes()
{
    QFETCH(int, parameter);
    QFETCH(double, value);
    QFETCH(QList<QByteArray>, written);
    QVERIFY(connect());
    // The relays are the last of the reads the opening starts.
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->relay2(), quint16(1), 10000);
    QVERIFY(!std::isnan(m_instrument->parameter(Parameter::HoldMode)));
    QTest::qWait(300);
    const QList<QByteArray> before = m_sim->receivedFrames();
    m_instrument->writeParameter(Parameter(parameter), value);
    QTest::qWait(300);
    QList<QByteArray> sent;
    for (const QByteArray &frame : m_sim->receivedFrames().mid(before.size()))
        if (frame != QByteArray::fromHex("0101") && frame != QByteArray::fromHex("0202"))
            sent.append(frame);
    QCOMPARE(sent, written);
}

void tst_InstrumentLink::pollInterval()
{
    QVERIFY(connect());
    m_instrument->setPollInterval(250);
    QVERIFY(waitForReadings(1));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(waitForReadings(8));
    // Eight steps a quarter of a second apart; back to back they would take about 0.4 s.
    QVERIFY2(timer.elapsed() >= 1500, qPrintable(QString::number(timer.elapsed())));
    m_instrument->stopPolling();
    QVERIFY(!m_instrument->isPolling());
    m_instrument->startPolling();
    QVERIFY(waitForReadings(1));
}

void tst_InstrumentLink::lossAndReturnOfAnotherInstrument()
{
    QVERIFY(connect());
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->serialNumber(), 20261207, 10000);
    QSignalSpy identities(m_instrument.get(), &Instrument::identityRead);
    m_sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Lost, 2000);
    QVERIFY(!m_instrument->isPolling());

    // Another instrument appears at the same path: it is read afresh.
    m_sim->setIdentity({0x0203, false});
    m_sim->setRegister(0x12, 4711);
    QVERIFY(m_sim->replug());
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Connected, 5000);
    QVERIFY(waitForReadings(2));
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->serialNumber(), 4711, 10000);
    QCOMPARE(identities.size(), 1);
    QCOMPARE(m_instrument->model(), quint16(0x0203));

    // Closed on request: no reconnection, even with the port there.
    m_instrument->close();
    QCOMPARE(m_instrument->state(), State::Closed);
    QTRY_VERIFY_WITH_TIMEOUT(!m_instrument->isOpen() && !m_instrument->isPolling(), 5000);
    m_readings->clear();
    QTest::qWait(2 * Instrument::WatchIntervalMs + 500);
    QCOMPARE(m_instrument->state(), State::Closed);
    QVERIFY(m_readings->isEmpty());
}

void tst_InstrumentLink::flappingPort()
{
    QVERIFY(connect());
    const int descriptors = entriesIn("/proc/self/fd");
    const int threads = entriesIn("/proc/self/task");
    // Unplugged and back every 500 ms; long enough for many losses, returns and reopenings
    // caught half-way.
    QElapsedTimer flapping;
    flapping.start();
    while (flapping.elapsed() < 10000) {
        m_sim->unplug();
        QTest::qWait(250);
        QVERIFY(m_sim->replug());
        QTest::qWait(250);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Connected, 10000);
    QVERIFY(waitForReadings(3));
    QCOMPARE(entriesIn("/proc/self/fd"), descriptors);
    QCOMPARE(entriesIn("/proc/self/task"), threads);
}

// Another instrument that speaks the other framing comes back at the lost port's path.
void tst_InstrumentLink::returnInOtherFraming()
{
    QVERIFY(connect());
    m_sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Lost, 2000);
    InstrumentSimulator::Config config;
    config.framing = SimProtocol::Framing::Crc;
    config.identity = {0x0203, false};
    config.linkPath = m_dir->filePath(QStringLiteral("ttyPYRO"));
    m_sim = std::make_unique<InstrumentSimulator>(config);
    QVERIFY(m_sim->start());
    m_sim->setObjectTemperature(2.0);
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->model(), quint16(0x0203), 20000);
    QCOMPARE(m_instrument->link().framing, int(SerialFrame::CrcFraming));
    QVERIFY(waitForReadings(2));
    QCOMPARE(m_readings->last().first().value<Instrument::Reading>().object, 2.0);
}

// One register of the opening at a time answers late, in pieces, garbled or not at all, every
// try of its first read: the readings flow all the same, and the value is read later.
void tst_InstrumentLink::connectSequenceFaults_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("parameter"); // -1: told by its own accessor
    QTest::addColumn<InstrumentSimulator::Faults>("faults");
    InstrumentSimulator::Faults late, split, garbled, missing;
    late.answerDelayMs = 150;
    split.splitPieces = 3;
    split.splitDelayMs = 80;
    garbled.garbage = true;
    missing.silent = true;
    const QList<QPair<InstrumentSimulator::Faults, const char *>> kinds
            = {{late, "late"}, {split, "split"}, {garbled, "garbled"}, {missing, "missing"}};
    const QList<QPair<int, int>> registers = {
            {0x17, -1},
            {0x40, -1},
            {0x15, int(Parameter::RangeLow)},
            {0x16, int(Parameter::RangeHigh)},
            {0x20, int(Parameter::Emissivity)},
            {0x42, int(Parameter::Transmissivity)},
            {0x46, int(Parameter::AnalogOutput)},
            {0x44, int(Parameter::OutputLow)},
            {0x45, int(Parameter::OutputHigh)},
            {0x12, -1},
            {0x56, int(Parameter::LowAlarmEnabled)},
            {0x57, int(Parameter::HighAlarmEnabled)},
            {0x21, int(Parameter::HighAlarm)},
            {0x22, int(Parameter::LowAlarm)},
            {0x48, int(Parameter::AverageTime)},
            {0x47, int(Parameter::HoldMode)},
            {0x4D, int(Parameter::SuperHoldValue)},
            {0x55, int(Parameter::Laser)},
            {0x54, int(Parameter::Backlight)},
            {0x53, int(Parameter::Unit)},
            {0x68, int(Parameter::RangeMode)},
            {0x8B, -1},
            {0x8D, -1},
    };
    for (int i = 0; i < registers.size(); ++i) {
        const auto &[code, parameter] = registers.at(i);
        // Each register meets one kind of fault, each kind a quarter of the registers; the
        // register the issue was found on meets them all.
        for (int k = 0; k < kinds.size(); ++k) {
            if (k != i % kinds.size() && code != 0x16)
                continue;
            InstrumentSimulator::Faults faults = kinds.at(k).first;
            faults.onlyCode = code;
            faults.faultyAnswers = 3;
            QTest::addRow("%02X %s", code, kinds.at(k).second) << code << parameter << faults;
        }
    }
}

void tst_InstrumentLink::connectSequenceFaults()
{
    QFETCH(int, code);
    QFETCH(int, parameter);
    QFETCH(InstrumentSimulator::Faults, faults);
    InstrumentSimulator::Config config;
    config.identity = {0x0601, false};
    config.linkPath = m_dir->filePath(QStringLiteral("ttyPYRO"));
    m_sim = std::make_unique<InstrumentSimulator>(config);
    QVERIFY(m_sim->start());
    m_sim->setObjectTemperature(1.0);
    m_sim->setFaults(faults);
    m_instrument->open({config.linkPath, 9600, SerialFrame::XorFraming});
    QVERIFY(waitForReadings(3));
    const auto known = [&] {
        switch (code) {
        case 0x17:
            return m_instrument->model() == 0x0601;
        case 0x40:
            return m_instrument->features().alarms;
        case 0x12:
            return m_instrument->serialNumber() == 20261207;
        case 0x8B:
        case 0x8D:
            return m_instrument->relay1() != 0xFFFF && m_instrument->relay2() != 0xFFFF;
        default:
            return !std::isnan(m_instrument->parameter(Parameter(parameter)));
        }
    };
    QTRY_VERIFY_WITH_TIMEOUT(known(), 15000);
    QVERIFY(waitForReadings(3));
    QCOMPARE(m_readings->last().first().value<Instrument::Reading>().object, 1.0);
}

// Closing or losing the port with writes queued behind a slow answer ends at once, and the link
// takes the next opening.
void tst_InstrumentLink::queuedWritesAtCloseOrUnplug_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("closed") << false;
    QTest::newRow("unplugged") << true;
}

void tst_InstrumentLink::queuedWritesAtCloseOrUnplug()
{
    QFETCH(bool, unplug);
    QVERIFY(connect());
    InstrumentSimulator::Faults slow;
    slow.answerDelayMs = 2000;
    m_sim->setFaults(slow);
    for (int i = 0; i < 20; ++i)
        m_instrument->writeParameter(Parameter::Emissivity, 0.5 + i / 100.0);
    QTest::qWait(100);
    QElapsedTimer timer;
    timer.start();
    if (unplug) {
        m_sim->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Lost, 3000);
    } else {
        m_instrument->close();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_instrument->isOpen(), 3000);
    QVERIFY(timer.elapsed() < 3000);
    m_sim->setFaults({});
    if (unplug)
        QVERIFY(m_sim->replug());
    else
        m_instrument->open(m_instrument->link());
    QTRY_COMPARE_WITH_TIMEOUT(m_instrument->state(), State::Connected, 5000);
    QVERIFY(waitForReadings(2));
}

// The thresholds are kept in Celsius and the readings judged in Celsius, whatever unit the
// instrument shows: 20 °C is 68 °F, above a 35 °C threshold only if wrongly compared.
void tst_InstrumentLink::alarmsJudgedInCelsius_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("celsius");
    QTest::addColumn<AlarmState>("state");
    for (int unit : {1, 2}) {
        const QByteArray name = unit == 1 ? "F" : "C";
        QTest::addRow("%s inside", name.constData()) << unit << 32.0 << AlarmState::None;
        QTest::addRow("%s high", name.constData()) << unit << 36.0 << AlarmState::High;
        QTest::addRow("%s low", name.constData()) << unit << 25.0 << AlarmState::Low;
    }
}

void tst_InstrumentLink::alarmsJudgedInCelsius()
{
    QFETCH(int, unit);
    QFETCH(double, celsius);
    QFETCH(AlarmState, state);
    const auto answer = [](double value) {
        const auto raw = quint16(qRound(value * 10 + 1000));
        const QByteArray data = QByteArray(1, char(raw >> 8)) + char(raw & 0xFF);
        return data + char(SerialFrame::xorOf(data.constData(), data.size()));
    };
    const auto byte = [](int value) {
        return QByteArray(1, char(value)) + char(value);
    };
    m_instrument->recvdata(0x21, answer(35.0), true);
    m_instrument->recvdata(0x22, answer(30.0), true);
    m_instrument->recvdata(0x57, byte(1), true);
    m_instrument->recvdata(0x56, byte(1), true);
    m_instrument->recvdata(0x53, byte(unit), true);
    QCOMPARE(m_instrument->unit(), unit);
    m_instrument->recvdata(0x01, answer(celsius), true);
    QCOMPARE(m_instrument->alarmState(), state);
    QCOMPARE(m_instrument->latest().object, TemperatureUnit::fromCelsius(celsius, unit));
}

QTEST_GUILESS_MAIN(tst_InstrumentLink)
#include "tst_instrumentlink.moc"
