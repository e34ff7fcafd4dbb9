#include "relaysettingdialog.h"

#include "deviceinfodialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

template<typename T>
T *named(QWidget *parent, const QString &name)
{
    auto *widget = new T(parent);
    widget->setObjectName(name);
    return widget;
}

QGroupBox *pairGroup(QWidget *parent,
                     const char *name,
                     QRadioButton **first,
                     const QString &firstName,
                     QRadioButton **second,
                     const QString &secondName)
{
    auto *group = named<QGroupBox>(parent, QLatin1String(name));
    auto *layout = new QHBoxLayout(group);
    *first = named<QRadioButton>(group, firstName);
    *second = named<QRadioButton>(group, secondName);
    layout->addWidget(*first);
    layout->addWidget(*second);
    return group;
}

} // namespace

RelaySettingDialog::RelaySettingDialog(QWidget *parent)
    : QDialog(parent, DeviceDialogFlags)
{
    setObjectName(QStringLiteral("RelaySettingDialog"));
    auto *verticalLayout_2 = new QVBoxLayout(this);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    widget_enable = named<QWidget>(this, QStringLiteral("widget_enable"));
    auto *rows = new QVBoxLayout(widget_enable);
    rows->addWidget(buildRow("widget", "label", "groupBox", "groupBox_2", 1, &m_row1));
    rows->addWidget(buildRow("widget_2", "label_2", "groupBox_3", "groupBox_4", 2, &m_row2));
    radioButton_highalarm_relay1 = m_row1.high;
    radioButton_lowalarm_relay1 = m_row1.low;
    radioButton_open_relay1 = m_row1.open;
    radioButton_close_relay1 = m_row1.closed;
    radioButton_highalarm_relay2 = m_row2.high;
    radioButton_lowalarm_relay2 = m_row2.low;
    radioButton_open_relay2 = m_row2.open;
    radioButton_close_relay2 = m_row2.closed;

    buttonBox = named<QDialogButtonBox>(this, QStringLiteral("buttonBox"));
    buttonBox->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &RelaySettingDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &RelaySettingDialog::reject);
    verticalLayout_2->addWidget(widget_enable);
    verticalLayout_2->addWidget(buttonBox);
    retranslateUi();
}

QWidget *RelaySettingDialog::buildRow(const char *rowName,
                                      const char *captionName,
                                      const char *alarmGroupName,
                                      const char *modeGroupName,
                                      int relayNumber,
                                      RelayRow *row)
{
    auto *rowWidget = named<QWidget>(widget_enable, QLatin1String(rowName));
    auto *layout = new QHBoxLayout(rowWidget);
    const QString suffix = QStringLiteral("_relay%1").arg(relayNumber);
    row->caption = named<QLabel>(rowWidget, QLatin1String(captionName));
    row->alarmGroup = pairGroup(rowWidget,
                                alarmGroupName,
                                &row->high,
                                QStringLiteral("radioButton_highalarm") + suffix,
                                &row->low,
                                QStringLiteral("radioButton_lowalarm") + suffix);
    row->modeGroup = pairGroup(rowWidget,
                               modeGroupName,
                               &row->open,
                               QStringLiteral("radioButton_open") + suffix,
                               &row->closed,
                               QStringLiteral("radioButton_close") + suffix);
    layout->addWidget(row->caption);
    layout->addWidget(row->alarmGroup);
    layout->addWidget(row->modeGroup);
    return rowWidget;
}

void RelaySettingDialog::retranslateUi()
{
    setWindowTitle(tr("继电器输出"));
    m_row1.caption->setText(tr("第一路："));
    m_row2.caption->setText(tr("第二路："));
    for (const RelayRow *row : {&m_row1, &m_row2}) {
        row->alarmGroup->setTitle(tr("报警类型"));
        row->modeGroup->setTitle(tr("模式"));
        row->high->setText(tr("高温"));
        row->low->setText(tr("低温"));
        row->open->setText(tr("常开"));
        row->closed->setText(tr("常闭"));
    }
}

void RelaySettingDialog::show(quint16 value, const RelayRow &row)
{
    (value & 0x02 ? row.high : row.low)->setChecked(true);
    (value & 0x01 ? row.open : row.closed)->setChecked(true);
}

quint16 RelaySettingDialog::chosen(const RelayRow &row)
{
    return quint16((row.high->isChecked() ? 2 : 0) + (row.open->isChecked() ? 1 : 0));
}

void RelaySettingDialog::loadRelaySettings()
{
    if (relay1 >= 4 || relay2 >= 4) {
        widget_enable->setEnabled(false);
    } else {
        widget_enable->setEnabled(true);
        show(relay1, m_row1);
        show(relay2, m_row2);
    }
    adjustSize();
    setFixedSize(size());
}

void RelaySettingDialog::accept()
{
    if (widget_enable->isEnabled()) {
        relay1 = chosen(m_row1);
        relay2 = chosen(m_row2);
    }
    QDialog::accept();
}

void RelaySettingDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}
