#ifndef TEVRANO_TEST_ANSWERS_H
#define TEVRANO_TEST_ANSWERS_H

// Answers of the instrument as the serial worker hands them to Instrument::recvdata.

#include <QByteArray>

#include <cmath>

// An XOR-framed answer carrying a 16-bit value.
inline QByteArray answer16(quint16 value)
{
    const char high = char(value >> 8), low = char(value & 0xFF);
    return QByteArray() + high + low + char(high ^ low);
}

inline QByteArray temperatureAnswer(double celsius)
{
    return answer16(quint16(std::lround(celsius * 10 + 1000)));
}

#endif // TEVRANO_TEST_ANSWERS_H
