#include "logoptions.h"
#include "logrows.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(LogCommand::Kind)
Q_DECLARE_METATYPE(LogFormat)
Q_DECLARE_METATYPE(Marker)

class tst_LogUnits : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void instruments_data();
    void instruments();
    void rows_data();
    void rows();
    void mqttArguments_data();
    void mqttArguments();
    void triggers_data();
    void triggers();
};

void tst_LogUnits::arguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<LogCommand::Kind>("kind");
    QTest::addColumn<LogFormat>("format");
    QTest::addColumn<int>("interval");
    QTest::addColumn<double>("duration");

    const auto run = LogCommand::Run;
    const auto bad = LogCommand::Bad;
    const auto csv = LogFormat::Csv;
    QTest::newRow("defaults") << QStringList{} << run << csv << 100 << 0.0;
    QTest::newRow("record for .txt")
            << QStringList{"--output", "a.txt"} << run << LogFormat::Record << 100 << 0.0;
    QTest::newRow("record for .TXT")
            << QStringList{"--output=b.TXT"} << run << LogFormat::Record << 100 << 0.0;
    QTest::newRow("csv for .csv") << QStringList{"--output", "a.csv"} << run << csv << 100 << 0.0;
    QTest::newRow("format wins") << QStringList{"--output", "a.txt", "--format", "jsonl"} << run
                                 << LogFormat::Jsonl << 100 << 0.0;
    QTest::newRow("limits") << QStringList{"--interval", "10", "--duration", "0.5"} << run << csv
                            << 10 << 0.5;
    QTest::newRow("upper limit")
            << QStringList{"--interval", "60000", "--baud", "115200", "--quiet"} << run << csv
            << 60000 << 0.0;
    QTest::newRow("interval 0") << QStringList{"--interval", "0"} << bad << csv << 0 << 0.0;
    QTest::newRow("interval 9") << QStringList{"--interval", "9"} << bad << csv << 0 << 0.0;
    QTest::newRow("interval 60001") << QStringList{"--interval", "60001"} << bad << csv << 0 << 0.0;
    QTest::newRow("interval word") << QStringList{"--interval", "fast"} << bad << csv << 0 << 0.0;
    QTest::newRow("negative duration") << QStringList{"--duration", "-1"} << bad << csv << 0 << 0.0;
    QTest::newRow("infinite duration")
            << QStringList{"--duration", "inf"} << bad << csv << 0 << 0.0;
    QTest::newRow("unknown format") << QStringList{"--format", "xml"} << bad << csv << 0 << 0.0;
    QTest::newRow("unknown option") << QStringList{"--colour"} << bad << csv << 0 << 0.0;
    QTest::newRow("missing value") << QStringList{"--interval"} << bad << csv << 0 << 0.0;
    QTest::newRow("stray argument") << QStringList{"out.csv"} << bad << csv << 0 << 0.0;
    QTest::newRow("other rate") << QStringList{"--baud", "4800"} << bad << csv << 0 << 0.0;
    QTest::newRow("empty port") << QStringList{"--port="} << bad << csv << 0 << 0.0;
    QTest::newRow("empty output") << QStringList{"--output", ""} << bad << csv << 0 << 0.0;
    QTest::newRow("help") << QStringList{"--interval", "5", "--help"} << LogCommand::Help << csv
                          << 0 << 0.0;
    QTest::newRow("version") << QStringList{"--version"} << LogCommand::Version << csv << 0 << 0.0;
}

void tst_LogUnits::arguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(LogCommand::Kind, kind);
    const LogCommand command = parseLogArguments(arguments);
    QCOMPARE(command.kind, kind);
    QCOMPARE(command.error.isEmpty(), kind != LogCommand::Bad);
    if (kind != LogCommand::Run)
        return;
    QTEST(command.options.format, "format");
    QTEST(command.options.intervalMs, "interval");
    QTEST(command.options.durationS, "duration");
}

void tst_LogUnits::instruments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("several");
    QTest::newRow("one port") << QStringList{"--port", "a"} << true << false;
    QTest::newRow("two ports") << QStringList{"--port", "a", "--port", "b"} << true << true;
    QTest::newRow("all") << QStringList{"--all"} << true << true;
    QTest::newRow("an empty port among two")
            << QStringList{"--port", "a", "--port="} << false << false;
    QTest::newRow("record files named by instrument")
            << QStringList{"--all", "--output", "kiln-{instrument}.txt"} << true << true;
    QTest::newRow("one instrument's record named by it")
            << QStringList{"--output", "{instrument}.txt"} << true << false;
    QTest::newRow("several into one record file")
            << QStringList{"--port", "a", "--port", "b", "--output", "kiln.txt"} << false << false;
    QTest::newRow("several records to standard output")
            << QStringList{"--all", "--format", "record"} << false << false;
    QTest::newRow("{instrument} in a csv name")
            << QStringList{"--all", "--output", "{instrument}.csv"} << false << false;
}

