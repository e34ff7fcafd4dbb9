#include "instrument.h"

#include "deviceprobe.h"
#include "optserial.h"
#include "pollthread.h"
#include "responses.h"
#include "serialframe.h"
#include "temperatureunit.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>
#include <iterator>

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

QByteArray oneByte(int value)
{
    return QByteArray(1, char(value));
}

using Parameter = Instrument::Parameter;

// How a written parameter goes on the wire.
struct WriteRule
{
    Parameter parameter;
    uchar code;
    bool guarded;
    enum { Byte, Register, TwoBytes } encoding;
    double factor;
    double offset;
};

constexpr WriteRule WriteRules[] = {
        {Parameter::Emissivity, 0xA0, true, WriteRule::Register, 1000, 0},
        {Parameter::Transmissivity, 0xC2, true, WriteRule::Register, 1000, 0},
        {Parameter::AverageTime, 0xC8, true, WriteRule::Register, 10, 0},
        {Parameter::SuperHoldValue, 0xCD, true, WriteRule::Register, 10, 1000},
        {Parameter::HighAlarm, 0xA1, true, WriteRule::Register, 10, 1000},
        {Parameter::LowAlarm, 0xA2, true, WriteRule::Register, 10, 1000},
        {Parameter::OutputLow, 0xC4, true, WriteRule::Register, 10, 1000},
        {Parameter::OutputHigh, 0xC5, true, WriteRule::Register, 10, 1000},
        {Parameter::HoldMode, 0xC7, false, WriteRule::Byte, 0, 0},
        {Parameter::HighAlarmEnabled, 0xD7, false, WriteRule::Byte, 0, 0},
        {Parameter::LowAlarmEnabled, 0xD6, false, WriteRule::Byte, 0, 0},
        {Parameter::RangeMode, 0xE8, false, WriteRule::Byte, 0, 0},
        {Parameter::Unit, 0xD3, true, WriteRule::Byte, 0, 0},
        {Parameter::Backlight, 0xD4, true, WriteRule::Byte, 0, 0},
        {Parameter::Laser, 0xD5, true, WriteRule::Byte, 0, 0},
        {Parameter::Relay1, 0x8A, true, WriteRule::TwoBytes, 0, 0},
        {Parameter::Relay2, 0x8C, true, WriteRule::TwoBytes, 0, 0},
};

// Temperature registers by read code; their write codes have the top bit set.
constexpr std::pair<uchar, Parameter> TemperatureRegisters[] = {
        {0x21, Parameter::HighAlarm},
        {0x22, Parameter::LowAlarm},
        {0x44, Parameter::OutputLow},
        {0x45, Parameter::OutputHigh},
        {0x4D, Parameter::SuperHoldValue},
};

} // namespace

Instrument::Instrument(QObject *parent)
    : QObject(parent)
    , m_serial(std::make_unique<OptSerial>(SerialFrame::XorFraming))
    , m_tick(new QTimer(this))
    , m_portWatcher(new QFileSystemWatcher(this))
{
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    m_pollThread = std::make_unique<GetTempThread>(
            [this] { return objectTemperatureCode(m_model.load()); },
            [this](uchar code) { emit sig_fastread(code); });

    OptSerial *serial = m_serial.get();
    connect(this, &Instrument::sig_opencom, serial, &OptSerial::OpenCom, Qt::QueuedConnection);
    connect(this, &Instrument::sig_closecom, serial, &OptSerial::CloseCom, Qt::QueuedConnection);
    connect(this,
            &Instrument::sig_sendwrite,
            serial,
            &OptSerial::SendWriteCommand,
            Qt::BlockingQueuedConnection);
    connect(this,
            &Instrument::sig_sendread,
            serial,
            &OptSerial::SendReadCommand,
            Qt::BlockingQueuedConnection);
    connect(this,
            &Instrument::sig_fastread,
            serial,
            &OptSerial::FastRead,
            Qt::BlockingQueuedConnection);
    connect(serial, &OptSerial::DataRecv, this, &Instrument::recvdata);
    connect(serial, &OptSerial::OpenSuccessed, this, &Instrument::onOpened);
    connect(serial, &OptSerial::CloseSuccessed, this, &Instrument::onClosed);
    connect(serial, &OptSerial::errorOccurred, this, &Instrument::handleSerialError);

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
    // The poll thread may be waiting on the serial worker, which therefore goes last.
    m_pollThread->stop();
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
    if (!found && !isOpen())
        setState(ConnectionState::NoInstrument);
    return found;
}

