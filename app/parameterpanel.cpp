#include "parameterpanel.h"

#include "buttonlooks.h"
#include "clickcombobox.h"
#include "deviceinfodialog.h"
#include "instrumentstate.h"
#include "mainwindow_ui.h"
#include "messages.h"
#include "navbutton.h"
#include "switchbutton.h"
#include "temperatureunit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QRadioButton>

#include <cmath>

namespace {

// Developer traces, off unless QT_LOGGING_RULES="tevrano.window.debug=true".
Q_LOGGING_CATEGORY(lcPanelTrace, "tevrano.window", QtInfoMsg)

// The limits of the panel's temperature boxes, in Celsius, while the instrument's range is unknown.
constexpr double BoxLowest = -50.0;
constexpr double BoxHighest = 10000.0;

} // namespace

ParameterPanel::ParameterPanel(const MainWindowUi &form, QObject *parent)
    : QObject(parent)
    , ui(form)
{
    styleToolButton(ui.navButton_restore);
    connectEdits();
    retranslate();
    // Nothing can be edited before an instrument has said what it has.
    setRowsEnabled(false);
    ui.widget_modbus->hide();
}

void ParameterPanel::connectEdits()
{
    using Box = QDoubleSpinBox;
    for (const auto &[box, write] :
         {std::pair{ui.doubleSpinBox_emi, &ParameterPanel::writeEmissivity},
          {ui.doubleSpinBox_transmit, &ParameterPanel::writeTransmissivity},
          {ui.doubleSpinBox_holdtime, &ParameterPanel::writeHoldTime},
          {ui.doubleSpinBox_avgtime, &ParameterPanel::writeAverageTime},
          {ui.doubleSpinBox_supervalue, &ParameterPanel::writeSuperHoldValue},
          {ui.doubleSpinBox_halert, &ParameterPanel::writeHighAlarm},
          {ui.doubleSpinBox_lalert, &ParameterPanel::writeLowAlarm},
          {ui.doubleSpinBox_outputl, &ParameterPanel::writeOutputLow},
          {ui.doubleSpinBox_outputh, &ParameterPanel::writeOutputHigh}})
        connect(box, &Box::editingFinished, this, write);
    connect(ui.comboBoxHoldmode,
            qOverload<int>(&QComboBox::currentIndexChanged),
            this,
            &ParameterPanel::writeHoldMode);
    connect(ui.checkBox_halert, &QCheckBox::toggled, this, &ParameterPanel::writeHighAlarmEnabled);
    connect(ui.checkBox_lalert, &QCheckBox::toggled, this, &ParameterPanel::writeLowAlarmEnabled);
    connect(ui.radioButtonNormal, &QRadioButton::clicked, this, [this] { writeRangeMode(0); });
    connect(ui.radioButtonBody, &QRadioButton::clicked, this, [this] { writeRangeMode(1); });
    connect(ui.radioButton_C, &QRadioButton::clicked, this, [this] { writeUnit(2); });
    connect(ui.radioButton_F, &QRadioButton::clicked, this, [this] { writeUnit(1); });
    connect(ui.switchButton_backlight,
            &SwitchButton::checkedChanged,
            this,
            &ParameterPanel::writeBacklight);
    connect(ui.switchButton_laser,
            &SwitchButton::checkedChanged,
            this,
            &ParameterPanel::writeLaser);
    connect(ui.switchButton_modbus,
            &SwitchButton::checkedChanged,
            this,
            &ParameterPanel::writeModbus);
    connect(ui.navButton_restore,
            &NavButton::clicked,
            this,
            &ParameterPanel::restoreFactorySettings);
}

