#include "trigger.h"

#include <cmath>

QString Trigger::name() const
{
    switch (kind) {
    case Kind::Above:
        return QStringLiteral("trigger: above %1").arg(level, 0, 'f', 1);
    case Kind::Below:
        return QStringLiteral("trigger: below %1").arg(level, 0, 'f', 1);
    case Kind::Rate:
        return QStringLiteral("trigger: rate %1 %2/s")
                .arg(level < 0 ? QLatin1Char('<') : QLatin1Char('>'))
                .arg(level, 0, 'f', 1);
    case Kind::Alarm:
        break;
    }
    return QStringLiteral("trigger: alarm");
}

TriggerCondition::TriggerCondition(const Trigger &trigger)
    : m_kind(trigger.kind)
    , m_level(trigger.level)
{}

bool TriggerCondition::update(double seconds, double celsius, bool alarm)
{
    m_active = judge(seconds, celsius, alarm);
    return m_active;
}

bool TriggerCondition::judge(double seconds, double celsius, bool alarm)
{
    if (m_kind == Trigger::Kind::Alarm)
        return alarm;
    if (!std::isfinite(celsius)) {
        m_recent.clear();
        return m_active;
    }
    switch (m_kind) {
    case Trigger::Kind::Above:
        return celsius > (m_active ? m_level - Trigger::LevelHysteresis : m_level);
    case Trigger::Kind::Below:
        return celsius < (m_active ? m_level + Trigger::LevelHysteresis : m_level);
    default:
        break;
    }
    // The slope from the latest sample at least a window back (or the oldest there is).
    m_recent.emplace_back(seconds, celsius);
    while (m_recent.size() > 2 && seconds - m_recent[1].first >= Trigger::RateWindowS)
        m_recent.pop_front();
    const double span = seconds - m_recent.front().first;
    if (m_recent.size() < 2 || span <= 0)
        return m_active;
    const double slope = (celsius - m_recent.front().second) / span;
    const double threshold = m_active ? m_level / 2 : m_level;
    return m_level < 0 ? slope < threshold : slope > threshold;
}

CaptureGate::CaptureGate(const Trigger &trigger)
    : m_trigger(trigger)
    , m_condition(trigger)
{}

CaptureGate::Step CaptureGate::push(double seconds, double celsius, bool alarm)
{
    if (m_state == State::Done)
        return Step::Drop;
    const bool active = m_condition.update(seconds, celsius, alarm);
    switch (m_state) {
    case State::Armed:
        m_seenClear = m_seenClear || (!active && !std::isnan(celsius));
        if (!active || !m_seenClear)
            return Step::Hold;
        m_state = State::Capturing;
        ++m_captures;
        return Step::Start;
    case State::Capturing:
        if (!active) {
            m_state = State::Post;
            m_clearedAt = seconds;
        }
        return Step::Write;
    case State::Post:
        if (active)
            m_state = State::Capturing;
        if (active || seconds - m_clearedAt <= m_trigger.postS)
            return Step::Write;
        if (m_trigger.once) {
            m_state = State::Done;
            return Step::Drop;
        }
        m_state = State::Armed;
        return Step::Hold;
    case State::Done:
        break;
    }
    return Step::Drop;
}
