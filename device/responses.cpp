#include "responses.h"

#include "serialframe.h"

#include <cmath>

namespace Responses {

std::optional<quint16> value16(const QByteArray &data, int framing)
{
    if (framing == SerialFrame::CrcFraming) {
        if (data.size() < 5)
            return std::nullopt;
        return SerialFrame::be16(data, 3);
    }
    if (data.size() != 3)
        return std::nullopt;
    return SerialFrame::be16(data, 0);
}

std::optional<float> objectTemperature(const QByteArray &data, int framing)
{
    if (framing != SerialFrame::CrcFraming && data == QByteArray(3, '\0'))
        return std::nullopt;
    return temperature(data, framing);
}

std::optional<float> temperature(const QByteArray &data, int framing)
{
    const std::optional<quint16> raw = value16(data, framing);
    if (!raw)
        return std::nullopt;
    return temperatureFromRaw(*raw);
}

std::optional<Identity> identity(const QByteArray &data, int framing)
{
    if (framing == SerialFrame::CrcFraming) {
        if (data.size() < 5)
            return std::nullopt;
        return Identity{SerialFrame::be16(data, 3), true};
    }
    if (data.size() == 3)
        return Identity{SerialFrame::be16(data, 0), true};
    if (data.size() == 2)
        return Identity{quint8(data.at(0)), false};
    return std::nullopt;
}

std::optional<quint32> serialNumber(const QByteArray &data, int framing)
{
    quint32 number = 0;
    if (framing == SerialFrame::CrcFraming) {
        if (data.size() < 7)
            return std::nullopt;
        for (int i = 3; i <= 6; ++i)
            number = (number << 8) | quint8(data.at(i));
        return number;
    }
    if (data.size() < 2)
        return std::nullopt;
    for (int i = 0; i < data.size() - 1; ++i)
        number = (number << 8) | quint8(data.at(i));
    return number;
}

uchar objectTemperatureCode(quint16 model)
{
    return (model == 0x0601 || model == 0x0602) ? 0x08 : 0x01;
}

QByteArray registerBytes(double value, double factor, double offset)
{
    const double scaled = std::trunc(value * factor + offset);
    // Wrap like the instrument's 16-bit register; values outside long long's range cannot come
    // from the panel's bounded spin boxes.
    const auto raw = quint16(static_cast<long long>(scaled) & 0xFFFF);
    QByteArray bytes(2, '\0');
    bytes[0] = char(raw >> 8);
    bytes[1] = char(raw & 0xFF);
    return bytes;
}

} // namespace Responses
