#include "mainwindow_ui.h"

#include "chartwidget.h"
#include "clickcombobox.h"
#include "markerlayer.h"
#include "navbutton.h"
#include "switchbutton.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

template<typename T>
T *make(QWidget *parent, const char *name)
{
    auto *widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QFont font(const QString &family, int points, bool bold)
{
    QFont f(family);
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

// A parameter row: a caption on the left, the control on the right.
QWidget *row(QWidget *parent, const char *name, QWidget *first, QWidget *second = nullptr)
{
    auto *rowWidget = make<QWidget>(parent, name);
    auto *layout = new QHBoxLayout(rowWidget);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    first->setParent(rowWidget);
    layout->addWidget(first);
    if (second) {
        second->setParent(rowWidget);
        layout->addWidget(second, 1);
    }
    return rowWidget;
}

QDoubleSpinBox *
spinBox(const char *name, double minimum, double maximum, double step, int decimals, double start)
{
    auto *box = make<QDoubleSpinBox>(nullptr, name);
    box->setDecimals(decimals);
    box->setRange(minimum, maximum);
    box->setSingleStep(step);
    box->setValue(start);
    box->setMinimumWidth(80);
    return box;
}

// The instruments' tile rows: the first two are shown whole, growing the window as a plain
// column would; more scroll.
class TileScrollArea : public QScrollArea
{
public:
    static constexpr int WholeRows = 2;

    using QScrollArea::QScrollArea;

    QSize minimumSizeHint() const override
    {
        QSize hint = QScrollArea::minimumSizeHint();
        int height = 0;
        int rows = 0;
        const QLayout *column = widget() ? widget()->layout() : nullptr;
        for (int i = 0; column && i < column->count() && rows < WholeRows; ++i) {
            const QWidget *row = column->itemAt(i)->widget();
            if (row && !row->isHidden()) {
                height += row->minimumSizeHint().height();
                ++rows;
            }
        }
        hint.setHeight(qMax(hint.height(), height));
        return hint;
    }

protected:
    bool event(QEvent *event) override
    {
        // A row came, went or changed its fonts: the window's layout asks the hint again.
        if (event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::event(event);
    }
};

} // namespace

void MainWindowUi::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(950, 681);
    window->setFont(font(QStringLiteral("Agency FB"), 10, false));

    centralWidget = make<QWidget>(window, "centralWidget");
    auto *central = new QVBoxLayout(centralWidget);
    central->setContentsMargins(0, 0, 0, 0);
    central->setSpacing(0);

    widget_menu = make<QWidget>(centralWidget, "widget_menu");
    auto *menuRow = new QHBoxLayout(widget_menu);
    menuRow->setContentsMargins(0, 0, 0, 0);
    menuRow->setSpacing(1);
    const QFont menuFont = font(QStringLiteral("微软雅黑"), 12, true);
    for (auto [button, name] : {std::pair{&pushButton_file, "pushButton_file"},
                                {&pushButton_device, "pushButton_device"},
                                {&pushButton_settings, "pushButton_settings"},
                                {&pushButton_help, "pushButton_help"}}) {
        *button = make<NavButton>(widget_menu, name);
        (*button)->setFont(menuFont);
        (*button)->setMinimumHeight(28);
        menuRow->addWidget(*button);
    }
    menuRow->addStretch(1);
    central->addWidget(widget_menu);

    widget = make<QWidget>(centralWidget, "widget");
    auto *work = new QHBoxLayout(widget);
    work->setContentsMargins(0, 0, 0, 0);
    work->setSpacing(2);
    central->addWidget(widget, 1);

    // Parameter panel.
    scrollArea = make<QScrollArea>(widget, "scrollArea");
    scrollArea->setMinimumSize(210, 0);
    scrollArea->setMaximumSize(200, QWIDGETSIZE_MAX);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setWidgetResizable(false);
    scrollArea->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    scrollAreaWidgetContents = make<QWidget>(nullptr, "scrollAreaWidgetContents");
    auto *contents = new QVBoxLayout(scrollAreaWidgetContents);
    contents->setContentsMargins(0, 0, 0, 0);
    widget_params = make<QWidget>(scrollAreaWidgetContents, "widget_params");
    widget_params->setFixedSize(190, 700);
    contents->addWidget(widget_params);
    scrollArea->setWidget(scrollAreaWidgetContents);

    auto *params = new QVBoxLayout(widget_params);
    params->setContentsMargins(2, 2, 2, 2);
    params->setSpacing(1);

    label = make<QLabel>(nullptr, "label");
    comboBoxCom = make<ClickComboBox>(nullptr, "comboBoxCom");
    widget_com = row(widget_params, "widget_com", label, comboBoxCom);
    label_2 = make<QLabel>(nullptr, "label_2");
    comboBoxBaud = make<QComboBox>(nullptr, "comboBoxBaud");
    widget_baud = row(widget_params, "widget_baud", label_2, comboBoxBaud);
    pushButton_com = make<NavButton>(widget_params, "pushButton_com");
    pushButton_com->setMinimumHeight(28);
    checkBox_auto = make<QCheckBox>(widget_params, "checkBox_auto");

    label_4 = make<QLabel>(nullptr, "label_4");
    doubleSpinBox_emi = spinBox("doubleSpinBox_emi", 0.1, 1.1, 0.001, 3, 0.95);
    widget_emissivity = row(widget_params, "widget_emissivity", label_4, doubleSpinBox_emi);
    label_17 = make<QLabel>(nullptr, "label_17");
    doubleSpinBox_transmit = spinBox("doubleSpinBox_transmit", 0.1, 1.1, 0.001, 3, 0.95);
    widget_transmit = row(widget_params, "widget_transmit", label_17, doubleSpinBox_transmit);
    label_3 = make<QLabel>(nullptr, "label_3");
    comboBoxHoldmode = make<ClickComboBox>(nullptr, "comboBoxHoldmode");
    widget_holdmode = row(widget_params, "widget_holdmode", label_3, comboBoxHoldmode);
    label_5 = make<QLabel>(nullptr, "label_5");
    doubleSpinBox_holdtime = spinBox("doubleSpinBox_holdtime", 0, 600, 0.1, 2, 0);
    widget_holdduration
            = row(widget_params, "widget_holdduration", label_5, doubleSpinBox_holdtime);
    label_7 = make<QLabel>(nullptr, "label_7");
    doubleSpinBox_avgtime = spinBox("doubleSpinBox_avgtime", 0, 600, 0.1, 2, 0);
    widget_avgtime = row(widget_params, "widget_avgtime", label_7, doubleSpinBox_avgtime);
    label_6 = make<QLabel>(nullptr, "label_6");
    doubleSpinBox_supervalue = spinBox("doubleSpinBox_supervalue", -50, 10000, 1, 2, 0);
    widget_superholdvalue
            = row(widget_params, "widget_superholdvalue", label_6, doubleSpinBox_supervalue);
    checkBox_halert = make<QCheckBox>(nullptr, "checkBox_halert");
    doubleSpinBox_halert = spinBox("doubleSpinBox_halert", -50, 10000, 0.1, 2, 0);
    widget_halert = row(widget_params, "widget_halert", checkBox_halert, doubleSpinBox_halert);
    checkBox_lalert = make<QCheckBox>(nullptr, "checkBox_lalert");
    doubleSpinBox_lalert = spinBox("doubleSpinBox_lalert", -50, 10000, 0.1, 2, 0);
    widget_larert = row(widget_params, "widget_larert", checkBox_lalert, doubleSpinBox_lalert);
    label_10 = make<QLabel>(nullptr, "label_10");
    comboBoxAnalogoutput = make<QComboBox>(nullptr, "comboBoxAnalogoutput");
    widget_analogout = row(widget_params, "widget_analogout", label_10, comboBoxAnalogoutput);
    label_9 = make<QLabel>(nullptr, "label_9");
    doubleSpinBox_outputl = spinBox("doubleSpinBox_outputl", -50, 10000, 1, 2, 0);
    widget_outupper = row(widget_params, "widget_outupper", label_9, doubleSpinBox_outputl);
    label_11 = make<QLabel>(nullptr, "label_11");
    doubleSpinBox_outputh = spinBox("doubleSpinBox_outputh", -50, 10000, 1, 2, 0);
    widget_outputl = row(widget_params, "widget_outputl", label_11, doubleSpinBox_outputh);
    radioButtonNormal = make<QRadioButton>(nullptr, "radioButtonNormal");
    radioButtonBody = make<QRadioButton>(nullptr, "radioButtonBody");
    widget_range_mode = row(widget_params, "widget_range_mode", radioButtonNormal, radioButtonBody);
    label_12 = make<QLabel>(nullptr, "label_12");
    switchButton_laser = make<SwitchButton>(nullptr, "switchButton_laser");
    widget_laser = row(widget_params, "widget_laser", label_12, switchButton_laser);
    label_13 = make<QLabel>(nullptr, "label_13");
    switchButton_backlight = make<SwitchButton>(nullptr, "switchButton_backlight");
    widget_backlight = row(widget_params, "widget_backlight", label_13, switchButton_backlight);
    label_16 = make<QLabel>(nullptr, "label_16");
    switchButton_modbus = make<SwitchButton>(nullptr, "switchButton_modbus");
    widget_modbus = row(widget_params, "widget_modbus", label_16, switchButton_modbus);

    widget_2 = make<QWidget>(widget_params, "widget_2");
    // Spaced like the other rows; the range ends and their dash keep together on the left.
    auto *rangeRow = new QHBoxLayout(widget_2);
    rangeRow->setContentsMargins(2, 2, 2, 2);
    rangeRow->setSpacing(4);
    label_14 = make<QLabel>(widget_2, "label_14");
    widget_ranger = make<QWidget>(widget_2, "widget_ranger");
    auto *rangeValues = new QHBoxLayout(widget_ranger);
    rangeValues->setContentsMargins(0, 0, 0, 0);
    label_rangel = make<QLabel>(widget_ranger, "label_rangel");
    label_15 = make<QLabel>(widget_ranger, "label_15");
    label_rangeh = make<QLabel>(widget_ranger, "label_rangeh");
    rangeValues->addWidget(label_rangel);
    rangeValues->addWidget(label_15);
    rangeValues->addWidget(label_rangeh);
    rangeValues->setSpacing(4);
    rangeValues->addStretch(1);
    rangeRow->addWidget(label_14);
    rangeRow->addWidget(widget_ranger, 1);

    groupBox_unit = make<QGroupBox>(widget_params, "groupBox_unit");
    auto *unitRow = new QHBoxLayout(groupBox_unit);
    radioButton_C = make<QRadioButton>(groupBox_unit, "radioButton_C");
    radioButton_F = make<QRadioButton>(groupBox_unit, "radioButton_F");
    unitRow->addWidget(radioButton_C);
    unitRow->addWidget(radioButton_F);

    navButton_restore = make<NavButton>(widget_params, "navButton_restore");
    navButton_restore->setMinimumHeight(28);

    for (QWidget *w : {widget_com,
                       widget_baud,
                       static_cast<QWidget *>(pushButton_com),
                       static_cast<QWidget *>(checkBox_auto),
                       widget_emissivity,
                       widget_transmit,
                       widget_holdmode,
                       widget_holdduration,
                       widget_avgtime,
                       widget_superholdvalue,
                       widget_halert,
                       widget_larert,
                       widget_analogout,
                       widget_outupper,
                       widget_outputl,
                       widget_range_mode,
                       widget_laser,
                       widget_backlight,
                       widget_modbus,
                       widget_2,
                       static_cast<QWidget *>(groupBox_unit),
                       static_cast<QWidget *>(navButton_restore)})
        params->addWidget(w);
    params->addStretch(1);

    // Chart column.
    verticalWidget = make<QWidget>(widget, "verticalWidget");
    auto *chartColumn = new QVBoxLayout(verticalWidget);
    chartColumn->setContentsMargins(0, 0, 0, 0);
    chartColumn->setSpacing(2);
    chartWidget = make<ChartWidget>(verticalWidget, "chartWidget");
    chartColumn->addWidget(chartWidget, 1);
    auto *chartButtons = new QHBoxLayout;
    chartButtons->setSpacing(2);
    const QFont chartFont = font(QStringLiteral("微软雅黑"), 10, true);
    for (auto [button, name] : {std::pair{&navButton_startstop, "navButton_startstop"},
                                {&navButton_hc, "navButton_hc"},
                                {&navButton_amb, "navButton_amb"},
                                {&navButton_mode, "navButton_mode"},
                                {&navButton_autofit, "navButton_autofit"},
                                {&navButton_horizontal, "navButton_horizontal"},
                                {&navButton_vertical, "navButton_vertical"},
                                {&navButton_export, "navButton_export"},
                                {&navButton_live, "navButton_live"},
                                {&navButton_marker, "navButton_marker"},
                                {&navButton_trigger, "navButton_trigger"}}) {
        *button = make<NavButton>(verticalWidget, name);
        (*button)->setFont(chartFont);
        (*button)->setMinimumHeight(28);
        chartButtons->addWidget(*button);
    }
    navButton_startstop->setFont(font(QStringLiteral("Yu Gothic"), 10, true));
    QFont autofitFont = chartFont;
    autofitFont.setPointSize(9);
    navButton_autofit->setFont(autofitFont);
    chartColumn->addLayout(chartButtons);

    // Temperature areas.
    widget_temparea = make<QWidget>(widget, "widget_temparea");
    auto *areaColumn = new QVBoxLayout(widget_temparea);
    areaColumn->setContentsMargins(0, 0, 0, 0);
    // Room for a reading beside its caption and check box, whatever the chart's share.
    widget_temparea->setMinimumWidth(widget_temparea->fontMetrics().averageCharWidth() * 24);
    tileScroll = make<TileScrollArea>(widget_temparea, "tileScroll");
    tileScroll->setFrameShape(QFrame::NoFrame);
    tileScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tileScroll->setWidgetResizable(true);
    tileColumn = make<QWidget>(nullptr, "tileColumn");
    auto *tileRows = new QVBoxLayout(tileColumn);
    tileRows->setContentsMargins(0, 0, 0, 0);
    tileRows->setSpacing(0);
    tileScroll->setWidget(tileColumn);
    areaColumn->addWidget(tileScroll, 1);
    markerList = new MarkerList(chartWidget->markerLayer(), widget_temparea);
    markerList->setObjectName(QStringLiteral("markerList"));
    areaColumn->addWidget(markerList);

    work->addWidget(scrollArea, 0);
    work->addWidget(verticalWidget, 6);
    work->addWidget(widget_temparea, 1);

    window->setCentralWidget(centralWidget);
    statusBar = make<QStatusBar>(window, "statusBar");
    window->setStatusBar(statusBar);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void MainWindowUi::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Tevrano"));
    pushButton_file->setText(QCoreApplication::translate("MainWindow", "文件"));
    pushButton_device->setText(QCoreApplication::translate("MainWindow", "设备"));
    pushButton_settings->setText(QCoreApplication::translate("MainWindow", "设置"));
    pushButton_help->setText(QCoreApplication::translate("MainWindow", "帮助"));
    label->setText(QCoreApplication::translate("MainWindow", "串口号："));
    label_2->setText(QCoreApplication::translate("MainWindow", "波特率："));
    checkBox_auto->setText(QCoreApplication::translate("MainWindow", "自动轮询"));
    label_4->setText(QCoreApplication::translate("MainWindow", "放射率："));
    label_17->setText(QCoreApplication::translate("MainWindow", "透过率："));
    label_3->setText(QCoreApplication::translate("MainWindow", "保持模式："));
    label_5->setText(QCoreApplication::translate("MainWindow", "保持时间："));
    label_7->setText(QCoreApplication::translate("MainWindow", "平均时间："));
    label_6->setText(QCoreApplication::translate("MainWindow", "高级保持阈值："));
    checkBox_halert->setText(QCoreApplication::translate("MainWindow", "高温报警"));
    checkBox_lalert->setText(QCoreApplication::translate("MainWindow", "低温报警"));
    label_10->setText(QCoreApplication::translate("MainWindow", "模拟输出："));
    label_9->setText(QCoreApplication::translate("MainWindow", "输出下限："));
    label_11->setText(QCoreApplication::translate("MainWindow", "输出上限："));
    radioButtonNormal->setText(QCoreApplication::translate("MainWindow", "标准模式"));
    radioButtonBody->setText(QCoreApplication::translate("MainWindow", "体温模式"));
    label_12->setText(QCoreApplication::translate("MainWindow", "镭射:"));
    label_13->setText(QCoreApplication::translate("MainWindow", "背光:"));
    label_16->setText(QCoreApplication::translate("MainWindow", "Modbus:"));
    label_14->setText(QCoreApplication::translate("MainWindow", "温度范围:"));
    label_15->setText(QCoreApplication::translate("MainWindow", "-"));
    groupBox_unit->setTitle(QCoreApplication::translate("MainWindow", "温度单位"));
    radioButton_C->setText(QCoreApplication::translate("MainWindow", "℃"));
    radioButton_F->setText(QCoreApplication::translate("MainWindow", "℉"));
    navButton_restore->setText(QCoreApplication::translate("MainWindow", "恢复出厂设置"));
    navButton_startstop->setText(QCoreApplication::translate("MainWindow", "开始"));
    navButton_hc->setText(QCoreApplication::translate("MainWindow", "暂停"));
    navButton_amb->setText(QCoreApplication::translate("MainWindow", "环温"));
    navButton_mode->setText(QCoreApplication::translate("MainWindow", "全局"));
    navButton_autofit->setText(QCoreApplication::translate("MainWindow", "自适应"));
    navButton_horizontal->setText(QCoreApplication::translate("MainWindow", "水平缩放"));
    navButton_vertical->setText(QCoreApplication::translate("MainWindow", "垂直缩放"));
    navButton_export->setText(QCoreApplication::translate("MainWindow", "保存记录"));
    navButton_live->setText(QCoreApplication::translate("MainWindow", "实时趋势"));
    navButton_marker->setText(QCoreApplication::translate("MainWindow", "添加标记"));
    navButton_trigger->setText(QCoreApplication::translate("MainWindow", "触发记录…"));
}
