#pragma once

#include <QDialog>

class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QRadioButton;

// Alarm type and contact mode of the instrument's two relay outputs. A relay value holds the
// alarm type in bit 1 (set: high temperature) and the contact in bit 0 (set: normally open);
// 4 and above means the value has not been read.
class RelaySettingDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RelaySettingDialog(QWidget *parent = nullptr);

    void loadRelaySettings();
    void accept() override;

    quint16 relay1 = 0xFFFF;
    quint16 relay2 = 0xFFFF;

    QWidget *widget_enable = nullptr;
    QRadioButton *radioButton_highalarm_relay1 = nullptr;
    QRadioButton *radioButton_lowalarm_relay1 = nullptr;
    QRadioButton *radioButton_open_relay1 = nullptr;
    QRadioButton *radioButton_close_relay1 = nullptr;
    QRadioButton *radioButton_highalarm_relay2 = nullptr;
    QRadioButton *radioButton_lowalarm_relay2 = nullptr;
    QRadioButton *radioButton_open_relay2 = nullptr;
    QRadioButton *radioButton_close_relay2 = nullptr;
    QDialogButtonBox *buttonBox = nullptr;

protected:
    void changeEvent(QEvent *event) override;

private:
    struct RelayRow
    {
        QLabel *caption;
        QGroupBox *alarmGroup;
        QGroupBox *modeGroup;
        QRadioButton *high, *low, *open, *closed;
    };
    QWidget *buildRow(const char *rowName,
                      const char *captionName,
                      const char *alarmGroupName,
                      const char *modeGroupName,
                      int relayNumber,
                      RelayRow *row);
    void retranslateUi();
    static void show(quint16 value, const RelayRow &row);
    static quint16 chosen(const RelayRow &row);

    RelayRow m_row1{};
    RelayRow m_row2{};
};
