#include "instrument.h"

#include "deviceprobe.h"
#include "registertable.h"
#include "responses.h"
#include "serialframe.h"
#include "seriallink.h"
#include "temperatureunit.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 steadyNowMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

using Parameter = Instrument::Parameter;

// Besides the registers, the opening reads these; one failing every try is read again later.
constexpr uchar IdentityCode = 0x17;
constexpr uchar FeatureMaskCode = 0x40;

constexpr int RereadEveryMs = 1000;

} // namespace

Instrument::Instrument(QObject *parent)
    : QObject(parent)
    , m_serial(std::make_unique<SerialLink>())
    , m_tick(new QTimer(this))
    , m_portWatcher(new QFileSystemWatcher(this))
{
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    SerialLink *serial = m_serial.get();
    connect(serial, &SerialLink::answered, this, &Instrument::recvdata);
    connect(serial, &SerialLink::opened, this, &Instrument::onOpened);
    connect(serial, &SerialLink::closed, this, &Instrument::onClosed);
    connect(serial, &SerialLink::errorOccurred, this, &Instrument::handleSerialError);

    m_tick->setTimerType(Qt::CoarseTimer);
    connect(m_tick, &QTimer::timeout, this, &Instrument::tick);
    m_tick->start(WatchIntervalMs);
    connect(m_portWatcher,
            &QFileSystemWatcher::directoryChanged,
            this,
            &Instrument::watchForReturn);
}

Instrument::~Instrument()
{
    // A search under way ends within a few seconds; its outcome is of no use any more.
    if (m_searchThread) {
        m_searchThread->disconnect(this);
        m_searchThread->wait();
    }
    // Nothing of the link may reach this object while it is half destroyed.
    m_serial->disconnect(this);
    m_serial.reset();
}

// ---- Finding and opening -------------------------------------------------------------------

std::optional<Instrument::Link> Instrument::probe(const QString &portName, qint32 baud)
{
    const std::optional<int> framing = probeFraming(portName, baud);
    if (!framing)
        return std::nullopt;
    return Link{portName, baud, *framing};
}

std::optional<Instrument::Link> Instrument::search(const QStringList &ports,
                                                   const QList<qint32> &rates)
{
    const std::optional<Link> found = find(ports, rates);
    if (!found && !isOpen())
        setState(ConnectionState::NoInstrument);
    return found;
}

bool Instrument::startSearch(const QStringList &ports,
                             const QList<qint32> &rates,
                             const std::function<void(const std::optional<Link> &)> &done)
{
    if (m_searchThread)
        return false;
    auto found = std::make_shared<std::optional<Link>>();
    m_searchThread.reset(QThread::create([found, ports, rates] { *found = find(ports, rates); }));
    connect(m_searchThread.get(), &QThread::finished, this, [this, found, done] {
        // Emitted just before the thread ends: the wait is for its last instructions only.
        m_searchThread->wait();
        m_searchThread.reset();
        if (!*found && !isOpen())
            setState(ConnectionState::NoInstrument);
        done(*found);
    });
    m_searchThread->start();
    return true;
}

std::optional<Instrument::Link> Instrument::find(const QStringList &ports,
                                                 const QList<qint32> &rates)
{
    QList<SerialPortEntry> entries;
    if (ports.isEmpty())
        entries = listSerialPorts();
    for (const QString &name : ports)
        entries.append(SerialPortEntry(name));
    std::optional<Link> found;
    const auto tryPort = [&](const QString &name, qint32 baud) {
        if (!rates.isEmpty() && !rates.contains(baud))
            return false;
        found = probe(name, baud);
        return found.has_value();
    };
    findDevice(entries, tryPort);
    return found;
}

void Instrument::open(const Link &link)
{
    m_link = link;
    m_portEntry = {link.portName};
    // The list may name the device otherwise (ttyUSB0 for a /dev/serial/by-id/... link); the
    // adapter is known by the list's entry, the port by the name it was opened under.
    const QList<SerialPortEntry> ports = listSerialPorts();
    const auto listed = std::find_if(ports.begin(), ports.end(), [&](const SerialPortEntry &entry) {
        return sameSerialDevice(entry.name, link.portName);
    });
    if (listed != ports.end()) {
        m_portEntry = *listed;
        m_portEntry.name = link.portName;
    }
    openLink();
}

