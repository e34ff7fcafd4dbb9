#include "optserial.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#endif

using SerialFrame::Transaction;

namespace {
constexpr int BytePauseMs = 10;
constexpr int WrittenWaitMs = 10;
constexpr int ResyncBytes = 8;
constexpr int ResyncPauseMs = 15;
// Developer traces, off unless QT_LOGGING_RULES="tevrano.serial.debug=true".
Q_LOGGING_CATEGORY(lcSerialTrace, "tevrano.serial", QtInfoMsg)
} // namespace

QMutex &serialMutex()
{
    static QMutex mutex;
    return mutex;
}

OptSerial::OptSerial(int protocolMode)
    : m_thread(new QThread)
    , m_port(new QSerialPort)
    , m_protocolMode(protocolMode)
{
    moveToThread(m_thread);
    m_port->moveToThread(m_thread);
    m_thread->start(QThread::InheritPriority);
    // Noise between transactions is thrown away anyway; it must not pile up meanwhile.
    m_port->setReadBufferSize(ReadBufferBytes);
    setDrainAttached(true);
    connect(m_port, &QSerialPort::errorOccurred, this, &OptSerial::onPortError);
}

OptSerial::~OptSerial()
{
    // The port's notifiers belong to the worker thread: it has to close and delete the port
    // before the thread ends.
    QMetaObject::invokeMethod(
            this,
            [this] {
                closePort();
                delete m_port;
                m_port = nullptr;
            },
            Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void OptSerial::OpenCom(const QString &name, QSerialPort::BaudRate baud)
{
    qCDebug(lcSerialTrace) << "OpenComport id" << QThread::currentThreadId();
    closePort();
    m_port->setPortName(name);
    const bool pathGiven = name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("./"))
                           || name.startsWith(QLatin1String("../"));
    m_location = pathGiven ? name : QStringLiteral("/dev/") + name;
    if (!m_port->open(QIODevice::ReadWrite)) {
        qCDebug(lcSerialTrace).noquote() << name << "open failed !";
        emit OpenSuccessed(false);
        return;
    }
    qCDebug(lcSerialTrace).noquote() << name << "open successed !";
    m_port->setBaudRate(baud, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_portOpen.store(true);
    if (protocolMode() == SerialFrame::XorFraming)
        runXorTransaction(Transaction::Wake, 0x00, QByteArray(4, '\0'));
    emit OpenSuccessed(true);
}

void OptSerial::CloseCom()
{
    closePort();
    emit CloseSuccessed(true);
}

void OptSerial::SendReadCommand(uchar code)
{
    if (protocolMode() == SerialFrame::CrcFraming)
        runCrcTransaction(SerialFrame::crcReadRequest(code));
    else
        runXorTransaction(Transaction::XorParameter, code, {});
}

void OptSerial::SendWriteCommand(uchar code, const QByteArray &data, ushort index)
{
    if (protocolMode() == SerialFrame::CrcFraming)
        runCrcTransaction(SerialFrame::crcWriteRequest(code, data, index));
    else
        runXorTransaction(Transaction::XorParameter, code, data);
}

void OptSerial::FastRead(uchar code)
{
    // An instrument that only speaks the CRC framing would never answer an XOR poll.
    if (protocolMode() == SerialFrame::CrcFraming)
        runCrcTransaction(SerialFrame::crcReadRequest(code));
    else
        runXorTransaction(Transaction::Poll, code, {});
}

void OptSerial::receiveInfo()
{
    if (m_collecting)
        return;
    m_port->readAll();
}

void OptSerial::runXorTransaction(Transaction kind, uchar code, const QByteArray &data)
{
    QMutexLocker lock(&serialMutex());
    const QByteArray request = SerialFrame::xorRequest(code, data);
    setDrainAttached(false);
    if (m_port->isOpen()) {
        discardStaleInput();
        writePaced(request, kind == Transaction::Poll);
        bool valid = false;
        const QByteArray answer = collectAnswer(kind, code, &valid);
        if (!valid && kind == Transaction::Poll)
            sendResyncBurst();
        emit DataRecv(code, answer, valid);
    } else if (kind == Transaction::Poll) {
        return;
    }
    // A poll leaves the drain detached until the next parameter or wake transaction; between
    // polls stray bytes wait, bounded, for the next request to discard them.
    if (kind != Transaction::Poll)
        setDrainAttached(true);
}

void OptSerial::runCrcTransaction(QByteArray frame)
{
    if (!m_port->isOpen())
        return;
    const uchar code = uchar(frame.at(1));
    discardStaleInput();
    writeWhole(frame);
    bool valid = false;
    const QByteArray answer = collectAnswer(Transaction::Crc, code, &valid);
    emit DataRecv(code, answer, valid);
}

void OptSerial::writePaced(const QByteArray &frame, bool waitAfterEachByte)
{
    // The instrument takes its request one byte at a time; each byte goes out on its own
    // before the pause, not all at once when the buffer is next flushed.
    for (qsizetype i = 0; i < frame.size(); ++i) {
        m_port->write(frame.constData() + i, 1);
        m_port->flush();
        QThread::msleep(BytePauseMs);
        if (waitAfterEachByte || i == frame.size() - 1)
            finishWriting();
    }
}

void OptSerial::writeWhole(const QByteArray &frame)
{
    m_port->write(frame);
    finishWriting();
}

void OptSerial::finishWriting()
{
    // Waiting on an empty write buffer would only burn the whole limit.
    if (m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(WrittenWaitMs);
    m_port->flush();
}

QByteArray OptSerial::collectAnswer(Transaction kind, uchar code, bool *valid)
{
    const SerialFrame::TransactionLimits limits = SerialFrame::limitsFor(kind, code);
    QByteArray buffer;
    QElapsedTimer sinceRequest;
    sinceRequest.start();
    m_collecting = true;
    *valid = false;
    for (;;) {
        if (m_port->bytesAvailable() == 0)
            m_port->waitForReadyRead(limits.receivePassMs);
        buffer += m_port->read(SerialFrame::MaxAnswerBytes + 1 - buffer.size());
        if (SerialFrame::isCompleteAnswer(kind, code, buffer)) {
            *valid = true;
            break;
        }
        if (buffer.size() > SerialFrame::MaxAnswerBytes || m_deviceLost)
            break;
        if (sinceRequest.elapsed() > limits.giveUpAfterMs)
            break;
    }
    m_collecting = false;
    if (*valid)
        m_resourceErrors.invalidate();
    else if (deviceGone())
        reportLost();
    return buffer;
}

void OptSerial::discardStaleInput()
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

void OptSerial::sendResyncBurst()
{
    for (int i = 0; i < ResyncBytes && !m_deviceLost; ++i) {
        m_port->write("\0", 1);
        m_port->flush();
        QThread::msleep(ResyncPauseMs);
        finishWriting();
    }
}

void OptSerial::setDrainAttached(bool attached)
{
    if (attached && !m_drain)
        m_drain = connect(m_port, &QSerialPort::readyRead, this, &OptSerial::receiveInfo);
    else if (!attached && m_drain)
        disconnect(m_drain);
}

void OptSerial::closePort()
{
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::AllDirections);
        m_port->close();
    }
    m_portOpen.store(false);
    m_deviceLost = false;
    m_resourceErrors.invalidate();
}

bool OptSerial::deviceGone() const
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

void OptSerial::onPortError(QSerialPort::SerialPortError error)
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

void OptSerial::reportLost()
{
    if (m_deviceLost)
        return;
    // The port cannot be closed from inside its own notification, so the running transaction
    // ends early and the close follows once the worker is back in its event loop.
    m_deviceLost = true;
    QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_deviceLost)
                    return;
                closePort();
                emit DeviceLost();
                emit CloseSuccessed(true);
            },
            Qt::QueuedConnection);
}
