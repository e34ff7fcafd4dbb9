#pragma once

#include <QByteArray>

#include <optional>

// Decoding of the instrument's answers and encoding of written values. Plain functions: every
// one checks the length it needs, so any bytes at all can be passed.
namespace Responses {

// (raw - 1000) / 10 degrees Celsius.
inline float temperatureFromRaw(quint16 raw)
{
    return (float(raw) - 1000.0f) / 10.0f;
}

// A 16-bit value: bytes 0 and 1 of a three-byte XOR answer, bytes 3 and 4 of a CRC answer.
std::optional<quint16> value16(const QByteArray &data, int framing);

// Object temperature in degrees Celsius. An all-zero XOR answer passes its checksum but is
// what line noise looks like, and is not taken as a reading.
std::optional<float> objectTemperature(const QByteArray &data, int framing);

// Any temperature register (ambient, range ends, alarms, output bounds) in degrees Celsius.
std::optional<float> temperature(const QByteArray &data, int framing);

struct Identity
{
    quint16 model = 0;
    bool writeEnableRequired = true;
};
// Three-byte XOR answer: 16-bit model, writes need enabling. Two-byte XOR answer: 8-bit model of
// the older kind, writes need no enabling. CRC answer: 16-bit model from offsets 3 and 4.
std::optional<Identity> identity(const QByteArray &data, int framing);

// XOR: all bytes before the checksum as one big-endian number (low 32 bits); CRC: bytes 3..6.
std::optional<quint32> serialNumber(const QByteArray &data, int framing);

// Object-temperature poll code for a model: two models keep it under 0x08.
uchar objectTemperatureCode(quint16 model);

// The two data bytes of a written number: value * factor + offset, truncated toward zero,
// modulo 65536, high byte first.
QByteArray registerBytes(double value, double factor, double offset);

} // namespace Responses
