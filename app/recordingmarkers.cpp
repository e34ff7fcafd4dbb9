#include "recordingmarkers.h"

#include "chartwidget.h"
#include "temperatureunit.h"

RecordingMarkers::RecordingMarkers(Instrument *instrument, ChartWidget *chart, QObject *parent)
    : QObject(parent)
    , m_chart(chart)
{
    connect(instrument, &Instrument::alarmChanged, this, [this](AlarmState state) {
        switch (state) {
        case AlarmState::High:
            mark(tr("高温报警开始"));
            break;
        case AlarmState::Low:
            mark(tr("低温报警开始"));
            break;
        case AlarmState::None:
            mark(tr("报警结束"));
            break;
        }
    });
    connect(instrument, &Instrument::unitChanged, this, [this](int unit, int previous) {
        mark(tr("单位 %1 → %2")
                     .arg(TemperatureUnit::symbol(previous), TemperatureUnit::symbol(unit)));
    });
    connect(instrument,
            &Instrument::connectionStateChanged,
            this,
            [this](Instrument::ConnectionState state) {
                if (state == Instrument::ConnectionState::Lost && !m_lost)
                    mark(tr("仪器断开"));
                else if (state == Instrument::ConnectionState::Connected && m_lost)
                    mark(tr("仪器恢复连接"));
                if (state == Instrument::ConnectionState::Lost
                    || state == Instrument::ConnectionState::Connected)
                    m_lost = state == Instrument::ConnectionState::Lost;
            });
    connect(instrument,
            &Instrument::parameterRead,
            this,
            [this](Instrument::Parameter parameter, double value) {
                const auto known = m_parameters.constFind(int(parameter));
                if (known != m_parameters.cend() && *known != value)
                    mark(parameterChange(parameter, *known, value));
                m_parameters.insert(int(parameter), value);
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

void RecordingMarkers::mark(const QString &text)
{
    if (!text.isEmpty() && m_chart->isRecording())
        m_chart->addMarker(text);
}
