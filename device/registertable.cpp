#include "registertable.h"

#include "responses.h"
#include "serialframe.h"

namespace RegisterTable {

namespace {

using P = Instrument::Parameter;
using D = Decoder;
using V = Values;
using E = Encoding;

// Numbers: read and written as one 16-bit value; every write is guarded.
constexpr Register
number(P parameter, const char *name, uchar readCode, uchar writeCode, double factor, double offset)
{
    const bool written = writeCode != 0;
    return {parameter,
            name,
            readCode,
            writeCode,
            written,
            written ? E::Number : E::None,
            factor,
            offset,
            D::Number,
            V::Any,
            written ? D::Number : D::None,
            V::Any};
}

// Switches, choices and words: found in the answers as each decoder says.
struct Found
{
    Decoder decoder;
    Values values;
};
constexpr Found Nothing{D::None, V::Any};

constexpr Register other(P parameter,
                         const char *name,
                         uchar readCode,
                         uchar writeCode,
                         bool guarded,
                         Found read,
                         Found writeAnswer)
{
    const Encoding encoding = writeCode == 0               ? E::None
                              : read.decoder == D::XorWord ? E::Word
                                                           : E::Byte;
    return {parameter,
            name,
            readCode,
            writeCode,
            guarded,
            encoding,
            0,
            0,
            read.decoder,
            read.values,
            writeAnswer.decoder,
            writeAnswer.values};
}

constexpr Found Switch{D::FirstByte, V::ZeroOrOne};
constexpr Found Mode{D::FirstByte, V::UpTo3};
constexpr Found FirstFlag{D::FirstByte, V::Flag};
constexpr Found XorFlag{D::XorFirstByte, V::Flag};
constexpr Found Word{D::XorWord, V::Any};

const Register Registers[] = {
        number(P::Emissivity, "emissivity", 0x20, 0xA0, 1000, 0),
        number(P::Transmissivity, "transmissivity", 0x42, 0xC2, 1000, 0),
        number(P::RangeLow, "range low", 0x15, 0, 10, 1000),
        number(P::RangeHigh, "range high", 0x16, 0, 10, 1000),
        number(P::HighAlarm, "high alarm", 0x21, 0xA1, 10, 1000),
        number(P::LowAlarm, "low alarm", 0x22, 0xA2, 10, 1000),
        number(P::OutputLow, "output low", 0x44, 0xC4, 10, 1000),
        number(P::OutputHigh, "output high", 0x45, 0xC5, 10, 1000),
        number(P::SuperHoldValue, "super hold value", 0x4D, 0xCD, 10, 1000),
        number(P::AverageTime, "average time", 0x48, 0xC8, 10, 0),
        number(P::HoldTime, "peak hold time", 0x49, 0xC9, 10, 0),
        number(P::HoldTime, "valley hold time", 0x4A, 0xCA, 10, 0),
        other(P::HoldMode, "hold mode", 0x47, 0xC7, false, Mode, Mode),
        other(P::AnalogOutput, "analog output", 0x46, 0, false, {D::XorFirstByte, V::Any}, Nothing),
        // The answer to the unit's write does not tell the unit; the read does.
        other(P::Unit, "unit", 0x53, 0xD3, true, {D::LastByte, V::Any}, Nothing),
        other(P::Backlight, "backlight", 0x54, 0xD4, true, {D::LastByte, V::ZeroOrOne}, XorFlag),
        other(P::Laser, "laser", 0x55, 0xD5, true, {D::LastByte, V::IsOne}, XorFlag),
        other(P::LowAlarmEnabled, "low alarm switch", 0x56, 0xD6, false, Switch, Switch),
        other(P::HighAlarmEnabled, "high alarm switch", 0x57, 0xD7, false, Switch, Switch),
        other(P::RangeMode, "range mode", 0x68, 0xE8, false, FirstFlag, FirstFlag),
        other(P::SerialNumber, "serial number", 0x12, 0, false, {D::SerialNumber, V::Any}, Nothing),
        other(P::Relay1, "relay 1", 0x8B, 0x8A, true, Word, Word),
        other(P::Relay2, "relay 2", 0x8D, 0x8C, true, Word, Word),
};

std::optional<double>
rawValue(const Register &reg, Decoder decoder, const QByteArray &data, int framing)
{
    const bool xor_ = framing != SerialFrame::CrcFraming;
    const auto byteAt = [&](int offset) -> std::optional<double> {
        if (data.size() <= offset)
            return std::nullopt;
        return uchar(data.at(offset));
    };
    switch (decoder) {
    case Decoder::None:
        break;
    case Decoder::Number:
        if (const std::optional<quint16> raw = Responses::value16(data, framing))
            return (*raw - reg.offset) / reg.factor;
        break;
    case Decoder::FirstByte:
        return byteAt(xor_ ? 0 : 4);
    case Decoder::LastByte:
        if (!xor_)
            return byteAt(4);
        if (data.size() > 1)
            return byteAt(int(data.size()) - 1);
        break;
    case Decoder::XorFirstByte:
        if (xor_)
            return byteAt(0);
        break;
    case Decoder::XorWord:
        if (xor_ && data.size() == 3)
            return SerialFrame::be16(data, 0);
        break;
    case Decoder::SerialNumber:
        if (const std::optional<quint32> number = Responses::serialNumber(data, framing))
            return double(qint32(*number));
        break;
    }
    return std::nullopt;
}

} // namespace

const Register *byCode(uchar code)
{
    for (const Register &reg : Registers)
        if (reg.readCode == code || (reg.writeCode != 0 && reg.writeCode == code))
            return &reg;
    return nullptr;
}

const Register *forWrite(Instrument::Parameter parameter, int holdMode)
{
    if (parameter == P::HoldTime) {
        if (holdMode != 1 && holdMode != 2)
            return nullptr;
        return byCode(holdMode == 1 ? 0x49 : 0x4A);
    }
    for (const Register &reg : Registers)
        if (reg.parameter == parameter && reg.writeCode != 0)
            return &reg;
    return nullptr;
}

QList<const Register *> readable()
{
    QList<const Register *> registers;
    for (const Register &reg : Registers)
        if (reg.readCode != 0)
            registers.append(&reg);
    return registers;
}

bool isTemperature(const Register &reg)
{
    return reg.readDecoder == Decoder::Number && reg.offset == 1000;
}

std::optional<double> decode(const Register &reg, uchar code, const QByteArray &data, int framing)
{
    const bool write = code != reg.readCode;
    const std::optional<double> value
            = rawValue(reg, write ? reg.writeDecoder : reg.readDecoder, data, framing);
    if (!value)
        return std::nullopt;
    switch (write ? reg.writeValues : reg.readValues) {
    case Values::Any:
        break;
    case Values::ZeroOrOne:
        // A signed byte: 0xFF is not 1.
        if (*value != 0 && *value != 1)
            return std::nullopt;
        break;
    case Values::UpTo3:
        if (*value > 3)
            return std::nullopt;
        break;
    case Values::Flag:
        return *value != 0 ? 1 : 0;
    case Values::IsOne:
        return *value == 1 ? 1 : 0;
    }
    return value;
}

QByteArray encode(const Register &reg, double value)
{
    switch (reg.encoding) {
    case Encoding::None:
        break;
    case Encoding::Byte:
        return QByteArray(1, char(int(value)));
    case Encoding::Number:
        return Responses::registerBytes(value, reg.factor, reg.offset);
    case Encoding::Word: {
        const auto raw = quint16(value);
        return QByteArray(1, char(raw >> 8)) + char(raw & 0xFF);
    }
    }
    return {};
}

} // namespace RegisterTable
