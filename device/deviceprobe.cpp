#include "deviceprobe.h"

#include "serialframe.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>

namespace {

// Collects input until `complete` accepts it or more than limitMs have passed.
bool listen(QSerialPort &port,
            int passMs,
            int limitMs,
            const std::function<bool(const QByteArray &)> &complete)
{
    QByteArray buffer;
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    for (;;) {
        if (port.bytesAvailable() == 0)
            port.waitForReadyRead(passMs);
        buffer += port.read(SerialFrame::MaxAnswerBytes);
        if (complete(buffer))
            return true;
        if (sinceRequest.elapsed() > limitMs || buffer.size() > SerialFrame::MaxAnswerBytes)
            return false;
    }
}

void writeAll(QSerialPort &port, const QByteArray &bytes, int waitMs)
{
    port.write(bytes);
    port.waitForBytesWritten(waitMs);
    port.flush();
}

} // namespace

std::optional<int> probeFraming(const QString &portName, qint32 baud)
{
    QSerialPort port;
    port.setPortName(portName);
    if (!port.open(QIODevice::ReadWrite))
        return std::nullopt;
    port.setBaudRate(baud, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setFlowControl(QSerialPort::NoFlowControl);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);

    writeAll(port, QByteArray(6, '\0'), 50);
    QThread::msleep(100);
    port.clear(QSerialPort::Input);

    writeAll(port, SerialFrame::xorRequest(0x01), 30);
    if (listen(port, 100, 100, SerialFrame::isValidXorAnswer))
        return SerialFrame::XorFraming;

    // Whatever the XOR request stirred up is not the CRC answer.
    port.clear(QSerialPort::Input);
    writeAll(port, SerialFrame::crcReadRequest(0x01), 10);
    const auto crcAnswer = [](const QByteArray &bytes) {
        return SerialFrame::isValidCrcAnswer(bytes, 3);
    };
    if (listen(port, 500, 500, crcAnswer))
        return SerialFrame::CrcFraming;
    return std::nullopt;
}

bool isDebugAdapter(const SerialPortEntry &port)
{
    return port.description.contains(QLatin1String("MSP"))
           || port.description.contains(QLatin1String("FET430"));
}

std::optional<FoundDevice> findDevice(const QList<SerialPortEntry> &ports,
                                      const std::function<bool(const QString &, qint32)> &probe)
{
    for (const SerialPortEntry &port : ports) {
        if (isDebugAdapter(port))
            continue;
        for (qint32 baud : ProbeRates)
            if (probe(port.name, baud))
                return FoundDevice{port.name, baud};
    }
    return std::nullopt;
}
