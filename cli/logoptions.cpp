#include "logoptions.h"

#include "brokerurl.h"

#include <QCommandLineParser>
#include <QFile>

#include <cmath>

namespace {

constexpr int MinIntervalMs = 10;
constexpr int MaxIntervalMs = 60000;
// Ten years: the longest run the millisecond arithmetic need ever see.
constexpr double MaxDurationS = 10 * 366 * 86400.0;

struct Options
{
    QCommandLineOption port{"port", "", "PATH"};
    QCommandLineOption all{"all"};
    QCommandLineOption baud{"baud", "", "RATE"};
    QCommandLineOption interval{"interval", "", "MS"};
    QCommandLineOption duration{"duration", "", "SECONDS"};
    QCommandLineOption format{"format", "", "FORMAT"};
    QCommandLineOption output{"output", "", "FILE"};
    QCommandLineOption append{"append"};
    QCommandLineOption quiet{"quiet"};
    QCommandLineOption mqtt{"mqtt", "", "URL"};
    QCommandLineOption mqttCa{"mqtt-ca", "", "FILE"};
    QCommandLineOption mqttPrefix{"mqtt-prefix", "", "PREFIX"};
    QCommandLineOption mqttPasswordFile{"mqtt-password-file", "", "FILE"};
    QCommandLineOption noDiscovery{"no-discovery"};
    QCommandLineOption above{"trigger-above", "", "C"};
    QCommandLineOption below{"trigger-below", "", "C"};
    QCommandLineOption rate{"trigger-rate", "", "R"};
    QCommandLineOption pre{"pre", "", "SECONDS"};
    QCommandLineOption post{"post", "", "SECONDS"};
    QCommandLineOption once{"once"};
    QCommandLineOption help{"help"};
    QCommandLineOption version{"version"};
};

LogCommand bad(const QString &error)
{
    LogCommand command;
    command.kind = LogCommand::Bad;
    command.error = error;
    return command;
}

} // namespace

QString logUsageLine()
{
    return QStringLiteral(
            "Usage: tevrano-log [--port PATH]... [--all] [--baud 9600|115200] [--interval MS] "
            "[--duration SECONDS] [--format record|csv|jsonl] [--output FILE|-] [--append] "
            "[--quiet] [--trigger-above C|--trigger-below C|--trigger-rate R [--pre S] [--post S] "
            "[--once]] [--mqtt mqtt[s]://[user@]host[:port] [--mqtt-ca FILE] "
            "[--mqtt-prefix PREFIX] [--mqtt-password-file FILE] [--no-discovery]]");
}

QString logHelpText()
{
    return logUsageLine() + QStringLiteral(R"(
Logs the thermometer's readings without a window until the duration ends or
SIGINT/SIGTERM arrives.

  --port PATH        use only this port (default: search every port); given
                     several times, log the instrument on each of them
  --all              log every instrument found (up to 8), also those plugged
                     in later, each rejoining by its serial number after a loss
  --baud RATE        9600 or 115200 (default: try both)
  --interval MS      time between rows, 10 to 60000 (default 100)
  --duration SECONDS stop after this long; 0 runs until interrupted (default 0)
  --format FORMAT    record, csv or jsonl (default: record for a .txt output, else csv)
  --output FILE      where rows go; - is standard output (default -, none with --mqtt).
                     An existing file is replaced at the first row, left as it was
                     without one. With --format record, {instrument} in FILE
                     stands for the serial number, one file per instrument
                     (needed with several instruments)
  --append           add csv or jsonl rows to an existing file of that format, in
                     its layout (rows of files from before the instrument field
                     go on without it, but not with several instruments)
  --quiet            no status line on standard error
  --trigger-above C  write only captures around the object going above C degrees
                     Celsius; it clears 0.5 degrees below C
  --trigger-below C  the same below C; it clears 0.5 degrees above C
  --trigger-rate R   the same while the object changes faster than R degrees
                     Celsius a second over the last second; a negative R means a
                     fall; it clears below half the rate
  --pre SECONDS      a capture starts this long before its trigger, up to 3600
                     (default 10)
  --post SECONDS     and ends this long after the trigger cleared (default 10)
  --once             stop after the first capture instead of waiting for the next
  --mqtt URL         also publish each row to an MQTT broker: mqtt://[user@]host[:port]
                     (default port 1883) or mqtts://... for TLS with the certificate
                     checked (default port 8883); --output may then be omitted (no file)
  --mqtt-ca FILE     the CA certificates (PEM) that vouch for an mqtts broker
                     (default: the system's)
  --mqtt-prefix P    topics are P/<serial number>/state and .../availability
                     (default tevrano)
  --mqtt-password-file FILE
                     the broker password is the file's first line; without it the
                     environment variable TEVRANO_MQTT_PASSWORD is used
  --no-discovery     no Home Assistant discovery configs under homeassistant/
  --help             show this text
  --version          show the version

While the broker cannot be reached, rows wait in a queue on disk (at most 100 MB,
the oldest dropped first) in ~/.config/tevrano-log/mqtt-queue and go out, marked
"replayed", when it returns, also after a crash or in the next run.

Every csv and jsonl row ends with the instrument's serial number (the csv
"instrument" column, the jsonl "instrument" key), one stream for all instruments.
Each instrument is recorded on its own: one that is lost gets gap rows, the
others go on. A row's time is when its own instrument's sample was taken; with
several instruments elapsed_s and --duration count from the program's start.
With --mqtt each instrument publishes under its own serial number's topics.

Each capture's first row carries the marker "trigger: ..." naming it; elapsed_s
counts from the start of the run, so all captures of a file share one time axis.
Each instrument has its own captures; --once ends the run after the first of any.
SIGUSR1 adds the marker "external" to each instrument's next row (with a
trigger, only if that row is written); "instrument lost", "instrument back", "high alarm started",
"low alarm started" and "alarm ended" mark what happened to the instrument. Markers go into the csv "marker" column, the jsonl
"marker" field (null on rows without one) and record files as "Marker:" lines.

Exit status: 0 done or interrupted, 1 other error, 2 no instrument found,
3 the output cannot be written.
)");
}

