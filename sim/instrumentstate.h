#pragma once

#include "simprotocol.h"
#include "temperatureprofile.h"

#include <QByteArray>
#include <QHash>

#include <optional>
#include <random>

// What the instrument knows and how it answers one request. No I/O, no clock of its own:
// the caller passes the time, so the same inputs always give the same answers.
class InstrumentState
{
public:
    struct Identity
    {
        quint16 model = 0x0101;
        bool oneByte = false; // older models answer the identity with a single byte
    };

    InstrumentState();

    void setIdentity(Identity identity) { m_identity = identity; }
    void setFeatureMask(quint32 mask) { setRegister(0x40, mask); }
    void setRequireWriteEnable(bool required) { m_requireWriteEnable = required; }

    // A fixed object temperature in degrees Celsius, or none for the moving signal.
    void setObjectTemperature(std::optional<double> celsius) { m_fixedObject = celsius; }
    // Follows `profile` from `startSeconds` on (instead of a fixed temperature); none stops it.
    void setProfile(std::optional<TemperatureProfile> profile, double startSeconds)
    {
        m_profile = profile;
        m_profileStart = startSeconds;
    }
    void setAmbientTemperature(double celsius) { m_ambient = celsius; }

    void setRegister(uchar readCode, quint32 value) { m_values[readCode] = value; }
    quint32 registerValue(uchar readCode) const { return m_values.value(readCode); }
    bool modbusEnabled() const { return m_modbus; }

    // The answer's data bytes (unframed), or none when the instrument stays silent.
    std::optional<QByteArray> answer(const SimProtocol::Request &request, double secondsSinceStart);

    // Object temperature in degrees Celsius at a moment: the profile's, the fixed one, or a slow
    // wave with a little noise.
    double objectTemperature(double secondsSinceStart);

    static quint16 encodeTemperature(double celsius);

private:
    std::optional<QByteArray> write(uchar code, const QByteArray &data);
    void factoryReset();

    QHash<uchar, quint32> m_values;
    Identity m_identity;
    bool m_requireWriteEnable = false;
    bool m_writeEnabled = false;
    bool m_modbus = false;
    std::optional<double> m_fixedObject;
    std::optional<TemperatureProfile> m_profile;
    double m_profileStart = 0;
    double m_ambient = 23.5;
    std::mt19937 m_noise{20261207};
};
