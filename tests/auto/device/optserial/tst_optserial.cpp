// OptSerial against the simulated instrument on a real pseudo-terminal.
#include "../../residentsize.h"
#include "instrumentsimulator.h"
#include "optserial.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

// Stands in for the main window: reaches the serial object only through blocking queued
// signals, as the program does, so every call returns after the transaction has ended.
class Caller : public QObject
{
    Q_OBJECT
public:
    explicit Caller(OptSerial *serial)
    {
        const auto blocking = Qt::BlockingQueuedConnection;
        connect(this, &Caller::open, serial, &OptSerial::OpenCom, blocking);
        connect(this, &Caller::close, serial, &OptSerial::CloseCom, blocking);
        connect(this, &Caller::read, serial, &OptSerial::SendReadCommand, blocking);
        connect(this, &Caller::write, serial, &OptSerial::SendWriteCommand, blocking);
        connect(this, &Caller::poll, serial, &OptSerial::FastRead, blocking);
    }
signals:
    void open(const QString &name, QSerialPort::BaudRate baud);
    void close();
    void read(uchar code);
    void write(uchar code, const QByteArray &data, ushort index = 0);
    void poll(uchar code);
};

struct Answer
{
    int code;
    QByteArray bytes;
    bool ok;
};

Answer lastAnswer(const QSignalSpy &spy)
{
    const QList<QVariant> &args = spy.constLast();
    return {int(args.at(0).value<uchar>()), args.at(1).toByteArray(), args.at(2).toBool()};
}

} // namespace

class tst_OptSerial : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void xorTransactions_data();
    void xorTransactions();
    void crcTransactions_data();
    void crcTransactions();
    void answersInPieces_data();
    void answersInPieces();
    void faultyAnswers_data();
    void faultyAnswers();
    void silentInstrumentGetsResyncBurst();
    void openingWakesXorInstrumentOnly();
    void openFailureAndClosedPort();
    void unplugEndsTransactionAndClosesPort();
    void randomAnswersNeverHang();
    void lateAnswersKeepPortOpen_data();
    void lateAnswersKeepPortOpen();
    void noiseBurstThenReadingsWithinASecond();

private:
    void start(InstrumentSimulator::Config config = {});
    void openPort();
    void openWithFaults(bool crc, const InstrumentSimulator::Faults &faults);

    QTemporaryDir m_dir;
    std::unique_ptr<InstrumentSimulator> m_sim;
    std::unique_ptr<OptSerial> m_serial;
    std::unique_ptr<Caller> m_caller;
    std::unique_ptr<QSignalSpy> m_answers;
};

void tst_OptSerial::initTestCase()
{
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    QVERIFY(m_dir.isValid());
}

void tst_OptSerial::init()
{
    m_serial = std::make_unique<OptSerial>(SerialFrame::XorFraming);
    m_caller = std::make_unique<Caller>(m_serial.get());
    m_answers = std::make_unique<QSignalSpy>(m_serial.get(), &OptSerial::DataRecv);
}

void tst_OptSerial::cleanup()
{
    m_answers.reset();
    m_caller.reset();
    m_serial.reset();
    m_sim.reset();
}

void tst_OptSerial::start(InstrumentSimulator::Config config)
{
    config.linkPath = m_dir.filePath(QStringLiteral("ttySIM"));
    m_sim = std::make_unique<InstrumentSimulator>(config);
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));
    m_sim->setObjectTemperature(1.0); // raw 1010 = 03 F2
    m_serial->setProtocolMode(config.framing == SimProtocol::Framing::Crc
                                      ? SerialFrame::CrcFraming
                                      : SerialFrame::XorFraming);
}

void tst_OptSerial::openPort()
{
    QSignalSpy opened(m_serial.get(), &OptSerial::OpenSuccessed);
    emit m_caller->open(m_sim->devicePath(), QSerialPort::Baud9600);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().toBool(), true);
    QVERIFY(m_serial->isPortOpen());
    m_answers->clear();
    m_sim->clearLog();
}

void tst_OptSerial::openWithFaults(bool crc, const InstrumentSimulator::Faults &faults)
{
    InstrumentSimulator::Config config;
    config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
    start(config);
    openPort();
    m_sim->setFaults(faults);
}

