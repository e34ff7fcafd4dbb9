// The serial link against the simulated instrument on a real pseudo-terminal.
#include "../../residentsize.h"
#include "instrumentsimulator.h"
#include "seriallink.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

struct Answer
{
    int code;
    QByteArray bytes;
    bool ok;
};

// The link's answers as they reach this thread.
class Answers : public QObject
{
public:
    explicit Answers(SerialLink *link)
    {
        connect(link, &SerialLink::answered, this, [this](uchar code, QByteArray bytes, bool ok) {
            m_answers.append({int(code), bytes, ok});
        });
    }
    int count() const { return int(m_answers.size()); }
    Answer last() const { return m_answers.last(); }
    Answer at(int i) const { return m_answers.at(i); }
    void clear() { m_answers.clear(); }

private:
    QList<Answer> m_answers;
};

} // namespace

class tst_SerialLink : public QObject
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
    void silentInstrumentGetsResyncBursts();
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
    // Each starts a transaction and waits for its outcome; a poll step brings two answers.
    bool waitForAnswers(int count);
    bool pollStep(uchar code);
    bool read(uchar code);
    bool write(uchar code, const QByteArray &data);

    QTemporaryDir m_dir;
    int m_framing = SerialFrame::XorFraming;
    std::unique_ptr<InstrumentSimulator> m_sim;
    std::unique_ptr<SerialLink> m_serial;
    std::unique_ptr<Answers> m_answers;
};

void tst_SerialLink::initTestCase()
{
    qRegisterMetaType<QSerialPort::BaudRate>("QSerialPort::BaudRate");
    qRegisterMetaType<QSerialPort::SerialPortError>("QSerialPort::SerialPortError");
    QVERIFY(m_dir.isValid());
}

void tst_SerialLink::init()
{
    m_framing = SerialFrame::XorFraming;
    m_serial = std::make_unique<SerialLink>();
    m_answers = std::make_unique<Answers>(m_serial.get());
}

void tst_SerialLink::cleanup()
{
    m_answers.reset();
    m_serial.reset();
    m_sim.reset();
}

bool tst_SerialLink::waitForAnswers(int count)
{
    return QTest::qWaitFor([&] { return m_answers->count() >= count; }, 10000);
}

bool tst_SerialLink::pollStep(uchar code)
{
    const int before = m_answers->count();
    m_serial->startPolling(code);
    m_serial->stopPolling();
    return waitForAnswers(before + 2);
}

bool tst_SerialLink::read(uchar code)
{
    const int before = m_answers->count();
    m_serial->read(code, 1);
    return waitForAnswers(before + 1);
}

bool tst_SerialLink::write(uchar code, const QByteArray &data)
{
    const int before = m_answers->count();
    m_serial->write(code, data);
    return waitForAnswers(before + 1);
}

void tst_SerialLink::start(InstrumentSimulator::Config config)
{
    config.linkPath = m_dir.filePath(QStringLiteral("ttySIM"));
    m_sim = std::make_unique<InstrumentSimulator>(config);
    QString error;
    QVERIFY2(m_sim->start(&error), qPrintable(error));
    m_sim->setObjectTemperature(1.0); // raw 1010 = 03 F2
    m_framing = config.framing == SimProtocol::Framing::Crc ? SerialFrame::CrcFraming
                                                            : SerialFrame::XorFraming;
}

void tst_SerialLink::openPort()
{
    QSignalSpy opened(m_serial.get(), &SerialLink::opened);
    m_answers->clear();
    m_serial->open(m_sim->devicePath(), 9600, m_framing);
    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 5000);
    QCOMPARE(opened.first().first().toBool(), true);
    QVERIFY(m_serial->isPortOpen());
    // The wake frame's answer, in the XOR framing.
    if (m_framing == SerialFrame::XorFraming)
        QVERIFY(waitForAnswers(1));
    m_answers->clear();
    m_sim->clearLog();
}

