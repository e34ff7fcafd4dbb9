#pragma once

#include "instrument.h"

#include <QByteArray>

#include <optional>

// The instrument's parameter registers: how each is read, written and decoded. The read code of
// a register is its write code without the top bit, but for the relays; an answer to either
// code carries the register's value.
namespace RegisterTable {

// Where the value sits in an answer.
enum class Decoder {
    None,         // the answer tells nothing
    Number,       // 16-bit value: (raw - offset) / factor
    FirstByte,    // data byte 0 (XOR), byte 4 (CRC)
    LastByte,     // the checksum's twin (XOR, at least two bytes), byte 4 (CRC)
    XorFirstByte, // data byte 0 of an XOR answer; nothing in the CRC framing
    XorWord,      // bytes 0 and 1 of a three-byte XOR answer; nothing in the CRC framing
    SerialNumber, // Responses::serialNumber
};

// Which decoded values are taken, and as what.
enum class Values {
    Any,
    ZeroOrOne, // others are dropped
    UpTo3,     // others are dropped
    Flag,      // anything but 0 is 1
    IsOne,     // 1 is 1, anything else 0
};

// How a written value goes on the wire.
enum class Encoding { None, Byte, Number, Word };

struct Register
{
    Instrument::Parameter parameter;
    const char *name;
    uchar readCode;  // 0: not read
    uchar writeCode; // 0: not written
    bool guarded;    // the write needs the write-enable command first
    Encoding encoding;
    double factor; // Number: value * factor + offset on the wire
    double offset;
    Decoder readDecoder;
    Values readValues;
    Decoder writeDecoder; // of the write's answer
    Values writeValues;
};

// The register read or written with `code`; none for other codes.
const Register *byCode(uchar code);
// The register a parameter is written to; for the hold time, that of `holdMode` (1 peak,
// 2 valley), none in other modes.
const Register *forWrite(Instrument::Parameter parameter, int holdMode = 0);
// Every register that can be read, in table order.
QList<const Register *> readable();

// Whether the register holds a temperature, kept in Celsius like the wire's.
bool isTemperature(const Register &reg);

// The value an answer to `code` carries; none when the answer does not fit.
std::optional<double> decode(const Register &reg, uchar code, const QByteArray &data, int framing);
// The data bytes of a write; empty where the register is not written.
QByteArray encode(const Register &reg, double value);

} // namespace RegisterTable
