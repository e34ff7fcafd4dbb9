#include "logger.h"

#include "console.h"
#include "instrumentset.h"
#include "publisher.h"
#include "recordfile.h"
#include "serialports.h"
#include "statusline.h"
#include "temperatureunit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <tuple>
#include <utility>

namespace {

constexpr int StatusPeriodMs = 250;
constexpr std::size_t MaxUnpublishedRows = 360000;
// Rows wait this long for the serial number that names them; it is read right after the
// instrument opens, so only an instrument that never tells it makes them go without.
constexpr qint64 SerialNumberWaitMs = 10000;

void printError(const QString &message)
{
    std::fprintf(stderr, "tevrano-log: %s\n", qPrintable(message));
}

} // namespace

struct Logger::Channel
{
    Instrument *instrument = nullptr; // null once it left the set
    QString serialNumber;             // empty until read
    // Recreated should the instrument leave the set and join again.
    std::unique_ptr<RecordingSession> session;
    RecordHeader header;             // of the rows written last
    std::unique_ptr<LogOutput> file; // a record file of its own, named by {instrument}
    qint64 fileStartMsecs = 0;       // the start its file's header gives
    std::optional<TriggeredCapture<LogRow>> capture;
    QVector<Marker> markers; // for the next row
    // Rows taken before the serial number, which names their topics, was read.
    std::deque<PublishRow> unpublished;
    QElapsedTimer unnamedFor;
    bool anyRow = false; // the session took a row
    bool lost = false;   // for "instrument back"
    AlarmState alarm = AlarmState::None;
};