void tst_SerialLink::openWithFaults(bool crc, const InstrumentSimulator::Faults &faults)
{
    InstrumentSimulator::Config config;
    config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
    start(config);
    openPort();
    m_sim->setFaults(faults);
}

void tst_SerialLink::xorTransactions_data()
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

void tst_SerialLink::xorTransactions()
{
    QFETCH(QString, kind);
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    start();
    openPort();
    // A poll step asks for the ambient temperature after the object's.
    QList<QByteArray> requests{request};
    if (kind == QLatin1String("poll")) {
        QVERIFY(pollStep(uchar(code)));
        requests.append(QByteArray::fromHex("0202"));
    } else if (kind == QLatin1String("read")) {
        QVERIFY(read(uchar(code)));
    } else {
        QVERIFY(write(uchar(code), data));
    }
    QCOMPARE(m_answers->count(), requests.size());
    const Answer got = m_answers->at(0);
    QCOMPARE(got.code, code);
    QCOMPARE(got.bytes.toHex(' '), answer.toHex(' '));
    QVERIFY(got.ok);
    QCOMPARE(m_sim->receivedFrames(), requests);
}

void tst_SerialLink::crcTransactions_data()
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

void tst_SerialLink::crcTransactions()
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
    for (int round = 0; round < 3; ++round) {
        // A poll step's object answer is the first of its two.
        m_answers->clear();
        // Counted from before the step: a late answer to the last one must not shift it.
        const int sentBefore = int(m_sim->receivedFrames().size());
        if (kind == QLatin1String("poll"))
            QVERIFY(pollStep(uchar(code)));
        else if (kind == QLatin1String("write"))
            QVERIFY(write(uchar(code), data));
        else
            QVERIFY(read(uchar(code)));
        const Answer got = m_answers->at(0);
        QCOMPARE(got.code, code);
        QVERIFY2(got.ok, got.bytes.toHex(' ').constData());
        QCOMPARE(got.bytes.mid(3, got.bytes.size() - 5).toHex(' '), answerData.toHex(' '));
        const QList<QByteArray> frames = m_sim->receivedFrames();
        QCOMPARE(frames.at(sentBefore).toHex(' '), request.toHex(' '));
    }
}

void tst_SerialLink::answersInPieces_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("poll in three pieces") << false << 0x01 << 3 << 40;
    QTest::newRow("mask in five pieces") << false << 0x40 << 5 << 15;
    QTest::newRow("crc identity in two pieces") << true << 0x17 << 2 << 100;
}

void tst_SerialLink::answersInPieces()
{
    QFETCH(bool, crc);
    QFETCH(int, code);
    QFETCH(int, pieces);
    QFETCH(int, delayMs);
    InstrumentSimulator::Faults faults;
    faults.splitPieces = pieces;
    faults.splitDelayMs = delayMs;
    openWithFaults(crc, faults);
    QVERIFY(code == 0x01 ? pollStep(uchar(code)) : read(uchar(code)));
    QVERIFY(m_answers->at(0).ok);
}

void tst_SerialLink::faultyAnswers_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<bool>("badChecksum");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("xor wrong checksum") << false << true << 0;
    QTest::newRow("crc wrong checksum") << true << true << 0;
    QTest::newRow("xor answer too late") << false << false << 1000;
    QTest::newRow("crc answer too late") << true << false << 2500;
}

void tst_SerialLink::faultyAnswers()
{
    QFETCH(bool, crc);
    QFETCH(bool, badChecksum);
    QFETCH(int, delayMs);
    InstrumentSimulator::Faults faults;
    faults.badChecksum = badChecksum;
    faults.answerDelayMs = delayMs;
    openWithFaults(crc, faults);
    QVERIFY(read(0x20));
    QCOMPARE(m_answers->count(), 1);
    QVERIFY(!m_answers->last().ok);
    QCOMPARE(m_answers->last().code, 0x20);
}

