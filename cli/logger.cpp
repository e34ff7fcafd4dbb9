#include "logger.h"

#include "console.h"
#include "publisher.h"
#include "recordfile.h"
#include "serialports.h"
#include "statusline.h"
#include "temperatureunit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr int StatusPeriodMs = 250;
constexpr std::size_t MaxUnpublishedRows = 360000;

void printError(const QString &message)
{
    std::fprintf(stderr, "tevrano-log: %s\n", qPrintable(message));
}

} // namespace

Logger::Logger(const LogOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_output(options.format)
{
    if (options.trigger)
        m_capture.emplace(*options.trigger);
    m_statusTimer.setInterval(StatusPeriodMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &Logger::drawStatus);

    m_session.attach(&m_instrument);
    m_session.setInterval(options.intervalMs);
    // Rows leave the store as they are written; the limit never stops a run.
    m_session.setSampleLimit(INT_MAX);
    connect(&m_session, &RecordingSession::sampled, this, &Logger::writeRows);
    // What happened to the instrument goes into the file beside the readings it explains.
    connect(&m_instrument,
            &Instrument::connectionStateChanged,
            this,
            [this](Instrument::ConnectionState state) {
                using State = Instrument::ConnectionState;
                if (state != State::Lost && state != State::Connected)
                    return;
                const bool lost = state == State::Lost;
                if (std::exchange(m_lost, lost) != lost)
                    addMarker(lost ? QStringLiteral("instrument lost")
                                   : QStringLiteral("instrument back"));
            });
    connect(&m_instrument, &Instrument::alarmChanged, this, [this](AlarmState state) {
        if (std::exchange(m_alarm, state) == state)
            return;
        switch (state) {
        case AlarmState::High:
            addMarker(QStringLiteral("high alarm started"));
            break;
        case AlarmState::Low:
            addMarker(QStringLiteral("low alarm started"));
            break;
        case AlarmState::None:
            addMarker(QStringLiteral("alarm ended"));
            break;
        }
    });
    connect(&m_instrument, &Instrument::openFailed, this, [this](const Instrument::Link &link) {
        if (!m_session.isSampling())
            fail(ExitFailed, QStringLiteral("cannot open %1").arg(link.portName));
    });
}

Logger::~Logger() = default;

std::optional<int> Logger::start()
{
    QString error;
    if (!m_output.open(m_options.output, m_options.append, &error)) {
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
    // Listed, the given port is watched for after a loss like every port the search knows.
    if (!m_options.port.isEmpty())
        prependSerialPort(m_options.port, QString());
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
    m_session.start();
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
    m_session.stop();
    if (exitStatus == ExitDone) {
        // The rows taken up to the stop; writing them may end the run itself.
        writeRows();
        if (m_ended)
            return;
    }
    m_ended = true;
    m_statusTimer.stop();
    if (m_statusWidth > 0) {
        drawStatus();
        std::fputc('\n', stderr);
    }
    m_instrument.close();
    if (m_publisher && !m_unpublished.empty())
        printNote(QStringLiteral("%1 rows not published: the instrument's serial number never came")
                          .arg(m_unpublished.size()));
    m_publisher.reset(); // says "offline" and leaves the queue durable
    // A trigger that never fired still leaves a file to show the watch ran; a run that took no
    // row at all leaves the output as it was, as without a trigger.
    if (m_capture && m_anyRow && m_output.rows() == 0 && exitStatus == ExitDone
        && !m_output.start(m_session.header())) {
        printError(QStringLiteral("cannot write %1: %2")
                           .arg(m_options.output, m_output.errorString()));
        exitStatus = ExitOutputFailed;
    }
    if (!m_output.finish() && exitStatus == ExitDone) {
        printError(QStringLiteral("cannot complete %1: %2")
                           .arg(m_options.output, m_output.errorString()));
        exitStatus = ExitOutputFailed;
    }
    emit finished(exitStatus);
}

void Logger::writeRows()
{
    if (m_ended)
        return;
    const RecordSeries rows = m_session.samples().takeAll();
    const RecordHeader header = m_session.header();
    for (int i = 0; i < rows.durations.size(); ++i) {
        const double duration = rows.durations[i];
        if (m_options.durationS > 0 && duration >= m_options.durationS) {
            stop();
            return;
        }
        LogRow row;
        row.time = QDateTime::fromMSecsSinceEpoch(sampleTime(header.startMsecs, duration));
        row.elapsedS = duration;
        row.object = rows.temperatures[i];
        row.ambient = rows.ambients[i];
        row.fahrenheit = header.unit == 1;
        row.markers = std::exchange(m_markers, {});
        // A marker goes with the first row after it was asked for.
        for (Marker &marker : row.markers)
            marker.seconds = duration;
        m_lastDurationS = duration;
        m_anyRow = true;
        if (!m_capture) {
            if (!write(row, header))
                return;
            continue;
        }
        bool written = true;
        const double celsius = TemperatureUnit::toCelsius(row.object, header.unit);
        const bool alarm = m_instrument.alarmState() != AlarmState::None;
        m_capture->push(duration, celsius, alarm, std::move(row), [&](LogRow &&due, bool opens) {
            if (opens)
                due.markers.prepend({due.elapsedS, m_capture->gate().trigger().name()});
            written = written && write(due, header);
        });
        if (!written)
            return;
        if (m_capture->gate().finished()) {
            stop();
            return;
        }
    }
}

void Logger::publish(const LogRow &row)
{
    if (!m_publisher)
        return;
    m_unpublished.push_back({QString(), row.time, row.object, row.ambient, row.fahrenheit});
    if (m_instrument.serialNumber() == 0) {
        // The serial number is read right after the instrument opens and retried; should it
        // never come, the broker gets the last hour at the longest interval, not the whole run.
        if (m_unpublished.size() > MaxUnpublishedRows)
            m_unpublished.pop_front();
        return;
    }
    const QString instrument = QString::number(m_instrument.serialNumber());
    for (PublishRow &waiting : m_unpublished) {
        waiting.instrument = instrument;
        m_publisher->publish(waiting);
    }
    m_unpublished.clear();
}

bool Logger::write(const LogRow &row, const RecordHeader &header)
{
    if (m_output.write(row, header)) {
        publish(row);
        return true;
    }
    // A reader that went away ends the run as the reader wanted.
    if (m_output.readerGone())
        end(ExitDone);
    else
        fail(ExitOutputFailed,
             QStringLiteral("cannot write %1: %2").arg(m_options.output, m_output.errorString()));
    return false;
}

void Logger::addMarker(const QString &text)
{
    m_markers.append({0.0, text});
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
    status.elapsedS = m_lastDurationS;
    status.durationS = m_options.durationS;
    const QByteArray line = statusLine(status).toUtf8();
    // Redrawn in place; a shorter line blanks what is left of the longer one before it.
    const int width = line.size();
    std::fprintf(stderr, "\r%s%*s", line.constData(), std::max(0, m_statusWidth - width), "");
    std::fflush(stderr);
    m_statusWidth = width;
}