Logger::Logger(const LogOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_output(options.format)
{
    m_statusTimer.setInterval(StatusPeriodMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &Logger::drawStatus);
    m_searchCheck.setInterval(InstrumentSet::WatchIntervalMs);
    connect(&m_searchCheck, &QTimer::timeout, this, [this] {
        if (!m_channels.empty())
            m_searchCheck.stop();
        if (!m_channels.empty() || m_set->isSearching() || m_set->isJoining())
            return;
        fail(ExitNoInstrument,
             m_options.ports.isEmpty() ? QStringLiteral("no instrument found")
                                       : QStringLiteral("no instrument found on %1")
                                                 .arg(m_options.ports.join(QStringLiteral(", "))));
    });
}

Logger::~Logger()
{
    // Sessions go before the instruments they are attached to.
    m_channels.clear();
}

Logger::Channel &Logger::addChannel(Instrument *instrument, const QString &serialNumber)
{
    auto channel = std::make_unique<Channel>();
    channel->instrument = instrument;
    channel->serialNumber = serialNumber;
    if (m_options.trigger)
        channel->capture.emplace(*m_options.trigger);
    m_channels.push_back(std::move(channel));
    attachSession(*m_channels.back());
    return *m_channels.back();
}

void Logger::attachSession(Channel &channel)
{
    channel.session = std::make_unique<RecordingSession>();
    RecordingSession *session = channel.session.get();
    Instrument *instrument = channel.instrument;
    session->attach(instrument);
    session->setInterval(m_options.intervalMs);
    // Rows leave the store as they are written; the limit never stops a run.
    session->setSampleLimit(INT_MAX);
    Channel *c = &channel;
    connect(session, &RecordingSession::sampled, this, [this, c] { writeRows(*c); });
    // What happened to the instrument goes into the file beside the readings it explains. The
    // session is the context: an instrument that leaves the set goes on under another number.
    connect(instrument,
            &Instrument::connectionStateChanged,
            session,
            [c](Instrument::ConnectionState state) {
                using State = Instrument::ConnectionState;
                if (state != State::Lost && state != State::Connected)
                    return;
                const bool lost = state == State::Lost;
                if (std::exchange(c->lost, lost) != lost)
                    c->markers.append({0.0,
                                       lost ? QStringLiteral("instrument lost")
                                            : QStringLiteral("instrument back")});
            });
    connect(instrument, &Instrument::alarmChanged, session, [c](AlarmState state) {
        if (std::exchange(c->alarm, state) == state)
            return;
        switch (state) {
        case AlarmState::High:
            c->markers.append({0.0, QStringLiteral("high alarm started")});
            break;
        case AlarmState::Low:
            c->markers.append({0.0, QStringLiteral("low alarm started")});
            break;
        case AlarmState::None:
            c->markers.append({0.0, QStringLiteral("alarm ended")});
            break;
        }
    });
    session->start();
}

void Logger::retire(Channel &channel)
{
    if (!channel.session)
        return;
    channel.session->stop();
    writeRows(channel, true);
    channel.session.reset();
    channel.instrument = nullptr;
}

std::optional<int> Logger::start()
{
    QString error;
    // Files named by their instrument open at its first row.
    const bool ownFiles = m_options.output.contains(instrumentPlaceholder());
    if (!m_output.open(ownFiles ? QString() : m_options.output,
                       m_options.append,
                       m_options.severalInstruments(),
                       &error)) {
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
    // Listed, a given port is watched for after a loss like every port the search knows.
    for (const QString &port : m_options.ports)
        prependSerialPort(port, QString());
    const QList<qint32> rates = m_options.baud ? QList<qint32>{m_options.baud} : QList<qint32>();
    if (m_options.severalInstruments()) {
        startSeveral(rates);
    } else {
        m_instrument = std::make_unique<Instrument>();
        const std::optional<Instrument::Link> link = m_instrument->search(m_options.ports, rates);
        if (!link) {
            m_output.finish();
            printError(m_options.ports.isEmpty() ? QStringLiteral("no instrument found")
                                                 : QStringLiteral("no instrument found on %1")
                                                           .arg(m_options.ports.first()));
            return ExitNoInstrument;
        }
        startOne();
        m_instrument->open(*link);
    }
    if (!m_options.quiet && stderrIsTerminal())
        m_statusTimer.start();
    return std::nullopt;
}

void Logger::startOne()
{
    Channel &channel = addChannel(m_instrument.get(), QString());
    RecordingSession *session = channel.session.get();
    connect(m_instrument.get(),
            &Instrument::openFailed,
            session,
            [this, session](const Instrument::Link &link) {
                if (!session->isSampling())
                    fail(ExitFailed, QStringLiteral("cannot open %1").arg(link.portName));
            });
}

void Logger::startSeveral(const QList<qint32> &rates)
{
    // Every instrument's elapsed_s counts from here, so none is ever negative.
    m_runStartMsecs = QDateTime::currentMSecsSinceEpoch();
    m_set = std::make_unique<InstrumentSet>();
    connect(m_set.get(),
            &InstrumentSet::instrumentAdded,
            this,
            [this](const QString &serialNumber, Instrument *instrument) {
                for (const std::unique_ptr<Channel> &channel : m_channels) {
                    if (channel->serialNumber == serialNumber) {
                        // Back after another instrument had taken its port, with a session
                        // whose durations start afresh.
                        channel->instrument = instrument;
                        if (m_options.trigger)
                            channel->capture.emplace(*m_options.trigger);
                        attachSession(*channel);
                        return;
                    }
                }
                addChannel(instrument, serialNumber);
            });
    connect(m_set.get(), &InstrumentSet::instrumentRemoved, this, [this](const QString &serial) {
        for (const std::unique_ptr<Channel> &channel : m_channels)
            if (channel->serialNumber == serial)
                retire(*channel);
    });
    m_set->start(m_options.ports, rates);
    m_searchCheck.start();
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
    // The first failure tells.
    if (m_ended || m_status != ExitDone)
        return;
    printNote(message);
    end(exitStatus);
}

void Logger::end(int exitStatus)
{
    if (m_ended)
        return;
    if (m_status == ExitDone)
        m_status = exitStatus;
    // Ending already (a row past the duration or a failed write while the rest is written):
    // only the status is kept.
    if (std::exchange(m_ending, true))
        return;
    m_searchCheck.stop();
    for (const std::unique_ptr<Channel> &channel : m_channels)
        if (channel->session)
            channel->session->stop();
    // The rows taken up to the stop.
    for (const std::unique_ptr<Channel> &channel : m_channels)
        if (m_status == ExitDone)
            writeRows(*channel, true);
    m_ended = true;
    m_statusTimer.stop();
    if (m_statusWidth > 0) {
        drawStatus();
        std::fputc('\n', stderr);
    }
    std::size_t unpublished = 0;
    for (const std::unique_ptr<Channel> &channel : m_channels) {
        unpublished += channel->unpublished.size();
        channel->session.reset();
    }
    if (m_set) {
        m_set->disconnect(this);
        m_set->stop();
    }
    if (m_instrument)
        m_instrument->close();
    if (m_publisher && unpublished > 0)
        printNote(QStringLiteral("%1 rows not published: the instrument's serial number never came")
                          .arg(unpublished));
    m_publisher.reset(); // says "offline" and leaves the queue durable
    int status = m_status;
    for (const std::unique_ptr<Channel> &channel : m_channels) {
        // A trigger that never fired still leaves a file to show the watch ran; a run that took
        // no row at all leaves the output as it was, as without a trigger.
        LogOutput &output = outputOf(*channel);
        if (channel->capture && channel->anyRow && output.rows() == 0 && status == ExitDone
            && !output.start(channel->header)) {
            printError(QStringLiteral("cannot write %1: %2")
                               .arg(pathOf(*channel), output.errorString()));
            status = ExitOutputFailed;
        }
        if (channel->file && !channel->file->finish() && status == ExitDone) {
            printError(QStringLiteral("cannot complete %1: %2")
                               .arg(pathOf(*channel), channel->file->errorString()));
            status = ExitOutputFailed;
        }
    }
    if (!m_output.finish() && status == ExitDone) {
        printError(QStringLiteral("cannot complete %1: %2")
                           .arg(m_options.output, m_output.errorString()));
        status = ExitOutputFailed;
    }
    emit finished(status);
}

bool Logger::named(Channel &channel)
{
    if (channel.serialNumber.isEmpty() && channel.instrument
        && channel.instrument->serialNumber() != 0)
        channel.serialNumber = QString::number(channel.instrument->serialNumber());
    if (!channel.serialNumber.isEmpty())
        return true;
    if (!channel.unnamedFor.isValid())
        channel.unnamedFor.start();
    return channel.unnamedFor.hasExpired(SerialNumberWaitMs);
}

QString Logger::pathOf(const Channel &channel) const
{
    QString path = m_options.output;
    if (!channel.file)
        return path;
    return path.replace(instrumentPlaceholder(),
                        channel.serialNumber.isEmpty() ? QStringLiteral("unknown")
                                                       : channel.serialNumber);
}

bool Logger::openFile(Channel &channel)
{
    if (channel.file || !m_options.output.contains(instrumentPlaceholder()))
        return true;
    channel.file = std::make_unique<LogOutput>(m_options.format);
    QString error;
    if (channel.file->open(pathOf(channel), false, false, &error))
        return true;
    fail(ExitOutputFailed, error);
    return false;
}

LogOutput &Logger::outputOf(Channel &channel)
{
    return channel.file ? *channel.file : m_output;
}

void Logger::writeRows(Channel &channel, bool last)
{
    if (m_ended || !channel.session || (!last && !named(channel)))
        return;
    const RecordSeries rows = channel.session->samples().takeAll();
    if (rows.durations.isEmpty())
        return;
    const RecordHeader header = channel.session->header();
    channel.header = header;
    if (!openFile(channel))
        return;
    if (!m_runStartMsecs)
        m_runStartMsecs = header.startMsecs;
    if (channel.file && channel.fileStartMsecs == 0)
        channel.fileStartMsecs = header.startMsecs;
    // Durations count from the session's start; the run's and a file's start may be earlier.
    const double sinceRunStart = (header.startMsecs - *m_runStartMsecs) / 1000.0;
    const double sinceFileStart
            = channel.file ? (header.startMsecs - channel.fileStartMsecs) / 1000.0 : sinceRunStart;
    for (int i = 0; i < rows.durations.size(); ++i) {
        const double duration = rows.durations[i];
        const double elapsed = duration + sinceRunStart;
        if (m_options.durationS > 0 && elapsed >= m_options.durationS) {
            stop();
            return;
        }
        LogRow row;
        row.time = QDateTime::fromMSecsSinceEpoch(sampleTime(header.startMsecs, duration));
        row.elapsedS = duration + sinceFileStart;
        row.object = rows.temperatures[i];
        row.ambient = rows.ambients[i];
        row.fahrenheit = header.unit == 1;
        row.instrument = channel.serialNumber;
        row.markers = std::exchange(channel.markers, {});
        // A marker goes with the first row after it was asked for.
        for (Marker &marker : row.markers)
            marker.seconds = row.elapsedS;
        m_lastElapsedS = std::max(m_lastElapsedS, elapsed);
        channel.anyRow = true;
        if (!channel.capture) {
            if (!write(channel, row, header))
                return;
            continue;
        }
        bool written = true;
        const double celsius = TemperatureUnit::toCelsius(row.object, header.unit);
        const bool alarm
                = channel.instrument && channel.instrument->alarmState() != AlarmState::None;
        TriggeredCapture<LogRow> &capture = *channel.capture;
        capture.push(duration, celsius, alarm, std::move(row), [&](LogRow &&due, bool opens) {
            if (opens)
                due.markers.prepend({due.elapsedS, capture.gate().trigger().name()});
            written = written && write(channel, due, header);
        });
        if (!written)
            return;
        if (capture.gate().finished()) {
            stop();
            return;
        }
    }
}

void Logger::publish(Channel &channel, const LogRow &row)
{
    if (!m_publisher)
        return;
    channel.unpublished.push_back({QString(), row.time, row.object, row.ambient, row.fahrenheit});
    if (!named(channel) || channel.serialNumber.isEmpty()) {
        // Should the serial number never come, the broker gets the last hour at the longest
        // interval, not the whole run.
        if (channel.unpublished.size() > MaxUnpublishedRows)
            channel.unpublished.pop_front();
        return;
    }
    for (PublishRow &waiting : channel.unpublished) {
        waiting.instrument = channel.serialNumber;
        m_publisher->publish(waiting);
    }
    channel.unpublished.clear();
}

bool Logger::write(Channel &channel, const LogRow &row, const RecordHeader &header)
{
    LogOutput &output = outputOf(channel);
    if (output.write(row, header)) {
        publish(channel, row);
        return true;
    }
    // A reader that went away ends the run as the reader wanted.
    if (output.readerGone())
        end(ExitDone);
    else
        fail(ExitOutputFailed,
             QStringLiteral("cannot write %1: %2").arg(pathOf(channel), output.errorString()));
    return false;
}

void Logger::addMarker(const QString &text)
{
    for (const std::unique_ptr<Channel> &channel : m_channels)
        channel->markers.append({0.0, text});
}

void Logger::drawStatus()
{
    LogStatus status;
    const auto noteOf = [](const Instrument *instrument) {
        switch (instrument ? instrument->state() : Instrument::ConnectionState::Lost) {
        case Instrument::ConnectionState::Connected:
            return QString();
        case Instrument::ConnectionState::NotResponding:
            return QStringLiteral("not responding");
        case Instrument::ConnectionState::Lost:
            return QStringLiteral("lost, waiting for it to return");
        default:
            return QStringLiteral("opening");
        }
    };
    // The latest valid reading; NaN when it is too old to be one.
    const auto latestOf = [this](const Instrument &instrument) {
        const Instrument::Reading reading = instrument.latest();
        const bool gap = isSampleGap(QDateTime::currentMSecsSinceEpoch() - reading.msecsSinceEpoch,
                                     m_options.intervalMs);
        return std::make_pair(gap ? std::nan("") : reading.object, reading.unit == 1);
    };
    if (m_instrument) {
        const Instrument::Link link = m_instrument->link();
        status.port = link.portName;
        status.baud = link.baud;
        status.note = noteOf(m_instrument.get());
        std::tie(status.latest, status.fahrenheit) = latestOf(*m_instrument);
    } else {
        // Several: each by its serial number with its reading or its trouble.
        QStringList instruments;
        for (const std::unique_ptr<Channel> &channel : m_channels) {
            QString note = noteOf(channel->instrument);
            if (note.isEmpty()) {
                const auto [latest, fahrenheit] = latestOf(*channel->instrument);
                note = readingText(latest, fahrenheit);
            }
            instruments.append(channel->serialNumber + QLatin1Char(' ') + note);
        }
        status.port = instruments.isEmpty() ? QStringLiteral("searching")
                                            : instruments.join(QStringLiteral(", "));
        status.showLatest = false;
    }
    status.rows = m_output.rows();
    for (const std::unique_ptr<Channel> &channel : m_channels)
        if (channel->file)
            status.rows += channel->file->rows();
    status.elapsedS = m_lastElapsedS;
    status.durationS = m_options.durationS;
    const QByteArray line = statusLine(status).toUtf8();
    // Redrawn in place; a shorter line blanks what is left of the longer one before it.
    const int width = line.size();
    std::fprintf(stderr, "\r%s%*s", line.constData(), std::max(0, m_statusWidth - width), "");
    std::fflush(stderr);
    m_statusWidth = width;
}