void tst_SerialLink::silentInstrumentGetsResyncBursts()
{
    start();
    openPort();
    InstrumentSimulator::Faults faults;
    faults.silent = true;
    m_sim->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(pollStep(0x01));
    QVERIFY(timer.elapsed() >= 600);
    for (int code : {0x01, 0x02}) {
        const Answer got = m_answers->at(code - 1);
        QCOMPARE(got.code, code);
        QVERIFY(got.bytes.isEmpty());
        QVERIFY(!got.ok);
    }
    // Eight zero bytes after each poll reach the instrument, which takes them as filler.
    const auto ignoredBytes = [this] {
        QByteArray ignored;
        for (const auto &entry : m_sim->log())
            if (entry.direction == InstrumentSimulator::Direction::Ignored)
                ignored += entry.bytes;
        return ignored;
    };
    QTRY_COMPARE_WITH_TIMEOUT(ignoredBytes().size(), 16, 5000);
    QCOMPARE(ignoredBytes(), QByteArray(16, '\0'));
}

void tst_SerialLink::openingWakesXorInstrumentOnly()
{
    for (bool crc : {false, true}) {
        InstrumentSimulator::Config config;
        config.framing = crc ? SimProtocol::Framing::Crc : SimProtocol::Framing::Xor;
        start(config);
        QSignalSpy opened(m_serial.get(), &SerialLink::opened);
        m_serial->open(m_sim->devicePath(), 9600, m_framing);
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 5000);
        QVERIFY(opened.first().first().toBool());
        // The wake frame is six zero bytes and its outcome is reported under code 0x00.
        if (!crc) {
            QVERIFY(waitForAnswers(1));
            QCOMPARE(m_answers->last().code, 0x00);
            QTRY_VERIFY_WITH_TIMEOUT(!m_sim->log().isEmpty(), 5000);
            QCOMPARE(m_sim->log().first().bytes.count('\0'), m_sim->log().first().bytes.size());
        } else {
            QTest::qWait(200);
            QCOMPARE(m_answers->count(), 0);
            QVERIFY(m_sim->log().isEmpty());
        }
        QSignalSpy closed(m_serial.get(), &SerialLink::closed);
        m_serial->close();
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 5000);
        m_answers->clear();
    }
}

void tst_SerialLink::openFailureAndClosedPort()
{
    QSignalSpy opened(m_serial.get(), &SerialLink::opened);
    QSignalSpy closed(m_serial.get(), &SerialLink::closed);
    m_serial->open(m_dir.filePath(QStringLiteral("no-such-device")), 9600, m_framing);
    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 5000);
    QCOMPARE(opened.first().first().toBool(), false);
    QVERIFY(!m_serial->isPortOpen());
    // Nothing is sent or reported on a closed port; closing it again still reports it.
    m_serial->startPolling(0x01);
    m_serial->read(0x20);
    m_serial->write(0xA0, QByteArray::fromHex("03B6"), true);
    m_serial->close();
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 5000);
    QVERIFY(!m_serial->isPolling());
    QCOMPARE(m_answers->count(), 0);
}

void tst_SerialLink::unplugEndsTransactionAndClosesPort()
{
    start();
    openPort();
    QSignalSpy errors(m_serial.get(), &SerialLink::errorOccurred);
    QSignalSpy closed(m_serial.get(), &SerialLink::closed);
    QSignalSpy lost(m_serial.get(), &SerialLink::deviceLost);
    InstrumentSimulator::Faults faults;
    faults.answerDelayMs = 2000; // the cable goes while the link waits for an answer
    m_sim->setFaults(faults);
    // A guarded write and reads queued behind it are under way or waiting.
    m_serial->write(0xA0, QByteArray::fromHex("03B6"), true);
    m_serial->read(0x20);
    m_serial->startPolling(0x01);
    QTest::qWait(150);
    QElapsedTimer timer;
    timer.start();
    m_sim->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, 5000);
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(lost.count(), 1);
    QVERIFY(!m_serial->isPortOpen());
    QVERIFY(!m_serial->isPolling());
    bool sawDeviceGone = false;
    for (const QList<QVariant> &args : errors) {
        const auto error = args.first().value<QSerialPort::SerialPortError>();
        sawDeviceGone |= error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    }
    QVERIFY(sawDeviceGone);
    // The link is free again: the device comes back and the same name opens.
    QVERIFY(m_sim->replug());
    m_sim->setFaults({});
    openPort();
    QVERIFY(pollStep(0x01));
    QVERIFY(m_answers->at(0).ok);
}

