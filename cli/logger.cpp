#include "logger.h"

#include "console.h"
#include "publisher.h"
#include "recordfile.h"
#include "statusline.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int StatusPeriodMs = 250;
constexpr qint64 StallMs = 1000;

void printError(const QString &message)
{
    std::fprintf(stderr, "tevrano-log: %s\n", qPrintable(message));
}

} // namespace

Logger::Logger(const LogOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_output(options.format, options.intervalMs)
{
    m_sampleTimer.setSingleShot(true);
    m_sampleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_sampleTimer, &QTimer::timeout, this, &Logger::sample);
    m_statusTimer.setInterval(StatusPeriodMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &Logger::drawStatus);

    connect(&m_instrument, &Instrument::openFailed, this, [this](const Instrument::Link &link) {
        if (!m_sampling)
            fail(ExitFailed, QStringLiteral("cannot open %1").arg(link.portName));
    });
    // Sampling starts once a valid reading, the emissivity (for the record header) and, for the
    // broker, the serial number are in, so the first row is not a gap; an instrument that stays
    // silent after opening still gets its rows, as gaps.
    const auto startWhenReady = [this] {
        if (m_instrument.latest().msecsSinceEpoch > 0
            && std::isfinite(m_instrument.parameter(Instrument::Parameter::Emissivity))
            && (!m_publisher || m_instrument.serialNumber() != 0))
            startSampling();
    };
    connect(&m_instrument, &Instrument::objectTemperature, this, startWhenReady);
    connect(&m_instrument, &Instrument::parameterRead, this, startWhenReady);
    connect(&m_instrument, &Instrument::opened, this, [this] {
        QTimer::singleShot(Instrument::NotRespondingAfterMs, this, &Logger::startSampling);
    });
}

Logger::~Logger() = default;

void Logger::startSampling()
{
    if (m_sampling || m_ended)
        return;
    m_sampling = true;
    const double emissivity = m_instrument.parameter(Instrument::Parameter::Emissivity);
    m_output.setEmissivity(std::isfinite(emissivity) ? float(emissivity) : 0.0f);
    m_clock.start();
    sample();
}

std::optional<int> Logger::start()
{
    QString error;
    if (!m_output.open(m_options.output, &error)) {
        printError(error);
        return ExitOutputFailed;
    }
    if (m_options.mqtt) {
        PublisherSettings settings = m_options.mqttSettings;
        settings.queueDirectory
                = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                  + QLatin1Char('/') + QCoreApplication::applicationName()
                  + QStringLiteral("/mqtt-queue");
        m_publisher = std::make_unique<Publisher>(settings);
        connect(m_publisher.get(), &Publisher::problem, this, &Logger::printNote);
    }
    const QStringList ports
            = m_options.port.isEmpty() ? QStringList() : QStringList{m_options.port};
    const QList<qint32> rates = m_options.baud ? QList<qint32>{m_options.baud} : QList<qint32>();
    const std::optional<Instrument::Link> link = m_instrument.search(ports, rates);
    if (!link) {
        m_output.finish();
        printError(m_options.port.isEmpty()
                           ? QStringLiteral("no instrument found")
                           : QStringLiteral("no instrument found on %1").arg(m_options.port));
        return ExitNoInstrument;
    }
    m_instrument.open(*link);
    if (!m_options.quiet && stderrIsTerminal())
        m_statusTimer.start();
    return std::nullopt;
}

void Logger::stop()
{
    end(ExitDone);
}

void Logger::printNote(const QString &message)
{
    if (m_statusWidth > 0)
        std::fputc('\n', stderr);
    m_statusWidth = 0;
    printError(message);
}

void Logger::fail(int exitStatus, const QString &message)
{
    if (m_ended)
        return;
    printNote(message);
    end(exitStatus);
}

void Logger::end(int exitStatus)
{
    if (m_ended)
        return;
    m_ended = true;
    m_sampleTimer.stop();
    m_statusTimer.stop();
    if (m_statusWidth > 0) {
        drawStatus();
        std::fputc('\n', stderr);
    }
    m_instrument.close();
    m_publisher.reset(); // says "offline" and leaves the queue durable
    if (!m_output.finish() && exitStatus == ExitDone) {
        printError(QStringLiteral("cannot complete %1: %2")
                           .arg(m_options.output, m_output.errorString()));
        exitStatus = ExitOutputFailed;
    }
    emit finished(exitStatus);
}

void Logger::sample()
{
    // Rows are due at whole multiples of the interval from the first; a late timer catches up,
    // but a stalled process (a suspended machine) does not make up rows it never sampled.
    const qint64 interval = m_options.intervalMs;
    const qint64 durationMs = qint64(std::ceil(m_options.durationS * 1000));
    if (m_clock.elapsed() - m_nextSample * interval > StallMs)
        m_nextSample = m_clock.elapsed() / interval;
    while (m_nextSample * interval <= m_clock.elapsed()) {
        if (durationMs > 0 && m_nextSample * interval >= durationMs) {
            stop();
            return;
        }
        const QDateTime now = QDateTime::currentDateTime();
        const Instrument::Reading reading = m_instrument.latest();
        // Only valid readings count: an answer outside the instrument's range is none.
        const bool gap = isSampleGap(now.toMSecsSinceEpoch() - reading.msecsSinceEpoch,
                                     m_options.intervalMs);
        LogRow row;
        row.time = now;
        row.elapsedS = m_clock.elapsed() / 1000.0;
        row.object = gap ? std::nan("") : reading.object;
        row.ambient = gap ? std::nan("") : reading.ambient;
        row.fahrenheit = reading.unit == 1;
        if (!m_output.write(row)) {
            fail(ExitOutputFailed,
                 QStringLiteral("cannot write %1: %2")
                         .arg(m_options.output, m_output.errorString()));
            return;
        }
        // Topics are named by the serial number, read right after the instrument opens.
        if (m_publisher && m_instrument.serialNumber() != 0)
            m_publisher->publish({QString::number(m_instrument.serialNumber()),
                                  row.time,
                                  row.object,
                                  row.ambient,
                                  row.fahrenheit});
        ++m_nextSample;
    }
    m_sampleTimer.start(int(std::max<qint64>(0, m_nextSample * interval - m_clock.elapsed())));
}

void Logger::drawStatus()
{
    LogStatus status;
    const Instrument::Link link = m_instrument.link();
    status.port = link.portName;
    status.baud = link.baud;
    switch (m_instrument.state()) {
    case Instrument::ConnectionState::Connected:
        break;
    case Instrument::ConnectionState::NotResponding:
        status.note = QStringLiteral("not responding");
        break;
    case Instrument::ConnectionState::Lost:
        status.note = QStringLiteral("lost, waiting for it to return");
        break;
    default:
        status.note = QStringLiteral("opening");
        break;
    }
    status.rows = m_output.rows();
    const Instrument::Reading reading = m_instrument.latest();
    const bool gap = isSampleGap(QDateTime::currentMSecsSinceEpoch() - reading.msecsSinceEpoch,
                                 m_options.intervalMs);
    status.latest = gap ? std::nan("") : reading.object;
    status.fahrenheit = reading.unit == 1;
    status.elapsedS = m_sampling ? m_clock.elapsed() / 1000.0 : 0.0;
    status.durationS = m_options.durationS;
    const QByteArray line = statusLine(status).toUtf8();
    // Redrawn in place; a shorter line blanks what is left of the longer one before it.
    const int width = line.size();
    std::fprintf(stderr, "\r%s%*s", line.constData(), std::max(0, m_statusWidth - width), "");
    std::fflush(stderr);
    m_statusWidth = width;
}
