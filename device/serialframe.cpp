#include "serialframe.h"

namespace SerialFrame {

quint16 crc16(const char *data, qsizetype length)
{
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < length; ++i) {
        crc ^= uchar(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

quint8 xorOf(const char *data, qsizetype length)
{
    quint8 sum = 0;
    for (qsizetype i = 0; i < length; ++i)
        sum ^= quint8(data[i]);
    return sum;
}

QByteArray xorRequest(uchar code, const QByteArray &data)
{
    QByteArray frame;
    frame.reserve(data.size() + 2);
    frame.append(char(code));
    frame.append(data);
    frame.append(char(xorOf(frame.constData(), frame.size())));
    return frame;
}

bool isValidXorAnswer(const QByteArray &answer)
{
    if (answer.size() < 2)
        return false;
    return quint8(answer.back()) == xorOf(answer.constData(), answer.size() - 1);
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

QByteArray crcReadRequest(uchar code)
{
    QByteArray frame(6, '\0');
    frame[1] = char(code);
    return withCrc(frame);
}

QByteArray crcWriteRequest(uchar code, const QByteArray &data, ushort index)
{
    QByteArray frame(1, '\0');
    frame.append(char(code));
    // Every caller passes index 0, so both bytes repeat the first data byte; the instrument
    // ignores them, but the layout is what it expects on the wire.
    const auto at = [&data](int i) {
        return i < data.size() ? data.at(i) : '\0';
    };
    frame.append(at(index & 0xFF));
    frame.append(at(index >> 8));
    if (data.size() == 1) {
        frame.append('\0');
        frame.append(data.at(0));
    } else if (data.size() == 2) {
        frame.append(data);
    }
    return withCrc(frame);
}

bool isValidCrcAnswer(const QByteArray &answer, int minimumLength)
{
    if (answer.size() < qMax(minimumLength, 3))
        return false;
    const qsizetype body = answer.size() - 2;
    const quint16 sent = quint16(uchar(answer.at(body)) | (uchar(answer.at(body + 1)) << 8));
    return crc16(answer.constData(), body) == sent;
}

TransactionLimits limitsFor(Transaction kind, uchar code)
{
    switch (kind) {
    case Transaction::Poll:
        return {100, 300};
    case Transaction::XorParameter:
        return {code == 0x64 ? 800 : 100, 100};
    case Transaction::Wake:
        // Its answer is never used and the instrument takes the zero bytes as filler: a long
        // wait would only hold back the first poll after every opening.
        return {100, 100};
    case Transaction::Crc:
        break;
    }
    return {500, 500};
}

bool isCompleteAnswer(Transaction kind, uchar code, const QByteArray &buffer)
{
    switch (kind) {
    case Transaction::Poll:
    case Transaction::Wake:
        return isValidXorAnswer(buffer);
    case Transaction::XorParameter:
        // Feature mask and serial number carry four data bytes; a shorter prefix may pass
        // the checksum by chance.
        if ((code == 0x40 || code == 0x12) && buffer.size() != 5)
            return false;
        return isValidXorAnswer(buffer);
    case Transaction::Crc:
        break;
    }
    return isValidCrcAnswer(buffer, 6);
}

} // namespace SerialFrame
