#include "samplingclock.h"

#include <QTimer>

#include <algorithm>
#include <utility>

SamplingClock::SamplingClock(const QString &threadName, std::function<void()> onTick)
    : m_timer(new QTimer)
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer, &QTimer::timeout, std::move(onTick));
    m_timer->moveToThread(&m_thread);
    m_thread.setObjectName(threadName);
    m_thread.start(QThread::TimeCriticalPriority);
}

SamplingClock::~SamplingClock()
{
    // A timer can only be stopped on its own thread.
    QMetaObject::invokeMethod(
            m_timer, [timer = m_timer] { timer->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_timer;
}

void SamplingClock::arm(qint64 ms)
{
    // QTimer takes an int; a day is the longest interval a recording has.
    const int delay = int(std::clamp<qint64>(ms, 0, 24 * 3600 * 1000));
    QMetaObject::invokeMethod(m_timer, [timer = m_timer, delay] { timer->start(delay); });
}

void SamplingClock::halt()
{
    QMetaObject::invokeMethod(m_timer, [timer = m_timer] { timer->stop(); });
}
