#pragma once

#include "diskqueue.h"
#include "publishrow.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>

class PublisherLink;

struct PublisherSettings
{
    QString host;
    int port = 1883;
    bool tls = false;
    QString caFile; // empty: the system's certificates
    QString user;
    QString password;
    QString prefix = QStringLiteral("tevrano");
    bool discovery = true;
    int protocolVersion = 5; // 4 is MQTT 3.1.1; a broker that refuses 5 gets 3.1.1
    int intervalMs = 1000;   // the rows' spacing, for Home Assistant's expire_after
    QString queueDirectory;  // each instrument's queue is a subdirectory
    qint64 queueLimitBytes = DiskQueue::DefaultLimitBytes;
    int connectTimeoutMs = 10000; // a broker that does not answer the login by then is retried
};

// Sends rows to an MQTT broker: each instrument's state with QoS 1, its availability (retained,
// "offline" also by the connection's last will) and, unless turned off, Home Assistant's
// discovery. Every row goes through the instrument's on-disk queue and leaves it only when the
// broker confirmed it, so an outage or a killed process loses nothing; rows that waited are sent
// later in order, marked replayed. Each instrument has its own connection on its own thread:
// publish() only hands the row over and never waits on the network or the disk.
class Publisher : public QObject
{
    Q_OBJECT
public:
    enum class State { Connecting, Connected, Queueing };
    Q_ENUM(State)

    explicit Publisher(const PublisherSettings &settings, QObject *parent = nullptr);
    // Says "offline", makes the queues durable and ends the threads; waits at most about a
    // second for the broker.
    ~Publisher() override;

    void publish(const PublishRow &row);
    State state() const { return m_state; }
    // Rows of all instruments that the broker has not yet confirmed.
    qint64 pendingRows() const;

signals:
    void stateChanged(Publisher::State state);
    // Something the user should know: a refused login, a certificate, dropped rows, a disk error.
    void problem(const QString &message);

private:
    friend class PublisherLink;
    PublisherLink &link(const QString &instrument);
    void linkStateChanged();

    const PublisherSettings m_settings;
    std::map<QString, std::unique_ptr<PublisherLink>> m_links;
    State m_state = State::Connecting;
};