LogCommand parseLogArguments(const QStringList &arguments)
{
    const Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({o.port,
                       o.all,
                       o.baud,
                       o.interval,
                       o.duration,
                       o.format,
                       o.output,
                       o.append,
                       o.quiet,
                       o.mqtt,
                       o.mqttCa,
                       o.mqttPrefix,
                       o.mqttPasswordFile,
                       o.noDiscovery,
                       o.above,
                       o.below,
                       o.rate,
                       o.pre,
                       o.post,
                       o.once,
                       o.help,
                       o.version});
    if (!parser.parse(QStringList{QStringLiteral("tevrano-log")} + arguments)) {
        QString error = parser.errorText();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        return bad(error);
    }
    if (!parser.positionalArguments().isEmpty())
        return bad(QStringLiteral("unexpected argument '%1'")
                           .arg(parser.positionalArguments().first()));

    LogCommand command;
    if (parser.isSet(o.help)) {
        command.kind = LogCommand::Help;
        return command;
    }
    if (parser.isSet(o.version)) {
        command.kind = LogCommand::Version;
        return command;
    }

    LogOptions &options = command.options;
    options.ports = parser.values(o.port);
    if (options.ports.contains(QString()))
        return bad(QStringLiteral("--port needs a path"));
    options.all = parser.isSet(o.all);

    bool ok = true;
    if (parser.isSet(o.baud)) {
        options.baud = parser.value(o.baud).toInt(&ok);
        if (!ok || (options.baud != 9600 && options.baud != 115200))
            return bad(QStringLiteral("--baud must be 9600 or 115200"));
    }
    if (parser.isSet(o.interval)) {
        options.intervalMs = parser.value(o.interval).toInt(&ok);
        if (!ok || options.intervalMs < MinIntervalMs || options.intervalMs > MaxIntervalMs)
            return bad(QStringLiteral("--interval must be %1 to %2 milliseconds")
                               .arg(MinIntervalMs)
                               .arg(MaxIntervalMs));
    }
    if (parser.isSet(o.duration)) {
        options.durationS = parser.value(o.duration).toDouble(&ok);
        if (!ok || !(options.durationS >= 0 && options.durationS <= MaxDurationS))
            return bad(QStringLiteral("--duration must be 0 to %1 seconds")
                               .arg(MaxDurationS, 0, 'f', 0));
    }
    if (parser.isSet(o.output)) {
        options.output = parser.value(o.output);
        if (options.output.isEmpty())
            return bad(QStringLiteral("--output needs a file name or -"));
    }
    if (parser.isSet(o.format)) {
        const QString name = parser.value(o.format);
        if (name == QLatin1String("record"))
            options.format = LogFormat::Record;
        else if (name == QLatin1String("csv"))
            options.format = LogFormat::Csv;
        else if (name == QLatin1String("jsonl"))
            options.format = LogFormat::Jsonl;
        else
            return bad(QStringLiteral("unknown format '%1'").arg(name));
    } else {
        options.format = options.output.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)
                                 ? LogFormat::Record
                                 : LogFormat::Csv;
    }
    options.append = parser.isSet(o.append);
    if (options.append && options.format == LogFormat::Record)
        return bad(QStringLiteral("--append takes csv or jsonl rows"));
    const bool named = options.output.contains(instrumentPlaceholder());
    if (named && options.format != LogFormat::Record)
        return bad(QStringLiteral("{instrument} in --output needs --format record"));
    if (!named && options.format == LogFormat::Record && options.severalInstruments())
        return bad(QStringLiteral("--format record with several instruments needs {instrument} "
                                  "in --output, one file each"));
    if (options.append && options.output == QLatin1String("-"))
        return bad(QStringLiteral("--append needs an output file"));
    options.quiet = parser.isSet(o.quiet);

    const std::pair<const QCommandLineOption *, Trigger::Kind> kinds[] = {
            {&o.above, Trigger::Kind::Above},
            {&o.below, Trigger::Kind::Below},
            {&o.rate, Trigger::Kind::Rate},
    };
    for (const auto &[option, kind] : kinds) {
        if (!parser.isSet(*option))
            continue;
        if (options.trigger)
            return bad(QStringLiteral("only one of --trigger-above, --trigger-below and "
                                      "--trigger-rate"));
        const QString name = QStringLiteral("--") + option->names().first();
        options.trigger.emplace();
        options.trigger->kind = kind;
        options.trigger->level = parser.value(*option).toDouble(&ok);
        if (!ok || !std::isfinite(options.trigger->level))
            return bad(QStringLiteral("%1 needs a number").arg(name));
    }
    for (const QCommandLineOption *option : {&o.pre, &o.post, &o.once}) {
        if (parser.isSet(*option) && !options.trigger)
            return bad(QStringLiteral("--%1 needs a trigger").arg(option->names().first()));
    }
    if (options.trigger) {
        Trigger &trigger = *options.trigger;
        if (parser.isSet(o.pre)) {
            trigger.preS = parser.value(o.pre).toDouble(&ok);
            if (!ok || !(trigger.preS >= 0 && trigger.preS <= Trigger::MaxPreS))
                return bad(QStringLiteral("--pre must be 0 to %1 seconds").arg(Trigger::MaxPreS));
        }
        if (parser.isSet(o.post)) {
            trigger.postS = parser.value(o.post).toDouble(&ok);
            if (!ok || !std::isfinite(trigger.postS) || trigger.postS < 0)
                return bad(QStringLiteral("--post must be 0 or more seconds"));
        }
        options.trigger->once = parser.isSet(o.once);
    }

    options.mqtt = parser.isSet(o.mqtt);
    for (const QCommandLineOption *option :
         {&o.mqttCa, &o.mqttPrefix, &o.mqttPasswordFile, &o.noDiscovery})
        if (parser.isSet(*option) && !options.mqtt)
            return bad(QStringLiteral("--%1 needs --mqtt").arg(option->names().first()));
    if (!options.mqtt)
        return command;
    PublisherSettings &mqtt = options.mqttSettings;
    QString error;
    if (!parseBrokerUrl(parser.value(o.mqtt), &mqtt, &error))
        return bad(error);
    mqtt.intervalMs = options.intervalMs;
    mqtt.discovery = !parser.isSet(o.noDiscovery);
    mqtt.caFile = parser.value(o.mqttCa);
    if (parser.isSet(o.mqttCa) && (mqtt.caFile.isEmpty() || !mqtt.tls))
        return bad(QStringLiteral("--mqtt-ca needs a file and an mqtts:// broker"));
    if (parser.isSet(o.mqttPrefix)) {
        mqtt.prefix = parser.value(o.mqttPrefix);
        if (!isValidTopicPrefix(mqtt.prefix))
            return bad(QStringLiteral(
                    "--mqtt-prefix must be a topic without + or # and without a / at either end"));
    }
    options.mqttPasswordFile = parser.value(o.mqttPasswordFile);
    if (parser.isSet(o.mqttPasswordFile) && options.mqttPasswordFile.isEmpty())
        return bad(QStringLiteral("--mqtt-password-file needs a file name"));
    if (!parser.isSet(o.output))
        options.output.clear();
    return command;
}

bool loadMqttPassword(LogOptions *options, QString *error)
{
    if (options->mqttPasswordFile.isEmpty()) {
        options->mqttSettings.password = qEnvironmentVariable("TEVRANO_MQTT_PASSWORD");
        return true;
    }
    QFile file(options->mqttPasswordFile);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    options->mqttSettings.password = QString::fromUtf8(line);
    return true;
}
