#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Beeps about once a second while an alarm is active and the sound is switched on; the first
// beep comes at once.
class AlarmBeeper : public QObject
{
    Q_OBJECT
public:
    static constexpr int IntervalMs = 1000;

    explicit AlarmBeeper(QObject *parent = nullptr);

    void setSoundOn(bool on);
    void setAlarmActive(bool active);
    bool isBeeping() const { return m_timer.isActive(); }

    // Replaces QApplication::beep, e.g. for a test that counts; empty restores it.
    static void setBeepHook(std::function<void()> hook);

private:
    void update();
    void beep();

    QTimer m_timer;
    bool m_soundOn = false;
    bool m_active = false;
};