void Instrument::openLink()
{
    ++m_openRequests;
    m_serial->open(m_link.portName, m_link.baud, m_link.framing);
}

void Instrument::close()
{
    // Whatever open is still under way is closed again by the close queued behind it.
    m_ignoreOpensUpTo = m_openRequests;
    ++m_closesPending;
    setState(ConnectionState::Closed);
    m_serial->close();
}

bool Instrument::isOpen() const
{
    return m_serial->isPortOpen();
}

uchar Instrument::objectCode() const
{
    return Responses::objectTemperatureCode(m_model.load());
}

void Instrument::startPolling()
{
    if (isOpen())
        m_serial->startPolling(objectCode());
}

void Instrument::stopPolling()
{
    m_serial->stopPolling();
}

bool Instrument::isPolling() const
{
    return m_serial->isPolling();
}

void Instrument::setPollInterval(int ms)
{
    m_serial->setPollInterval(ms);
}

int Instrument::pollInterval() const
{
    return m_serial->pollInterval();
}

void Instrument::onOpened(bool ok)
{
    const int result = ++m_openResults;
    if (result <= m_ignoreOpensUpTo)
        return;
    const bool reconnection = result == m_reconnectRequest;
    if (!ok) {
        // A returning port that cannot be opened yet is tried again at the next tick.
        if (!reconnection)
            emit openFailed(m_link);
        return;
    }
    m_openedAt = nowMs();
    m_reopened = reconnection;
    m_failedReads.clear();
    m_errorCount = 0;
    m_stepObject = std::nan("");
    // Nothing read from an earlier instrument is assumed of this one.
    m_values.clear();
    m_alarm.setThresholds({});
    emit alarmThresholdsChanged(alarmThresholds());
    m_features = {};
    m_serialNumber = 0;
    m_relay1 = m_relay2 = 0xFFFF;
    m_serial->read(0x17);
    m_serial->startPolling(objectCode());
    setState(ConnectionState::Connected);
    emit opened(m_link);
}

void Instrument::onClosed()
{
    if (m_closesPending > 0) {
        --m_closesPending;
        return;
    }
    if (m_state == ConnectionState::Connected || m_state == ConnectionState::NotResponding)
        setState(ConnectionState::Lost);
}

void Instrument::tick()
{
    switch (m_state) {
    case ConnectionState::Connected:
    case ConnectionState::NotResponding: {
        const qint64 silentFor = nowMs() - qMax(m_lastResponseTime, m_openedAt);
        setState(silentFor > NotRespondingAfterMs ? ConnectionState::NotResponding
                                                  : ConnectionState::Connected);
        break;
    }
    case ConnectionState::Lost:
        watchForReturn();
        break;
    default:
        break;
    }
}

void Instrument::watchForReturn()
{
    if (m_state != ConnectionState::Lost || m_reconnectRequest > m_openResults)
        return; // not lost, or the last attempt has not ended yet
    QList<SerialPortEntry> ports = listSerialPorts();
    // A port the list does not hold (a link to a pseudo-terminal, say) is looked for by the
    // name it was opened under.
    if (std::none_of(ports.begin(), ports.end(), [this](const SerialPortEntry &entry) {
            return sameSerialDevice(entry.name, m_portEntry.name);
        }))
        ports.append(SerialPortEntry(m_portEntry.name));
    const std::optional<SerialPortEntry> port = findReturnedPort(m_portEntry, ports);
    if (!port)
        return;
    m_link.portName = port->name;
    openLink();
    m_reconnectRequest = m_openRequests;
}

void Instrument::setState(ConnectionState state)
{
    if (state == m_state)
        return;
    m_state = state;
    // No reading is shown then, so no alarm either; a silent instrument keeps its alarm.
    if (state != ConnectionState::Connected && state != ConnectionState::NotResponding) {
        m_alarm.reset();
        setAlarmState(AlarmState::None);
    }
    if (!m_portWatcher->directories().isEmpty())
        m_portWatcher->removePaths(m_portWatcher->directories());
    const QString location = serialPortLocation(m_portEntry.name);
    if (state == ConnectionState::Lost && !location.isEmpty())
        m_portWatcher->addPath(QFileInfo(location).absolutePath());
    emit connectionStateChanged(state);
}

