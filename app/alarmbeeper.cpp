#include "alarmbeeper.h"

#include <QApplication>

namespace {
std::function<void()> &beepHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

AlarmBeeper::AlarmBeeper(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AlarmBeeper::beep);
}

void AlarmBeeper::setSoundOn(bool on)
{
    m_soundOn = on;
    update();
}

void AlarmBeeper::setAlarmActive(bool active)
{
    m_active = active;
    update();
}

void AlarmBeeper::setBeepHook(std::function<void()> hook)
{
    beepHook() = std::move(hook);
}

void AlarmBeeper::update()
{
    const bool beeping = m_soundOn && m_active;
    if (beeping == m_timer.isActive())
        return;
    if (!beeping) {
        m_timer.stop();
        return;
    }
    beep();
    m_timer.start();
}

void AlarmBeeper::beep()
{
    if (beepHook())
        beepHook()();
    else
        QApplication::beep();
}