void tst_OptSerial::xorTransactions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("poll object") << "poll" << 0x01 << QByteArray() << QByteArray::fromHex("0101")
                                 << QByteArray::fromHex("03F2F1");
    QTest::newRow("read emissivity")
            << "read" << 0x20 << QByteArray() << QByteArray::fromHex("2020")
            << QByteArray::fromHex("03B6B5");
    QTest::newRow("write emissivity")
            << "write" << 0xA0 << QByteArray::fromHex("03B6") << QByteArray::fromHex("A003B615")
            << QByteArray::fromHex("03B6B5");
    QTest::newRow("read feature mask")
            << "read" << 0x40 << QByteArray() << QByteArray::fromHex("4040")
            << QByteArray::fromHex("144E01F6AD");
    QTest::newRow("one-byte value") << "read" << 0x53 << QByteArray() << QByteArray::fromHex("5353")
                                    << QByteArray::fromHex("0202");
}

void tst_OptSerial::xorTransactions()
{
    QFETCH(QString, kind);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    start();
    openPort();
    if (kind == QLatin1String("poll"))
        emit m_caller->poll(uchar(code));
    else if (kind == QLatin1String("read"))
        emit m_caller->read(uchar(code));
    else
        emit m_caller->write(uchar(code), data);
    QCOMPARE(m_answers->count(), 1);
    const Answer got = lastAnswer(*m_answers);
    QCOMPARE(got.code, code);
    QCOMPARE(got.bytes.toHex(' '), answer.toHex(' '));
    QVERIFY(got.ok);
    QCOMPARE(m_sim->receivedFrames(), QList<QByteArray>{request});
}

void tst_OptSerial::crcTransactions_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answerData");
    QTest::newRow("poll in the instrument's framing")
            << "poll" << 0x01 << QByteArray() << SerialFrame::crcReadRequest(0x01)
            << QByteArray::fromHex("03F2");
    QTest::newRow("identity") << "read" << 0x17 << QByteArray()
                              << QByteArray::fromHex("0017000000007418")
                              << QByteArray::fromHex("0101");
    QTest::newRow("two-byte write") << "write" << 0xA0 << QByteArray::fromHex("03B6")
                                    << SerialFrame::withCrc(QByteArray::fromHex("00A0030303B6"))
                                    << QByteArray::fromHex("03B6");
    QTest::newRow("one-byte write") << "write" << 0xD4 << QByteArray::fromHex("00")
                                    << SerialFrame::withCrc(QByteArray::fromHex("00D4000000 00"))
                                    << QByteArray::fromHex("0000");
    QTest::newRow("mask") << "read" << 0x40 << QByteArray() << SerialFrame::crcReadRequest(0x40)
                          << QByteArray::fromHex("144E01F6");
}

void tst_OptSerial::crcTransactions()
{
    QFETCH(QString, kind);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answerData);
    InstrumentSimulator::Config config;
    config.framing = SimProtocol::Framing::Crc;
    start(config);
    openPort();
    // Right after opening no poll has detached the drain yet: the answer must still reach
    // the transaction that waits for it.
    for (int round = 0; round < 3; ++round) {
        if (kind == QLatin1String("poll"))
            emit m_caller->poll(uchar(code));
        else if (kind == QLatin1String("write"))
            emit m_caller->write(uchar(code), data);
        else
            emit m_caller->read(uchar(code));
        QCOMPARE(m_answers->count(), round + 1);
        const Answer got = lastAnswer(*m_answers);
        QCOMPARE(got.code, code);
        QVERIFY2(got.ok, got.bytes.toHex(' ').constData());
        QCOMPARE(got.bytes.mid(3, got.bytes.size() - 5).toHex(' '), answerData.toHex(' '));
        QCOMPARE(m_sim->receivedFrames().last().toHex(' '), request.toHex(' '));
    }
}

void tst_OptSerial::answersInPieces_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("poll in three pieces") << false << 0x01 << 3 << 40;
    QTest::newRow("mask in five pieces") << false << 0x40 << 5 << 15;
    QTest::newRow("crc identity in two pieces") << true << 0x17 << 2 << 100;
}

void tst_OptSerial::answersInPieces()
{
    QFETCH(bool, crc);
    QFETCH(int, code);
    QFETCH(int, pieces);
    QFETCH(int, delayMs);
    InstrumentSimulator::Faults faults;
    faults.splitPieces = pieces;
    faults.splitDelayMs = delayMs;
    openWithFaults(crc, faults);
    if (code == 0x01)
        emit m_caller->poll(uchar(code));
    else
        emit m_caller->read(uchar(code));
    QCOMPARE(m_answers->count(), 1);
    QVERIFY(lastAnswer(*m_answers).ok);
}

void tst_OptSerial::faultyAnswers_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<bool>("badChecksum");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("xor wrong checksum") << false << true << 0;
    QTest::newRow("crc wrong checksum") << true << true << 0;
    QTest::newRow("xor answer too late") << false << false << 1000;
    QTest::newRow("crc answer too late") << true << false << 2500;
}

