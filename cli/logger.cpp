#include "logger.h"

#include "console.h"
#include "recordfile.h"
#include "statusline.h"
#include "temperatureunit.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

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
    if (options.trigger)
        m_capture.emplace(*options.trigger);
    m_sampleTimer.setSingleShot(true);
    m_sampleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_sampleTimer, &QTimer::timeout, this, &Logger::sample);
    m_statusTimer.setInterval(StatusPeriodMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &Logger::drawStatus);

    connect(&m_instrument, &Instrument::openFailed, this, [this](const Instrument::Link &link) {
        if (!m_sampling)
            fail(ExitFailed, QStringLiteral("cannot open %1").arg(link.portName));
    });
    // Sampling starts once a valid reading and the emissivity (for the record header) are in, so
    // the first row is not a gap; an instrument that stays silent after opening still gets its
    // rows, as gaps.
    const auto startWhenReady = [this] {
        if (m_instrument.latest().msecsSinceEpoch > 0
            && std::isfinite(m_instrument.parameter(Instrument::Parameter::Emissivity)))
            startSampling();
    };
    connect(&m_instrument, &Instrument::objectTemperature, this, startWhenReady);
    connect(&m_instrument, &Instrument::parameterRead, this, startWhenReady);
    connect(&m_instrument, &Instrument::opened, this, [this] {
        QTimer::singleShot(Instrument::NotRespondingAfterMs, this, &Logger::startSampling);
    });
}

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

void Logger::fail(int exitStatus, const QString &message)
{
    if (m_ended)
        return;
    if (m_statusWidth > 0)
        std::fputc('\n', stderr);
    m_statusWidth = 0;
    printError(message);
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
        row.markers = std::exchange(m_markers, {});
        ++m_nextSample;
        bool written = true;
        if (!m_capture) {
            written = write(std::move(row), false);
        } else {
            const double seconds = row.elapsedS;
            const double celsius = TemperatureUnit::toCelsius(row.object, reading.unit);
            const bool alarm = m_instrument.alarmState() != AlarmState::None;
            m_capture->push(seconds, celsius, alarm, std::move(row), [&](LogRow &&due, bool opens) {
                written = written && write(std::move(due), opens);
            });
        }
        if (!written) {
            fail(ExitOutputFailed,
                 QStringLiteral("cannot write %1: %2")
                         .arg(m_options.output, m_output.errorString()));
            return;
        }
        if (m_capture && m_capture->gate().finished()) {
            stop();
            return;
        }
    }
    m_sampleTimer.start(int(std::max<qint64>(0, m_nextSample * interval - m_clock.elapsed())));
}

bool Logger::write(LogRow &&row, bool opensCapture)
{
    if (opensCapture)
        row.markers.prepend({row.elapsedS, m_capture->gate().trigger().name()});
    return m_output.write(row);
}

void Logger::addMarker(const QString &text)
{
    m_markers.append({m_sampling ? m_clock.elapsed() / 1000.0 : 0.0, text});
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
