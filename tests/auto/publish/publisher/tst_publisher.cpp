// The publisher against a real mosquitto broker that each test starts on a free loopback port.
#include "mqtttest.h"
#include "publisher.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <set>

namespace {

const QString Instrument = QStringLiteral("4711");
const QByteArray StateTopic = "tevrano/4711/state";
const QByteArray AvailabilityTopic = "tevrano/4711/availability";
const QByteArray ObjectConfigTopic = "homeassistant/sensor/tevrano_4711_object/config";
const QByteArray AmbientConfigTopic = "homeassistant/sensor/tevrano_4711_ambient/config";

PublisherSettings settingsFor(quint16 port, const QString &queueDirectory)
{
    PublisherSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.queueDirectory = queueDirectory;
    return settings;
}

PublishRow row(int second, double object, double ambient, bool fahrenheit = false)
{
    const QDateTime time(QDate(2026, 12, 8), QTime(14, 7, 9, 123), Qt::OffsetFromUTC, 3600);
    return {Instrument, time.addSecs(second), object, ambient, fahrenheit};
}

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

QByteArray lastPayload(const TestSubscriber &subscriber, const QByteArray &topic)
{
    const QVector<TestSubscriber::Message> found = subscriber.messages(topic);
    return found.isEmpty() ? QByteArray() : found.last().payload;
}

// The distinct seqs received, and whether each arrived in order of first arrival.
std::set<qint64> seqs(const TestSubscriber &subscriber)
{
    std::set<qint64> found;
    for (const TestSubscriber::Message &message : subscriber.messages(StateTopic))
        found.insert(json(message.payload).value(QStringLiteral("seq")).toDouble());
    return found;
}

bool hasSeqs(const TestSubscriber &subscriber, int count, std::set<qint64> found = {})
{
    const std::set<qint64> more = seqs(subscriber);
    found.insert(more.begin(), more.end());
    return int(found.size()) >= count;
}

qint64 queuedBytes(const QString &directory)
{
    qint64 total = 0;
    for (const QFileInfo &file :
         QDir(directory).entryInfoList({QStringLiteral("segment-*")}, QDir::Files))
        total += file.size();
    return total;
}

class Child
{
public:
    Child(quint16 port, const QString &queueDirectory)
    {
        m_process.start(QStringLiteral(PUBLISH_CHILD_PATH),
                        {QString::number(port), queueDirectory});
    }
    ~Child()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    // Sends one command and waits for its answer.
    bool command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        return QTest::qWaitFor([this] { return m_process.canReadLine(); }, 20000)
               && m_process.readLine() == "done\n";
    }
    void kill()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
    }
    bool waitForExit() { return m_process.waitForFinished(20000) && m_process.exitCode() == 0; }

private:
    QProcess m_process;
};

} // namespace

class tst_Publisher : public QObject
{
    Q_OBJECT
private slots:
    void stateAvailabilityDiscovery_data();
    void stateAvailabilityDiscovery();
    void offlineWhenTheProcessEnds_data();
    void offlineWhenTheProcessEnds();
    void outageLosesNothing_data();
    void outageLosesNothing();
    void login_data();
    void login();
    void silentBroker();
};

void tst_Publisher::stateAvailabilityDiscovery_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<bool>("discovery");
    QTest::newRow("MQTT 5") << 5 << true;
    QTest::newRow("MQTT 3.1.1") << 4 << true;
    QTest::newRow("no discovery") << 5 << false;
}