void tst_OptSerial::faultyAnswers()
{
    QFETCH(bool, crc);
    QFETCH(bool, badChecksum);
    QFETCH(int, delayMs);
    InstrumentSimulator::Faults faults;
    faults.badChecksum = badChecksum;
    faults.answerDelayMs = delayMs;
    openWithFaults(crc, faults);
    emit m_caller->read(0x20);
    QCOMPARE(m_answers->count(), 1);
    QVERIFY(!lastAnswer(*m_answers).ok);
    QCOMPARE(lastAnswer(*m_answers).code, 0x20);
}

void tst_OptSerial::silentInstrumentGetsResyncBurst()
{
    start();
    openPort();
    InstrumentSimulator::Faults faults;
    faults.silent = true;
    m_sim->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    emit m_caller->poll(0x01);
    QVERIFY(timer.elapsed() >= 300);
    QCOMPARE(m_answers->count(), 1);
    const Answer got = lastAnswer(*m_answers);
    QCOMPARE(got.code, 0x01);
    QVERIFY(got.bytes.isEmpty());
    QVERIFY(!got.ok);
    // The eight zero bytes reach the instrument, which takes them as filler.
    const auto ignoredBytes = [this] {
        QByteArray ignored;
        for (const auto &entry : m_sim->log())
            if (entry.direction == InstrumentSimulator::Direction::Ignored)
                ignored += entry.bytes;
        return ignored;
    };
    QTRY_COMPARE_WITH_TIMEOUT(ignoredBytes().size(), 8, 5000);
    QCOMPARE(ignoredBytes(), QByteArray(8, '\0'));
}

void tst_OptSerial::openingWakesXorInstrumentOnly()
{
    for (bool crc : {false, true}) {
        InstrumentSimulator::Config config;
        config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
        start(config);
        QSignalSpy opened(m_serial.get(), &OptSerial::OpenSuccessed);
        emit m_caller->open(m_sim->devicePath(), QSerialPort::Baud9600);
        QCOMPARE(opened.count(), 1);
        QVERIFY(opened.first().first().toBool());
        // The wake frame is six zero bytes and its outcome is reported under code 0x00.
        QCOMPARE(m_answers->count(), crc ? 0 : 1);
        if (!crc) {
            QCOMPARE(lastAnswer(*m_answers).code, 0x00);
            QTRY_VERIFY_WITH_TIMEOUT(!m_sim->log().isEmpty(), 5000);
            QCOMPARE(m_sim->log().first().bytes.count('\0'), m_sim->log().first().bytes.size());
        } else {
            QTest::qWait(200);
            QVERIFY(m_sim->log().isEmpty());
        }
        emit m_caller->close();
        m_answers->clear();
    }
}

void tst_OptSerial::openFailureAndClosedPort()
{
    QSignalSpy opened(m_serial.get(), &OptSerial::OpenSuccessed);
    QSignalSpy closed(m_serial.get(), &OptSerial::CloseSuccessed);
    emit m_caller->open(m_dir.filePath(QStringLiteral("no-such-device")), QSerialPort::Baud9600);
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().toBool(), false);
    QVERIFY(!m_serial->isPortOpen());
    // Nothing is sent or reported on a closed port; closing it again still reports success.
    emit m_caller->poll(0x01);
    emit m_caller->read(0x20);
    m_serial->setProtocolMode(SerialFrame::CrcFraming);
    emit m_caller->read(0x20);
    QCOMPARE(m_answers->count(), 0);
    emit m_caller->close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(closed.first().first().toBool());
}

void tst_OptSerial::unplugEndsTransactionAndClosesPort()
{
    start();
    openPort();
    QSignalSpy errors(m_serial.get(), &OptSerial::errorOccurred);
    QSignalSpy closed(m_serial.get(), &OptSerial::CloseSuccessed);
    QSignalSpy lost(m_serial.get(), &OptSerial::DeviceLost);
    InstrumentSimulator::Faults faults;
    faults.answerDelayMs = 2000; // the cable goes while the program waits for an answer
    m_sim->setFaults(faults);
    // This thread is blocked in the poll below, so the cable is pulled from another one.
    std::thread unplugger([this] {
        QThread::msleep(150);
        m_sim->unplug();
    });
    QElapsedTimer timer;
    timer.start();
    emit m_caller->poll(0x01);
    unplugger.join();
    QVERIFY(timer.elapsed() < 5000);
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() == 1, 5000);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!m_serial->isPortOpen());
    bool sawDeviceGone = false;
    for (const QList<QVariant> &args : errors) {
        const auto error = args.first().value<QSerialPort::SerialPortError>();
        sawDeviceGone |= error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    }
    QVERIFY(sawDeviceGone);
    // The worker is free again: the device comes back and the same name opens.
    QVERIFY(m_sim->replug());
    m_sim->setFaults({});
    openPort();
    emit m_caller->poll(0x01);
    QVERIFY(lastAnswer(*m_answers).ok);
}

