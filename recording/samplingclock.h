#ifndef TEVRANO_SAMPLINGCLOCK_H
#define TEVRANO_SAMPLINGCLOCK_H

#include <QThread>

#include <functional>

class QTimer;

// A sampling clock: a precise single-shot timer on a thread of its own, so the pace does not
// suffer when the owner's thread is busy; whoever it calls arms it for the next slot anew.
class SamplingClock
{
public:
    SamplingClock(const QString &threadName, std::function<void()> onTick);
    // Halts the clock and waits for a call in progress.
    ~SamplingClock();
    SamplingClock(const SamplingClock &) = delete;
    SamplingClock &operator=(const SamplingClock &) = delete;

    // Calls onTick in `ms`, instead of any call pending. From any thread; on the clock's own
    // (from onTick) at once, from another queued.
    void arm(qint64 ms);
    void halt();

private:
    QThread m_thread;
    QTimer *m_timer;
};

#endif // TEVRANO_SAMPLINGCLOCK_H
