#pragma once

#include <QByteArray>
#include <QList>

// The instrument's side of the two framings: cutting requests out of the byte stream and
// framing answers. Written apart from the program's own frame code on purpose, so that the
// tests compare two independent implementations.
namespace SimProtocol {

enum class Framing { Xor, Crc };

struct Request
{
    uchar code = 0;
    QByteArray data; // data bytes, without code and checksum
    QByteArray raw;  // the whole frame as received
};

quint16 modbusCrc(const QByteArray &bytes);

class RequestParser
{
public:
    explicit RequestParser(Framing framing)
        : m_framing(framing)
    {}

    // Appends bytes and returns the requests completed by them. Bytes that cannot begin a
    // request are moved to *discarded.
    QList<Request> feed(const QByteArray &bytes, QByteArray *discarded);

    // A request left half-sent is given up (the sender went quiet).
    void dropPartial(QByteArray *discarded);
    bool hasPartial() const { return !m_buffer.isEmpty(); }

private:
    bool takeXorRequest(QList<Request> *out, QByteArray *discarded);
    bool takeCrcRequest(QList<Request> *out, QByteArray *discarded);

    Framing m_framing;
    QByteArray m_buffer;
};

// XOR framing: data + XOR of the data. CRC framing: 00 code n data CRC(lo, hi), where a
// single byte is sent as two (00 byte) so it lands at offset 4.
QByteArray frameAnswer(Framing framing, uchar code, const QByteArray &data);

} // namespace SimProtocol
