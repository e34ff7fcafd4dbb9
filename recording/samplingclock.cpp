#include "samplingclock.h"

#include <QTimer>

#include <algorithm>
#include <utility>

SamplingClock::SamplingClock(std::function<void()> onTick)
    : m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, std::move(onTick));
}

void SamplingClock::arm(qint64 ms)
{
    // QTimer takes an int; a day is the longest interval a recording has.
    m_timer->start(int(std::clamp<qint64>(ms, 0, 24 * 3600 * 1000)));
}

void SamplingClock::halt()
{
    m_timer->stop();
}