void Instrument::open(const Link &link)
{
    m_link = link;
    m_portEntry = {link.portName};
    for (const SerialPortEntry &entry : listSerialPorts())
        if (entry.name == link.portName)
            m_portEntry = entry;
    openLink();
}

void Instrument::openLink()
{
    m_serial->setProtocolMode(m_link.framing);
    ++m_openRequests;
    emit sig_opencom(m_link.portName, QSerialPort::BaudRate(m_link.baud));
}

void Instrument::close()
{
    // Whatever open is still under way is closed again by the close queued behind it.
    m_ignoreOpensUpTo = m_openRequests;
    ++m_closesPending;
    setState(ConnectionState::Closed);
    emit sig_closecom();
}

bool Instrument::isOpen() const
{
    return m_serial->isPortOpen();
}

void Instrument::startPolling()
{
    if (isOpen() && !m_pollThread->isRunning())
        m_pollThread->start();
}

void Instrument::stopPolling()
{
    m_pollThread->stop();
    if (m_parametersPending) {
        m_parametersPending = false;
        readParameters();
    }
}

bool Instrument::isPolling() const
{
    return m_pollThread->isRunning();
}

void Instrument::setPollInterval(int ms)
{
    m_pollThread->setInterval(ms);
}

int Instrument::pollInterval() const
{
    return m_pollThread->interval();
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
    m_stepsSinceOpen = 0;
    m_parametersPending = false;
    m_errorCount = 0;
    m_stepObject = std::nan("");
    // Nothing read from an earlier instrument is assumed of this one.
    m_values.clear();
    m_alarm.setThresholds({});
    emit alarmThresholdsChanged(alarmThresholds());
    m_features = {};
    m_serialNumber = 0;
    m_relay1 = m_relay2 = 0xFFFF;
    emit sig_sendread(0x17);
    setState(ConnectionState::Connected);
    m_pollThread->start();
    emit opened(m_link);
}

