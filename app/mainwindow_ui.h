#pragma once

#include <QtGlobal>

class ClickComboBox;
class MarkerList;
class NavButton;
class SwitchButton;
class ChartWidget;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class QWidget;

// The main window's widgets, built by hand. Object names are fixed: slots bind to them by name.
struct MainWindowUi
{
    QWidget *centralWidget = nullptr;
    QWidget *widget_menu = nullptr;
    NavButton *pushButton_file = nullptr;
    NavButton *pushButton_device = nullptr;
    NavButton *pushButton_settings = nullptr;
    NavButton *pushButton_help = nullptr;
    QWidget *widget = nullptr;

    QScrollArea *scrollArea = nullptr;
    QWidget *scrollAreaWidgetContents = nullptr;
    QWidget *widget_params = nullptr;
    QWidget *widget_com = nullptr;
    QLabel *label = nullptr;
    ClickComboBox *comboBoxCom = nullptr;
    QWidget *widget_baud = nullptr;
    QLabel *label_2 = nullptr;
    QComboBox *comboBoxBaud = nullptr;
    NavButton *pushButton_com = nullptr;
    QCheckBox *checkBox_auto = nullptr;
    QWidget *widget_emissivity = nullptr;
    QLabel *label_4 = nullptr;
    QDoubleSpinBox *doubleSpinBox_emi = nullptr;
    QWidget *widget_transmit = nullptr;
    QLabel *label_17 = nullptr;
    QDoubleSpinBox *doubleSpinBox_transmit = nullptr;
    QWidget *widget_holdmode = nullptr;
    QLabel *label_3 = nullptr;
    ClickComboBox *comboBoxHoldmode = nullptr;
    QWidget *widget_holdduration = nullptr;
    QLabel *label_5 = nullptr;
    QDoubleSpinBox *doubleSpinBox_holdtime = nullptr;
    QWidget *widget_avgtime = nullptr;
    QLabel *label_7 = nullptr;
    QDoubleSpinBox *doubleSpinBox_avgtime = nullptr;
    QWidget *widget_superholdvalue = nullptr;
    QLabel *label_6 = nullptr;
    QDoubleSpinBox *doubleSpinBox_supervalue = nullptr;
    QWidget *widget_halert = nullptr;
    QCheckBox *checkBox_halert = nullptr;
    QDoubleSpinBox *doubleSpinBox_halert = nullptr;
    QWidget *widget_larert = nullptr;
    QCheckBox *checkBox_lalert = nullptr;
    QDoubleSpinBox *doubleSpinBox_lalert = nullptr;
    QWidget *widget_analogout = nullptr;
    QLabel *label_10 = nullptr;
    QComboBox *comboBoxAnalogoutput = nullptr;
    QWidget *widget_outupper = nullptr;
    QLabel *label_9 = nullptr;
    QDoubleSpinBox *doubleSpinBox_outputl = nullptr;
    QWidget *widget_outputl = nullptr;
    QLabel *label_11 = nullptr;
    QDoubleSpinBox *doubleSpinBox_outputh = nullptr;
    QWidget *widget_range_mode = nullptr;
    QRadioButton *radioButtonNormal = nullptr;
    QRadioButton *radioButtonBody = nullptr;
    QWidget *widget_laser = nullptr;
    QLabel *label_12 = nullptr;
    SwitchButton *switchButton_laser = nullptr;
    QWidget *widget_backlight = nullptr;
    QLabel *label_13 = nullptr;
    SwitchButton *switchButton_backlight = nullptr;
    QWidget *widget_modbus = nullptr;
    QLabel *label_16 = nullptr;
    SwitchButton *switchButton_modbus = nullptr;
    QWidget *widget_2 = nullptr;
    QLabel *label_14 = nullptr;
    QWidget *widget_ranger = nullptr;
    QLabel *label_rangel = nullptr;
    QLabel *label_15 = nullptr;
    QLabel *label_rangeh = nullptr;
    QGroupBox *groupBox_unit = nullptr;
    QRadioButton *radioButton_C = nullptr;
    QRadioButton *radioButton_F = nullptr;
    NavButton *navButton_restore = nullptr;

    QWidget *verticalWidget = nullptr;
    ChartWidget *chartWidget = nullptr;
    NavButton *navButton_startstop = nullptr;
    NavButton *navButton_hc = nullptr;
    NavButton *navButton_amb = nullptr;
    NavButton *navButton_mode = nullptr;
    NavButton *navButton_autofit = nullptr;
    NavButton *navButton_horizontal = nullptr;
    NavButton *navButton_vertical = nullptr;
    NavButton *navButton_export = nullptr;
    NavButton *navButton_live = nullptr;
    NavButton *navButton_marker = nullptr;
    NavButton *navButton_trigger = nullptr;

    QWidget *widget_temparea = nullptr;
    QScrollArea *tileScroll = nullptr;
    QWidget *tileColumn = nullptr; // the instruments' tile rows, one above the other
    MarkerList *markerList = nullptr;
    QStatusBar *statusBar = nullptr;

    void setupUi(QMainWindow *window);
    // Sets every text of the form again through the translator.
    void retranslateUi(QMainWindow *window);
};