void ParameterPanel::setInstrument(Instrument *instrument)
{
    if (m_instrument)
        disconnect(m_instrument, nullptr, this, nullptr);
    m_instrument = instrument;
    setRowsEnabled(false);
    if (instrument) {
        connect(instrument, &Instrument::parameterRead, this, &ParameterPanel::showParameter);
        connect(instrument, &Instrument::featuresRead, this, &ParameterPanel::showFeatures);
        connect(instrument, &Instrument::unitChanged, this, [this] {
            showRange();
            showTemperatureBoxes();
        });
        connect(instrument, &Instrument::connectionStateChanged, this, &ParameterPanel::explain);
        connect(instrument, &Instrument::factoryResetDone, this, [](bool success) {
            Messages::information(
                    nullptr, tr("提示"), success ? tr("恢复出厂设置成功") : tr("恢复出厂设置失败"));
        });
        connect(instrument, &Instrument::modbusSwitched, this, [](bool on) {
            Messages::information(
                    nullptr, tr("提示"), on ? tr("开启Modbus协议成功") : tr("关闭Modbus协议成功"));
        });
        // What it has read already is shown as if it were read now.
        if (showsLiveReadings(instrument)) {
            showFeatures(instrument->features());
            const QMetaEnum parameters = QMetaEnum::fromType<Instrument::Parameter>();
            for (int i = 0; i < parameters.keyCount(); ++i) {
                const auto parameter = Instrument::Parameter(parameters.value(i));
                const double value = instrument->parameter(parameter);
                if (!std::isnan(value))
                    showParameter(parameter, value);
            }
        }
    }
    explain();
}

void ParameterPanel::setRowsEnabled(bool enabled)
{
    for (QWidget *row : {ui.widget_emissivity,
                         ui.widget_transmit,
                         ui.widget_holdmode,
                         ui.widget_holdduration,
                         ui.widget_avgtime,
                         ui.widget_superholdvalue,
                         ui.widget_halert,
                         ui.widget_larert,
                         ui.widget_analogout,
                         ui.widget_outputl,
                         ui.widget_outupper,
                         ui.widget_laser,
                         ui.widget_backlight,
                         ui.widget_range_mode,
                         static_cast<QWidget *>(ui.groupBox_unit)})
        row->setEnabled(enabled);
}

void ParameterPanel::setRecording(bool recording)
{
    m_recording = recording;
    ui.widget_params->setEnabled(!recording);
    if (recording)
        styleDisabledButton(ui.navButton_restore);
    else
        styleToolButton(ui.navButton_restore);
    explain();
}

void ParameterPanel::retranslate()
{
    for (SwitchButton *button :
         {ui.switchButton_laser, ui.switchButton_backlight, ui.switchButton_modbus}) {
        button->setTextOn(tr("打开"));
        button->setTextOff(tr("关闭"));
    }
    showRange();
    nameChoices();
    explain();
}

void ParameterPanel::explain()
{
    QString why;
    if (m_recording)
        why = tr("记录进行中，仪器参数不能更改。请先停止记录。");
    else if (!showsLiveReadings(m_instrument))
        why = tr("未连接仪器，参数不能更改。");
    ui.widget_params->setToolTip(why);
}

void ParameterPanel::nameChoices()
{
    // Item texts change in place, so the choice shown stays and nothing is written.
    const QStringList holdModes = {tr("实时"), tr("峰值"), tr("谷值"), tr("高级峰值")};
    const QStringList outputs = {QStringLiteral("0~5V"),
                                 QStringLiteral("0~10V"),
                                 QStringLiteral("0~20mA"),
                                 QStringLiteral("4~20mA"),
                                 QStringLiteral("TCK"),
                                 QStringLiteral("TCS"),
                                 QStringLiteral("TCJ"),
                                 tr("无")};
    for (const auto &[box, texts] :
         {std::pair<QComboBox *, QStringList>{ui.comboBoxHoldmode, holdModes},
          {ui.comboBoxAnalogoutput, outputs}}) {
        const QSignalBlocker quiet(box);
        for (int i = 0; i < texts.size(); ++i) {
            if (i < box->count())
                box->setItemText(i, texts[i]);
            else
                box->addItem(texts[i]);
        }
    }
}

// ---- What the instrument reports -----------------------------------------------------------

