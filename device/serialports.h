#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

struct SerialPortEntry
{
    SerialPortEntry() = default;
    SerialPortEntry(QString name,
                    QString description = {},
                    QString serialNumber = {},
                    quint16 vendorId = 0,
                    quint16 productId = 0)
        : name(std::move(name))
        , description(std::move(description))
        , serialNumber(std::move(serialNumber))
        , vendorId(vendorId)
        , productId(productId)
    {}

    QString name;         // what QSerialPort::setPortName takes
    QString description;  // empty when unknown
    QString serialNumber; // of a USB adapter; empty when unknown
    quint16 vendorId = 0; // of a USB adapter; 0 when unknown
    quint16 productId = 0;
};

// The serial ports the whole program offers and searches, in order. When TEVRANO_SERIAL_PORTS
// is set (entries separated by ':'), exactly those ports; otherwise the system's list. An entry
// is a device path, optionally followed by what a USB adapter reports, each after a '|':
// description, serial number, vendor id and product id (hexadecimal).
// Ports added with prependSerialPort come first either way.
QList<SerialPortEntry> listSerialPorts();

// Puts a port in front of the list for the rest of the process (the demo's simulator).
void prependSerialPort(const QString &name, const QString &description);

// Whether the port's device exists right now.
bool serialPortPresent(const QString &name);

// Whether two port names are the same device: the same node once links (such as
// /dev/serial/by-id/...) are resolved, in either name form (ttyUSB0 or /dev/ttyUSB0).
bool sameSerialDevice(const QString &a, const QString &b);

// The present entry of `ports` that is the port `lost` come back: the same USB adapter (by
// serial number, or by vendor, product and description when it has none) under whatever name,
// else an entry for the same device that is not another adapter.
std::optional<SerialPortEntry> findReturnedPort(const SerialPortEntry &lost,
                                                const QList<SerialPortEntry> &ports,
                                                const std::function<bool(const QString &)> &present
                                                = serialPortPresent);

// The port's device node on Unix systems (names without a directory live under /dev); empty
// where ports are not files.
QString serialPortLocation(const QString &name);