void tst_LogUnits::instruments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    const LogCommand command = parseLogArguments(arguments);
    QCOMPARE(command.kind, valid ? LogCommand::Run : LogCommand::Bad);
    if (valid)
        QTEST(command.options.severalInstruments(), "several");
}

void tst_LogUnits::rows_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<double>("object");
    QTest::addColumn<double>("ambient");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QVector<Marker>>("markers");
    QTest::addColumn<QString>("instrument");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("jsonl");

    const QDate day(2026, 12, 8);
    const double gap = std::nan("");
    QTest::newRow("east of UTC")
            << QDateTime(day, QTime(14, 7, 9, 123), Qt::OffsetFromUTC, 3600) << 25.04 << 23.5
            << false << QVector<Marker>() << "20261207"
            << QByteArray("2026-12-08T14:07:09.123+01:00,12.346,25.0,23.5,°C,,20261207\n")
            << QByteArray(
                       R"({"time":"2026-12-08T14:07:09.123+01:00","elapsed_s":12.346,"object":25.0,"ambient":23.5,"unit":"°C","marker":null,"instrument":"20261207"})"
                       "\n");
    QTest::newRow("west of UTC, below zero, Fahrenheit")
            << QDateTime(day, QTime(0, 0, 0, 5), Qt::OffsetFromUTC, -(3 * 3600 + 1800)) << -12.26
            << 71.6 << true << QVector<Marker>() << "7"
            << QByteArray("2026-12-08T00:00:00.005-03:30,12.346,-12.3,71.6,°F,,7\n")
            << QByteArray(
                       R"({"time":"2026-12-08T00:00:00.005-03:30","elapsed_s":12.346,"object":-12.3,"ambient":71.6,"unit":"°F","marker":null,"instrument":"7"})"
                       "\n");
    QTest::newRow("UTC, gap, serial number not known")
            << QDateTime(day, QTime(23, 59, 59, 999), Qt::UTC) << gap << gap << false
            << QVector<Marker>() << ""
            << QByteArray("2026-12-08T23:59:59.999+00:00,12.346,,,°C,,\n")
            << QByteArray(
                       R"({"time":"2026-12-08T23:59:59.999+00:00","elapsed_s":12.346,"object":null,"ambient":null,"unit":"°C","marker":null,"instrument":null})"
                       "\n");
    QTest::newRow("two markers, one with a comma, quotes and a line break")
            << QDateTime(day, QTime(1, 2, 3, 4), Qt::UTC) << 25.0 << 23.5 << false
            << QVector<Marker>{{12.0, "door, \"A\"\nopen"}, {12.3, "external"}} << "1002"
            << QByteArray(
                       R"(2026-12-08T01:02:03.004+00:00,12.346,25.0,23.5,°C,"door, ""A""\nopen; external",1002)"
                       "\n")
            << QByteArray(
                       R"({"time":"2026-12-08T01:02:03.004+00:00","elapsed_s":12.346,"object":25.0,"ambient":23.5,"unit":"°C","marker":"door, \"A\"\\nopen; external","instrument":"1002"})"
                       "\n");
}

void tst_LogUnits::rows()
{
    LogRow row;
    QFETCH(QDateTime, time);
    row.time = time;
    row.elapsedS = 12.3456;
    QFETCH(double, object);
    row.object = object;
    QFETCH(double, ambient);
    row.ambient = ambient;
    QFETCH(bool, fahrenheit);
    row.fahrenheit = fahrenheit;
    QFETCH(QVector<Marker>, markers);
    row.markers = markers;
    QFETCH(QString, instrument);
    row.instrument = instrument;
    QTEST(csvRow(row), "csv");
    QTEST(jsonlRow(row), "jsonl");

    // Rows added to a file from before the instrument field: the same without it.
    QFETCH(QByteArray, csv);
    QCOMPARE(csvRow(row, RowLayout::WithoutInstrument).chopped(1) + ','
                     + csvQuoted(instrument.toUtf8()),
             csv.chopped(1));
    const QJsonObject old
            = QJsonDocument::fromJson(jsonlRow(row, RowLayout::WithoutInstrument)).object();
    QVERIFY(!old.contains(QStringLiteral("instrument")));
    QCOMPARE(QString::fromLatin1(csvHeader(RowLayout::WithoutInstrument))
                     .trimmed()
                     .split(',')
                     .size(),
             old.size());

    // Valid JSON with the keys the CSV header names.
    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(jsonlRow(row), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QStringList header = QString::fromLatin1(csvHeader()).trimmed().split(QLatin1Char(','));
    header.sort();
    QCOMPARE(json.keys(), header);
}

void tst_LogUnits::mqttArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("broker"); // empty: refused
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("discovery");
    QTest::addColumn<QString>("output");

    QTest::newRow("plain, no file")
            << QStringList{"--mqtt", "mqtt://plant-broker"} << "plant-broker:1883 plain"
            << ""
            << "tevrano" << true << "";
    QTest::newRow("TLS with user, CA, prefix, file") << QStringList{"--mqtt",
                                                                    "mqtts://tech@10.1.2.3:8884",
                                                                    "--mqtt-ca",
                                                                    "ca.pem",
                                                                    "--mqtt-prefix",
                                                                    "plant/line2",
                                                                    "--no-discovery",
                                                                    "--output",
                                                                    "-"}
                                                     << "10.1.2.3:8884 tls"
                                                     << "tech"
                                                     << "plant/line2" << false << "-";
    QTest::newRow("password in the address") << QStringList{"--mqtt", "mqtt://tech:pw@host"} << ""
                                             << ""
                                             << "" << true << "";
    QTest::newRow("other scheme") << QStringList{"--mqtt", "http://host"} << ""
                                  << ""
                                  << "" << true << "";
    QTest::newRow("CA without TLS")
            << QStringList{"--mqtt", "mqtt://host", "--mqtt-ca", "ca.pem"} << ""
            << ""
            << "" << true << "";
    QTest::newRow("wildcard prefix")
            << QStringList{"--mqtt", "mqtt://host", "--mqtt-prefix", "a/#"} << ""
            << ""
            << "" << true << "";
    QTest::newRow("option without --mqtt") << QStringList{"--no-discovery"} << ""
                                           << ""
                                           << "" << true << "";
    QTest::newRow("password on the command line")
            << QStringList{"--mqtt", "mqtt://host", "--mqtt-password", "pw"} << ""
            << ""
            << "" << true << "";
}