void ParameterPanel::showParameter(Instrument::Parameter parameter, double value)
{
    using P = Instrument::Parameter;
    const std::pair<P, QDoubleSpinBox *> boxes[]
            = {{P::Emissivity, ui.doubleSpinBox_emi},
               {P::Transmissivity, ui.doubleSpinBox_transmit},
               {P::HighAlarm, ui.doubleSpinBox_halert},
               {P::LowAlarm, ui.doubleSpinBox_lalert},
               {P::OutputLow, ui.doubleSpinBox_outputl},
               {P::OutputHigh, ui.doubleSpinBox_outputh},
               {P::SuperHoldValue, ui.doubleSpinBox_supervalue},
               {P::AverageTime, ui.doubleSpinBox_avgtime},
               {P::HoldTime, ui.doubleSpinBox_holdtime}};
    for (const auto &[boxParameter, box] : boxes)
        if (boxParameter == parameter)
            box->setValue(Instrument::isTemperature(parameter)
                                  ? TemperatureUnit::fromCelsius(value, m_instrument->unit())
                                  : value);
    const bool on = value == 1;
    switch (parameter) {
    case P::RangeLow:
    case P::RangeHigh:
        showRange();
        showTemperatureBoxes();
        break;
    case P::HoldMode:
        showHoldMode(int(value));
        break;
    case P::AnalogOutput: {
        // The last entry stands for any type the program does not know.
        const int last = ui.comboBoxAnalogoutput->count() - 1;
        ui.comboBoxAnalogoutput->setCurrentIndex(value >= 0 && value < last ? int(value) : last);
        break;
    }
    case P::Unit:
        checkUnitButton(int(value));
        emit unitRead(int(value));
        break;
    case P::Backlight:
        ui.switchButton_backlight->setChecked(on);
        break;
    case P::Laser:
        ui.switchButton_laser->setChecked(on);
        break;
    case P::HighAlarmEnabled:
        ui.checkBox_halert->setChecked(on);
        break;
    case P::LowAlarmEnabled:
        ui.checkBox_lalert->setChecked(on);
        break;
    case P::RangeMode:
        (value == 0 ? ui.radioButtonNormal : ui.radioButtonBody)->setChecked(true);
        break;
    default:
        break;
    }
}

void ParameterPanel::showFeatures(const Instrument::Features &f)
{
    const auto enable = [](QWidget *row, bool on) {
        row->setEnabled(on);
    };
    enable(ui.widget_emissivity, f.emissivity);
    if (f.transmissivity)
        enable(ui.widget_transmit, *f.transmissivity);
    enable(ui.widget_outputl, f.outputRange);
    enable(ui.widget_outupper, f.outputRange);
    enable(ui.widget_halert, f.alarms);
    enable(ui.widget_larert, f.alarms);
    enable(ui.widget_analogout, f.analogOutput);
    enable(ui.widget_avgtime, f.averageTime);
    enable(ui.widget_holdmode, f.holdMode);
    enable(ui.widget_laser, f.laser);
    enable(ui.widget_backlight, f.backlight);
    enable(ui.groupBox_unit, f.unit);
    enable(ui.widget_range_mode, f.rangeMode);
    if (f.modbus && !*f.modbus)
        ui.widget_modbus->hide();
}

void ParameterPanel::checkUnitButton(int unit)
{
    // Neither button stays checked for a unit the program does not know.
    for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
        button->setAutoExclusive(false);
    ui.radioButton_F->setChecked(unit == 1);
    ui.radioButton_C->setChecked(unit == 2);
    for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
        button->setAutoExclusive(true);
}

void ParameterPanel::showRange()
{
    if (!m_instrument)
        return;
    // The range stays empty until the instrument has told it.
    using P = Instrument::Parameter;
    const int unit = m_instrument->unit();
    for (const auto &[parameter, label] :
         {std::pair{P::RangeLow, ui.label_rangel}, {P::RangeHigh, ui.label_rangeh}})
        if (!std::isnan(m_instrument->parameter(parameter)))
            label->setText(rangeText(float(m_instrument->parameter(parameter)), unit));
}

void ParameterPanel::showTemperatureBoxes()
{
    if (!m_instrument)
        return;
    // Within the instrument's range once known, so no threshold is written that it cannot measure.
    using P = Instrument::Parameter;
    const double low = m_instrument->parameter(P::RangeLow);
    const double high = m_instrument->parameter(P::RangeHigh);
    const bool rangeKnown = low < high;
    const int unit = m_instrument->unit();
    for (const auto &[parameter, box] : {std::pair{P::HighAlarm, ui.doubleSpinBox_halert},
                                         {P::LowAlarm, ui.doubleSpinBox_lalert},
                                         {P::OutputLow, ui.doubleSpinBox_outputl},
                                         {P::OutputHigh, ui.doubleSpinBox_outputh},
                                         {P::SuperHoldValue, ui.doubleSpinBox_supervalue}}) {
        const QSignalBlocker quiet(box);
        box->setRange(TemperatureUnit::fromCelsius(rangeKnown ? low : BoxLowest, unit),
                      TemperatureUnit::fromCelsius(rangeKnown ? high : BoxHighest, unit));
        const double value = m_instrument->parameter(parameter);
        if (!std::isnan(value))
            box->setValue(TemperatureUnit::fromCelsius(value, unit));
    }
}

