#pragma once

#include <QByteArray>
#include <QtGlobal>

// Frame building and checking for the instrument's two framings. Plain functions, no I/O.
namespace SerialFrame {

// Framing numbers as the serial object and the dispatcher use them.
enum Framing { XorFraming = 0, CrcFraming = 1 };

// CRC-16/MODBUS: init 0xFFFF, reflected polynomial 0xA001, no final XOR.
quint16 crc16(const char *data, qsizetype length);
inline quint16 crc16(const QByteArray &bytes)
{
    return crc16(bytes.constData(), bytes.size());
}

quint8 xorOf(const char *data, qsizetype length);

// [code] + data + XOR of all preceding bytes.
QByteArray xorRequest(uchar code, const QByteArray &data = {});

// At least two bytes and the last one is the XOR of all before it.
bool isValidXorAnswer(const QByteArray &answer);

// Appends the CRC of everything so far, low byte first.
QByteArray withCrc(QByteArray frame);

// 00 code 00 00 00 00 CRC(lo, hi)
QByteArray crcReadRequest(uchar code);

// 00 code data[index&0xFF] data[index>>8] {D0 for one byte | D0 D1 for two} CRC(lo, hi).
// Data of another length leaves out offsets 4 and 5.
QByteArray crcWriteRequest(uchar code, const QByteArray &data, ushort index = 0);

// At least minimumLength bytes and the last two are the CRC of the rest, low byte first.
bool isValidCrcAnswer(const QByteArray &answer, int minimumLength = 6);

// Big-endian unsigned 16-bit value at offset; the caller checks the length.
inline quint16 be16(const QByteArray &bytes, int offset)
{
    return quint16((uchar(bytes.at(offset)) << 8) | uchar(bytes.at(offset + 1)));
}

// The four kinds of transaction and when each one stops collecting an answer.
enum class Transaction { Poll, XorParameter, Wake, Crc };

struct TransactionLimits
{
    int receivePassMs; // one wait for input
    int giveUpAfterMs; // no valid answer once strictly more than this has passed
};

TransactionLimits limitsFor(Transaction kind, uchar code);

// Whether the bytes collected so far end the transaction as a valid answer.
bool isCompleteAnswer(Transaction kind, uchar code, const QByteArray &buffer);

// No answer of the instrument is longer than nine bytes; anything far beyond that is line
// noise, and collecting stops there instead of growing without bound.
constexpr int MaxAnswerBytes = 256;

} // namespace SerialFrame
