#pragma once

#include "serialframe.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>

#include <atomic>
#include <deque>

class QThread;
class QTimer;

// The only owner of an instrument's port. Lives on a thread of its own and runs one transaction
// at a time from its queue; answers are collected from readyRead and timers, so the thread never
// waits on the line and every call below returns at once.
//
// Polls and parameter transactions share the queue. Parameter work goes before the next poll
// step, but while polling at most one parameter transaction runs between two steps, so a long
// parameter read never starves the readings. A read that fails is tried again after the next
// step, up to its number of tries; only the last failure is reported. Writes are tried once.
//
// A silent, late or noisy instrument only fails transactions. The port is closed on its own only
// when the device is really gone: its node vanished, the line hung up, or resource errors kept
// coming for ResourceErrorConfirmMs. Such a close emits deviceLost and then closed.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReadTries = 3;
    // The port never holds more unread input than this.
    static constexpr qint64 ReadBufferBytes = 4096;
    static constexpr int ResourceErrorConfirmMs = 1000;

    SerialLink();
    ~SerialLink() override;

    // Safe to call from any thread; carried out on the link's thread in call order. Opening
    // drops what is queued and, in the XOR framing, sends the wake frame first.
    void open(const QString &name, qint32 baud, int framing);
    void close();
    void read(uchar code, int tries = ReadTries);
    // A guarded write is preceded by the write-enable command, with no poll between them.
    void write(uchar code, const QByteArray &data, bool guarded = false);
    // Polls the object code and then 0x02 (ambient), one step per interval (0: back to back).
    void startPolling(uchar objectCode);
    // The step under way ends first.
    void stopPolling();
    void setPollInterval(int ms);

    bool isPortOpen() const { return m_portOpen.load(); }
    bool isPolling() const { return m_polling.load(); }
    int pollInterval() const { return m_intervalMs.load(); }
    // The framing of the open port, in which its answers are read.
    int framing() const { return m_framing.load(); }
    void setFraming(int framing) { m_framing.store(framing); }
    // Bytes found waiting before a request and thrown away unread, since construction.
    qint64 discardedBytes() const { return m_discarded.load(); }

signals:
    // The outcome of a transaction: the bytes collected and whether they are a valid answer.
    // Every poll is reported; a read only after its last try.
    void answered(uchar code, const QByteArray &bytes, bool ok);
    void opened(bool ok);
    // On request or after a loss.
    void closed();
    void deviceLost();
    void errorOccurred(QSerialPort::SerialPortError error);

private:
    enum class Kind { Wake, Poll, Read, Write, Guard };
    struct Job
    {
        Kind kind = Kind::Read;
        uchar code = 0;
        QByteArray data;
        int triesLeft = 1;
        bool guarded = false;
    };
    enum class Phase { Idle, Writing, Collecting, Resync, Draining };

    void openPort(const QString &name, qint32 baud, int framing);
    void enqueue(const Job &job);
    void runNext();
    void begin(const Job &job);
    void writeNextByte();
    void paced();
    void startCollecting();
    void absorb();
    void giveUp();
    void drain();
    void finish(bool valid);
    void resyncStep();
    void complete(bool valid);
    SerialFrame::Transaction transaction() const;
    void discardStaleInput();
    void closePort();
    bool deviceGone() const;
    void onPortError(QSerialPort::SerialPortError error);
    void reportLost();

    QThread *m_thread = nullptr;
    // Owned by the link thread from here on; touched there only.
    QSerialPort *m_port = nullptr;
    QTimer *m_pace = nullptr;     // the pause after each request byte
    QTimer *m_deadline = nullptr; // ends an answer's collection
    QTimer *m_stepDue = nullptr;  // the next poll step of a paced poll
    std::deque<Job> m_queue;
    Job m_current;
    Phase m_phase = Phase::Idle;
    QByteArray m_frame;
    int m_nextByte = 0;
    QByteArray m_answer;
    QByteArray m_late; // what came after a transaction gave up
    int m_resyncLeft = 0;
    uchar m_objectCode = 0x01;
    bool m_stepHalfDone = false; // the object poll of a step has run, the ambient one not yet
    int m_parametersSinceStep = 0;
    QElapsedTimer m_sinceStep;
    QString m_location; // the device node as opened
    QElapsedTimer m_resourceErrors;
    QElapsedTimer m_lastResourceError;
    bool m_deviceLost = false;

    std::atomic<int> m_framing{SerialFrame::XorFraming};
    std::atomic<bool> m_portOpen{false};
    std::atomic<bool> m_polling{false};
    std::atomic<int> m_intervalMs{0};
    std::atomic<qint64> m_discarded{0};
};