void tst_SerialLink::randomAnswersNeverHang()
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
        m_answers->clear();
        QVERIFY(round % 2 ? pollStep(code) : read(code));
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(m_answers->at(0).bytes.size() <= SerialFrame::MaxAnswerBytes + 1);
    }
    // After the noise stops the link works again.
    m_sim->setFaults({});
    QVERIFY(pollStep(0x01));
    QVERIFY(pollStep(0x01));
    QVERIFY(m_answers->last().ok);
}

void tst_SerialLink::lateAnswersKeepPortOpen_data()
{
    QTest::addColumn<bool>("crc");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("delayEvery");
    QTest::newRow("xor, every third answer late") << false << 450 << 3;
    QTest::newRow("xor, every other answer late") << false << 350 << 2;
    QTest::newRow("crc, every other answer late") << true << 700 << 2;
}

void tst_SerialLink::lateAnswersKeepPortOpen()
{
    QFETCH(bool, crc);
    QFETCH(int, delayMs);
    QFETCH(int, delayEvery);
    InstrumentSimulator::Faults faults;
    faults.answerDelayMs = delayMs;
    faults.delayEvery = delayEvery;
    openWithFaults(crc, faults);
    QSignalSpy closed(m_serial.get(), &SerialLink::closed);
    QSignalSpy lost(m_serial.get(), &SerialLink::deviceLost);
    for (int round = 0; round < 16; ++round) {
        QVERIFY(round % 2 ? read(0x20) : pollStep(0x01));
        QVERIFY(m_serial->isPortOpen());
    }
    int valid = 0;
    for (int i = 0; i < m_answers->count(); ++i)
        valid += m_answers->at(i).ok ? 1 : 0;
    QVERIFY2(valid >= 4, qPrintable(QString::number(valid)));
    // Anything still queued by the link would show up now.
    QTest::qWait(300);
    QCOMPARE(closed.count(), 0);
    QCOMPARE(lost.count(), 0);
    QVERIFY(m_serial->isPortOpen());
    m_sim->setFaults({});
    QTest::qWait(delayMs + 100); // the last late answer is on its way
    QVERIFY(pollStep(0x01));
    QVERIFY(m_answers->last().ok);
}

void tst_SerialLink::noiseBurstThenReadingsWithinASecond()
{
    start();
    openPort();
    QVERIFY(pollStep(0x01));
    QVERIFY(m_answers->last().ok);
    const qint64 residentBefore = residentKiB();
    // Far beyond any serial line's rate, so a backlog would be plain to see.
    InstrumentSimulator::Faults faults;
    faults.noiseBytesPerSecond = 1000 * 1000;
    m_sim->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 2500) {
        QVERIFY(pollStep(0x01));
        QVERIFY(m_serial->isPortOpen());
    }
    m_sim->setFaults({});
    timer.start();
    int steps = 0;
    do {
        m_answers->clear();
        QVERIFY(pollStep(0x01));
        ++steps;
    } while (!m_answers->at(0).ok && timer.elapsed() < 5000);
    QVERIFY2(timer.elapsed() < 1000,
             qPrintable(QStringLiteral("%1 ms, %2 poll steps").arg(timer.elapsed()).arg(steps)));
    QCOMPARE(m_answers->at(0).bytes.toHex(' '), QByteArray("03 f2 f1"));
    QVERIFY(m_serial->discardedBytes() > 10 * SerialLink::ReadBufferBytes);
    const qint64 grownKiB = residentKiB() - residentBefore;
    QVERIFY2(residentBefore < 0 || grownKiB < 32 * 1024, qPrintable(QString::number(grownKiB)));
}

QTEST_GUILESS_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
