// tevrano-log: the thermometer's readings to a file or a pipe, without a window.
#include "console.h"
#include "logger.h"
#include "logoptions.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Standard error carries only errors and the status line: the serial layer's progress chatter
// and Qt's warnings stay out of scripts' way.
void errorsOnly(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tevrano-log: %s\n", qPrintable(message));
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const LogCommand command = parseLogArguments(arguments);
    switch (command.kind) {
    case LogCommand::Help:
        std::fputs(qPrintable(logHelpText()), stdout);
        return ExitDone;
    case LogCommand::Version:
        std::printf("tevrano-log %s\n", TEVRANO_VERSION);
        return ExitDone;
    case LogCommand::Bad:
        std::fprintf(stderr,
                     "tevrano-log: %s. %s\n",
                     qPrintable(command.error),
                     qPrintable(logUsageLine()));
        return ExitFailed;
    case LogCommand::Run:
        break;
    }
    LogOptions options = command.options;
    QString error;
    if (options.mqtt && !loadMqttPassword(&options, &error)) {
        std::fprintf(stderr, "tevrano-log: %s\n", qPrintable(error));
        return ExitFailed;
    }

    qInstallMessageHandler(errorsOnly);
    ignoreBrokenPipe();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tevrano-log"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TEVRANO_VERSION));

    StopSignals stopSignals;
    Logger logger(options);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &logger, &Logger::stop);
    QObject::connect(&stopSignals, &StopSignals::markerRequested, &logger, [&logger] {
        logger.addMarker(QStringLiteral("external"));
    });
    QObject::connect(
            &logger, &Logger::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (const std::optional<int> status = logger.start())
        return *status;
    return app.exec();
}
