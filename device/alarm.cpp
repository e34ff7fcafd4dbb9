#include "alarm.h"

#include <cmath>

AlarmState AlarmMonitor::update(double reading)
{
    if (std::isnan(reading))
        return m_state;
    const AlarmThresholds &t = m_thresholds;
    const bool stillHigh
            = m_state == AlarmState::High && t.highEnabled && reading > t.high - hysteresis;
    const bool stillLow
            = m_state == AlarmState::Low && t.lowEnabled && reading < t.low + hysteresis;
    if (stillHigh || stillLow)
        return m_state;
    if (t.highEnabled && reading > t.high)
        m_state = AlarmState::High;
    else if (t.lowEnabled && reading < t.low)
        m_state = AlarmState::Low;
    else
        m_state = AlarmState::None;
    return m_state;
}
