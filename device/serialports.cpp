#include "serialports.h"

#include <QMutex>
#include <QSerialPortInfo>

namespace {
QMutex preferredMutex;
QList<SerialPortEntry> preferredPorts;
} // namespace

QList<SerialPortEntry> listSerialPorts()
{
    QList<SerialPortEntry> ports;
    {
        QMutexLocker lock(&preferredMutex);
        ports = preferredPorts;
    }
    const QByteArray override = qgetenv("TEVRANO_SERIAL_PORTS");
    if (!override.isNull()) {
        const QStringList names = QString::fromLocal8Bit(override).split(':', Qt::SkipEmptyParts);
        for (const QString &name : names)
            ports.append({name, {}});
        return ports;
    }
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system)
        ports.append({info.portName(), info.description()});
    return ports;
}

void prependSerialPort(const QString &name, const QString &description)
{
    QMutexLocker lock(&preferredMutex);
    preferredPorts.prepend({name, description});
}
