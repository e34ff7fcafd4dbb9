#pragma once

// Whether the object reading is outside the instrument's alarm thresholds. A reading has to come
// back inside by `hysteresis` degrees to end an alarm, so a reading that wavers around a
// threshold does not make the tile and the beeper flicker.
struct AlarmThresholds
{
    bool highEnabled = false;
    double high = 0.0;
    bool lowEnabled = false;
    double low = 0.0;
};

enum class AlarmState { None, High, Low };

class AlarmMonitor
{
public:
    static constexpr double hysteresis = 0.5;

    // Thresholds in the unit of the readings that follow; the state is re-judged at the next
    // reading, so a disabled threshold ends its alarm then.
    void setThresholds(const AlarmThresholds &thresholds) { m_thresholds = thresholds; }
    const AlarmThresholds &thresholds() const { return m_thresholds; }
    // A gap (NaN) neither starts nor ends an alarm.
    AlarmState update(double reading);
    AlarmState state() const { return m_state; }
    void reset() { m_state = AlarmState::None; }

private:
    AlarmThresholds m_thresholds;
    AlarmState m_state = AlarmState::None;
};