void tst_OptSerial::randomAnswersNeverHang()
{
    start();
    openPort();
    InstrumentSimulator::Faults faults;
    faults.garbage = true;
    QRandomGenerator random(5);
    QElapsedTimer timer;
    for (int round = 0; round < 60; ++round) {
        faults.splitPieces = int(random.bounded(1, 4));
        m_sim->setFaults(faults);
        const uchar code
                = uchar(QList<int>{0x01, 0x02, 0x40, 0x12, 0x20, 0x17}.at(int(random.bounded(6))));
        timer.start();
        if (round % 2)
            emit m_caller->poll(code);
        else
            emit m_caller->read(code);
        QVERIFY(timer.elapsed() < 3000);
        QCOMPARE(m_answers->count(), round + 1);
        QVERIFY(lastAnswer(*m_answers).bytes.size() <= SerialFrame::MaxAnswerBytes + 1);
    }
    // After the noise stops the link works again.
    m_sim->setFaults({});
    emit m_caller->poll(0x01);
    emit m_caller->poll(0x01);
    QVERIFY(lastAnswer(*m_answers).ok);
}

void tst_OptSerial::lateAnswersKeepPortOpen_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("delayEvery");
    QTest::newRow("xor, every third answer late") << false << 450 << 3;
    QTest::newRow("xor, every other answer late") << false << 350 << 2;
    QTest::newRow("crc, every other answer late") << true << 700 << 2;
}

void tst_OptSerial::lateAnswersKeepPortOpen()
{
    QFETCH(bool, crc);
    QFETCH(int, delayMs);
    QFETCH(int, delayEvery);
    InstrumentSimulator::Faults faults;
    faults.answerDelayMs = delayMs;
    faults.delayEvery = delayEvery;
    openWithFaults(crc, faults);
    QSignalSpy closed(m_serial.get(), &OptSerial::CloseSuccessed);
    QSignalSpy lost(m_serial.get(), &OptSerial::DeviceLost);
    int valid = 0;
    for (int round = 0; round < 24; ++round) {
        if (round % 3 == 2)
            emit m_caller->read(0x20);
        else
            emit m_caller->poll(round % 3 ? 0x02 : 0x01);
        QCOMPARE(m_answers->count(), round + 1);
        valid += lastAnswer(*m_answers).ok ? 1 : 0;
        QVERIFY(m_serial->isPortOpen());
    }
    QVERIFY2(valid >= 4, qPrintable(QString::number(valid)));
    // Anything still queued by the worker would show up now.
    QTest::qWait(300);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(lost.count(), 0);
    QVERIFY(m_serial->isPortOpen());
    m_sim->setFaults({});
    QTest::qWait(delayMs + 100); // the last late answer is on its way
    emit m_caller->poll(0x01);
    QVERIFY(lastAnswer(*m_answers).ok);
}

void tst_OptSerial::noiseBurstThenReadingsWithinASecond()
{
    start();
    openPort();
    emit m_caller->poll(0x01);
    QVERIFY(lastAnswer(*m_answers).ok);
    const qint64 residentBefore = residentKiB();
    // Far beyond any serial line's rate, so a backlog would be plain to see.
    InstrumentSimulator::Faults faults;
    faults.noiseBytesPerSecond = 1000 * 1000;
    m_sim->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2500) {
        emit m_caller->poll(0x01);
        QVERIFY(m_serial->isPortOpen());
    }
    m_sim->setFaults({});
    timer.start();
    int polls = 0;
    do {
        emit m_caller->poll(0x01);
        ++polls;
    } while (!lastAnswer(*m_answers).ok && timer.elapsed() < 5000);
    QVERIFY2(timer.elapsed() < 1000,
             qPrintable(QStringLiteral("%1 ms, %2 polls").arg(timer.elapsed()).arg(polls)));
    QCOMPARE(lastAnswer(*m_answers).bytes.toHex(' '), QByteArray("03 f2 f1"));
    QVERIFY(m_serial->discardedBytes() > 10 * OptSerial::ReadBufferBytes);
    const qint64 grownKiB = residentKiB() - residentBefore;
    QVERIFY2(residentBefore < 0 || grownKiB < 32 * 1024, qPrintable(QString::number(grownKiB)));
}

QTEST_GUILESS_MAIN(tst_OptSerial)
#include "tst_optserial.moc"