void tst_LogUnits::mqttArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, broker);
    QFETCH(QString, user);
    QFETCH(QString, prefix);
    QFETCH(bool, discovery);
    QFETCH(QString, output);
    const LogCommand command = parseLogArguments(arguments);
    if (broker.isEmpty()) {
        QCOMPARE(command.kind, LogCommand::Bad);
        return;
    }
    QCOMPARE(command.kind, LogCommand::Run);
    const PublisherSettings &mqtt = command.options.mqttSettings;
    QVERIFY(command.options.mqtt);
    QCOMPARE(QStringLiteral("%1:%2 %3")
                     .arg(mqtt.host)
                     .arg(mqtt.port)
                     .arg(mqtt.tls ? "tls" : "plain"),
             broker);
    QCOMPARE(mqtt.user, user);
    QCOMPARE(mqtt.prefix, prefix);
    QCOMPARE(mqtt.discovery, discovery);
    QCOMPARE(command.options.output, output);
}

void tst_LogUnits::triggers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("level");
    QTest::addColumn<double>("pre");
    QTest::addColumn<double>("post");
    QTest::addColumn<bool>("once");
    const int above = int(Trigger::Kind::Above);
    const int rate = int(Trigger::Kind::Rate);
    QTest::newRow("above, defaults") << QStringList{"--trigger-above", "50"} << true << above
                                     << 50.0 << 10.0 << 10.0 << false;
    QTest::newRow("below, pre, post, once")
            << QStringList{"--trigger-below", "-5.5", "--pre", "2", "--post", "0", "--once"} << true
            << int(Trigger::Kind::Below) << -5.5 << 2.0 << 0.0 << true;
    QTest::newRow("falling rate") << QStringList{"--trigger-rate=-2"} << true << rate << -2.0
                                  << 10.0 << 10.0 << false;
    QTest::newRow("two triggers") << QStringList{"--trigger-above", "1", "--trigger-rate", "1"}
                                  << false << 0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("level not a number")
            << QStringList{"--trigger-above", "hot"} << false << 0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("pre without a trigger")
            << QStringList{"--pre", "1"} << false << 0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("once without a trigger")
            << QStringList{"--once"} << false << 0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("pre over an hour") << QStringList{"--trigger-above", "1", "--pre", "3601"}
                                      << false << 0 << 0.0 << 0.0 << 0.0 << false;
    QTest::newRow("negative post") << QStringList{"--trigger-above", "1", "--post", "-1"} << false
                                   << 0 << 0.0 << 0.0 << 0.0 << false;
}

void tst_LogUnits::triggers()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, valid);
    const LogCommand command = parseLogArguments(arguments);
    QCOMPARE(command.kind, valid ? LogCommand::Run : LogCommand::Bad);
    if (!valid)
        return;
    QVERIFY(command.options.trigger);
    const Trigger &trigger = *command.options.trigger;
    QTEST(int(trigger.kind), "kind");
    QTEST(trigger.level, "level");
    QTEST(trigger.preS, "pre");
    QTEST(trigger.postS, "post");
    QTEST(trigger.once, "once");
}

QTEST_GUILESS_MAIN(tst_LogUnits)
#include "tst_logunits.moc"
