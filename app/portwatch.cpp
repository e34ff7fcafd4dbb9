#include "portwatch.h"

#include "serialports.h"

namespace {
constexpr int kLookMs = 1000;
} // namespace

PortWatch::PortWatch(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kLookMs);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::check);
}

QStringList PortWatch::presentPorts()
{
    QStringList names;
    for (const SerialPortEntry &port : listSerialPorts()) {
        if (serialPortPresent(port.name) && !names.contains(port.name))
            names << port.name;
    }
    return names;
}

void PortWatch::start()
{
    m_known = presentPorts();
    m_timer.start();
}

void PortWatch::stop()
{
    m_timer.stop();
}

void PortWatch::check()
{
    const QStringList now = presentPorts();
    if (now == m_known)
        return;
    QStringList added;
    for (const QString &name : now) {
        if (!m_known.contains(name))
            added << name;
    }
    m_known = now;
    emit portsChanged(now, added);
}
