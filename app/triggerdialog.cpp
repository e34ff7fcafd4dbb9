#include "triggerdialog.h"

#include "temperatureunit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

namespace {

// A rate has no offset: only the size of the degree differs.
double rateInUnit(double celsiusPerSecond, int unit)
{
    return unit == TemperatureUnit::Fahrenheit ? celsiusPerSecond * 1.8 : celsiusPerSecond;
}

QDoubleSpinBox *secondsBox(QWidget *parent, double maximum)
{
    auto *box = new QDoubleSpinBox(parent);
    box->setRange(0, maximum);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" s"));
    return box;
}

} // namespace

TriggerDialog::TriggerDialog(int unit, QWidget *parent)
    : QDialog(parent)
    , m_unit(unit)
    , m_kind(new QComboBox(this))
    , m_level(new QDoubleSpinBox(this))
    , m_pre(secondsBox(this, Trigger::MaxPreS))
    , m_post(secondsBox(this, 24 * 3600))
    , m_once(new QCheckBox(tr("第一次记录后停止"), this))
{
    setObjectName(QStringLiteral("TriggerDialog"));
    setWindowTitle(tr("触发记录"));
    // In the order of Trigger::Kind.
    m_kind->addItems({tr("温度高于"), tr("温度低于"), tr("变化快于"), tr("报警开始")});
    m_level->setRange(-10000, 10000);
    m_level->setDecimals(1);

    auto *form = new QFormLayout(this);
    form->addRow(tr("触发条件："), m_kind);
    form->addRow(tr("值："), m_level);
    form->addRow(tr("触发前保留："), m_pre);
    form->addRow(tr("清除后继续："), m_post);
    form->addRow(m_once);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_kind,
            QOverload<int>::of(&QComboBox::currentIndexChanged),
            this,
            &TriggerDialog::kindChosen);
    setTrigger(Trigger());
}

void TriggerDialog::setTrigger(const Trigger &trigger)
{
    m_kind->setCurrentIndex(int(trigger.kind));
    kindChosen();
    m_level->setValue(trigger.kind == Trigger::Kind::Rate
                              ? rateInUnit(trigger.level, m_unit)
                              : TemperatureUnit::fromCelsius(trigger.level, m_unit));
    m_pre->setValue(trigger.preS);
    m_post->setValue(trigger.postS);
    m_once->setChecked(trigger.once);
}

Trigger TriggerDialog::trigger() const
{
    Trigger trigger;
    trigger.kind = Trigger::Kind(m_kind->currentIndex());
    const double level = m_level->value();
    trigger.level = trigger.kind == Trigger::Kind::Rate ? level / rateInUnit(1.0, m_unit)
                                                        : TemperatureUnit::toCelsius(level, m_unit);
    if (trigger.kind == Trigger::Kind::Alarm)
        trigger.level = 0;
    trigger.preS = m_pre->value();
    trigger.postS = m_post->value();
    trigger.once = m_once->isChecked();
    return trigger;
}

void TriggerDialog::kindChosen()
{
    const auto kind = Trigger::Kind(m_kind->currentIndex());
    const QString symbol = TemperatureUnit::symbol(m_unit);
    m_level->setEnabled(kind != Trigger::Kind::Alarm);
    m_level->setSuffix(kind == Trigger::Kind::Rate ? QStringLiteral(" %1/s").arg(symbol)
                                                   : QStringLiteral(" ") + symbol);
}
