#include "instrumentstate.h"

#include "registers.h"

#include <cmath>

using namespace SimRegisters;

namespace {

QByteArray bigEndian(quint32 value, int width)
{
    QByteArray bytes;
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes.append(char((value >> shift) & 0xFF));
    return bytes;
}

quint32 fromBigEndian(const QByteArray &bytes)
{
    quint32 value = 0;
    for (char c : bytes)
        value = (value << 8) | quint8(c);
    return value;
}

} // namespace

InstrumentState::InstrumentState()
{
    for (const Register *r = SimRegisters::begin(); r != SimRegisters::end(); ++r)
        m_values[r->readCode] = r->factoryValue;
}

void InstrumentState::factoryReset()
{
    // Only settings go back; identity data (mask, serial number, range) stays.
    for (const Register *r = SimRegisters::begin(); r != SimRegisters::end(); ++r)
        if (r->writeCode)
            m_values[r->readCode] = r->factoryValue;
    m_modbus = false;
}

quint16 InstrumentState::encodeTemperature(double celsius)
{
    const double raw = std::round(celsius * 10.0 + 1000.0);
    return quint16(qBound(0.0, raw, 65535.0));
}

double InstrumentState::objectTemperature(double secondsSinceStart)
{
    if (m_profile)
        return m_profile->at(secondsSinceStart - m_profileStart, m_noise);
    if (m_fixedObject)
        return *m_fixedObject;
    std::uniform_real_distribution<double> noise(-0.3, 0.3);
    constexpr double Pi = 3.14159265358979323846;
    return 36.0 + 8.0 * std::sin(2.0 * Pi * secondsSinceStart / 60.0) + noise(m_noise);
}

std::optional<QByteArray> InstrumentState::answer(const SimProtocol::Request &request,
                                                  double secondsSinceStart)
{
    const uchar code = request.code;
    switch (code) {
    case ObjectTemperature:
    case ObjectTemperatureAlt:
        return bigEndian(encodeTemperature(objectTemperature(secondsSinceStart)), 2);
    case AmbientTemperature:
        return bigEndian(encodeTemperature(m_ambient), 2);
    case DeviceIdentity:
        return m_identity.oneByte ? bigEndian(m_identity.model & 0xFF, 1)
                                  : bigEndian(m_identity.model, 2);
    case WriteEnable:
        m_writeEnabled = request.data == QByteArray(1, '\x01');
        return bigEndian(m_writeEnabled ? 1 : 0, 1);
    case FactoryReset: {
        const bool allowed = !m_requireWriteEnable || m_writeEnabled;
        m_writeEnabled = false;
        if (allowed)
            factoryReset();
        return bigEndian(allowed ? 1 : 0, 1);
    }
    case ModbusSwitch:
        if (request.data.size() != 2)
            return std::nullopt;
        m_modbus = request.data.at(1) != 0;
        return bigEndian(m_modbus ? 1 : 0, 2);
    default:
        break;
    }
    if (const Register *r = findByRead(code))
        return bigEndian(m_values.value(code), r->width);
    return write(code, request.data);
}

std::optional<QByteArray> InstrumentState::write(uchar code, const QByteArray &data)
{
    const Register *r = findByWrite(code);
    if (!r || data.size() != r->width)
        return std::nullopt;
    if (r->protectedWrite && m_requireWriteEnable) {
        const bool enabled = m_writeEnabled;
        m_writeEnabled = false;
        if (!enabled)
            return std::nullopt;
    }
    m_values[r->readCode] = fromBigEndian(data);
    return bigEndian(m_values.value(r->readCode), r->width);
}
