#include "seriallink.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#endif

using SerialFrame::Transaction;

namespace {
constexpr int BytePauseMs = 10;
constexpr int ResyncBytes = 8;
constexpr int ResyncPauseMs = 15;
// How long the line is listened to after a parameter transaction without answer, so that a late
// answer is not taken for the next one's.
constexpr int LateAnswerGraceMs = 200;
// Developer traces, off unless QT_LOGGING_RULES="tevrano.serial.debug=true".
Q_LOGGING_CATEGORY(lcSerialTrace, "tevrano.serial", QtInfoMsg)

QTimer *singleShotTimer(QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}
} // namespace

SerialLink::SerialLink()
    : m_thread(new QThread)
{
    // Built here, then handed to the link thread: nothing else runs on it yet.
    auto *owner = new QObject;
    m_port = new QSerialPort(owner);
    m_pace = singleShotTimer(owner);
    m_deadline = singleShotTimer(owner);
    m_stepDue = singleShotTimer(owner);
    // Noise between transactions is thrown away anyway; it must not pile up meanwhile.
    m_port->setReadBufferSize(ReadBufferBytes);
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        if (m_phase == Phase::Collecting)
            absorb();
        else if (m_phase == Phase::Draining)
            drain();
    });
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialLink::onPortError);
    connect(m_pace, &QTimer::timeout, this, &SerialLink::paced);
    connect(m_deadline, &QTimer::timeout, this, &SerialLink::giveUp);
    connect(m_stepDue, &QTimer::timeout, this, &SerialLink::runNext);
    moveToThread(m_thread);
    owner->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, owner, &QObject::deleteLater);
    m_thread->start();
}

