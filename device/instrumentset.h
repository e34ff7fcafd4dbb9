#pragma once

#include "instrument.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QTimer;

// Every instrument on the serial ports at once, each on its own port and its own link, known by
// its serial number (in decimal, as the device information shows it). No widgets.
//
// Lives on the thread that creates it, which needs an event loop; it owns its instruments, which
// live there too, and emits every signal there. Each port is probed by an Instrument of its own
// on that instrument's search thread, so a port that answers garbage or nothing delays no other
// and never blocks this thread. A port's instrument joins once its serial number is read; one
// whose serial number has already joined is closed again: two ports leading to one instrument
// open it once.
//
// Once started, the ports are looked at every WatchIntervalMs: a port that appears is probed,
// one that answered nothing (or a member's serial number) is probed again only after it has gone
// and come back, or after a member is lost. A member whose port vanishes stays a member in state
// Lost and reconnects by itself at that port; found at another port (by its serial number), it
// is reopened there.
class InstrumentSet : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxInstruments = 8;
    static constexpr int WatchIntervalMs = 1000;

    explicit InstrumentSet(QObject *parent = nullptr);
    ~InstrumentSet() override;

    // Probes the given ports (every listed port but debug adapters when empty) at the given
    // rates (every probe rate when empty), and from then on watches them.
    void start(const QStringList &ports = {}, const QList<qint32> &rates = {});
    // Closes every instrument: instrumentRemoved for each member, then no more watching. Probes
    // under way end on their own, their findings unused.
    void stop();
    // Probes under way.
    bool isSearching() const { return !m_probing.isEmpty(); }
    // Instruments opened whose serial number is not read yet.
    bool isJoining() const { return !m_pending.isEmpty(); }

    // Probes `port` now, also one that answered nothing before (the user asks for it); nothing
    // happens while a member or a probe uses it.
    void probePort(const QString &port);

    // Serial numbers of the members, in the order they joined.
    QStringList serialNumbers() const { return m_order; }
    // The member with this serial number; nullptr when there is none. Valid until its
    // instrumentRemoved.
    Instrument *instrument(const QString &serialNumber) const;
    // Applies to the members and to those that join later.
    void setPollInterval(int ms);

    // A name the user gave the instrument; empty when none. Kept for serial numbers that are
    // not (yet) members too, so a stored label can be set before the search.
    QString label(const QString &serialNumber) const { return m_labels.value(serialNumber); }
    void setLabel(const QString &serialNumber, const QString &label);
    // The label, or the serial number when there is none.
    QString displayName(const QString &serialNumber) const;

signals:
    // Emitted once per serial number while it stays a member; a returning member is not added
    // again (its connectionStateChanged tells).
    void instrumentAdded(const QString &serialNumber, Instrument *instrument);
    // Only on stop, or when another instrument turns up at a member's port: the member's
    // Instrument object then goes on under the other serial number.
    void instrumentRemoved(const QString &serialNumber);
    void labelChanged(const QString &serialNumber, const QString &label);
    // A probe found no instrument at `port`.
    void portDeclined(const QString &port);
    // The last probe under way ended.
    void searchFinished();

private:
    void look();
    void probe(const QString &port);
    void onProbed(Instrument *instrument, const std::optional<Instrument::Link> &link);
    void onSerialNumber(Instrument *instrument, const QString &serialNumber);
    void join(Instrument *instrument, const QString &serialNumber);
    void discard(Instrument *instrument);
    bool portInUse(const QString &port) const;
    QString portOf(const Instrument *instrument) const;

    QTimer *m_watch = nullptr;
    QStringList m_ports; // empty: the listed ports
    QList<qint32> m_rates;
    int m_pollInterval = 0;
    // Instruments whose serial number is not read yet, by the port they were made for.
    QHash<Instrument *, QString> m_pending;
    QSet<Instrument *> m_probing; // searching their port
    QHash<QString, Instrument *> m_members;
    QStringList m_order;
    // Ports probed without an instrument, or with one that had joined already.
    QStringList m_declined;
    QHash<QString, QString> m_labels;
};