// ---- Requests ------------------------------------------------------------------------------

void Instrument::readAll(std::initializer_list<uchar> codes)
{
    for (uchar code : codes)
        m_serial->read(code);
}

void Instrument::reopenInOtherFraming()
{
    // Another instrument may have come back at the port, as the search would find it.
    m_link.framing = m_link.framing == SerialFrame::CrcFraming ? SerialFrame::XorFraming
                                                               : SerialFrame::CrcFraming;
    openLink();
    m_reconnectRequest = m_openRequests;
}

void Instrument::readFailed(uchar code)
{
    const RegisterTable::Register *reg = RegisterTable::byCode(code);
    // A write without answer is confirmed by what the register holds now.
    if (reg && code == reg->writeCode) {
        if (reg->readCode != 0)
            m_serial->read(reg->readCode);
        return;
    }
    if ((reg || code == IdentityCode || code == FeatureMaskCode) && !m_failedReads.contains(code))
        m_failedReads.append(code);
}

void Instrument::rereadFailed()
{
    if (m_failedReads.isEmpty())
        return;
    const qint64 now = steadyNowMs();
    if (m_rereadAt != 0 && now - m_rereadAt < RereadEveryMs)
        return;
    m_rereadAt = now;
    for (uchar code : std::exchange(m_failedReads, {}))
        m_serial->read(code);
}

void Instrument::writeParameter(Parameter parameter, double value)
{
    const RegisterTable::Register *reg
            = RegisterTable::forWrite(parameter, int(Instrument::parameter(Parameter::HoldMode)));
    if (!reg)
        return;
    // The hold mode decides which hold time a later write goes to.
    if (parameter == Parameter::HoldMode)
        m_values.insert(int(parameter), value);
    const QByteArray data = RegisterTable::encode(*reg, value);
    m_serial->write(reg->writeCode, data, reg->guarded && m_writeEnableRequired);
    // The answer to the unit's write does not tell the unit; the read does.
    if (parameter == Parameter::Unit && isOpen())
        m_serial->read(reg->readCode);
}

void Instrument::writeRelays(quint16 relay1, quint16 relay2)
{
    writeParameter(Parameter::Relay1, relay1);
    writeParameter(Parameter::Relay2, relay2);
}

void Instrument::setModbus(bool on)
{
    QByteArray data(1, '\0');
    data.append(char(on ? 1 : 0));
    m_serial->write(0x85, data);
}

void Instrument::factoryReset()
{
    if (m_writeEnableRequired)
        m_serial->write(0xFD, QByteArray(1, '\x01'));
    // Never repeated blindly: a second reset could meet changed settings.
    m_serial->read(0x64, 1);
    readParameters();
}

void Instrument::readParameters()
{
    readAll({FeatureMaskCode, 0x15, 0x16, 0x20, 0x42, 0x46, 0x44, 0x45, 0x12});
}

double Instrument::parameter(Parameter parameter) const
{
    return m_values.value(int(parameter), std::nan(""));
}

void Instrument::store(Parameter parameter, double value)
{
    m_values.insert(int(parameter), value);
    emit parameterRead(parameter, value);
    switch (parameter) {
    case Parameter::HighAlarm:
    case Parameter::LowAlarm:
    case Parameter::HighAlarmEnabled:
    case Parameter::LowAlarmEnabled: {
        const auto known = [this](Parameter p) {
            return m_values.contains(int(p));
        };
        m_alarm.setThresholds({known(Parameter::HighAlarm)
                                       && Instrument::parameter(Parameter::HighAlarmEnabled) == 1,
                               Instrument::parameter(Parameter::HighAlarm),
                               known(Parameter::LowAlarm)
                                       && Instrument::parameter(Parameter::LowAlarmEnabled) == 1,
                               Instrument::parameter(Parameter::LowAlarm)});
        emit alarmThresholdsChanged(alarmThresholds());
        break;
    }
    default:
        break;
    }
}