void tst_Publisher::stateAvailabilityDiscovery()
{
    QFETCH(int, protocol);
    QFETCH(bool, discovery);
    QTemporaryDir dir;
    TestBroker broker(dir.path());
    QVERIFY(broker.start());
    TestSubscriber early(broker.port(), {"tevrano/#", "homeassistant/#"});
    QVERIFY(early.waitSubscribed());

    PublisherSettings settings = settingsFor(broker.port(), dir.filePath("queue"));
    settings.protocolVersion = protocol;
    settings.discovery = discovery;
    auto publisher = std::make_unique<Publisher>(settings);
    publisher->publish(row(0, 25.0, 23.5));
    publisher->publish(row(1, std::nan(""), 23.5));
    publisher->publish(row(2, 77.0, 74.3, true));
    QVERIFY(QTest::qWaitFor([&] { return early.messages(StateTopic).size() >= 3; }, 20000));
    const QVector<TestSubscriber::Message> states = early.messages(StateTopic);
    QCOMPARE(
            states[0].payload,
            QByteArray(
                    R"({"time":"2026-12-08T14:07:09.123+01:00","seq":0,"object":25.0,"ambient":23.5,"unit":"C","replayed":false})"));
    QCOMPARE(
            states[1].payload,
            QByteArray(
                    R"({"time":"2026-12-08T14:07:10.123+01:00","seq":1,"object":null,"ambient":23.5,"unit":"C","replayed":false})"));
    QCOMPARE(json(states[2].payload).value("unit").toString(), QStringLiteral("F"));
    QVERIFY(QTest::qWaitFor([&] { return lastPayload(early, AvailabilityTopic) == "online"; },
                            20000));

    if (discovery) {
        // The configs follow the unit, and a late subscriber finds them retained.
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return json(lastPayload(early, ObjectConfigTopic)).value("unit_of_measurement")
                           == QStringLiteral("°F");
                },
                20000));
        TestSubscriber late(broker.port(), {"homeassistant/#", "tevrano/#"});
        QVERIFY(late.waitFor([](const auto &messages) { return messages.size() >= 3; }));
        QVERIFY(late.messages(ObjectConfigTopic).value(0).retained);
        QVERIFY(late.messages(AmbientConfigTopic).value(0).retained);
        QCOMPARE(late.messages(AvailabilityTopic).value(0).payload, QByteArray("online"));
        const QJsonObject config = json(late.messages(AmbientConfigTopic).value(0).payload);
        QCOMPARE(config.value("device_class").toString(), QStringLiteral("temperature"));
        QCOMPARE(config.value("state_class").toString(), QStringLiteral("measurement"));
        QCOMPARE(config.value("state_topic").toString(), QString::fromUtf8(StateTopic));
        QCOMPARE(config.value("value_template").toString(),
                 QStringLiteral("{{ value_json.ambient }}"));
        QCOMPARE(config.value("availability_topic").toString(),
                 QString::fromUtf8(AvailabilityTopic));
        QVERIFY(config.value("expire_after").toInt() > 0);
        QCOMPARE(config.value("device").toObject().value("serial_number").toString(), Instrument);

        // Home Assistant coming back online gets the configs again.
        const int before = early.messages(ObjectConfigTopic).size();
        early.publish("homeassistant/status", "online");
        QVERIFY(QTest::qWaitFor(
                [&] {
                    return early.messages(ObjectConfigTopic).size() > before
                           && early.messages(AmbientConfigTopic).size() > before;
                },
                20000));
    }
    publisher.reset();
    QVERIFY(QTest::qWaitFor([&] { return lastPayload(early, AvailabilityTopic) == "offline"; },
                            20000));
    if (!discovery)
        QVERIFY(early.messages(ObjectConfigTopic).isEmpty()
                && early.messages(AmbientConfigTopic).isEmpty());
}

void tst_Publisher::offlineWhenTheProcessEnds_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("clean exit") << false;
    QTest::newRow("SIGKILL: the last will") << true;
}

