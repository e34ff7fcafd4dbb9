#include "logoptions.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

constexpr int MinIntervalMs = 10;
constexpr int MaxIntervalMs = 60000;
// Ten years: the longest run the millisecond arithmetic need ever see.
constexpr double MaxDurationS = 10 * 366 * 86400.0;

struct Options
{
    QCommandLineOption port{"port", "", "PATH"};
    QCommandLineOption baud{"baud", "", "RATE"};
    QCommandLineOption interval{"interval", "", "MS"};
    QCommandLineOption duration{"duration", "", "SECONDS"};
    QCommandLineOption format{"format", "", "FORMAT"};
    QCommandLineOption output{"output", "", "FILE"};
    QCommandLineOption append{"append"};
    QCommandLineOption quiet{"quiet"};
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
            "Usage: tevrano-log [--port PATH] [--baud 9600|115200] [--interval MS] "
            "[--duration SECONDS] [--format record|csv|jsonl] [--output FILE|-] [--append] "
            "[--quiet]");
}

QString logHelpText()
{
    return logUsageLine() + QStringLiteral(R"(
Logs the thermometer's readings without a window until the duration ends or
SIGINT/SIGTERM arrives.

  --port PATH        use only this port (default: search every port)
  --baud RATE        9600 or 115200 (default: try both)
  --interval MS      time between rows, 10 to 60000 (default 100)
  --duration SECONDS stop after this long; 0 runs until interrupted (default 0)
  --format FORMAT    record, csv or jsonl (default: record for a .txt output, else csv)
  --output FILE      where rows go; - is standard output (default -). An existing
                     file is replaced at the first row, left as it was without one
  --append           add csv or jsonl rows to an existing file of that format
  --quiet            no status line on standard error
  --help             show this text
  --version          show the version

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
                       o.baud,
                       o.interval,
                       o.duration,
                       o.format,
                       o.output,
                       o.append,
                       o.quiet,
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
    options.port = parser.value(o.port);
    if (parser.isSet(o.port) && options.port.isEmpty())
        return bad(QStringLiteral("--port needs a path"));

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
    if (options.append && options.output == QLatin1String("-"))
        return bad(QStringLiteral("--append needs an output file"));
    options.quiet = parser.isSet(o.quiet);
    return command;
}
