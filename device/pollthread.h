#pragma once

#include <QThread>

#include <atomic>
#include <functional>

// The instrument's identity as last read; chooses the poll code. Written on the GUI thread,
// read on the poll thread.
extern std::atomic<quint16> deviceModel;
// Whether guarded writes must be preceded by the write-enable command; set by the identity.
extern std::atomic<bool> writeEnableRequired;

// Object-temperature code for a model: two models keep it under 0x08.
uchar objectTemperatureCode(quint16 model);

// A thread with a stop flag that its loop checks between steps.
class AmbrelThread : public QThread
{
    Q_OBJECT
public:
    using QThread::QThread;

    void start(Priority priority = InheritPriority);
    // Asks the loop to end and waits for the step under way to finish.
    void stop();

protected:
    bool stopRequested() const { return m_stop.load(); }

private:
    std::atomic<bool> m_stop{false};
};

// Polls object and ambient temperature back to back, as fast as the transactions allow.
class GetTempThread : public AmbrelThread
{
    Q_OBJECT
public:
    // pollOnce sends one blocking poll request for a code and returns when it has ended.
    explicit GetTempThread(std::function<void(uchar)> pollOnce, QObject *parent = nullptr);

protected:
    void run() override;

private:
    std::function<void(uchar)> m_pollOnce;
};
