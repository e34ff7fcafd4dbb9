#pragma once

#include <QThread>

#include <atomic>
#include <functional>

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

// Polls object and ambient temperature back to back, as fast as the transactions allow, or
// one pair per interval when one is set.
class GetTempThread : public AmbrelThread
{
    Q_OBJECT
public:
    // pollOnce sends one blocking poll request for a code and returns when it has ended;
    // objectCode gives the object-temperature code for the next step.
    GetTempThread(std::function<uchar()> objectCode,
                  std::function<void(uchar)> pollOnce,
                  QObject *parent = nullptr);

    // Milliseconds from the start of one step to the start of the next; 0 runs them back to
    // back. Safe to call from any thread.
    void setInterval(int ms) { m_intervalMs.store(ms); }
    int interval() const { return m_intervalMs.load(); }

protected:
    void run() override;

private:
    std::function<uchar()> m_objectCode;
    std::function<void(uchar)> m_pollOnce;
    std::atomic<int> m_intervalMs{0};
};
