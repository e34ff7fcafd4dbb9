#include "collect.h"

#include <QTimer>

Collect::Collect()
    : m_timer(new QTimer(this))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    // The timer is a child, so it moves along and fires on the sampling thread.
    moveToThread(&m_thread);
    connect(m_timer, &QTimer::timeout, this, &Collect::TimerOutEvent);
    m_thread.start(QThread::InheritPriority);
}

Collect::~Collect()
{
    // A timer can only be stopped from its own thread.
    QMetaObject::invokeMethod(this, &Collect::stop, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void Collect::start(int ms)
{
    m_timer->setInterval(ms);
    if (m_timer->isActive())
        m_timer->stop();
    m_timer->start();
}

void Collect::stop()
{
    if (m_timer->isActive())
        m_timer->stop();
}

void Collect::TimerOutEvent()
{
    emit timeOut();
}
