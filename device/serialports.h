#pragma once

#include <QList>
#include <QString>

struct SerialPortEntry
{
    QString name;        // what QSerialPort::setPortName takes
    QString description; // empty when unknown
};

// The serial ports the whole program offers and searches, in order. When TEVRANO_SERIAL_PORTS
// is set (device paths separated by ':'), exactly those ports; otherwise the system's list.
// Ports added with prependSerialPort come first either way.
QList<SerialPortEntry> listSerialPorts();

// Puts a port in front of the list for the rest of the process (the demo's simulator).
void prependSerialPort(const QString &name, const QString &description);