void tst_Publisher::offlineWhenTheProcessEnds()
{
    QFETCH(bool, killed);
    QTemporaryDir dir;
    TestBroker broker(dir.path());
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), {"tevrano/#"});
    QVERIFY(subscriber.waitSubscribed());
    Child child(broker.port(), dir.filePath("queue"));
    QVERIFY(child.command("rows 1"));
    QVERIFY(QTest::qWaitFor([&] { return lastPayload(subscriber, AvailabilityTopic) == "online"; },
                            20000));
    if (killed) {
        child.kill();
    } else {
        QVERIFY(child.command("quit"));
        QVERIFY(child.waitForExit());
    }
    QVERIFY(QTest::qWaitFor([&] { return lastPayload(subscriber, AvailabilityTopic) == "offline"; },
                            20000));
    TestSubscriber late(broker.port(), {"tevrano/+/availability"});
    QVERIFY(late.waitFor([](const auto &messages) { return !messages.isEmpty(); }));
    QCOMPARE(late.messages().first().payload, QByteArray("offline"));
    QVERIFY(late.messages().first().retained);
}

void tst_Publisher::outageLosesNothing_data()
{
    QTest::addColumn<bool>("killedDuringOutage");
    QTest::newRow("broker restarted") << false;
    QTest::newRow("publisher killed meanwhile") << true;
}

void tst_Publisher::outageLosesNothing()
{
    QFETCH(bool, killedDuringOutage);
    QTemporaryDir dir;
    const QString queue = dir.filePath("queue");
    TestBroker broker(dir.path());
    QVERIFY(broker.start());
    // A persistent session: the broker keeps what arrives while this subscriber is away.
    auto subscriber = std::make_unique<TestSubscriber>(
            broker.port(), QStringList{"tevrano/+/state"}, "watcher");
    QVERIFY(subscriber->waitSubscribed());

    std::unique_ptr<Publisher> publisher;
    std::unique_ptr<Child> child;
    const auto publishRows = [&](int first, int count) {
        if (child)
            return child->command("rows " + QByteArray::number(count));
        for (int i = first; i < first + count; ++i)
            publisher->publish(row(i, 20.0 + i, 21.0));
        return true;
    };
    if (killedDuringOutage)
        child = std::make_unique<Child>(broker.port(), queue);
    else
        publisher = std::make_unique<Publisher>(settingsFor(broker.port(), queue));

    QVERIFY(publishRows(0, 3));
    QVERIFY(QTest::qWaitFor([&] { return hasSeqs(*subscriber, 3); }, 20000));
    const std::set<qint64> before = seqs(*subscriber);
    subscriber.reset();
    broker.stop();
    QVERIFY(publishRows(3, 4));
    // All seven are in the queue's files before anything else happens to the publisher.
    QVERIFY(QTest::qWaitFor(
            [&] { return queuedBytes(queue + "/4711") >= 7 * DiskQueue::RecordSize; }, 20000));
    if (child) {
        child->kill();
        child.reset();
    }
    QVERIFY(broker.start());
    if (!publisher)
        publisher = std::make_unique<Publisher>(settingsFor(broker.port(), queue));
    subscriber = std::make_unique<TestSubscriber>(
            broker.port(), QStringList{"tevrano/+/state"}, "watcher");
    QVERIFY(QTest::qWaitFor([&] { return hasSeqs(*subscriber, 7, before); }, 30000));
    QVERIFY(QTest::qWaitFor([&] { return publisher->state() == Publisher::State::Connected; },
                            20000));
    publisher->publish(row(7, 27.0, 21.0));
    QVERIFY(QTest::qWaitFor([&] { return hasSeqs(*subscriber, 8, before); }, 20000));

    // Seq runs on without a hole; what waited says so and keeps its time; the row after the
    // catch-up is live again.
    const std::set<qint64> expected{0, 1, 2, 3, 4, 5, 6, 7};
    std::set<qint64> all = seqs(*subscriber);
    all.insert(before.begin(), before.end());
    QCOMPARE(all, expected);
    for (const TestSubscriber::Message &message : subscriber->messages(StateTopic)) {
        const QJsonObject state = json(message.payload);
        const qint64 seq = qint64(state.value("seq").toDouble());
        if (seq >= 3 && seq <= 6) {
            QVERIFY2(state.value("replayed").toBool(), message.payload.constData());
            if (!killedDuringOutage)
                QCOMPARE(state.value("object").toDouble(), 20.0 + seq);
        }
        if (seq == 7)
            QVERIFY2(!state.value("replayed").toBool(), message.payload.constData());
    }
}

