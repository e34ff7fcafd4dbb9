#pragma once

#include <QDialog>

class QLabel;
class QWidget;

// What the program has read about the instrument: serial number and measuring range.
class DeviceInfoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit DeviceInfoDialog(QWidget *parent = nullptr);

    void refreshLabels();

    int deviceSerial = 0;
    int deviceDate = 0; // no source yet; its row stays hidden
    float dialogRangeLow = 0.0f;
    float dialogRangeHigh = 0.0f;
    int dialogUnit = 2; // the range is shown in this unit

    QLabel *label_datatime = nullptr;
    QLabel *label_serial = nullptr;
    QLabel *label_rangel = nullptr;
    QLabel *label_rangeh = nullptr;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();

    QWidget *widget_date = nullptr;
    QLabel *label = nullptr;
    QLabel *label_3 = nullptr;
    QLabel *label_14 = nullptr;
    QLabel *label_15 = nullptr;
};

// Window flags both device dialogs use: a title with a close button, kept on top.
constexpr Qt::WindowFlags DeviceDialogFlags = Qt::Dialog | Qt::WindowTitleHint
                                              | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                                              | Qt::WindowCloseButtonHint;

// Temperatures in the dialogs and the panel, in `unit`: up to six significant digits and the unit's
// symbol.
QString rangeText(float celsius, int unit = 2);