bool Instrument::isTemperature(Parameter parameter)
{
    const QList<const RegisterTable::Register *> registers = RegisterTable::readable();
    return std::any_of(registers.begin(), registers.end(), [parameter](const auto *reg) {
        return reg->parameter == parameter && RegisterTable::isTemperature(*reg);
    });
}

AlarmThresholds Instrument::alarmThresholds() const
{
    AlarmThresholds shown = m_alarm.thresholds();
    shown.high = TemperatureUnit::fromCelsius(shown.high, m_unit);
    shown.low = TemperatureUnit::fromCelsius(shown.low, m_unit);
    return shown;
}

void Instrument::setAlarmState(AlarmState state)
{
    if (state == m_alarmShown)
        return;
    m_alarmShown = state;
    emit alarmChanged(state);
}

void Instrument::handleUnit(int unit)
{
    if (!TemperatureUnit::isKnown(unit))
        return;
    const int previous = m_unit;
    m_unit = unit;
    store(Parameter::Unit, unit);
    if (unit == previous)
        return;
    // The step under way too: its readings go out labelled with the new unit.
    for (double *value : {&m_latest.object, &m_latest.ambient, &m_stepObject})
        *value = TemperatureUnit::fromCelsius(TemperatureUnit::toCelsius(*value, previous), unit);
    m_latest.unit = unit;
    emit unitChanged(unit, previous);
    emit alarmThresholdsChanged(alarmThresholds());
}

// ---- Response dispatch ---------------------------------------------------------------------

void Instrument::recvdata(uchar code, const QByteArray &data, bool ok)
{
    // What was under way when the port was closed on request is of no use any more.
    if (closing())
        return;
    const int framing = m_serial->framing();
    if (code == 0x02)
        handleAmbientTemperature(data, framing, ok);
    if (!ok) {
        if (code == 0x64)
            emit factoryResetDone(false);
        else if (code == IdentityCode && m_reopened && m_lastResponseTime < m_openedAt)
            reopenInOtherFraming();
        else
            readFailed(code);
        return;
    }
    m_errorCount = 0;
    switch (code) {
    case IdentityCode:
        handleIdentity(data, framing);
        return;
    case 0x01:
    case 0x08:
        handleObjectTemperature(data, framing);
        return;
    case FeatureMaskCode:
        handleFeatureMask(data, framing);
        return;
    case 0x85: {
        // The CRC framing carries the value where it carries every other one.
        const int offset = framing != SerialFrame::CrcFraming ? 0 : 3;
        if (data.size() >= offset + 2)
            emit modbusSwitched(SerialFrame::be16(data, offset) == 1);
        return;
    }
    case 0x64:
        emit factoryResetDone(!m_writeEnableRequired || (!data.isEmpty() && data.at(0) != 0));
        return;
    default:
        break;
    }
    if (const RegisterTable::Register *reg = RegisterTable::byCode(code))
        if (const std::optional<double> value = RegisterTable::decode(*reg, code, data, framing))
            handleRegister(*reg, *value);
}

void Instrument::handleRegister(const RegisterTable::Register &reg, double value)
{
    switch (reg.parameter) {
    case Parameter::RangeLow:
        m_rangeLow = float(value);
        break;
    case Parameter::RangeHigh:
        m_rangeHigh = float(value);
        break;
    case Parameter::SerialNumber:
        m_serialNumber = qint32(value);
        break;
    case Parameter::Relay1:
        m_relay1 = quint16(value);
        break;
    case Parameter::Relay2:
        m_relay2 = quint16(value);
        break;
    case Parameter::HoldMode:
        handleHoldMode(uchar(value));
        return;
    case Parameter::Unit:
        handleUnit(int(value));
        return;
    default:
        break;
    }
    store(reg.parameter, value);
}

void Instrument::handleIdentity(const QByteArray &data, int framing)
{
    const std::optional<Responses::Identity> identity = Responses::identity(data, framing);
    if (!identity)
        return;
    m_writeEnableRequired = identity->writeEnableRequired;
    m_model.store(identity->model);
    if (isPolling())
        m_serial->startPolling(objectCode());
    readParameters();
    emit identityRead(identity->model, identity->writeEnableRequired);
}

