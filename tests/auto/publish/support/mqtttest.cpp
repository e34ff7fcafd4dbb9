#include "mqtttest.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <mosquitto.h>

TestBroker::TestBroker(const QString &directory, const Options &options)
    : m_directory(directory)
    , m_options(options)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

TestBroker::~TestBroker()
{
    stop();
}

bool TestBroker::start()
{
    if (m_port == 0) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
    }
    QByteArray config = "listener " + QByteArray::number(m_port)
                        + " 127.0.0.1\n"
                          "persistence true\n"
                          "persistence_location "
                        + QFile::encodeName(m_directory)
                        + "/\n"
                          "user root\n" // no privilege drop when the tests run as root
                          "max_queued_messages 0\n"
                          "max_inflight_messages 0\n"
                          "log_dest stdout\n";
    config += m_options.passwordFile.isEmpty()
                      ? QByteArray("allow_anonymous true\n")
                      : "allow_anonymous false\npassword_file "
                                + QFile::encodeName(m_options.passwordFile) + '\n';
    if (!m_options.certFile.isEmpty())
        config += "certfile " + QFile::encodeName(m_options.certFile) + "\nkeyfile "
                  + QFile::encodeName(m_options.keyFile) + '\n';
    const QString configPath = m_directory + QStringLiteral("/mosquitto.conf");
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        return false;
    file.close();
    m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), configPath});
    if (!m_process.waitForStarted(10000))
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (m_process.state() != QProcess::Running)
            return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200))
            return true;
        QTest::qWait(100);
    }
    return false;
}

void TestBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate(); // a graceful end saves the sessions
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString TestBroker::log() const
{
    return QString::fromLocal8Bit(const_cast<QProcess &>(m_process).readAll());
}

TestSubscriber::TestSubscriber(quint16 port, const QStringList &topics, const QByteArray &clientId)
    : m_topics(topics)
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(
            clientId.isEmpty() ? nullptr : clientId.constData(), clientId.isEmpty(), this);
    mosquitto_reconnect_delay_set(m_mosq, 1, 1, false);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *mosq, void *self, int code) {
        if (code != 0)
            return;
        for (const QString &topic : static_cast<TestSubscriber *>(self)->m_topics)
            mosquitto_subscribe(mosq, nullptr, topic.toUtf8().constData(), 1);
    });
    mosquitto_subscribe_callback_set(m_mosq, [](mosquitto *, void *self, int, int, const int *) {
        auto *subscriber = static_cast<TestSubscriber *>(self);
        const std::lock_guard<std::mutex> lock(subscriber->m_mutex);
        subscriber->m_subscribed = true;
    });
    mosquitto_message_callback_set(
            m_mosq, [](mosquitto *, void *self, const mosquitto_message *message) {
                auto *subscriber = static_cast<TestSubscriber *>(self);
                const std::lock_guard<std::mutex> lock(subscriber->m_mutex);
                subscriber->m_messages.append(
                        {message->topic,
                         QByteArray(static_cast<const char *>(message->payload),
                                    message->payloadlen),
                         message->retain});
            });
    mosquitto_connect_async(m_mosq, "127.0.0.1", port, 30);
    mosquitto_loop_start(m_mosq);
}

TestSubscriber::~TestSubscriber()
{
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
}

bool TestSubscriber::waitSubscribed(int timeoutMs)
{
    return QTest::qWaitFor(
            [this] {
                const std::lock_guard<std::mutex> lock(m_mutex);
                return m_subscribed;
            },
            timeoutMs);
}

bool TestSubscriber::waitFor(const std::function<bool(const QVector<Message> &)> &condition,
                             int timeoutMs)
{
    return QTest::qWaitFor([&] { return condition(messages()); }, timeoutMs);
}

QVector<TestSubscriber::Message> TestSubscriber::messages() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

int TestSubscriber::received() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.size();
}

QVector<TestSubscriber::Message> TestSubscriber::messages(const QByteArray &topic) const
{
    QVector<Message> found;
    for (const Message &message : messages())
        if (message.topic == topic)
            found.append(message);
    return found;
}

void TestSubscriber::publish(const QByteArray &topic, const QByteArray &payload, bool retain)
{
    mosquitto_publish(
            m_mosq, nullptr, topic.constData(), payload.size(), payload.constData(), 1, retain);
}

bool makeTestCertificates(const QString &directory, const QString &caName)
{
    QFile extensions(directory + QStringLiteral("/server.ext"));
    if (!extensions.open(QIODevice::WriteOnly)
        || extensions.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n") < 0)
        return false;
    extensions.close();
    const QStringList ec{QStringLiteral("-newkey"),
                         QStringLiteral("ec"),
                         QStringLiteral("-pkeyopt"),
                         QStringLiteral("ec_paramgen_curve:prime256v1"),
                         QStringLiteral("-nodes")};
    const QList<QStringList> steps{
            QStringList{"req",
                        "-x509",
                        "-days",
                        "2",
                        "-subj",
                        "/CN=" + caName,
                        "-keyout",
                        "ca.key",
                        "-out",
                        "ca.crt"}
                    + ec,
            QStringList{
                    "req", "-subj", "/CN=localhost", "-keyout", "server.key", "-out", "server.csr"}
                    + ec,
            {"x509",
             "-req",
             "-in",
             "server.csr",
             "-CA",
             "ca.crt",
             "-CAkey",
             "ca.key",
             "-CAcreateserial",
             "-days",
             "2",
             "-extfile",
             "server.ext",
             "-out",
             "server.crt"},
    };
    for (const QStringList &arguments : steps) {
        QProcess openssl;
        openssl.setWorkingDirectory(directory);
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"), arguments);
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            qWarning() << "openssl" << arguments << openssl.readAll();
            return false;
        }
    }
    return true;
}
