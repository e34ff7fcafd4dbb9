#ifndef TEVRANO_TRIGGER_H
#define TEVRANO_TRIGGER_H

#include <QString>

#include <deque>
#include <utility>

// What a triggered capture waits for. Levels and rates are in Celsius (per
// second for a rate); the caller converts readings in another unit.
struct Trigger
{
    enum class Kind { Above, Below, Rate, Alarm };

    // A level must be passed back by this much to clear: the alarms' margin,
    // so a reading that wavers around the level makes one capture.
    static constexpr double LevelHysteresis = 0.5;
    // A rate is taken over at least this span, so the reading's noise alone
    // does not look like a steep slope.
    static constexpr double RateWindowS = 1.0;
    // The held samples live in memory: an hour at the finest interval is a few tens of MB.
    static constexpr double MaxPreS = 3600;

    Kind kind = Kind::Above;
    double level = 0;  // Celsius for Above and Below; Celsius per second for Rate, signed
    double preS = 10;  // kept from before the trigger fires
    double postS = 10; // written on after the condition cleared
    bool once = false; // stop after the first capture instead of re-arming

    // Names the trigger in the marker that opens each capture, e.g. "trigger: above 50.0".
    QString name() const;
};

// Whether a trigger's condition holds, judged sample by sample. Above and
// Below clear only LevelHysteresis back past the level; a rate clears when
// the slope falls below half the trigger's rate. A gap (NaN) changes nothing
// and restarts the slope.
class TriggerCondition
{
public:
    explicit TriggerCondition(const Trigger &trigger);

    // Whether the condition holds after this sample.
    bool update(double seconds, double celsius, bool alarm);
    bool active() const { return m_active; }

private:
    bool judge(double seconds, double celsius, bool alarm);

    const Trigger::Kind m_kind;
    const double m_level;
    bool m_active = false;
    std::deque<std::pair<double, double>> m_recent; // (seconds, Celsius) spanning the rate window
};

// When a capture's samples are written: a plain state machine over the
// sample times, without the samples themselves. A capture starts at a
// crossing: a condition that already holds when the gate starts (or comes back
// from a gap holding) waits until it has been seen clear once.
class CaptureGate
{
public:
    enum class Step {
        Hold,  // not due: kept back in case a trigger follows within `pre`
        Start, // fires: the samples held back from the last `pre` seconds, then this one
        Write, // inside a capture
        Drop,  // the single capture has ended: nothing more is written
    };

    explicit CaptureGate(const Trigger &trigger);

    Step push(double seconds, double celsius, bool alarm);

    const Trigger &trigger() const { return m_trigger; }
    bool capturing() const { return m_state == State::Capturing || m_state == State::Post; }
    bool finished() const { return m_state == State::Done; }
    int captures() const { return m_captures; }

private:
    enum class State { Armed, Capturing, Post, Done };

    const Trigger m_trigger;
    TriggerCondition m_condition;
    State m_state = State::Armed;
    double m_clearedAt = 0;
    int m_captures = 0;
    bool m_seenClear = false;
};

// A CaptureGate with the samples it holds back. `Row` is whatever the caller
// writes for a sample.
template<typename Row>
class TriggeredCapture
{
public:
    explicit TriggeredCapture(const Trigger &trigger)
        : m_gate(trigger)
    {}

    // Feeds one sample and hands the rows now due to `write(row, opensCapture)`,
    // oldest first; `opensCapture` is true for the first row of each capture.
    template<typename Write>
    void push(double seconds, double celsius, bool alarm, Row row, Write &&write)
    {
        switch (m_gate.push(seconds, celsius, alarm)) {
        case CaptureGate::Step::Hold:
            m_held.emplace_back(seconds, std::move(row));
            while (m_held.front().first < seconds - m_gate.trigger().preS)
                m_held.pop_front();
            break;
        case CaptureGate::Step::Start: {
            bool first = true;
            for (auto &held : m_held) {
                write(std::move(held.second), first);
                first = false;
            }
            m_held.clear();
            write(std::move(row), first);
            break;
        }
        case CaptureGate::Step::Write:
            write(std::move(row), false);
            break;
        case CaptureGate::Step::Drop:
            break;
        }
    }

    const CaptureGate &gate() const { return m_gate; }

private:
    CaptureGate m_gate;
    std::deque<std::pair<double, Row>> m_held;
};

#endif // TEVRANO_TRIGGER_H
