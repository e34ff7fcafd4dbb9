#include "instrumentset.h"

#include "deviceprobe.h"
#include "serialports.h"

#include <QPointer>
#include <QTimer>

using State = Instrument::ConnectionState;

InstrumentSet::InstrumentSet(QObject *parent)
    : QObject(parent)
    , m_watch(new QTimer(this))
{
    m_watch->setTimerType(Qt::CoarseTimer);
    connect(m_watch, &QTimer::timeout, this, &InstrumentSet::look);
}

InstrumentSet::~InstrumentSet()
{
    // Nothing of a half-destroyed set may be called back while the instruments go.
    for (Instrument *instrument : findChildren<Instrument *>(QString(), Qt::FindDirectChildrenOnly))
        instrument->disconnect(this);
}

void InstrumentSet::start(const QStringList &ports, const QList<qint32> &rates)
{
    m_ports = ports;
    m_rates = rates;
    m_declined.clear();
    m_watch->start(WatchIntervalMs);
    look();
}

void InstrumentSet::stop()
{
    m_watch->stop();
    // Deleting a probing instrument would wait for its probe.
    for (Instrument *instrument : m_pending.keys())
        if (!m_probing.contains(instrument))
            discard(instrument);
    m_pending.clear();
    const QStringList members = m_order;
    for (const QString &serialNumber : members) {
        Instrument *instrument = m_members.take(serialNumber);
        m_order.removeAll(serialNumber);
        instrument->disconnect(this);
        instrument->close();
        emit instrumentRemoved(serialNumber);
        instrument->deleteLater();
    }
}

Instrument *InstrumentSet::instrument(const QString &serialNumber) const
{
    return m_members.value(serialNumber);
}

void InstrumentSet::setPollInterval(int ms)
{
    m_pollInterval = ms;
    for (Instrument *instrument : qAsConst(m_members))
        instrument->setPollInterval(ms);
    for (Instrument *instrument : m_pending.keys())
        instrument->setPollInterval(ms);
}

void InstrumentSet::setLabel(const QString &serialNumber, const QString &label)
{
    if (m_labels.value(serialNumber) == label)
        return;
    if (label.isEmpty())
        m_labels.remove(serialNumber);
    else
        m_labels.insert(serialNumber, label);
    emit labelChanged(serialNumber, label);
}

QString InstrumentSet::displayName(const QString &serialNumber) const
{
    const QString label = m_labels.value(serialNumber);
    return label.isEmpty() ? serialNumber : label;
}

void InstrumentSet::look()
{
    QList<SerialPortEntry> entries;
    if (m_ports.isEmpty())
        entries = listSerialPorts();
    for (const QString &port : qAsConst(m_ports))
        entries.append(SerialPortEntry(port));
    for (const SerialPortEntry &entry : qAsConst(entries)) {
        if (isDebugAdapter(entry))
            continue;
        if (!serialPortPresent(entry.name)) {
            m_declined.removeAll(entry.name);
            continue;
        }
        if (m_declined.contains(entry.name) || portInUse(entry.name))
            continue;
        if (m_members.size() + m_pending.size() >= MaxInstruments)
            return;
        probe(entry.name);
    }
}

void InstrumentSet::probePort(const QString &port)
{
    m_declined.removeAll(port);
    if (!portInUse(port) && m_members.size() + m_pending.size() < MaxInstruments)
        probe(port);
}

void InstrumentSet::probe(const QString &port)
{
    auto *instrument = new Instrument(this);
    instrument->setPollInterval(m_pollInterval);
    m_pending.insert(instrument, port);
    m_probing.insert(instrument);
    connect(instrument,
            &Instrument::parameterRead,
            this,
            [this, instrument](Instrument::Parameter parameter, double value) {
                if (parameter == Instrument::Parameter::SerialNumber)
                    onSerialNumber(instrument, QString::number(qint32(value)));
            });
    connect(instrument, &Instrument::openFailed, this, [this, instrument] {
        const QString port = m_pending.value(instrument);
        m_declined.append(port);
        discard(instrument);
        emit portDeclined(port);
    });
    connect(instrument, &Instrument::connectionStateChanged, this, [this, instrument](State state) {
        if (state != State::Lost)
            return;
        // Unplugged before it said who it is: probed afresh when the port is back.
        if (m_pending.contains(instrument))
            discard(instrument);
        // A member that was found at a second port before the first was seen to go is looked
        // for there again.
        else
            m_declined.clear();
    });
    instrument->startSearch(
            {port}, m_rates, [this, instrument](const std::optional<Instrument::Link> &link) {
                onProbed(instrument, link);
            });
}

void InstrumentSet::onProbed(Instrument *instrument, const std::optional<Instrument::Link> &link)
{
    m_probing.remove(instrument);
    if (m_probing.isEmpty())
        emit searchFinished();
    if (!m_pending.contains(instrument)) { // stopped meanwhile
        discard(instrument);
        return;
    }
    if (!link) {
        const QString port = m_pending.value(instrument);
        m_declined.append(port);
        discard(instrument);
        emit portDeclined(port);
        return;
    }
    instrument->open(*link);
}

void InstrumentSet::onSerialNumber(Instrument *instrument, const QString &serialNumber)
{
    if (!m_pending.contains(instrument)) {
        // A member read again after its port came back.
        const QString before = m_members.key(instrument);
        if (before == serialNumber)
            return;
        // Another instrument at that port: the member is gone, this one is looked at afresh.
        m_members.remove(before);
        m_order.removeAll(before);
        emit instrumentRemoved(before);
        m_pending.insert(instrument, instrument->link().portName);
    }
    Instrument *member = m_members.value(serialNumber);
    if (!member) {
        if (m_members.size() < MaxInstruments) {
            join(instrument, serialNumber);
            return;
        }
        m_declined.append(m_pending.value(instrument));
        discard(instrument);
        return;
    }
    if (member->state() != State::Lost) {
        m_declined.append(m_pending.value(instrument));
        discard(instrument);
        return;
    }
    // The lost member turned up at another port: it takes that port over once the probing
    // instrument has let go of it (discard's deletion is queued before this).
    const Instrument::Link link = instrument->link();
    discard(instrument);
    QMetaObject::invokeMethod(
            this,
            [member = QPointer<Instrument>(member), link] {
                if (member && member->state() == State::Lost)
                    member->open(link);
            },
            Qt::QueuedConnection);
}

void InstrumentSet::join(Instrument *instrument, const QString &serialNumber)
{
    m_pending.remove(instrument);
    m_members.insert(serialNumber, instrument);
    m_order.append(serialNumber);
    emit instrumentAdded(serialNumber, instrument);
}

void InstrumentSet::discard(Instrument *instrument)
{
    m_pending.remove(instrument);
    instrument->disconnect(this);
    // Called from the instrument's own signals: deleted once they have returned. Its link
    // closes the port before the deletion ends.
    QMetaObject::invokeMethod(
            this,
            [instrument = QPointer<Instrument>(instrument)] { delete instrument; },
            Qt::QueuedConnection);
}

bool InstrumentSet::portInUse(const QString &port) const
{
    for (Instrument *member : qAsConst(m_members))
        if (sameSerialDevice(member->link().portName, port))
            return true;
    for (const QString &pending : qAsConst(m_pending))
        if (sameSerialDevice(pending, port))
            return true;
    return false;
}