void tst_Publisher::login_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("foreignCa");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("problem"); // empty: it connects
    QTest::newRow("TLS, the broker's CA") << true << false << QString() << QString();
    QTest::newRow("TLS, a foreign CA") << true << true << QString() << "TLS handshake";
    QTest::newRow("right password") << false << false << "secret" << QString();
    QTest::newRow("wrong password") << false << false << "guess"
                                    << "refused the login of user 'tech'";
}

void tst_Publisher::login()
{
    QFETCH(bool, tls);
    QFETCH(bool, foreignCa);
    QFETCH(QString, password);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    TestBroker::Options options;
    PublisherSettings settings = settingsFor(0, dir.filePath("queue"));
    if (tls) {
        QVERIFY(makeTestCertificates(dir.path(), "Plant CA"));
        options.certFile = dir.filePath("server.crt");
        options.keyFile = dir.filePath("server.key");
        settings.tls = true;
        settings.caFile = dir.filePath("ca.crt");
        if (foreignCa) {
            QVERIFY(QDir(dir.path()).mkdir("foreign"));
            QVERIFY(makeTestCertificates(dir.filePath("foreign"), "Other CA"));
            settings.caFile = dir.filePath("foreign/ca.crt");
        }
    } else {
        options.passwordFile = dir.filePath("passwords");
        QVERIFY(QFile(options.passwordFile).open(QIODevice::WriteOnly));
        QCOMPARE(QProcess::execute("mosquitto_passwd",
                                   {"-b", options.passwordFile, "tech", "secret"}),
                 0);
        settings.user = "tech";
        settings.password = password;
    }
    TestBroker broker(dir.path(), options);
    QVERIFY(broker.start());
    settings.port = broker.port();
    Publisher publisher(settings);
    QSignalSpy problems(&publisher, &Publisher::problem);
    publisher.publish(row(0, 25.0, 23.5));
    if (problem.isEmpty()) {
        QVERIFY2(QTest::qWaitFor([&] { return publisher.state() == Publisher::State::Connected; },
                                 20000),
                 qPrintable(problems.value(0).value(0).toString()));
    } else {
        QVERIFY(QTest::qWaitFor([&] { return !problems.isEmpty(); }, 20000));
        QVERIFY2(problems.first().first().toString().contains(problem),
                 qPrintable(problems.first().first().toString()));
        QVERIFY(publisher.state() != Publisher::State::Connected);
    }
}

void tst_Publisher::silentBroker()
{
    QTemporaryDir dir;
    QTcpServer server; // accepts and never says a word
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> connections;
    connect(&server, &QTcpServer::newConnection, [&] {
        connections.append(server.nextPendingConnection());
    });
    PublisherSettings settings = settingsFor(server.serverPort(), dir.filePath("queue"));
    settings.connectTimeoutMs = 1000;
    Publisher publisher(settings);
    QSignalSpy problems(&publisher, &Publisher::problem);
    publisher.publish(row(0, 25.0, 23.5));
    QVERIFY(QTest::qWaitFor([&] { return !problems.isEmpty(); }, 20000));
    QVERIFY2(problems.first().first().toString().contains("does not answer"),
             qPrintable(problems.first().first().toString()));
    QCOMPARE(publisher.state(), Publisher::State::Queueing);
    // It tries again after its back-off.
    QVERIFY(QTest::qWaitFor([&] { return connections.size() >= 2; }, 20000));
}

QTEST_GUILESS_MAIN(tst_Publisher)
#include "tst_publisher.moc"
