#include "instrumentsimulator.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// A request that stops half-way is given up after this much silence, so a later request is
// not glued onto its remains.
constexpr int PartialRequestTimeoutMs = 200;
// Noise goes out in slices this far apart.
constexpr int NoiseSliceMs = 10;
// More than a slice of any line rate; the rest of a slice that does not fit is dropped, as
// bytes are lost on a line whose receiver does not keep up.
constexpr qint64 MaxNoiseSlice = 64 * 1024;

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

InstrumentSimulator::InstrumentSimulator(const Config &config)
    : m_config(config)
{
    m_state.setIdentity(config.identity);
    m_state.setFeatureMask(config.featureMask);
    m_state.setRequireWriteEnable(config.requireWriteEnable);
}

InstrumentSimulator::~InstrumentSimulator()
{
    unplug();
    if (m_logFile)
        std::fclose(m_logFile);
}

bool InstrumentSimulator::start(QString *error)
{
    if (!m_config.logPath.isEmpty() && !m_logFile) {
        m_logFile = std::fopen(QFile::encodeName(m_config.logPath).constData(), "a");
        if (!m_logFile) {
            if (error)
                *error = QStringLiteral("cannot open log file %1").arg(m_config.logPath);
            return false;
        }
    }
    m_startedAt = now();
    return replug(error);
}

bool InstrumentSimulator::replug(QString *error)
{
    if (m_thread.joinable())
        return true;
    if (!openTerminal(error))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread(&InstrumentSimulator::run, this);
    return true;
}

void InstrumentSimulator::unplug()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    const char byte = 0;
    [[maybe_unused]] const ssize_t woken = ::write(m_wakePipe[1], &byte, 1);
    m_thread.join();
    closeTerminal();
}

bool InstrumentSimulator::openTerminal(QString *error)
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0 || ::pipe(m_wakePipe) != 0) {
        if (error)
            *error = QStringLiteral("openpty failed: %1")
                             .arg(QString::fromLocal8Bit(strerror(errno)));
        closeTerminal();
        return false;
    }
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    // Noise must never block the thread that also reads the requests.
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    termios settings{};
    ::tcgetattr(m_slave, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    ::tcsetattr(m_slave, TCSANOW, &settings);

    const QString path = QString::fromLocal8Bit(name);
    if (!m_config.linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(m_config.linkPath);
        ::unlink(link.constData());
        if (::symlink(name, link.constData()) != 0) {
            if (error)
                *error = QStringLiteral("cannot link %1: %2")
                                 .arg(m_config.linkPath, QString::fromLocal8Bit(strerror(errno)));
            closeTerminal();
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_terminalPath = path;
    return true;
}

void InstrumentSimulator::closeTerminal()
{
    for (int *fd : {&m_master, &m_slave, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    // A vanished device leaves no name behind.
    if (!m_config.linkPath.isEmpty())
        ::unlink(QFile::encodeName(m_config.linkPath).constData());
}

QString InstrumentSimulator::devicePath() const
{
    if (!m_config.linkPath.isEmpty())
        return m_config.linkPath;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_terminalPath;
}

void InstrumentSimulator::run()
{
    SimProtocol::RequestParser parser(m_config.framing);
    char buffer[512];
    qint64 lastInput = now();
    for (;;) {
        int timeout = parser.hasPartial()
                              ? int(qMax<qint64>(0, lastInput + PartialRequestTimeoutMs - now()))
                              : -1;
        bool noisy = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            noisy = m_faults.noiseBytesPerSecond > 0;
        }
        if (noisy)
            timeout = timeout < 0 ? NoiseSliceMs : qMin(timeout, NoiseSliceMs);
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopping)
                return;
        }
        sendNoise();
        if (ready < 0 && errno == EINTR)
            continue;
        QByteArray discarded;
        if (ready == 0) {
            if (parser.hasPartial() && now() - lastInput >= PartialRequestTimeoutMs) {
                parser.dropPartial(&discarded);
                record(Direction::Ignored, discarded);
            }
            continue;
        }
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count <= 0)
            continue;
        lastInput = now();
        const QList<SimProtocol::Request> requests
                = parser.feed(QByteArray(buffer, int(count)), &discarded);
        if (!discarded.isEmpty())
            record(Direction::Ignored, discarded);
        for (const SimProtocol::Request &request : requests) {
            record(Direction::Received, request.raw);
            handle(request);
        }
    }
}

bool InstrumentSimulator::lineRateMatches() const
{
    if (m_config.baud == 0)
        return true;
    // On Linux the master side reports the line settings the program gave its end.
    termios settings{};
    if (::tcgetattr(m_master, &settings) != 0)
        return true;
    return ::cfgetispeed(&settings) == speedFor(m_config.baud);
}

