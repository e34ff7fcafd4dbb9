#ifndef TEVRANO_SAMPLINGCLOCK_H
#define TEVRANO_SAMPLINGCLOCK_H

#include <QObject>

#include <functional>

class QTimer;

// A sampling clock: a precise single-shot timer, armed for each slot anew by the one it calls.
// Moved to a thread of its own, so the pace does not suffer when the owner's thread is busy;
// arm() and halt() only on that thread.
class SamplingClock : public QObject
{
public:
    explicit SamplingClock(std::function<void()> onTick);
    void arm(qint64 ms);
    void halt();

private:
    QTimer *m_timer;
};

#endif // TEVRANO_SAMPLINGCLOCK_H
