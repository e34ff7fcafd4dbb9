// The window's MQTT settings: what is stored where, and what the dialog refuses.
#include "messages.h"
#include "mqttdialog.h"
#include "settings.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_MqttSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void passwordKeptOutOfConfigXml();
    void dialogRefuses_data();
    void dialogRefuses();

private:
    QTemporaryDir m_dir;
};

void tst_MqttSettings::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    QCoreApplication::setApplicationName(QStringLiteral("Tevrano"));
    appSettings().readFile();
}

void tst_MqttSettings::passwordKeptOutOfConfigXml()
{
    MqttConfig config;
    config.enabled = true;
    PublisherSettings &publisher = config.publisher;
    publisher.host = "plant-broker";
    publisher.port = 8884;
    publisher.tls = true;
    publisher.caFile = "/etc/plant/ca.pem";
    publisher.user = "tech";
    publisher.password = "s3cret pw";
    publisher.prefix = "plant/line2";
    publisher.intervalMs = 2500;
    publisher.discovery = false;
    config.save();

    QFile xml(appSettings().filePath());
    QVERIFY(xml.open(QIODevice::ReadOnly));
    const QByteArray text = xml.readAll();
    QVERIFY(text.contains("mqtts://tech@plant-broker:8884"));
    QVERIFY(!text.contains("s3cret"));
    const QFileInfo password(QDir(appSettings().settingsDir()).filePath("mqtt-password"));
    QCOMPARE(password.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    const MqttConfig loaded = MqttConfig::load();
    QVERIFY(loaded.enabled);
    QCOMPARE(loaded.publisher.host, publisher.host);
    QCOMPARE(loaded.publisher.port, publisher.port);
    QVERIFY(loaded.publisher.tls);
    QCOMPARE(loaded.publisher.caFile, publisher.caFile);
    QCOMPARE(loaded.publisher.user, publisher.user);
    QCOMPARE(loaded.publisher.password, publisher.password);
    QCOMPARE(loaded.publisher.prefix, publisher.prefix);
    QCOMPARE(loaded.publisher.intervalMs, publisher.intervalMs);
    QVERIFY(!loaded.publisher.discovery);
    QCOMPARE(loaded.publisher.queueDirectory,
             QDir(appSettings().settingsDir()).filePath("mqtt-queue"));

    config.publisher.password.clear();
    config.save();
    QVERIFY(!QFile::exists(password.filePath()));
    QVERIFY(MqttConfig::load().publisher.password.isEmpty());
}

void tst_MqttSettings::dialogRefuses_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("fine") << "broker.plant"
                          << "plant/line2" << true;
    QTest::newRow("no host") << ""
                             << "tevrano" << false;
    QTest::newRow("wildcard prefix") << "broker.plant"
                                     << "plant/#" << false;
    QTest::newRow("prefix ending in /") << "broker.plant"
                                        << "plant/" << false;
}

void tst_MqttSettings::dialogRefuses()
{
    QFETCH(QString, host);
    QFETCH(QString, prefix);
    QFETCH(bool, accepted);
    int shown = 0;
    Messages::setPresenter(
            [&](QWidget *, QMessageBox::Icon, const QString &, const QString &) { ++shown; });
    MqttConfig config;
    config.enabled = true;
    config.publisher.host = host;
    config.publisher.prefix = prefix;
    MqttDialog dialog(config);
    dialog.accept();
    Messages::setPresenter({});
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(shown, accepted ? 0 : 1);
}

QTEST_MAIN(tst_MqttSettings)
#include "tst_mqttsettings.moc"