void InstrumentSimulator::handle(const SimProtocol::Request &request)
{
    if (!lineRateMatches())
        return;
    Faults faults;
    QByteArray frame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        faults = m_faults;
        const bool touched = faults.onlyCode < 0 || faults.onlyCode == request.code;
        if (!touched || (faults.faultyAnswers > 0 && m_faultedAnswers >= faults.faultyAnswers))
            faults = {};
        else
            ++m_faultedAnswers;
        ++m_answers;
        if (faults.delayEvery > 1 && m_answers % faults.delayEvery != 0)
            faults.answerDelayMs = 0;
        const std::optional<QByteArray> data
                = m_state.answer(request, double(now() - m_startedAt) / 1000.0);
        if (faults.silent || !data)
            return;
        frame = SimProtocol::frameAnswer(m_config.framing, request.code, *data);
        if (faults.garbage) {
            std::uniform_int_distribution<int> length(1, 12), byte(0, 255);
            frame.resize(length(m_random));
            for (char &c : frame)
                c = char(byte(m_random));
        }
        if (faults.badChecksum)
            frame.back() = char(frame.back() ^ 0x5A);
    }
    if (faults.answerDelayMs > 0 && !pause(faults.answerDelayMs))
        return;
    record(Direction::Sent, frame);
    const int pieces = qBound(1, faults.splitPieces, int(frame.size()));
    const int pieceSize = (int(frame.size()) + pieces - 1) / pieces;
    for (int offset = 0; offset < frame.size(); offset += pieceSize) {
        if (offset > 0 && !pause(faults.splitDelayMs))
            return;
        send(frame.mid(offset, pieceSize));
    }
}

void InstrumentSimulator::send(const QByteArray &frame)
{
    qsizetype written = 0;
    while (written < frame.size()) {
        const ssize_t n
                = ::write(m_master, frame.constData() + written, size_t(frame.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        pollfd room{m_master, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&room, 1, 100) > 0)
            continue;
        if (n <= 0)
            return;
        written += n;
    }
}

void InstrumentSimulator::sendNoise()
{
    QByteArray noise;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const qint64 at = now();
        const bool over = m_faults.noiseForMs > 0 && at - m_faultsSetAt >= m_faults.noiseForMs;
        if (m_faults.noiseBytesPerSecond <= 0 || over) {
            m_noiseSentUpTo = 0;
            return;
        }
        if (m_noiseSentUpTo == 0)
            m_noiseSentUpTo = at;
        const qint64 owed = (at - m_noiseSentUpTo) * m_faults.noiseBytesPerSecond / 1000;
        if (owed <= 0)
            return;
        m_noiseSentUpTo += owed * 1000 / m_faults.noiseBytesPerSecond;
        noise.resize(int(qMin(owed, MaxNoiseSlice)));
        std::uniform_int_distribution<int> byte(0, 255);
        for (char &c : noise)
            c = char(byte(m_random));
    }
    // Not logged: a flood would swamp the log. Whatever does not fit is lost, as on a line.
    [[maybe_unused]] const ssize_t written
            = ::write(m_master, noise.constData(), size_t(noise.size()));
}

bool InstrumentSimulator::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void InstrumentSimulator::record(Direction direction, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.append({now(), direction, bytes});
    if (m_logFile) {
        std::fprintf(m_logFile, "%s\n", formatLogEntry(m_log.back()).toLocal8Bit().constData());
        std::fflush(m_logFile);
    }
}

QString InstrumentSimulator::formatLogEntry(const LogEntry &entry)
{
    const char *direction = entry.direction == Direction::Received ? "RX"
                            : entry.direction == Direction::Sent   ? "TX"
                                                                   : "--";
    return QStringLiteral("%1 %2 %3")
            .arg(QDateTime::fromMSecsSinceEpoch(entry.msecsSinceEpoch).toString(Qt::ISODateWithMs),
                 QLatin1String(direction),
                 QString::fromLatin1(entry.bytes.toHex(' ').toUpper()));
}

void InstrumentSimulator::setFaults(const Faults &faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
    m_faultsSetAt = now();
    m_faultedAnswers = 0;
}

void InstrumentSimulator::setObjectTemperature(std::optional<double> celsius)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setObjectTemperature(celsius);
}

void InstrumentSimulator::setProfile(std::optional<TemperatureProfile> profile)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setProfile(profile, m_startedAt ? double(now() - m_startedAt) / 1000.0 : 0.0);
}

void InstrumentSimulator::setAmbientTemperature(double celsius)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setAmbientTemperature(celsius);
}

void InstrumentSimulator::setIdentity(InstrumentState::Identity identity)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setIdentity(identity);
}

void InstrumentSimulator::setRegister(uchar readCode, quint32 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.setRegister(readCode, value);
}

quint32 InstrumentSimulator::registerValue(uchar readCode) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state.registerValue(readCode);
}

QList<InstrumentSimulator::LogEntry> InstrumentSimulator::log() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

QList<QByteArray> InstrumentSimulator::receivedFrames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QByteArray> frames;
    for (const LogEntry &entry : m_log)
        if (entry.direction == Direction::Received)
            frames.append(entry.bytes);
    return frames;
}

void InstrumentSimulator::clearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}