void ParameterPanel::showHoldMode(int mode)
{
    ui.comboBoxHoldmode->setCurrentIndex(mode);
    ui.widget_holdduration->setEnabled(mode == 1 || mode == 2);
    ui.widget_superholdvalue->setEnabled(mode == 3);
}

// ---- The user's edits ----------------------------------------------------------------------

void ParameterPanel::write(Instrument::Parameter parameter, double value)
{
    qCDebug(lcPanelTrace) << parameter << "written:" << value;
    if (m_instrument)
        m_instrument->writeParameter(parameter, value);
}

void ParameterPanel::writeTemperature(Instrument::Parameter parameter, const QDoubleSpinBox *box)
{
    if (m_instrument)
        write(parameter, TemperatureUnit::toCelsius(box->value(), m_instrument->unit()));
}

void ParameterPanel::writeEmissivity()
{
    write(Instrument::Parameter::Emissivity, ui.doubleSpinBox_emi->value());
}

void ParameterPanel::writeTransmissivity()
{
    write(Instrument::Parameter::Transmissivity, ui.doubleSpinBox_transmit->value());
}

void ParameterPanel::writeAverageTime()
{
    write(Instrument::Parameter::AverageTime, ui.doubleSpinBox_avgtime->value());
}

void ParameterPanel::writeHoldTime()
{
    write(Instrument::Parameter::HoldTime, ui.doubleSpinBox_holdtime->value());
}

void ParameterPanel::writeSuperHoldValue()
{
    writeTemperature(Instrument::Parameter::SuperHoldValue, ui.doubleSpinBox_supervalue);
}

void ParameterPanel::writeHighAlarm()
{
    writeTemperature(Instrument::Parameter::HighAlarm, ui.doubleSpinBox_halert);
}

void ParameterPanel::writeLowAlarm()
{
    writeTemperature(Instrument::Parameter::LowAlarm, ui.doubleSpinBox_lalert);
}

void ParameterPanel::writeOutputLow()
{
    writeTemperature(Instrument::Parameter::OutputLow, ui.doubleSpinBox_outputl);
}

void ParameterPanel::writeOutputHigh()
{
    writeTemperature(Instrument::Parameter::OutputHigh, ui.doubleSpinBox_outputh);
}

void ParameterPanel::writeHoldMode(int index)
{
    if (index >= 0)
        write(Instrument::Parameter::HoldMode, index);
}

void ParameterPanel::writeHighAlarmEnabled(bool checked)
{
    write(Instrument::Parameter::HighAlarmEnabled, checked ? 1 : 0);
}

void ParameterPanel::writeLowAlarmEnabled(bool checked)
{
    write(Instrument::Parameter::LowAlarmEnabled, checked ? 1 : 0);
}

void ParameterPanel::writeRangeMode(int mode)
{
    write(Instrument::Parameter::RangeMode, mode);
}

void ParameterPanel::writeUnit(int unit)
{
    write(Instrument::Parameter::Unit, unit);
    if (!m_instrument || !m_instrument->isOpen())
        checkUnitButton(m_instrument ? m_instrument->unit() : 0);
}

void ParameterPanel::writeBacklight(bool on)
{
    write(Instrument::Parameter::Backlight, on ? 1 : 0);
}

void ParameterPanel::writeLaser(bool on)
{
    write(Instrument::Parameter::Laser, on ? 1 : 0);
}

void ParameterPanel::writeModbus(bool on)
{
    if (m_instrument)
        m_instrument->setModbus(on);
}

void ParameterPanel::restoreFactorySettings()
{
    if (m_instrument)
        m_instrument->factoryReset();
}
