#include "recordingmarkers.h"

#include "chartwidget.h"
#include "instrumentset.h"
#include "temperatureunit.h"

#include <utility>

// What one instrument was last seen doing, to mark changes only; its connections end with it.
class RecordingMarkers::Follower : public QObject
{
public:
    using QObject::QObject;
    QHash<int, double> parameters; // the last value read of each
    bool lost = false;
};

RecordingMarkers::RecordingMarkers(Instrument *standby,
                                   const InstrumentSet *set,
                                   ChartWidget *chart,
                                   QObject *parent)
    : QObject(parent)
    , m_chart(chart)
    , m_set(set)
{
    follow(standby, QString());
    if (!set)
        return;
    connect(set,
            &InstrumentSet::instrumentAdded,
            this,
            [this](const QString &serialNumber, Instrument *instrument) {
                follow(instrument, serialNumber);
            });
    // Its Instrument goes on under another serial number, added anew.
    connect(set, &InstrumentSet::instrumentRemoved, this, [this](const QString &serialNumber) {
        delete m_members.take(serialNumber);
    });
    for (const QString &serialNumber : set->serialNumbers())
        follow(set->instrument(serialNumber), serialNumber);
}

void RecordingMarkers::follow(Instrument *instrument, const QString &serialNumber)
{
    auto *follower = new Follower(this);
    if (!serialNumber.isEmpty())
        delete std::exchange(m_members[serialNumber], follower);
    connect(instrument,
            &Instrument::alarmChanged,
            follower,
            [this, serialNumber](AlarmState state) {
                switch (state) {
                case AlarmState::High:
                    mark(serialNumber, tr("高温报警开始"));
                    break;
                case AlarmState::Low:
                    mark(serialNumber, tr("低温报警开始"));
                    break;
                case AlarmState::None:
                    mark(serialNumber, tr("报警结束"));
                    break;
                }
            });
    connect(instrument,
            &Instrument::unitChanged,
            follower,
            [this, serialNumber](int unit, int previous) {
                mark(serialNumber,
                     tr("单位 %1 → %2")
                             .arg(TemperatureUnit::symbol(previous),
                                  TemperatureUnit::symbol(unit)));
            });
    connect(instrument,
            &Instrument::connectionStateChanged,
            follower,
            [this, serialNumber, follower](Instrument::ConnectionState state) {
                using State = Instrument::ConnectionState;
                if (state == State::Lost && !follower->lost)
                    mark(serialNumber, tr("仪器断开"));
                else if (state == State::Connected && follower->lost)
                    mark(serialNumber, tr("仪器恢复连接"));
                if (state == State::Lost || state == State::Connected)
                    follower->lost = state == State::Lost;
            });
    connect(instrument,
            &Instrument::parameterRead,
            follower,
            [this, serialNumber, follower](Instrument::Parameter parameter, double value) {
                const auto known = follower->parameters.constFind(int(parameter));
                if (known != follower->parameters.cend() && *known != value)
                    mark(serialNumber, parameterChange(parameter, *known, value));
                follower->parameters.insert(int(parameter), value);
            });
}

QString RecordingMarkers::parameterChange(Instrument::Parameter parameter, double from, double to)
{
    using P = Instrument::Parameter;
    QString name;
    switch (parameter) {
    case P::Emissivity:
        name = tr("发射率");
        break;
    case P::Transmissivity:
        name = tr("透过率");
        break;
    case P::HighAlarm:
        name = tr("高温报警值");
        break;
    case P::LowAlarm:
        name = tr("低温报警值");
        break;
    case P::HighAlarmEnabled:
        name = tr("高温报警开关");
        break;
    case P::LowAlarmEnabled:
        name = tr("低温报警开关");
        break;
    case P::AverageTime:
        name = tr("平均时间");
        break;
    case P::HoldTime:
        name = tr("保持时间");
        break;
    case P::HoldMode:
        name = tr("保持模式");
        break;
    case P::Backlight:
        name = tr("背光");
        break;
    case P::Laser:
        name = tr("激光");
        break;
    case P::RangeMode:
        name = tr("量程模式");
        break;
    default: // readings, identity, or marked on their own (the unit)
        return QString();
    }
    return tr("%1 %2 → %3").arg(name, QString::number(from, 'g', 6), QString::number(to, 'g', 6));
}

void RecordingMarkers::mark(const QString &serialNumber, const QString &text)
{
    if (text.isEmpty() || !m_chart->isRecording())
        return;
    // One instrument's texts stay as they always were; among several each says whose it is.
    const bool several = m_set && m_set->serialNumbers().size() > 1;
    m_chart->addMarker(several && !serialNumber.isEmpty()
                               ? tr("%1：%2").arg(m_set->displayName(serialNumber), text)
                               : text);
}
