#include "serialports.h"

#include <QFileInfo>
#include <QMutex>
#include <QSerialPortInfo>

namespace {
QMutex preferredMutex;
QList<SerialPortEntry> preferredPorts;

SerialPortEntry entryFromText(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    return {fields.value(0),
            fields.value(1),
            fields.value(2),
            quint16(fields.value(3).toUInt(nullptr, 16)),
            quint16(fields.value(4).toUInt(nullptr, 16))};
}

bool hasAdapterIdentity(const SerialPortEntry &port)
{
    return !port.serialNumber.isEmpty() || port.vendorId != 0 || port.productId != 0;
}

bool sameAdapter(const SerialPortEntry &a, const SerialPortEntry &b)
{
    if (!a.serialNumber.isEmpty())
        return a.serialNumber == b.serialNumber;
    return (a.vendorId != 0 || a.productId != 0) && a.vendorId == b.vendorId
           && a.productId == b.productId && a.description == b.description;
}
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
        const QStringList entries = QString::fromLocal8Bit(override).split(':', Qt::SkipEmptyParts);
        for (const QString &entry : entries)
            ports.append(entryFromText(entry));
        return ports;
    }
    const QList<QSerialPortInfo> system = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : system)
        ports.append({info.portName(),
                      info.description(),
                      info.serialNumber(),
                      info.vendorIdentifier(),
                      info.productIdentifier()});
    return ports;
}

void prependSerialPort(const QString &name, const QString &description)
{
    QMutexLocker lock(&preferredMutex);
    preferredPorts.prepend({name, description});
}

std::optional<SerialPortEntry> findReturnedPort(const SerialPortEntry &lost,
                                                const QList<SerialPortEntry> &ports,
                                                const std::function<bool(const QString &)> &present)
{
    // An absent entry may still be listed for the adapter, next to its new name.
    for (const SerialPortEntry &port : ports)
        if (sameAdapter(lost, port) && present(port.name))
            return port;
    // Under the old name only what does not show itself to be another adapter.
    for (const SerialPortEntry &port : ports)
        if (sameSerialDevice(port.name, lost.name)
            && !(hasAdapterIdentity(lost) && hasAdapterIdentity(port)) && present(port.name))
            return port;
    return std::nullopt;
}

bool sameSerialDevice(const QString &a, const QString &b)
{
    const QString atA = serialPortLocation(a);
    const QString atB = serialPortLocation(b);
    if (atA.isEmpty() || atB.isEmpty())
        return a == b;
    if (atA == atB)
        return true;
    const QString resolvedA = QFileInfo(atA).canonicalFilePath();
    return !resolvedA.isEmpty() && resolvedA == QFileInfo(atB).canonicalFilePath();
}

bool serialPortPresent(const QString &name)
{
#ifdef Q_OS_WIN
    // Windows lists only the ports that are there.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        if (info.portName() == name)
            return true;
    return false;
#else
    return QFileInfo::exists(serialPortLocation(name));
#endif
}

QString serialPortLocation(const QString &name)
{
#ifdef Q_OS_WIN
    Q_UNUSED(name)
    return {};
#else
    return name.contains(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
#endif
}