void Instrument::handleObjectTemperature(const QByteArray &data, int framing)
{
    const std::optional<float> reading = Responses::objectTemperature(data, framing);
    if (!reading)
        return;
    m_lastResponseTime = nowMs();
    rereadFailed();
    const float celsius = *reading;
    // The range filter works in Celsius; the reading goes out in the instrument's unit. Until
    // both ends are read there is nothing to judge by.
    const bool rangeKnown = m_values.contains(int(Parameter::RangeLow))
                            && m_values.contains(int(Parameter::RangeHigh));
    if (rangeKnown && (celsius > m_rangeHigh || celsius < m_rangeLow))
        return;
    const double value = TemperatureUnit::fromCelsius(celsius, m_unit);
    setAlarmState(m_alarm.update(celsius));
    m_latest.object = value;
    m_latest.unit = m_unit;
    m_latest.msecsSinceEpoch = m_lastResponseTime;
    m_latest.monotonicMs = steadyNowMs();
    m_stepObject = value;
    emit objectTemperature(value, m_unit, m_lastResponseTime);
}

void Instrument::handleAmbientTemperature(const QByteArray &data, int framing, bool ok)
{
    const std::optional<float> reading = ok ? Responses::temperature(data, framing) : std::nullopt;
    const qint64 now = nowMs();
    Reading step;
    step.object = m_stepObject;
    step.unit = m_unit;
    step.msecsSinceEpoch = now;
    step.monotonicMs = steadyNowMs();
    m_stepObject = std::nan("");
    if (reading) {
        step.ambient = TemperatureUnit::fromCelsius(*reading, m_unit);
        m_latest.ambient = step.ambient;
        emit ambientTemperature(step.ambient, m_unit, now);
    }
    emit readings(step);
}

void Instrument::handleFeatureMask(const QByteArray &data, int framing)
{
    const bool xor_ = framing != SerialFrame::CrcFraming;
    if (data.size() != (xor_ ? 5 : 9))
        return;
    const int first = xor_ ? 0 : 3;
    const auto mask = [&](int index) {
        return uchar(data.at(first + index));
    };
    const uchar m0 = mask(0), m1 = mask(1), m2 = mask(2), m3 = mask(3);
    Features &f = m_features;
    f = {};
    f.emissivity = m3 & 0x02;
    if (xor_)
        f.transmissivity = bool(m3 & 0x04);
    f.outputRange = m3 & 0x10;
    f.alarms = m3 & 0x20;
    f.analogOutput = m3 & 0x40;
    f.averageTime = m3 & 0x80;
    f.holdMode = m2 & 0x01;
    f.laser = m1 & 0x02;
    f.backlight = m1 & 0x04;
    f.unit = m1 & 0x08;
    f.rangeMode = m1 & 0x40;
    if (xor_) {
        f.modbus = bool(m0 & 0x04);
        f.relays = m0 & 0x10;
    }
    emit featuresRead(f);

    if (f.alarms)
        readAll({0x56, 0x57, 0x21, 0x22});
    if (f.averageTime)
        readAll({0x48});
    if (f.holdMode) {
        if (xor_)
            readAll({0x47, 0x4D});
        else
            readAll({0x47, 0x49, 0x4A, 0x4D});
    }
    if (f.laser)
        readAll({0x55});
    if (f.backlight)
        readAll({0x54});
    if (f.unit)
        readAll({0x53});
    if (f.rangeMode)
        readAll({0x68});
    if (f.relays) {
        m_relay1 = m_relay2 = 0xFFFF;
        readAll({0x8B, 0x8D});
    }
}

void Instrument::handleHoldMode(uchar mode)
{
    store(Parameter::HoldMode, mode);
    if (mode == 1)
        m_serial->read(0x49);
    else if (mode == 2)
        m_serial->read(0x4A);
}

void Instrument::handleSerialError(QSerialPort::SerialPortError error)
{
    // Failed transactions are only counted: a recording goes on with gaps until valid answers
    // return, and a vanished device is told apart by the serial worker.
    if (error == QSerialPort::UnknownError || error == QSerialPort::TimeoutError)
        ++m_errorCount;
}
