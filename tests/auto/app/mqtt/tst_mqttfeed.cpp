// The window's feed to a real broker: every instrument of the set under its own serial number,
// one lost with rows that carry no temperatures.
#include "../support/simulatedinstruments.h"
#include "mqttdialog.h"
#include "mqtttest.h"
#include "settings.h"

#include <QtTest>

class tst_MqttFeed : public QObject
{
    Q_OBJECT
private slots:
    void everyInstrumentUnderItsSerialNumber();
};

void tst_MqttFeed::everyInstrumentUnderItsSerialNumber()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    QCoreApplication::setApplicationName(QStringLiteral("Tevrano"));
    appSettings().readFile();
    TestBroker broker(dir.path());
    QVERIFY(broker.start());
    TestSubscriber subscriber(broker.port(), {QStringLiteral("tevrano/+/state")});
    QVERIFY(subscriber.waitSubscribed());
    MqttConfig config;
    config.enabled = true;
    config.publisher.host = QStringLiteral("127.0.0.1");
    config.publisher.port = broker.port();
    config.publisher.intervalMs = 200;
    config.publisher.discovery = false;
    config.save();

    SimulatedInstruments instruments;
    QVERIFY(instruments.start({3001, 3002}, 20.0));
    instruments.sim(1).setObjectTemperature(30.0);
    MqttFeed feed(&instruments.set);
    const auto published = [&subscriber](const QByteArray &serialNumber, const QByteArray &object) {
        for (const TestSubscriber::Message &message :
             subscriber.messages("tevrano/" + serialNumber + "/state"))
            if (message.payload.contains("\"object\":" + object + ','))
                return true;
        return false;
    };
    QVERIFY(subscriber.waitFor(
            [&](const auto &) { return published("3001", "20.0") && published("3002", "30.0"); }));

    // Lost, it stays a member: its rows go on as gaps, the other's readings as before.
    instruments.sim(1).unplug();
    QVERIFY(subscriber.waitFor([&](const auto &) { return published("3002", "null"); }));
    instruments.sim(0).setObjectTemperature(25.0);
    QVERIFY(subscriber.waitFor([&](const auto &) { return published("3001", "25.0"); }));
}

QTEST_MAIN(tst_MqttFeed)
#include "tst_mqttfeed.moc"