SerialLink::~SerialLink()
{
    // The port's notifiers belong to the link thread: it closes the port before it ends.
    QMetaObject::invokeMethod(
            this,
            [this] {
                closePort();
                delete m_port->parent();
            },
            Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void SerialLink::open(const QString &name, qint32 baud, int framing)
{
    QMetaObject::invokeMethod(this, [=] { openPort(name, baud, framing); });
}

void SerialLink::close()
{
    QMetaObject::invokeMethod(this, [this] {
        closePort();
        emit closed();
    });
}

void SerialLink::read(uchar code, int tries)
{
    enqueue({Kind::Read, code, {}, std::max(1, tries), false});
}

void SerialLink::write(uchar code, const QByteArray &data, bool guarded)
{
    enqueue({guarded ? Kind::Guard : Kind::Write, code, data, 1, guarded});
}

void SerialLink::startPolling(uchar objectCode)
{
    QMetaObject::invokeMethod(this, [this, objectCode] {
        m_objectCode = objectCode;
        if (!m_port->isOpen())
            return;
        m_polling.store(true);
        runNext();
    });
}

void SerialLink::stopPolling()
{
    m_polling.store(false);
    // Also after a start still on its way.
    QMetaObject::invokeMethod(this, [this] { m_polling.store(false); });
}

void SerialLink::setPollInterval(int ms)
{
    m_intervalMs.store(std::max(0, ms));
    QMetaObject::invokeMethod(this, [this] { runNext(); });
}

void SerialLink::enqueue(const Job &job)
{
    QMetaObject::invokeMethod(this, [this, job] {
        if (!m_port->isOpen())
            return;
        m_queue.push_back(job);
        runNext();
    });
}

void SerialLink::openPort(const QString &name, qint32 baud, int framing)
{
    closePort();
    m_framing.store(framing);
    m_port->setPortName(name);
    const bool pathGiven = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./"))
                           || name.startsWith(QLatin1String("../"));
    m_location = pathGiven ? name : QStringLiteral("/dev/") + name;
    if (!m_port->open(QIODevice::ReadWrite)) {
        qCDebug(lcSerialTrace).noquote() << name << "open failed !";
        emit opened(false);
        return;
    }
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_portOpen.store(true);
    if (framing == SerialFrame::XorFraming)
        m_queue.push_front({Kind::Wake, 0x00, QByteArray(4, '\0'), 1, false});
    emit opened(true);
    runNext();
}

void SerialLink::runNext()
{
    if (m_phase != Phase::Idle || !m_port->isOpen() || m_deviceLost)
        return;
    if (m_stepHalfDone) {
        m_stepHalfDone = false;
        begin({Kind::Poll, 0x02, {}, 1, false});
        return;
    }
    const bool polling = m_polling.load();
    const qint64 stepIn = m_sinceStep.isValid() ? m_intervalMs.load() - m_sinceStep.elapsed() : 0;
    const bool stepDue = polling && stepIn <= 0;
    const bool wakeFirst = !m_queue.empty() && m_queue.front().kind == Kind::Wake;
    if (stepDue && !wakeFirst && (m_queue.empty() || m_parametersSinceStep >= 1)) {
        m_parametersSinceStep = 0;
        m_sinceStep.start();
        m_stepHalfDone = true;
        begin({Kind::Poll, m_objectCode, {}, 1, false});
        return;
    }
    if (!m_queue.empty()) {
        const Job job = m_queue.front();
        m_queue.pop_front();
        if (job.kind != Kind::Wake)
            ++m_parametersSinceStep;
        begin(job);
        return;
    }
    if (polling)
        m_stepDue->start(int(std::max<qint64>(stepIn, 0)));
}

SerialFrame::Transaction SerialLink::transaction() const
{
    if (m_framing.load() == SerialFrame::CrcFraming)
        return Transaction::Crc;
    switch (m_current.kind) {
    case Kind::Poll:
        return Transaction::Poll;
    case Kind::Wake:
        return Transaction::Wake;
    default:
        return Transaction::XorParameter;
    }
}

void SerialLink::begin(const Job &job)
{
    m_current = job;
    m_stepDue->stop();
    // The write-enable command goes first; the write follows it at once.
    const bool guard = job.kind == Kind::Guard;
    const uchar code = guard ? 0xFD : job.code;
    const QByteArray data = guard ? QByteArray(1, '\x01') : job.data;
    discardStaleInput();
    m_answer.clear();
    if (m_framing.load() == SerialFrame::CrcFraming) {
        const bool sendsData = job.kind == Kind::Write || guard;
        m_frame = sendsData ? SerialFrame::crcWriteRequest(code, data)
                            : SerialFrame::crcReadRequest(code);
        m_phase = Phase::Writing;
        m_port->write(m_frame);
        m_port->flush();
        startCollecting();
        return;
    }
    // The instrument takes its request one byte at a time, each after a pause.
    m_frame = SerialFrame::xorRequest(code, data);
    m_nextByte = 0;
    m_phase = Phase::Writing;
    writeNextByte();
}

void SerialLink::writeNextByte()
{
    m_port->write(m_frame.constData() + m_nextByte, 1);
    m_port->flush();
    ++m_nextByte;
    m_pace->start(BytePauseMs);
}

void SerialLink::paced()
{
    if (m_phase == Phase::Resync) {
        resyncStep();
        return;
    }
    m_port->flush();
    if (m_nextByte < m_frame.size())
        writeNextByte();
    else
        startCollecting();
}

void SerialLink::startCollecting()
{
    const uchar code
            = uchar(m_framing.load() == SerialFrame::CrcFraming ? m_frame.at(1) : m_frame.at(0));
    const SerialFrame::TransactionLimits limits = SerialFrame::limitsFor(transaction(), code);
    m_phase = Phase::Collecting;
    // A time limit of L ms is passed when strictly more than L have gone by; a long receive
    // pass is waited out whole.
    m_deadline->start(std::max(limits.receivePassMs, limits.giveUpAfterMs + 1));
    absorb();
}

void SerialLink::absorb()
{
    m_answer += m_port->read(SerialFrame::MaxAnswerBytes + 1 - m_answer.size());
    const uchar code = m_current.kind == Kind::Guard ? 0xFD : m_current.code;
    const SerialFrame::Transaction kind = transaction();
    // A late answer and the next one may arrive in one piece; the CRC tells where the first
    // ends, which the short XOR checksum cannot.
    if (kind == Transaction::Crc)
        for (int length = 6; length < m_answer.size(); ++length)
            if (SerialFrame::isCompleteAnswer(kind, code, m_answer.left(length))) {
                m_answer.truncate(length);
                break;
            }
    if (SerialFrame::isCompleteAnswer(kind, code, m_answer))
        finish(true);
    else if (m_answer.size() > SerialFrame::MaxAnswerBytes || m_deviceLost)
        finish(false);
}

void SerialLink::giveUp()
{
    if (m_phase == Phase::Draining) {
        complete(false);
        return;
    }
    absorb();
    if (m_phase == Phase::Collecting)
        finish(false);
}

void SerialLink::drain()
{
    m_late += m_port->read(SerialFrame::MaxAnswerBytes + 1 - m_late.size());
    const bool answered = m_framing.load() == SerialFrame::CrcFraming
                                  ? SerialFrame::isValidCrcAnswer(m_late)
                                  : SerialFrame::isValidXorAnswer(m_late);
    if (answered || m_late.size() > SerialFrame::MaxAnswerBytes || m_deviceLost) {
        m_deadline->stop();
        complete(false);
    }
}

void SerialLink::finish(bool valid)
{
    m_deadline->stop();
    if (valid)
        m_resourceErrors.invalidate();
    else if (deviceGone())
        reportLost();
    if (!valid && !m_deviceLost && transaction() == Transaction::Poll) {
        m_phase = Phase::Resync;
        m_resyncLeft = ResyncBytes;
        resyncStep();
        return;
    }
    // The wake frame is filler to the instrument: nothing late is to be expected.
    if (!valid && !m_deviceLost && m_current.kind != Kind::Poll && m_current.kind != Kind::Wake) {
        m_phase = Phase::Draining;
        m_late.clear();
        m_deadline->start(LateAnswerGraceMs);
        drain();
        return;
    }
    complete(valid);
}

void SerialLink::resyncStep()
{
    if (m_resyncLeft == 0 || m_deviceLost) {
        complete(false);
        return;
    }
    --m_resyncLeft;
    m_port->write("\0", 1);
    m_port->flush();
    m_pace->start(ResyncPauseMs);
}

void SerialLink::complete(bool valid)
{
    m_phase = Phase::Idle;
    const Job job = m_current;
    const QByteArray answer = m_answer;
    if (job.kind == Kind::Guard) {
        emit answered(0xFD, answer, valid);
        if (!m_deviceLost)
            begin({Kind::Write, job.code, job.data, 1, true});
        return;
    }
    if (!valid && job.kind == Kind::Read && job.triesLeft > 1) {
        // Tried again after the next poll step, like the next poll would be.
        Job retry = job;
        --retry.triesLeft;
        m_queue.push_front(retry);
        m_parametersSinceStep = 1;
    } else {
        emit answered(job.code, answer, valid);
    }
    runNext();
}

void SerialLink::discardStaleInput()
{
    // Whatever arrived since the last transaction (a late answer, noise) would only be taken
    // for the start of the next answer.
    qint64 stale = m_port->bytesAvailable();
#ifdef Q_OS_UNIX
    int queued = 0;
    if (::ioctl(int(m_port->handle()), FIONREAD, &queued) == 0)
        stale += queued;
#endif
    if (stale > 0) {
        m_port->clear(QSerialPort::Input);
        m_discarded += stale;
    }
}

void SerialLink::closePort()
{
    m_pace->stop();
    m_deadline->stop();
    m_stepDue->stop();
    m_queue.clear();
    m_phase = Phase::Idle;
    m_stepHalfDone = false;
    m_sinceStep.invalidate();
    m_parametersSinceStep = 0;
    m_polling.store(false);
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::AllDirections);
        m_port->close();
    }
    m_portOpen.store(false);
    m_deviceLost = false;
    m_resourceErrors.invalidate();
}

