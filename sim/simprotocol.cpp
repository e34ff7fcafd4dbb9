#include "simprotocol.h"

#include "registers.h"

#include <array>

namespace SimProtocol {
namespace {

constexpr int CrcRequestLength = 8;

std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 value = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? quint16((value >> 1) ^ 0xA001) : quint16(value >> 1);
        table[size_t(i)] = value;
    }
    return table;
}

quint8 xorSum(const char *data, int length)
{
    quint8 sum = 0;
    for (int i = 0; i < length; ++i)
        sum ^= quint8(data[i]);
    return sum;
}

} // namespace

quint16 modbusCrc(const QByteArray &bytes)
{
    static const std::array<quint16, 256> table = makeCrcTable();
    quint16 crc = 0xFFFF;
    for (char c : bytes)
        crc = quint16((crc >> 8) ^ table[(crc ^ quint8(c)) & 0xFF]);
    return crc;
}

QList<Request> RequestParser::feed(const QByteArray &bytes, QByteArray *discarded)
{
    m_buffer += bytes;
    QList<Request> requests;
    for (;;) {
        const bool progressed = m_framing == Framing::Xor ? takeXorRequest(&requests, discarded)
                                                          : takeCrcRequest(&requests, discarded);
        if (!progressed)
            return requests;
    }
}

void RequestParser::dropPartial(QByteArray *discarded)
{
    discarded->append(m_buffer);
    m_buffer.clear();
}

bool RequestParser::takeXorRequest(QList<Request> *out, QByteArray *discarded)
{
    if (m_buffer.isEmpty())
        return false;
    const uchar code = uchar(m_buffer.at(0));
    // Zero bytes are the program's wake-up and resynchronisation filler.
    const int dataLength = code == 0 ? -1 : SimRegisters::requestDataLength(code);
    if (dataLength < 0) {
        discarded->append(m_buffer.at(0));
        m_buffer.remove(0, 1);
        return true;
    }
    const int frameLength = dataLength + 2;
    if (m_buffer.size() < frameLength)
        return false;
    const QByteArray frame = m_buffer.left(frameLength);
    if (xorSum(frame.constData(), frameLength - 1) != quint8(frame.back())) {
        discarded->append(m_buffer.at(0));
        m_buffer.remove(0, 1);
        return true;
    }
    m_buffer.remove(0, frameLength);
    out->append({code, frame.mid(1, dataLength), frame});
    return true;
}

bool RequestParser::takeCrcRequest(QList<Request> *out, QByteArray *discarded)
{
    if (m_buffer.size() < CrcRequestLength)
        return false;
    const QByteArray frame = m_buffer.left(CrcRequestLength);
    const quint16 sent = quint16(quint8(frame.at(6)) | (quint8(frame.at(7)) << 8));
    if (frame.at(0) != 0 || modbusCrc(frame.left(6)) != sent) {
        discarded->append(m_buffer.at(0));
        m_buffer.remove(0, 1);
        return true;
    }
    m_buffer.remove(0, CrcRequestLength);
    const uchar code = uchar(frame.at(1));
    // Write data sits at offsets 4 and 5; a one-byte value at offset 5.
    const int dataLength = SimRegisters::requestDataLength(code);
    QByteArray data;
    if (dataLength == 1)
        data = frame.mid(5, 1);
    else if (dataLength == 2)
        data = frame.mid(4, 2);
    out->append({code, data, frame});
    return true;
}

QByteArray frameAnswer(Framing framing, uchar code, const QByteArray &data)
{
    if (framing == Framing::Xor)
        return data + char(xorSum(data.constData(), data.size()));
    const QByteArray value = data.size() == 1 ? QByteArray(1, '\0') + data : data;
    QByteArray frame;
    frame.append('\0');
    frame.append(char(code));
    frame.append(char(value.size()));
    frame.append(value);
    const quint16 crc = modbusCrc(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

} // namespace SimProtocol
