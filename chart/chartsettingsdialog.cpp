#include "chartsettingsdialog.h"

#include "chartcapacity.h"
#include "chartsettings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kSamplesPerStep = 1000;

QHBoxLayout *addRow(QWidget *dialog, const QString &name, const QString &layoutName, int margins)
{
    auto *row = new QWidget(dialog);
    row->setObjectName(name);
    auto *layout = new QHBoxLayout(row);
    layout->setObjectName(layoutName);
    layout->setContentsMargins(margins, margins, margins, margins);
    dialog->layout()->addWidget(row);
    return layout;
}

QLabel *addLabel(QHBoxLayout *row, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, row->parentWidget());
    label->setObjectName(name);
    row->addWidget(label);
    return label;
}

} // namespace

ChartSettingsDialog::ChartSettingsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ChartSettingsDialog"));
    resize(282, 220);
    setWindowTitle(tr("图表参数设置"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint
                   | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    new QVBoxLayout(this);

    QHBoxLayout *cacheRow = addRow(
            this, QStringLiteral("horizontalWidget"), QStringLiteral("horizontalLayout"), 1);
    addLabel(cacheRow, QStringLiteral("label"), tr("最大数据量:"));
    m_caches = new QSpinBox(this);
    m_caches->setObjectName(QStringLiteral("spinBox_caches"));
    m_caches->setRange(1, 10000);
    // The box counts thousands of samples.
    m_caches->setSuffix(tr(" 千个"));
    cacheRow->addWidget(m_caches);

    QHBoxLayout *intervalRow = addRow(
            this, QStringLiteral("horizontalWidget_2"), QStringLiteral("horizontalLayout_2"), 1);
    addLabel(intervalRow, QStringLiteral("label_2"), tr("记录间隔:"));
    m_intervals = new QComboBox(this);
    m_intervals->setObjectName(QStringLiteral("comboBox_fps"));
    intervalRow->addWidget(m_intervals);

    QHBoxLayout *durationRow = addRow(
            this, QStringLiteral("horizontalWidget_4"), QStringLiteral("horizontalLayout_4"), 0);
    durationRow->setSpacing(0);
    addLabel(durationRow, QStringLiteral("label_4"), tr("记录时长:"));
    m_duration = addLabel(durationRow, QStringLiteral("label_duration"), QString());

    QHBoxLayout *memoryRow = addRow(
            this, QStringLiteral("horizontalWidget_3"), QStringLiteral("horizontalLayout_3"), 0);
    memoryRow->setSpacing(0);
    addLabel(memoryRow, QStringLiteral("label_3"), tr("内存:"));
    m_memory = addLabel(memoryRow, QStringLiteral("label_memory"), QString());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    layout()->addWidget(buttons);

    ChartSettingsStore &settings = chartSettingsStore();
    const QString cache = settings.value(QStringLiteral("ChartLineCache"), QString());
    if (!cache.isEmpty())
        m_caches->setValue(cache.toInt());
    m_intervals->addItems(chartIntervalTexts());
    const QString interval = settings.value(QStringLiteral("ChartLineFPS"), QString());
    if (!interval.isEmpty()) {
        const int index = intervalIndex(interval.toInt());
        if (index > 0)
            m_intervals->setCurrentIndex(index);
    }
    // Bound only now, so filling the form does not run the slots half-built.
    QMetaObject::connectSlotsByName(this);
    showCapacity();
}

int ChartSettingsDialog::samples() const
{
    return m_caches->value() * kSamplesPerStep;
}

void ChartSettingsDialog::showCapacity()
{
    m_duration->setText(recordDurationText(samples(), parseInterval(m_intervals->currentText())));
    m_memory->setText(recordMemoryText(samples()));
}

void ChartSettingsDialog::on_spinBox_caches_valueChanged(int)
{
    showCapacity();
}

void ChartSettingsDialog::on_comboBox_fps_currentIndexChanged(int)
{
    showCapacity();
}

void ChartSettingsDialog::on_buttonBox_accepted()
{
    ChartSettingsStore &settings = chartSettingsStore();
    settings.setValue(QStringLiteral("ChartLineCache"), QString::number(m_caches->value()));
    settings.setValue(QStringLiteral("ChartLineFPS"),
                      QString::number(parseInterval(m_intervals->currentText())));
    settings.save();
    accept();
}

void ChartSettingsDialog::on_buttonBox_rejected()
{
    reject();
}
