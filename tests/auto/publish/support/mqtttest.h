#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <mutex>

struct mosquitto;

// A real mosquitto broker on a free loopback port, configured in `directory`. Its sessions
// persist across stop() and start(), so a subscriber with a fixed client id misses nothing.
class TestBroker
{
public:
    struct Options
    {
        QString passwordFile; // empty: anonymous clients are welcome
        QString certFile;     // with keyFile: TLS only
        QString keyFile;
    };

    explicit TestBroker(const QString &directory, const Options &options = {});
    ~TestBroker();

    // Starts on the port of the first start; true once it accepts connections.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    QString log() const;

private:
    const QString m_directory;
    const Options m_options;
    quint16 m_port = 0;
    QProcess m_process;
};

// A libmosquitto client on its own loop thread that keeps every message it receives.
class TestSubscriber
{
public:
    struct Message
    {
        QByteArray topic;
        QByteArray payload;
        bool retained = false;
    };

    // An empty client id gets a clean session; a fixed one a session that outlives reconnects.
    TestSubscriber(quint16 port, const QStringList &topics, const QByteArray &clientId = {});
    ~TestSubscriber();

    // True once subscribed.
    bool waitSubscribed(int timeoutMs = 10000);
    // Waits, with the caller's event loop running, until `condition` holds for what came.
    bool waitFor(const std::function<bool(const QVector<Message> &)> &condition,
                 int timeoutMs = 20000);
    QVector<Message> messages() const;
    int received() const;
    QVector<Message> messages(const QByteArray &topic) const;
    void publish(const QByteArray &topic, const QByteArray &payload, bool retain = false);

private:
    const QStringList m_topics;
    mosquitto *m_mosq = nullptr;
    mutable std::mutex m_mutex;
    QVector<Message> m_messages; // guarded by m_mutex
    bool m_subscribed = false;   // guarded by m_mutex
};

// Generates a CA and a server certificate for 127.0.0.1 signed by it, with the openssl program.
bool makeTestCertificates(const QString &directory, const QString &caName);
