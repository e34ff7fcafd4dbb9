#pragma once

#include "serialframe.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QSerialPort>

#include <atomic>

class QThread;

// Held for the whole of every XOR-framed transaction, so nothing else in the process talks
// to the instrument in that framing meanwhile.
QMutex &serialMutex();

// The only owner of the instrument's port. Lives on a worker thread of its own and runs one
// transaction at a time; callers reach the slots through blocking queued connections and get
// every outcome back through DataRecv.
//
// A silent, late or noisy instrument only fails transactions. The port is closed on its own
// only when the device is really gone: its node vanished, the line hung up, or resource
// errors kept coming for ResourceErrorConfirmMs. Such a close emits DeviceLost and then
// CloseSuccessed(true), both from the worker thread.
class OptSerial : public QObject
{
    Q_OBJECT
public:
    explicit OptSerial(int protocolMode = SerialFrame::XorFraming);
    ~OptSerial() override;

    void setProtocolMode(int mode) { m_protocolMode.store(mode); }
    int protocolMode() const { return m_protocolMode.load(); }

    // Safe to call from any thread.
    bool isPortOpen() const { return m_portOpen.load(); }
    // Bytes found waiting before a request and thrown away unread, since construction.
    qint64 discardedBytes() const { return m_discarded.load(); }

    // The port never holds more unread input than this.
    static constexpr qint64 ReadBufferBytes = 4096;
    static constexpr int ResourceErrorConfirmMs = 1000;

public slots:
    void OpenCom(const QString &name, QSerialPort::BaudRate baud);
    void CloseCom();
    void SendReadCommand(uchar code);
    void SendWriteCommand(uchar code, const QByteArray &data, ushort index = 0);
    void FastRead(uchar code);
    void receiveInfo();

signals:
    void DataRecv(uchar code, QByteArray bytes, bool ok);
    void OpenSuccessed(bool ok);
    void CloseSuccessed(bool ok);
    void DeviceLost();
    void errorOccurred(QSerialPort::SerialPortError error);

private:
    void runXorTransaction(SerialFrame::Transaction kind, uchar code, const QByteArray &data);
    void runCrcTransaction(QByteArray frame);
    void writePaced(const QByteArray &frame, bool waitAfterEachByte);
    void writeWhole(const QByteArray &frame);
    void finishWriting();
    QByteArray collectAnswer(SerialFrame::Transaction kind, uchar code, bool *valid);
    void sendResyncBurst();
    void discardStaleInput();
    void setDrainAttached(bool attached);
    void closePort();
    bool deviceGone() const;
    void onPortError(QSerialPort::SerialPortError error);
    void reportLost();

    QThread *m_thread = nullptr;
    QSerialPort *m_port = nullptr;
    QMetaObject::Connection m_drain;
    std::atomic<int> m_protocolMode;
    std::atomic<bool> m_portOpen{false};
    std::atomic<qint64> m_discarded{0};
    QString m_location; // the device node as opened
    // Running since the first resource error that no valid answer has followed yet.
    QElapsedTimer m_resourceErrors;
    QElapsedTimer m_lastResourceError;
    // The port emits readyRead from inside its own waits; while a transaction collects an
    // answer the drain must leave the bytes to it. Touched on the worker thread only.
    bool m_collecting = false;
    // Set once the device is known to be gone; the port is then closed.
    bool m_deviceLost = false;
};
