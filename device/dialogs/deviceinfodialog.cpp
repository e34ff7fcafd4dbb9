#include "deviceinfodialog.h"

#include "temperatureunit.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QWidget *labelRow(QWidget *parent, const char *name, std::initializer_list<QWidget *> widgets)
{
    auto *row = new QWidget(parent);
    row->setObjectName(QLatin1String(name));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    for (QWidget *w : widgets) {
        w->setParent(row);
        layout->addWidget(w);
    }
    layout->addStretch(1);
    return row;
}

QLabel *namedLabel(const char *name)
{
    auto *label = new QLabel;
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

QString rangeText(float celsius, int unit)
{
    return QString::number(TemperatureUnit::fromCelsius(double(celsius), unit), 'g', 6)
           + TemperatureUnit::symbol(unit);
}

DeviceInfoDialog::DeviceInfoDialog(QWidget *parent)
    : QDialog(parent, DeviceDialogFlags)
{
    setObjectName(QStringLiteral("DeviceInfoDialog"));
    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    label = namedLabel("label");
    label_datatime = namedLabel("label_datatime");
    widget_date = labelRow(this, "widget_date", {label, label_datatime});
    label_3 = namedLabel("label_3");
    label_serial = namedLabel("label_serial");
    QWidget *widget_serial = labelRow(this, "widget_serial", {label_3, label_serial});
    label_rangel = namedLabel("label_rangel");
    label_15 = namedLabel("label_15");
    label_rangeh = namedLabel("label_rangeh");
    QWidget *widget_range
            = labelRow(nullptr, "widget_range", {label_rangel, label_15, label_rangeh});
    label_14 = namedLabel("label_14");
    QWidget *widget_2 = labelRow(this, "widget_2", {label_14, widget_range});
    verticalLayout->addWidget(widget_date);
    verticalLayout->addWidget(widget_serial);
    verticalLayout->addWidget(widget_2);
    auto *buttonBox = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    verticalLayout->addWidget(buttonBox);

    label->hide();
    widget_date->hide();
    retranslateUi();
    // The size is fixed before the values arrive: leave room for the widest range, with the ends
    // and their dash kept together as the labels' own widths place them.
    for (QLabel *value : {label_rangel, label_rangeh})
        value->setText(QStringLiteral("-9999.9℃"));
    widget_range->setMinimumWidth(widget_range->sizeHint().width());
    for (QLabel *value : {label_rangel, label_rangeh})
        value->clear();
    adjustSize();
    setFixedSize(size());
}

void DeviceInfoDialog::retranslateUi()
{
    setWindowTitle(tr("仪器信息"));
    label->setText(tr("日期:"));
    label_3->setText(tr("序号:"));
    label_14->setText(tr("温度范围:"));
    label_15->setText(tr("-"));
}

void DeviceInfoDialog::refreshLabels()
{
    label_datatime->setText(QString::number(deviceDate));
    label_serial->setText(QString::number(deviceSerial));
    label_rangeh->setText(rangeText(dialogRangeHigh, dialogUnit));
    label_rangel->setText(rangeText(dialogRangeLow, dialogUnit));
}

void DeviceInfoDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}