void Instrument::onClosed()
{
    m_pollThread->stop();
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
    const std::optional<SerialPortEntry> port = findReturnedPort(m_portEntry, listSerialPorts());
    if (!port || !serialPortPresent(port->name))
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

void Instrument::guardedWrite(uchar code, const QByteArray &data)
{
    if (m_writeEnableRequired)
        emit sig_sendwrite(0xFD, oneByte(0x01));
    emit sig_sendwrite(code, data);
}

void Instrument::readAll(std::initializer_list<uchar> codes)
{
    for (uchar code : codes)
        emit sig_sendread(code);
}

void Instrument::writeParameter(Parameter parameter, double value)
{
    if (parameter == Parameter::HoldTime) {
        const double mode = Instrument::parameter(Parameter::HoldMode);
        if (mode == 1 || mode == 2)
            guardedWrite(mode == 1 ? 0xC9 : 0xCA, Responses::registerBytes(value, 10, 0));
        return;
    }
    for (const WriteRule &rule : WriteRules) {
        if (rule.parameter != parameter)
            continue;
        QByteArray data;
        switch (rule.encoding) {
        case WriteRule::Byte:
            data = oneByte(int(value));
            break;
        case WriteRule::Register:
            data = Responses::registerBytes(value, rule.factor, rule.offset);
            break;
        case WriteRule::TwoBytes: {
            const auto raw = quint16(value);
            data = QByteArray(1, char(raw >> 8)) + char(raw & 0xFF);
            break;
        }
        }
        // The hold mode decides which hold time a later write goes to.
        if (parameter == Parameter::HoldMode)
            m_values.insert(int(parameter), value);
        if (rule.guarded)
            guardedWrite(rule.code, data);
        else
            emit sig_sendwrite(rule.code, data);
        // The answer to the unit's write does not tell the unit; the read does.
        if (parameter == Parameter::Unit && isOpen())
            emit sig_sendread(0x53);
        return;
    }
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
    emit sig_sendwrite(0x85, data);
}

void Instrument::factoryReset()
{
    if (m_writeEnableRequired)
        emit sig_sendwrite(0xFD, oneByte(0x01));
    emit sig_sendread(0x64);
    readParameters();
}

void Instrument::readParameters()
{
    readAll({0x40, 0x15, 0x16, 0x20, 0x42, 0x46, 0x44, 0x45, 0x12});
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
    if (parameter == Parameter::RangeLow || parameter == Parameter::RangeHigh)
        return true;
    return std::any_of(std::begin(TemperatureRegisters),
                       std::end(TemperatureRegisters),
                       [parameter](const auto &entry) { return entry.second == parameter; });
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
    const int framing = m_serial->protocolMode();
    if (code == 0x02)
        handleAmbientTemperature(data, framing, ok);
    if (!ok) {
        if (code == 0x64)
            emit factoryResetDone(false);
        return;
    }
    m_errorCount = 0;
    const bool xor_ = framing != SerialFrame::CrcFraming;
    const auto temperature = [&] {
        return Responses::temperature(data, framing);
    };
    const auto value16 = [&] {
        return Responses::value16(data, framing);
    };
    // A single byte: the given XOR offset (or the last byte, the checksum's twin, for -1);
    // offset 4 in the CRC framing.
    const auto byteAt = [&](int xorOffset) -> std::optional<uchar> {
        const int offset = !xor_ ? 4 : xorOffset < 0 ? int(data.size()) - 1 : xorOffset;
        if (offset < 0 || data.size() <= offset)
            return std::nullopt;
        return uchar(data.at(offset));
    };
    switch (code) {
    case 0x17:
        handleIdentity(data, framing);
        break;
    case 0x01:
    case 0x08:
        handleObjectTemperature(data, framing);
        break;
    case 0x40:
        handleFeatureMask(data, framing);
        break;
    case 0x12:
        if (const auto number = Responses::serialNumber(data, framing)) {
            m_serialNumber = qint32(*number);
            store(Parameter::SerialNumber, m_serialNumber);
        }
        break;
    case 0x15:
    case 0x16:
        if (const auto value = temperature()) {
            (code == 0x15 ? m_rangeLow : m_rangeHigh) = *value;
            store(code == 0x15 ? Parameter::RangeLow : Parameter::RangeHigh, double(*value));
        }
        break;
    case 0x20:
    case 0xA0:
        if (const auto raw = value16())
            store(Parameter::Emissivity, *raw / 1000.0);
        break;
    case 0x42:
    case 0xC2:
        if (const auto raw = value16())
            store(Parameter::Transmissivity, *raw / 1000.0);
        break;
    case 0x21:
    case 0xA1:
    case 0x22:
    case 0xA2:
    case 0x44:
    case 0xC4:
    case 0x45:
    case 0xC5:
    case 0x4D:
    case 0xCD:
        if (const auto value = temperature())
            for (const auto &[readCode, parameter] : TemperatureRegisters)
                if ((code & 0x7F) == readCode)
                    store(parameter, double(*value));
        break;
    case 0x48:
    case 0xC8:
        if (const auto raw = value16())
            store(Parameter::AverageTime, *raw / 10.0);
        break;
    case 0x49:
    case 0xC9:
    case 0x4A:
    case 0xCA:
        if (const auto raw = value16())
            store(Parameter::HoldTime, *raw / 10.0);
        break;
    case 0x47:
    case 0xC7:
        if (const auto mode = byteAt(0))
            handleHoldMode(*mode);
        break;
    case 0x46:
        if (xor_ && !data.isEmpty())
            store(Parameter::AnalogOutput, uchar(data.at(0)));
        break;
    case 0x53:
        if (const auto unit = byteAt(-1); unit && data.size() > 1)
            handleUnit(*unit);
        break;
    case 0x54:
        if (const auto value = byteAt(-1); value && data.size() > 1 && *value <= 1)
            store(Parameter::Backlight, *value);
        break;
    case 0xD4:
        if (xor_ && !data.isEmpty())
            store(Parameter::Backlight, data.at(0) != 0 ? 1 : 0);
        break;
    case 0x55:
        if (const auto value = byteAt(-1); value && data.size() > 1)
            store(Parameter::Laser, *value == 1 ? 1 : 0);
        break;
    case 0xD5:
        if (xor_ && !data.isEmpty())
            store(Parameter::Laser, data.at(0) != 0 ? 1 : 0);
        break;
    case 0x56:
    case 0xD6:
    case 0x57:
    case 0xD7:
        if (const auto value = byteAt(0); value && (qint8(*value) == 1 || *value == 0))
            store((code & 0x7F) == 0x56 ? Parameter::LowAlarmEnabled : Parameter::HighAlarmEnabled,
                  *value);
        break;
    case 0x68:
    case 0xE8:
        if (const auto value = byteAt(0))
            store(Parameter::RangeMode, *value == 0 ? 0 : 1);
        break;
    case 0x8B:
    case 0x8A:
    case 0x8D:
    case 0x8C:
        if (xor_ && data.size() == 3) {
            const bool first = code == 0x8B || code == 0x8A;
            (first ? m_relay1 : m_relay2) = SerialFrame::be16(data, 0);
            store(first ? Parameter::Relay1 : Parameter::Relay2, first ? m_relay1 : m_relay2);
        }
        break;
    case 0x85: {
        // The CRC framing carries the value where it carries every other one.
        const int offset = xor_ ? 0 : 3;
        if (data.size() >= offset + 2)
            emit modbusSwitched(SerialFrame::be16(data, offset) == 1);
        break;
    }
    case 0x64:
        emit factoryResetDone(!m_writeEnableRequired || (!data.isEmpty() && data.at(0) != 0));
        break;
    default:
        break;
    }
}

void Instrument::handleIdentity(const QByteArray &data, int framing)
{
    const std::optional<Responses::Identity> identity = Responses::identity(data, framing);
    if (!identity)
        return;
    m_writeEnableRequired = identity->writeEnableRequired;
    // The reads hold this thread for a second or so; right after an opening the first poll
    // answers are shown before them.
    if (m_pollThread->isRunning() && m_stepsSinceOpen == 0)
        m_parametersPending = true;
    else
        readParameters();
    m_model.store(identity->model);
    emit identityRead(identity->model, identity->writeEnableRequired);
}

void Instrument::handleObjectTemperature(const QByteArray &data, int framing)
{
    const std::optional<float> reading = Responses::objectTemperature(data, framing);
    if (!reading)
        return;
    m_lastResponseTime = nowMs();
    const float celsius = *reading;
    // The range filter works in Celsius; the reading goes out in the instrument's unit.
    if (celsius > m_rangeHigh || celsius < m_rangeLow)
        return;
    const double value = TemperatureUnit::fromCelsius(celsius, m_unit);
    setAlarmState(m_alarm.update(celsius));
    m_latest.object = value;
    m_latest.unit = m_unit;
    m_latest.msecsSinceEpoch = m_lastResponseTime;
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
    ++m_stepsSinceOpen;
    emit readings(step);
    if (m_parametersPending) {
        m_parametersPending = false;
        readParameters();
    }
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
    if (mode > 3)
        return;
    store(Parameter::HoldMode, mode);
    if (mode == 1)
        emit sig_sendread(0x49);
    else if (mode == 2)
        emit sig_sendread(0x4A);
}

void Instrument::handleSerialError(QSerialPort::SerialPortError error)
{
    // Failed transactions are only counted: a recording goes on with gaps until valid answers
    // return, and a vanished device is told apart by the serial worker.
    if (error == QSerialPort::UnknownError || error == QSerialPort::TimeoutError)
        ++m_errorCount;
}