bool SerialLink::deviceGone() const
{
#ifdef Q_OS_UNIX
    if (!m_port->isOpen())
        return false;
    if (!QFileInfo::exists(m_location))
        return true;
    // poll() reports hang-up and error conditions whatever events are asked for.
    pollfd line{int(m_port->handle()), 0, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void SerialLink::onPortError(QSerialPort::SerialPortError error)
{
    emit errorOccurred(error);
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || m_deviceLost
        || !m_port->isOpen())
        return;
    // A read that finds nothing is also reported as an error: only the state of the device
    // itself tells a loss from a slow or noisy instrument.
    bool persisting = false;
    if (error == QSerialPort::ResourceError) {
        if (!m_resourceErrors.isValid() || m_lastResourceError.elapsed() > ResourceErrorConfirmMs)
            m_resourceErrors.start();
        m_lastResourceError.start();
        persisting = m_resourceErrors.elapsed() >= ResourceErrorConfirmMs;
    }
    if (persisting || deviceGone())
        reportLost();
}

void SerialLink::reportLost()
{
    if (m_deviceLost)
        return;
    // The port cannot be closed from inside its own notification: the close follows once the
    // link is back in its event loop. Meanwhile the transaction under way ends early.
    m_deviceLost = true;
    m_pace->stop();
    m_deadline->stop();
    QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_deviceLost)
                    return;
                closePort();
                emit deviceLost();
                emit closed();
            },
            Qt::QueuedConnection);
}
