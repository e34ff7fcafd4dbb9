#include "mainwindow.h"

#include "aboutdialog.h"
#include "alarmbeeper.h"
#include "ambreltitalbar.h"
#include "buttonlooks.h"
#include "chartprompter.h"
#include "chartsettings.h"
#include "chartsettingsdialog.h"
#include "clickcombobox.h"
#include "deviceinfodialog.h"
#include "deviceprobe.h"
#include "language.h"
#include "markerlayer.h"
#include "messages.h"
#include "mqttdialog.h"
#include "navbutton.h"
#include "portwatch.h"
#include "qtcompat.h"
#include "recordingmarkers.h"
#include "recordjournal.h"
#include "relaysettingdialog.h"
#include "settings.h"
#include "switchbutton.h"
#include "tempareaitem.h"
#include "temperatureunit.h"
#include "thresholdlines.h"
#include "triggerdialog.h"
#include "ttwidget.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollArea>
#include <QScroller>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#include <windowsx.h>
#endif

namespace {

// Developer traces, off unless QT_LOGGING_RULES="tevrano.window.debug=true".
Q_LOGGING_CATEGORY(lcWindowTrace, "tevrano.window", QtInfoMsg)

constexpr int ResizeBand = 5;
constexpr int JournalNoteMs = 60000;
const char CheckboxOff[] = ":/imager/ic_checkbox_unsel.png";

// The chart reads and stores its own two settings through this.
class ChartSettingsAdapter : public ChartSettingsStore
{
public:
    QString value(const QString &key, const QString &fallback) const override
    {
        return appSettings().value(key, fallback);
    }
    void setValue(const QString &key, const QString &value) override
    {
        appSettings().setValue(key, value);
    }
    void save() override { appSettings().writeFile(); }
};

// The chart's boxes and file questions go where the window's go.
class ChartMessages : public ChartPrompter
{
public:
    void message(QMessageBox::Icon icon,
                 QWidget *parent,
                 const QString &title,
                 const QString &text,
                 const QString &button) override
    {
        Messages::show(parent, icon, title, text, button);
    }
    QString saveFileName(QWidget *parent) override
    {
        return Messages::saveFileName(parent, recordSaveTitle(), recordSaveFilter());
    }
    QString exportFileName(QWidget *parent, const QString &filter) override
    {
        return Messages::saveFileName(parent, QString(), filter);
    }
};

const char CheckboxOn[] = ":/imager/ic_checkbox_sel.png";

// The limits of the panel's temperature boxes, in Celsius, while the instrument's range is unknown.
constexpr double BoxLowest = -50.0;
constexpr double BoxHighest = 10000.0;

QString alarmText(AlarmState state)
{
    switch (state) {
    case AlarmState::High:
        return MainWindow::tr("高温报警");
    case AlarmState::Low:
        return MainWindow::tr("低温报警");
    case AlarmState::None:
        break;
    }
    return QString();
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    // 1. Form and members. The chart in the form reads its settings as it is built.
    static ChartSettingsAdapter chartSettings;
    setChartSettingsStore(&chartSettings);
    ui.setupUi(this);
    static ChartMessages chartMessages;
    ui.widget_tt->setPrompter(&chartMessages);
    m_titleBar = new AmbrelTitalbar(this);
    m_areaRealtime = new TempAreaItem;
    m_areaMaximum = new TempAreaItem;
    m_areaMinimum = new TempAreaItem;
    m_areaAmbient = new TempAreaItem;

    // 2.-5. The instrument, and what the window shows of it.
    m_instrument = std::make_unique<Instrument>();
    Instrument *instrument = m_instrument.get();
    connect(instrument,
            &Instrument::connectionStateChanged,
            this,
            &MainWindow::showConnectionState);
    connect(instrument, &Instrument::opened, this, &MainWindow::instrumentOpened);
    connect(instrument, &Instrument::openFailed, this, [this] {
        Messages::critical(this, tr("错误"), tr("无法打开端口"));
    });
    connect(instrument, &Instrument::parameterRead, this, &MainWindow::showParameter);
    connect(instrument, &Instrument::featuresRead, this, &MainWindow::showFeatures);
    connect(instrument, &Instrument::objectTemperature, this, &MainWindow::showObjectTemperature);
    connect(instrument, &Instrument::ambientTemperature, this, &MainWindow::showAmbientTemperature);
    connect(instrument, &Instrument::alarmChanged, this, &MainWindow::showAlarm);
    connect(instrument,
            &Instrument::alarmThresholdsChanged,
            this,
            &MainWindow::showAlarmThresholds);
    connect(instrument, &Instrument::unitChanged, this, &MainWindow::showUnit);
    new RecordingMarkers(instrument, ui.widget_tt, this);
    m_thresholdLines = std::make_unique<ThresholdLines>(ui.widget_tt->plot());
    m_beeper = new AlarmBeeper(this);
    connect(instrument, &Instrument::factoryResetDone, this, [](bool success) {
        Messages::information(
                nullptr, tr("提示"), success ? tr("恢复出厂设置成功") : tr("恢复出厂设置失败"));
    });
    connect(instrument, &Instrument::modbusSwitched, this, [](bool on) {
        Messages::information(
                nullptr, tr("提示"), on ? tr("开启Modbus协议成功") : tr("关闭Modbus协议成功"));
    });
    connect(this, &MainWindow::ttwidget_addvalue, ui.widget_tt, &ttwidget::UpdateTemp);
    connect(this, &MainWindow::ttwidget_addvalue_amb, ui.widget_tt, &ttwidget::UpdateTempAmb);
    connect(this, &MainWindow::unitRead, ui.widget_tt, &ttwidget::setUnit);
    ui.widget_tt->session().attach(instrument);
    connect(ui.widget_tt, &ttwidget::startstop, this, &MainWindow::ttwidgetStartStop);
    connect(ui.widget_tt, &ttwidget::sampleLimitReached, this, [this] {
        ui.statusBar->showMessage(tr("已达到样本上限，记录已停止"));
    });
    connect(ui.navButton_live, &NavButton::clicked, ui.widget_tt, &ttwidget::showLiveTrend);
    connect(ui.navButton_marker, &NavButton::clicked, ui.widget_tt, [this] {
        ui.widget_tt->addMarker();
    });
    connect(ui.navButton_trigger, &NavButton::clicked, this, &MainWindow::askForTrigger);
    connect(ui.markerList, &MarkerList::spanChosen, ui.widget_tt, &ttwidget::selectSpan);
    connect(ui.comboBoxCom, &ClickComboBox::clicked, this, &MainWindow::comboBoxClicked);
    connect(ui.comboBoxHoldmode,
            &ClickComboBox::clicked,
            this,
            &MainWindow::comboBoxholdmodeClicked);

    // 6. Frameless window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setMenuWidget(m_titleBar);

    // 7. Panel and status fonts.
    // A control that cannot act is drawn grey, not in the black of the others.
    const QString panelStyle
            = QStringLiteral("QWidget{font-family: \"Microsoft "
                             "YaHei\";font-weight:normal;font-size:13px;color: #000000;}"
                             "QWidget:disabled{color: #a0a0a0;}");
    ui.widget_params->setStyleSheet(panelStyle);
    baudLabel.setStyleSheet(panelStyle);

    // 8. Port and baud lists; a port whose device is gone is not offered.
    const QStringList portNames = PortWatch::presentPorts();
    ui.comboBoxCom->addItems(portNames);
    m_portWatch = new PortWatch(this);
    connect(m_portWatch, &PortWatch::portsChanged, this, &MainWindow::portsChanged);
    QStringList baudNames;
    for (qint32 baud : ProbeRates)
        baudNames.append(QString::number(baud));
    ui.comboBoxBaud->addItems(baudNames);

    // 10. Title bar.
    connect(m_titleBar, &AmbrelTitalbar::MinimizeButtonClicked, this, &QWidget::showMinimized);
    connect(m_titleBar, &AmbrelTitalbar::CloseButtonClicked, this, &MainWindow::close);
    connect(m_titleBar, &AmbrelTitalbar::actionExit, this, &MainWindow::close);
    connect(m_titleBar, &AmbrelTitalbar::WindowsChangeClicked, this, &MainWindow::WindowsChanged);
    connect(m_titleBar, &AmbrelTitalbar::fileClicked, this, &MainWindow::onFilesClicked);
    connect(m_titleBar, &AmbrelTitalbar::actionAbout, this, &MainWindow::ClickAbout);
    connect(m_titleBar, &AmbrelTitalbar::actionDeviceInfo, this, &MainWindow::ClickDeviceInfo);
    connect(m_titleBar, &AmbrelTitalbar::actionImportData, this, &MainWindow::ClickImportData);
    connect(m_titleBar,
            &AmbrelTitalbar::actionChartSettings,
            this,
            &MainWindow::ClickChartSettings);
    connect(m_titleBar,
            &AmbrelTitalbar::actionExportData,
            ui.widget_tt,
            &ttwidget::on_pushButton_export_clicked);
    connect(m_titleBar, &AmbrelTitalbar::actionChinese, this, &MainWindow::ClickLangChinese);
    connect(m_titleBar, &AmbrelTitalbar::actionEnglish, this, &MainWindow::ClickLangEnglish);

    // 9. Emissivity and tool buttons.
    connect(ui.doubleSpinBox_emi,
            qOverload<double>(&QDoubleSpinBox::valueChanged),
            this,
            &MainWindow::emissivityChanged);
    connect(ui.switchButton_modbus, &SwitchButton::checkedChanged, this, &MainWindow::modbusCheck);
    connect(ui.switchButton_backlight,
            &SwitchButton::checkedChanged,
            this,
            &MainWindow::backlightCheck);
    connect(ui.switchButton_laser, &SwitchButton::checkedChanged, this, &MainWindow::laserCheck);
    connect(ui.radioButton_C, &QRadioButton::clicked, this, &MainWindow::radioButton_C);
    connect(ui.radioButton_F, &QRadioButton::clicked, this, &MainWindow::radioButton_F);
    styleToolButton(ui.navButton_restore);
    styleToolButton(ui.pushButton_com);

    // 12. Only the running extremes can be switched off.
    m_areaMaximum->setCheckEnabled(true);
    m_areaMinimum->setCheckEnabled(true);
    m_areaRealtime->setCheckEnabled(false);
    m_areaAmbient->setCheckEnabled(false);

    // 13. The list is laid out once it has its real size; first paint comes before probing.
    QTimer::singleShot(100, this, &MainWindow::layoutAreaList);

    // 14. Status bar.
    versionLabel.setText(QStringLiteral("v") + QCoreApplication::applicationVersion());
    ui.statusBar->setFont(QFont(QStringLiteral("Microsoft YaHei UI")));
    ui.statusBar->setStyleSheet(QStringLiteral("QStatusBar::item {border: None;}"));
    ui.statusBar->addWidget(&portLabel);
    ui.statusBar->addWidget(&baudLabel);
    ui.statusBar->addWidget(&alarmLabel);
    ui.statusBar->addPermanentWidget(&noteLabel);
    m_mqtt = std::make_unique<MqttFeed>(instrument);
    ui.statusBar->addPermanentWidget(m_mqtt->statusLabel());
    ui.statusBar->addPermanentWidget(&versionLabel);
    noteLabel.hide();

    // 15. Start-up connection; the search always runs, whatever "AutoConn" says.
    const QString savedBaud = appSettings().value(QLatin1String(SettingsKeys::ComBaud), QString());
    const QString savedName = appSettings().value(QLatin1String(SettingsKeys::ComName), QString());
    appSettings().value(QLatin1String(SettingsKeys::AutoConn), QString());
    ui.widget_baud->hide();
    ui.checkBox_auto->setChecked(true);
    ui.checkBox_auto->hide();
    QTimer::singleShot(100, this, [this, portNames, baudNames, savedName, savedBaud] {
        startupConnection(portNames, baudNames, savedName, savedBaud);
    });

    // 16.-17. Texts and lists.
    ui.pushButton_com->setText(tr("打开设备"));
    for (SwitchButton *button :
         {ui.switchButton_laser, ui.switchButton_backlight, ui.switchButton_modbus}) {
        button->setTextOn(tr("打开"));
        button->setTextOff(tr("关闭"));
    }
    nameChoices();

    // 18. Nothing can be edited before the instrument has said what it has.
    setParameterRowsEnabled(false);

    // 19. Language.
    LoadLanguage(appSettings().value(QLatin1String(SettingsKeys::Language),
                                     QLatin1String(LanguageNames::English)));
    ui.retranslateUi(this);

    // 20. Panel visibility.
    ui.scrollArea->setVisible(
            appSettings().value(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("1"))
            == QLatin1String("1"));

    // 21. Button looks.
    for (NavButton *button :
         {ui.pushButton_file, ui.pushButton_device, ui.pushButton_settings, ui.pushButton_help})
        styleMenuButton(button);
    ui.navButton_startstop->setText(tr("开始"));
    ui.navButton_hc->setText(tr("暂停"));
    ui.navButton_mode->setText(tr("全局"));
    ui.navButton_amb->setText(tr("环温"));
    for (NavButton *button : {ui.navButton_mode, ui.navButton_amb, ui.navButton_autofit}) {
        styleIconButton(button, QLatin1String(CheckboxOff));
        button->installEventFilter(this);
    }
    for (NavButton *button : {ui.navButton_startstop,
                              ui.navButton_hc,
                              ui.navButton_horizontal,
                              ui.navButton_vertical,
                              ui.navButton_export,
                              ui.navButton_live,
                              ui.navButton_marker,
                              ui.navButton_trigger})
        styleToolButton(button);

    // 22.-24.
    buildMenus();
    ui.widget_modbus->hide();

    // Recordings are journalled beside the settings; one left by an earlier run is offered back.
    if (!appSettings().settingsDir().isEmpty()) {
        ui.widget_tt->setJournalFolder(appSettings().settingsDir());
        connect(ui.widget_tt->journal(), &RecordJournal::failed, this, [this] {
            ui.statusBar->showMessage(tr("记录日志无法写入，记录只保存在内存中"), JournalNoteMs);
        });
        connect(ui.widget_tt->journal(),
                &RecordJournal::movedAside,
                this,
                &MainWindow::journalMovedAside);
        QTimer::singleShot(0, this, &MainWindow::offerJournalRecovery);
    }
}

MainWindow::~MainWindow()
{
    // Its signals reach into the widgets: it goes while they are still there.
    m_mqtt.reset();
    m_instrument.reset();
}

void MainWindow::setInstrumentNote(const char *sourceText)
{
    m_noteSource = sourceText;
    noteLabel.setText(tr(sourceText));
    noteLabel.setVisible(!noteLabel.text().isEmpty());
}

// ---- Start-up ------------------------------------------------------------------------------

void MainWindow::layoutAreaList()
{
    QListWidget *list = ui.listWidgetAreas;
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(list->viewport(), QScroller::LeftMouseButtonGesture);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    nameAreas();
    for (auto [item, area] : {std::pair{&m_itemRealtime, m_areaRealtime},
                              {&m_itemAmbient, m_areaAmbient},
                              {&m_itemMaximum, m_areaMaximum},
                              {&m_itemMinimum, m_areaMinimum}}) {
        *item = new QListWidgetItem(list);
        list->setItemWidget(*item, area);
    }
    resizeAreas();

    const QColor gray(Qt::gray);
    m_areaRealtime->setTextColor(QColor(255, 128, 0));
    m_areaMaximum->setTextColor(Qt::black);
    m_areaMinimum->setTextColor(Qt::black);
    m_areaAmbient->setTextColor(gray);
    const int unit = m_instrument->unit();
    m_areaRealtime->UpdateTemp(0, unit, QColor(255, 128, 0), false);
    m_areaMaximum->UpdateTemp(0, unit, Qt::black, false);
    m_areaMinimum->UpdateTemp(0, unit, Qt::black, false);
    m_areaAmbient->UpdateTemp(0, unit, gray, false);
}

void MainWindow::startupConnection(const QStringList &ports,
                                   const QStringList &bauds,
                                   const QString &savedName,
                                   const QString &savedBaud)
{
    const auto done = [=](const std::optional<Instrument::Link> &found) {
        if (!found) {
            const int nameIndex = ui.comboBoxCom->findText(savedName);
            if (nameIndex >= 0)
                ui.comboBoxCom->setCurrentIndex(nameIndex);
            const int baudIndex = ui.comboBoxBaud->findText(savedBaud);
            if (baudIndex >= 0)
                ui.comboBoxBaud->setCurrentIndex(baudIndex);
            return;
        }
        m_instrument->open(*found);
        const int portIndex = ports.indexOf(found->portName);
        if (portIndex >= 0)
            ui.comboBoxCom->setCurrentIndex(portIndex);
        const int baudIndex = bauds.indexOf(QString::number(found->baud));
        if (baudIndex >= 0)
            ui.comboBoxBaud->setCurrentIndex(baudIndex);
    };
    m_instrument->startSearch({}, {}, done);
}

// ---- Port management -----------------------------------------------------------------------

void MainWindow::on_pushButton_com_clicked()
{
    using State = Instrument::ConnectionState;
    const QString name = ui.comboBoxCom->currentText();
    const State state = m_instrument->state();
    if (m_instrument->isOpen() || state == State::Connected || state == State::NotResponding
        || state == State::Lost) {
        m_instrument->close();
        setParameterRowsEnabled(false);
        return;
    }
    m_instrument->startSearch({name}, {}, [this](const std::optional<Instrument::Link> &found) {
        if (!found) {
            Messages::critical(this, tr("错误"), tr("无法连接设备"));
            return;
        }
        ui.comboBoxBaud->setCurrentText(QString::number(found->baud));
        m_instrument->open(*found);
    });
}

void MainWindow::instrumentOpened(const Instrument::Link &link)
{
    ui.pushButton_com->setText(tr("关闭设备"));
    // A USB adapter may come back under another name.
    if (ui.comboBoxCom->findText(link.portName) < 0)
        ui.comboBoxCom->addItem(link.portName);
    ui.comboBoxCom->setCurrentText(link.portName);
    ui.comboBoxBaud->setCurrentText(QString::number(link.baud));
    ui.widget_com->setEnabled(false);
    ui.widget_baud->setEnabled(false);
    QTimer::singleShot(500, this, [this] {
        for (TempAreaItem *area : {m_areaRealtime, m_areaMaximum, m_areaMinimum, m_areaAmbient})
            area->fitFont();
    });
    styleStripButtons(true);
    if (std::exchange(m_recordOnConnect, false) && !ui.widget_tt->isRecording())
        on_navButton_startstop_clicked();
}

void MainWindow::showConnectionState()
{
    using State = Instrument::ConnectionState;
    const State state = m_instrument->state();
    const Instrument::Link link = m_instrument->link();
    // The live trend shows only readings that are really coming.
    ui.widget_tt->setLive(state == State::Connected || state == State::NotResponding);
    // With nothing found, a port that appears later is searched at once.
    if (state != State::NoInstrument)
        m_portWatch->stop();
    else if (!m_portWatch->isActive())
        m_portWatch->start();
    explainPanel();
    switch (state) {
    case State::Connected:
        portLabel.setText(tr("已选择:") + link.portName);
        baudLabel.setText(tr("波特率:") + QString::number(link.baud));
        return;
    case State::NotResponding:
        portLabel.setText(tr("仪器中断"));
        break;
    case State::Lost:
        portLabel.setText(tr("仪器已断开，等待重新连接"));
        break;
    case State::Closed:
        portLabel.setText(tr("设备已关闭"));
        break;
    case State::NoInstrument:
        portLabel.setText(tr("找不到合适COM"));
        break;
    }
    baudLabel.setText(tr(""));
    if (state == State::NotResponding)
        return;
    // No reading is shown as if it were live.
    const int unit = m_instrument->unit();
    for (TempAreaItem *area : {m_areaRealtime, m_areaMaximum, m_areaMinimum, m_areaAmbient})
        area->UpdateTemp(0, unit, Qt::black, false);
    styleStripButtons(false);
    if (state == State::Lost)
        return;
    ui.pushButton_com->setText(tr("打开设备"));
    ui.widget_com->setEnabled(true);
    ui.widget_baud->setEnabled(true);
}

void MainWindow::styleStripButtons(bool enabled)
{
    for (const char *name : {"pushButton_startstop", "pushButton_hc", "pushButton_mode"}) {
        if (auto *button = ui.widget_tt->findChild<NavButton *>(QLatin1String(name))) {
            if (enabled)
                styleToolButton(button);
            else
                styleDisabledButton(button);
        }
    }
}

void MainWindow::comboBoxClicked()
{
    showPorts(PortWatch::presentPorts());
}

void MainWindow::showPorts(const QStringList &ports)
{
    const QString chosen = ui.comboBoxCom->currentText();
    ui.comboBoxCom->clear();
    ui.comboBoxCom->addItems(ports);
    if (ports.contains(chosen))
        ui.comboBoxCom->setCurrentText(chosen);
}

void MainWindow::portsChanged(const QStringList &ports, const QStringList &added)
{
    showPorts(ports);
    if (added.isEmpty() || m_instrument->state() != Instrument::ConnectionState::NoInstrument)
        return;
    // Searched beside the window: a port that is not the instrument takes seconds to give up on.
    m_instrument->startSearch(added, {}, [this](const std::optional<Instrument::Link> &found) {
        if (found && !m_instrument->isOpen())
            m_instrument->open(*found);
    });
}

void MainWindow::explainPanel()
{
    using State = Instrument::ConnectionState;
    const State state = m_instrument->state();
    QString why;
    if (ui.widget_tt->isRecording())
        why = tr("记录进行中，仪器参数不能更改。请先停止记录。");
    else if (state != State::Connected && state != State::NotResponding)
        why = tr("未连接仪器，参数不能更改。");
    ui.widget_params->setToolTip(why);
}

void MainWindow::setParameterRowsEnabled(bool enabled)
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

// ---- What the instrument reports -----------------------------------------------------------

void MainWindow::showParameter(Instrument::Parameter parameter, double value)
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

void MainWindow::showFeatures(const Instrument::Features &f)
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

void MainWindow::showObjectTemperature(double value, int unit)
{
    const bool fahrenheit = unit == 1;
    float &maximum = fahrenheit ? maxFahrenheit : maxCelsius;
    float &minimum = fahrenheit ? minFahrenheit : minCelsius;
    const auto reading = float(value);
    maximum = qMax(maximum, reading);
    minimum = qMin(minimum, reading);
    m_areaRealtime->UpdateTemp(
            reading, unit, m_areaRealtime->shownColor(), m_areaRealtime->displayEnabled);
    m_areaMaximum->UpdateTemp(maximum, unit, Qt::black, m_areaMaximum->displayEnabled);
    m_areaMinimum->UpdateTemp(minimum, unit, Qt::black, m_areaMinimum->displayEnabled);
    // A tile switched off starts its extreme afresh from the next reading.
    if (!m_areaMaximum->displayEnabled)
        maximum = -1000.0f;
    if (!m_areaMinimum->displayEnabled)
        minimum = 10000.0f;
    // The chart gets the reading in the unit its axis shows.
    emit ttwidget_addvalue(value);
}

void MainWindow::showAmbientTemperature(double value, int unit)
{
    m_areaAmbient->UpdateTemp(float(value), unit, Qt::gray, m_areaAmbient->displayEnabled);
    emit ttwidget_addvalue_amb(value);
}

void MainWindow::showAlarm(AlarmState state)
{
    const bool high = state == AlarmState::High;
    m_areaRealtime->setHighlight(state == AlarmState::None ? QColor()
                                 : high                    ? ThresholdLines::HighColor
                                                           : ThresholdLines::LowColor);
    alarmLabel.setText(alarmText(state));
    alarmLabel.setStyleSheet(high ? QStringLiteral("color: red;") : QStringLiteral("color: blue;"));
    m_beeper->setAlarmActive(state != AlarmState::None);
}

void MainWindow::showAlarmThresholds(const AlarmThresholds &t)
{
    m_thresholdLines->setThresholds(t.highEnabled ? std::optional(t.high) : std::nullopt,
                                    t.lowEnabled ? std::optional(t.low) : std::nullopt,
                                    m_instrument->unit());
}

void MainWindow::showUnit(int unit, int previous)
{
    // The extremes go on in the new unit; the marks of an extreme not yet seen stay marks.
    const auto convert = [&](float value) {
        return value <= -1000.0f || value >= 10000.0f
                       ? value
                       : float(TemperatureUnit::convert(value, previous, unit));
    };
    const bool fahrenheit = unit == 1;
    float &maximum = fahrenheit ? maxFahrenheit : maxCelsius;
    float &minimum = fahrenheit ? minFahrenheit : minCelsius;
    maximum = convert(fahrenheit ? maxCelsius : maxFahrenheit);
    minimum = convert(fahrenheit ? minCelsius : minFahrenheit);
    using State = Instrument::ConnectionState;
    const Instrument::Reading latest = m_instrument->latest();
    const bool live = m_instrument->state() == State::Connected
                      || m_instrument->state() == State::NotResponding;
    if (live && !std::isnan(latest.object)) {
        m_areaRealtime->UpdateTemp(float(latest.object),
                                   unit,
                                   m_areaRealtime->shownColor(),
                                   m_areaRealtime->displayEnabled);
        m_areaMaximum->UpdateTemp(maximum, unit, Qt::black, m_areaMaximum->displayEnabled);
        m_areaMinimum->UpdateTemp(minimum, unit, Qt::black, m_areaMinimum->displayEnabled);
    }
    if (live && !std::isnan(latest.ambient))
        m_areaAmbient->UpdateTemp(
                float(latest.ambient), unit, Qt::gray, m_areaAmbient->displayEnabled);
    showRange();
    showTemperatureBoxes();
}

void MainWindow::checkUnitButton(int unit)
{
    // Neither button stays checked for a unit the program does not know.
    for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
        button->setAutoExclusive(false);
    ui.radioButton_F->setChecked(unit == 1);
    ui.radioButton_C->setChecked(unit == 2);
    for (QRadioButton *button : {ui.radioButton_C, ui.radioButton_F})
        button->setAutoExclusive(true);
}

void MainWindow::showRange()
{
    // The range stays empty until the instrument has told it.
    using P = Instrument::Parameter;
    const int unit = m_instrument->unit();
    for (const auto &[parameter, label] :
         {std::pair{P::RangeLow, ui.label_rangel}, {P::RangeHigh, ui.label_rangeh}})
        if (!std::isnan(m_instrument->parameter(parameter)))
            label->setText(rangeText(float(m_instrument->parameter(parameter)), unit));
}

void MainWindow::showTemperatureBoxes()
{
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

void MainWindow::writeTemperature(Instrument::Parameter parameter, const QDoubleSpinBox *box)
{
    m_instrument->writeParameter(parameter,
                                 TemperatureUnit::toCelsius(box->value(), m_instrument->unit()));
}

void MainWindow::showHoldMode(int mode)
{
    ui.comboBoxHoldmode->setCurrentIndex(mode);
    ui.widget_holdduration->setEnabled(mode == 1 || mode == 2);
    ui.widget_superholdvalue->setEnabled(mode == 3);
}

// ---- Write handlers ------------------------------------------------------------------------

void MainWindow::on_doubleSpinBox_emi_editingFinished()
{
    qCDebug(lcWindowTrace) << "emissivity written:" << ui.doubleSpinBox_emi->value();
    m_instrument->writeParameter(Instrument::Parameter::Emissivity, ui.doubleSpinBox_emi->value());
}

void MainWindow::on_doubleSpinBox_transmit_editingFinished()
{
    qCDebug(lcWindowTrace) << "transmissivity written:" << ui.doubleSpinBox_transmit->value();
    m_instrument->writeParameter(Instrument::Parameter::Transmissivity,
                                 ui.doubleSpinBox_transmit->value());
}

void MainWindow::on_doubleSpinBox_avgtime_editingFinished()
{
    m_instrument->writeParameter(Instrument::Parameter::AverageTime,
                                 ui.doubleSpinBox_avgtime->value());
}

void MainWindow::on_doubleSpinBox_holdtime_editingFinished()
{
    m_instrument->writeParameter(Instrument::Parameter::HoldTime,
                                 ui.doubleSpinBox_holdtime->value());
}

void MainWindow::on_doubleSpinBox_supervalue_editingFinished()
{
    writeTemperature(Instrument::Parameter::SuperHoldValue, ui.doubleSpinBox_supervalue);
}

void MainWindow::on_doubleSpinBox_halert_editingFinished()
{
    writeTemperature(Instrument::Parameter::HighAlarm, ui.doubleSpinBox_halert);
}

void MainWindow::on_doubleSpinBox_lalert_editingFinished()
{
    writeTemperature(Instrument::Parameter::LowAlarm, ui.doubleSpinBox_lalert);
}

void MainWindow::on_doubleSpinBox_outputl_editingFinished()
{
    writeTemperature(Instrument::Parameter::OutputLow, ui.doubleSpinBox_outputl);
}

void MainWindow::on_doubleSpinBox_outputh_editingFinished()
{
    writeTemperature(Instrument::Parameter::OutputHigh, ui.doubleSpinBox_outputh);
}

void MainWindow::on_comboBoxHoldmode_currentIndexChanged(int index)
{
    if (index >= 0)
        m_instrument->writeParameter(Instrument::Parameter::HoldMode, index);
}

void MainWindow::on_checkBox_halert_toggled(bool checked)
{
    m_instrument->writeParameter(Instrument::Parameter::HighAlarmEnabled, checked ? 1 : 0);
}

void MainWindow::on_checkBox_lalert_toggled(bool checked)
{
    m_instrument->writeParameter(Instrument::Parameter::LowAlarmEnabled, checked ? 1 : 0);
}

void MainWindow::on_radioButtonNormal_clicked()
{
    m_instrument->writeParameter(Instrument::Parameter::RangeMode, 0);
}

void MainWindow::on_radioButtonBody_clicked()
{
    m_instrument->writeParameter(Instrument::Parameter::RangeMode, 1);
}

// What is shown follows when the instrument confirms the unit; without one nothing changes.
void MainWindow::radioButton_C()
{
    m_instrument->writeParameter(Instrument::Parameter::Unit, 2);
    if (!m_instrument->isOpen())
        checkUnitButton(m_instrument->unit());
}

void MainWindow::radioButton_F()
{
    m_instrument->writeParameter(Instrument::Parameter::Unit, 1);
    if (!m_instrument->isOpen())
        checkUnitButton(m_instrument->unit());
}

void MainWindow::backlightCheck(bool check)
{
    m_instrument->writeParameter(Instrument::Parameter::Backlight, check ? 1 : 0);
}

void MainWindow::laserCheck(bool check)
{
    m_instrument->writeParameter(Instrument::Parameter::Laser, check ? 1 : 0);
}

void MainWindow::modbusCheck(bool check)
{
    m_instrument->setModbus(check);
}

void MainWindow::on_navButton_restore_clicked()
{
    m_instrument->factoryReset();
}

// ---- Device dialogs ------------------------------------------------------------------------

void MainWindow::ClickDeviceInfo()
{
    DeviceInfoDialog dialog;
    dialog.deviceSerial = m_instrument->serialNumber();
    dialog.dialogRangeLow = m_instrument->rangeLow();
    dialog.dialogRangeHigh = m_instrument->rangeHigh();
    dialog.dialogUnit = m_instrument->unit();
    dialog.refreshLabels();
    Messages::exec(dialog);
}

void MainWindow::ClickRelaySettings()
{
    RelaySettingDialog dialog;
    dialog.relay1 = m_instrument->relay1();
    dialog.relay2 = m_instrument->relay2();
    dialog.loadRelaySettings();
    if (Messages::exec(dialog) != QDialog::Accepted || dialog.relay1 >= 4 || dialog.relay2 >= 4)
        return;
    m_instrument->writeRelays(dialog.relay1, dialog.relay2);
}

// ---- Window --------------------------------------------------------------------------------

void MainWindow::ttwidgetStartStop(bool flag)
{
    // A recording is in the instrument's unit, whatever file was opened before.
    if (flag)
        emit unitRead(m_instrument->unit());
    // The recording may also end by itself, at its sample limit.
    ui.navButton_startstop->setText(flag ? tr("停止") : tr("开始"));
    ui.navButton_trigger->setEnabled(!flag);
    ui.widget_params->setEnabled(!flag);
    explainPanel();
    for (NavButton *button : {ui.navButton_restore, ui.pushButton_com}) {
        if (flag)
            styleDisabledButton(button);
        else
            styleToolButton(button);
    }
}

void MainWindow::ClickParamsSettingsShow()
{
    ui.scrollArea->show();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("1"));
}

void MainWindow::ClickParamsSettingsHide()
{
    ui.scrollArea->hide();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("0"));
}

void MainWindow::onFilesClicked()
{
    qCDebug(lcWindowTrace) << "file menu opened";
}

void MainWindow::WindowsChanged()
{
    if (isMaximized()) {
        showNormal();
        m_titleBar->changeImage(true);
    } else {
        showMaximized();
        m_titleBar->changeImage(false);
    }
}

// ---- Menus and languages -------------------------------------------------------------------

namespace {
const char MenuStyle[]
        = "QMenu {background-color:rgba(205,205,205,255);border:3px solid rgba(205,205,205,255);}"
          "                          QMenu::item {min-width:92px;min-height:30;font-size: "
          "12px;color: "
          "rgb(0,0,0);background:rgba(205,205,205,255);border:0px solid "
          "rgba(205,205,205,255);padding:1px "
          "1px;margin:1px 1px;}                          QMenu::item:selected "
          "{background:rgba(120,120,120,"
          "160);border:0px solid rgba(120,120,120,160);}  /*选中或者说鼠标滑过状态*/               "
          "        "
          "   QMenu::item:pressed {background:rgba(205,205,205,255);border:0px solid "
          "rgba(205,205,205,255);}"
          "                           ";
} // namespace

QAction *MainWindow::addAction(QMenu *menu, void (MainWindow::*handler)())
{
    QAction *action = menu->addAction(QString());
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void MainWindow::buildMenus()
{
    const QString style = QString::fromUtf8(MenuStyle);
    m_fileMenu = new QMenu(this);
    m_importAction = addAction(m_fileMenu, &MainWindow::ClickImportData);
    m_exportAction = m_fileMenu->addAction(QString());
    connect(m_exportAction,
            &QAction::triggered,
            ui.widget_tt,
            &ttwidget::on_pushButton_export_clicked);
    m_exportImageAction = m_fileMenu->addAction(QString());
    connect(m_exportImageAction, &QAction::triggered, ui.widget_tt, &ttwidget::exportImage);
    m_exportCsvAction = m_fileMenu->addAction(QString());
    connect(m_exportCsvAction, &QAction::triggered, ui.widget_tt, &ttwidget::exportCsv);
    m_exitAction = m_fileMenu->addAction(QString());
    connect(m_exitAction, &QAction::triggered, this, &MainWindow::close);

    m_deviceMenu = new QMenu(this);
    m_deviceInfoAction = addAction(m_deviceMenu, &MainWindow::ClickDeviceInfo);

    m_settingsMenu = new QMenu(this);
    m_panelMenu = m_settingsMenu->addMenu(QString());
    m_showPanelAction = addAction(m_panelMenu, &MainWindow::ClickParamsSettingsShow);
    m_hidePanelAction = addAction(m_panelMenu, &MainWindow::ClickParamsSettingsHide);
    m_chartSettingsAction = addAction(m_settingsMenu, &MainWindow::ClickChartSettings);
    m_relayAction = addAction(m_settingsMenu, &MainWindow::ClickRelaySettings);
    m_mqttAction = addAction(m_settingsMenu, &MainWindow::ClickMqttSettings);
    m_alarmSoundAction = m_settingsMenu->addAction(QString());
    m_alarmSoundAction->setCheckable(true);
    m_alarmSoundAction->setChecked(appSettings().value(QLatin1String(SettingsKeys::AlarmSound))
                                   == QLatin1String("1"));
    m_beeper->setSoundOn(m_alarmSoundAction->isChecked());
    connect(m_alarmSoundAction, &QAction::toggled, this, [this](bool on) {
        m_beeper->setSoundOn(on);
        appSettings().setValue(QLatin1String(SettingsKeys::AlarmSound),
                               on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    m_languageMenu = m_settingsMenu->addMenu(QString());
    // Each language keeps its own name, whatever language is active. The check mark sits on the
    // catalogue in use, so an unknown stored name marks English.
    auto *languages = new QActionGroup(m_languageMenu);
    const QString current = appSettings().value(QLatin1String(SettingsKeys::Language), QString());
    for (auto [handler, text, name] :
         {std::tuple{&MainWindow::ClickLangChinese, "简体中文", LanguageNames::SimplifiedChinese},
          {&MainWindow::ClickTrChinese, "繁體中文", LanguageNames::TrChinese},
          {&MainWindow::ClickLangEnglish, "English", LanguageNames::English}}) {
        QAction *action = addAction(m_languageMenu, handler);
        action->setText(QString::fromUtf8(text));
        action->setCheckable(true);
        action->setChecked(catalogueFileName(current) == catalogueFileName(QLatin1String(name)));
        languages->addAction(action);
    }

    m_helpMenu = new QMenu(this);
    m_aboutAction = addAction(m_helpMenu, &MainWindow::ClickAbout);

    const std::pair<NavButton *, QMenu *> menus[] = {{ui.pushButton_file, m_fileMenu},
                                                     {ui.pushButton_device, m_deviceMenu},
                                                     {ui.pushButton_settings, m_settingsMenu},
                                                     {ui.pushButton_help, m_helpMenu}};
    for (const auto &[button, menu] : menus) {
        menu->setStyleSheet(style);
        button->setMenu(menu);
    }
    retranslateMenus();
}

void MainWindow::retranslateMenus()
{
    m_importAction->setText(tr("打开记录"));
    m_exportAction->setText(tr("保存记录"));
    m_exportImageAction->setText(tr("导出图片…"));
    m_exportCsvAction->setText(tr("导出CSV…"));
    m_exitAction->setText(tr("退出"));
    m_deviceInfoAction->setText(tr("仪器信息"));
    m_chartSettingsAction->setText(tr("表格设置"));
    m_relayAction->setText(tr("继电器设置"));
    m_mqttAction->setText(tr("MQTT 设置"));
    m_mqtt->retranslate();
    m_alarmSoundAction->setText(tr("报警声音"));
    m_aboutAction->setText(tr("关于"));
    m_showPanelAction->setText(tr("显示"));
    m_hidePanelAction->setText(tr("隐藏"));
    m_languageMenu->setTitle(tr("语言"));
    m_panelMenu->setTitle(tr("参数设置"));
}

void MainWindow::switchLanguage(const char *name)
{
    appSettings().setValue(QLatin1String(SettingsKeys::Language), QLatin1String(name));
    LoadLanguage(QLatin1String(name));
    ui.retranslateUi(this);
}

void MainWindow::ClickLangChinese()
{
    switchLanguage(LanguageNames::SimplifiedChinese);
}

void MainWindow::ClickTrChinese()
{
    switchLanguage(LanguageNames::TrChinese);
}

void MainWindow::ClickLangEnglish()
{
    switchLanguage(LanguageNames::English);
}

void MainWindow::ClickAbout()
{
    AboutDialog dialog(appSettings().settingsDir());
    Messages::exec(dialog);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_languageMenu) {
        ui.retranslateUi(this);
        for (SwitchButton *button :
             {ui.switchButton_laser, ui.switchButton_backlight, ui.switchButton_modbus}) {
            button->setTextOn(tr("打开"));
            button->setTextOff(tr("关闭"));
        }
        using State = Instrument::ConnectionState;
        const State state = m_instrument->state();
        const bool engaged = state == State::Connected || state == State::NotResponding
                             || state == State::Lost;
        ui.pushButton_com->setText(engaged ? tr("关闭设备") : tr("打开设备"));
        // Before the start-up search has ended the status stays empty.
        if (!portLabel.text().isEmpty())
            showConnectionState();
        if (m_noteSource)
            noteLabel.setText(tr(m_noteSource));
        showRange();
        alarmLabel.setText(alarmText(m_instrument->alarmState()));
        nameAreas();
        nameChoices();
        explainPanel();
        retranslateMenus();
    }
    QMainWindow::changeEvent(event);
}

bool MainWindow::close()
{
    if (!settleRecordingBeforeQuit())
        return false;
    appSettings().setValue(QLatin1String(SettingsKeys::AutoConn),
                           ui.checkBox_auto->isChecked() ? QStringLiteral("1")
                                                         : QStringLiteral("0"));
    appSettings().setValue(QLatin1String(SettingsKeys::ComBaud), ui.comboBoxBaud->currentText());
    appSettings().setValue(QLatin1String(SettingsKeys::ComName), ui.comboBoxCom->currentText());
    appSettings().writeFile();
    ui.widget_tt->stopAndClose();
    m_closing = true;
    const bool closed = QMainWindow::close();
    m_closing = false;
    m_instrument->close();
    m_instrument->stopPolling();
    return closed;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The system's close asks as the window's own exits do.
    if (!m_closing && !settleRecordingBeforeQuit()) {
        event->ignore();
        return;
    }
    // Also the system's close: the poll thread must not outlive the window.
    m_instrument->stopPolling();
    QMainWindow::closeEvent(event);
}

bool MainWindow::settleRecordingBeforeQuit()
{
    return settleHeldRecording(tr("记录尚未保存。退出前要保存吗？"));
}

bool MainWindow::settleHeldRecording(const QString &question)
{
    ttwidget *chart = ui.widget_tt;
    if (!chart->isRecording() && !chart->hasUnsavedRecording())
        return true;
    // Nothing recorded yet: nothing to save, nothing to ask.
    if (chart->samples().size() == 0) {
        stopRecording();
        chart->discardRecording();
        return true;
    }
    for (;;) {
        const QMessageBox::StandardButton answer
                = Messages::ask(this,
                                tr("提示"),
                                question,
                                {{QMessageBox::Save, tr("保存")},
                                 {QMessageBox::Discard, tr("放弃")},
                                 {QMessageBox::Cancel, tr("取消")}});
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::Discard) {
            stopRecording();
            chart->discardRecording();
            return true;
        }
        // The recording runs on until a file is chosen; no choice asks again.
        const QString path = chart->askRecordPath();
        if (path.isEmpty())
            continue;
        stopRecording();
        if (chart->saveRecordTo(path))
            return true;
    }
}

void MainWindow::stopRecording()
{
    if (!ui.widget_tt->isRecording())
        return;
    ui.widget_tt->on_pushButton_startstop_clicked();
    ui.navButton_startstop->setText(tr("开始"));
}

void MainWindow::offerJournalRecovery()
{
    RecordJournal *journal = ui.widget_tt->journal();
    // Unattended, nobody answers: the recording about to start moves the journal aside.
    if (m_recordOnConnect || !QFileInfo::exists(journal->path()))
        return;
    // A FIFO, a device or a folder in its place holds no recording: never opened, and moved
    // aside by the next recording.
    if (!QFileInfo(journal->path()).isFile()) {
        ui.statusBar->showMessage(
                tr("记录日志%1不是普通文件，已忽略").arg(QDir::toNativeSeparators(journal->path())),
                JournalNoteMs);
        return;
    }
    const QMessageBox::StandardButton answer
            = Messages::ask(this,
                            tr("恢复记录"),
                            tr("上次的记录没有保存就中断了。要恢复它吗？"),
                            {{QMessageBox::Yes, tr("是")}, {QMessageBox::No, tr("否")}});
    if (answer == QMessageBox::Yes && ui.widget_tt->restoreJournal())
        return;
    m_recoveryMovePending = true;
    journal->moveAside();
}

void MainWindow::journalMovedAside(const QString &target)
{
    const QString shown = QDir::toNativeSeparators(target);
    if (!std::exchange(m_recoveryMovePending, false)) {
        ui.statusBar->showMessage(tr("上一个未保存的记录已移至%1").arg(shown), JournalNoteMs);
        return;
    }
    if (target.isEmpty())
        Messages::critical(this,
                           tr("错误"),
                           tr("无法移动记录日志，它仍在%1")
                                   .arg(QDir::toNativeSeparators(ui.widget_tt->journal()->path())));
    else
        Messages::information(this, tr("提示"), tr("未恢复的记录已移至%1").arg(shown));
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QMainWindow::mousePressEvent(event);
    windowPosAtPress = pos();
    cursorPosAtPress = globalPos(event);
    const QPoint local = event->pos();
#ifndef Q_OS_WIN
    // Edges resize through the window system, from the same band the Windows hit test uses.
    Qt::Edges edges;
    if (local.x() > 0 && local.x() < ResizeBand)
        edges |= Qt::LeftEdge;
    if (local.x() > width() - ResizeBand && local.x() < width())
        edges |= Qt::RightEdge;
    if (local.y() > 0 && local.y() < ResizeBand)
        edges |= Qt::TopEdge;
    if (local.y() > height() - ResizeBand && local.y() < height())
        edges |= Qt::BottomEdge;
    if (edges && !isMaximized() && windowHandle() && windowHandle()->startSystemResize(edges))
        return;
#endif
    isMoving = globalPos(event).y() < y() + m_titleBar->height();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (isMoving && !isMaximized())
        move(windowPosAtPress + globalPos(event) - cursorPosAtPress);
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        isMoving = false;
    QMainWindow::mouseReleaseEvent(event);
}

#ifdef Q_OS_WIN
bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    MSG *msg = static_cast<MSG *>(message);
    if (msg->message != WM_NCHITTEST)
        return QMainWindow::nativeEvent(eventType, message, result);
    const int x = GET_X_LPARAM(msg->lParam) - frameGeometry().x();
    const int y = GET_Y_LPARAM(msg->lParam) - frameGeometry().y();
    const int w = width(), h = height();
    const bool left = 0 < x && x < ResizeBand, right = w - ResizeBand < x && x < w;
    const bool top = 0 < y && y < ResizeBand, bottom = h - ResizeBand < y && y < h;
    long hit = HTCAPTION;
    bool matched = false;
    const auto take = [&](bool test, long value) {
        if (test) {
            hit = value;
            matched = true;
        }
    };
    take(left, HTLEFT);
    take(right, HTRIGHT);
    take(top, HTTOP);
    take(bottom, HTBOTTOM);
    take(left && top, HTTOPLEFT);
    take(right && top, HTTOPRIGHT);
    take(left && bottom, HTBOTTOMLEFT);
    take(right && bottom, HTBOTTOMRIGHT);
    if (!matched)
        return false;
    *result = hit;
    return true;
}
#endif

void MainWindow::nameAreas()
{
    m_areaRealtime->setCaption(tr("实时值"));
    m_areaMaximum->setCaption(tr("最大值"));
    m_areaMinimum->setCaption(tr("最小值"));
    m_areaAmbient->setCaption(tr("环温"));
}

void MainWindow::nameChoices()
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

void MainWindow::resizeAreas()
{
    if (!m_itemRealtime)
        return;
    const QSize size(ui.listWidgetAreas->width(), ui.listWidgetAreas->height() / 4);
    for (auto [item, area] : {std::pair{m_itemRealtime, m_areaRealtime},
                              {m_itemAmbient, m_areaAmbient},
                              {m_itemMaximum, m_areaMaximum},
                              {m_itemMinimum, m_areaMinimum}}) {
        area->setFixedSize(size);
        item->setSizeHint(size);
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    resizeAreas();
    qCDebug(lcWindowTrace) << "tile list height" << ui.listWidgetAreas->height();
    restyleCheckButtons();
}

// ---- Chart -----------------------------------------------------------------------------------

bool MainWindow::refuseWhileRecording()
{
    if (!ui.widget_tt->isRecording())
        return false;
    Messages::show(nullptr, QMessageBox::Warning, tr("提示"), tr("正在记录数据，请先停止！"));
    return true;
}

void MainWindow::ClickImportData()
{
    if (refuseWhileRecording())
        return;
    const QString path = Messages::openFileName(
            tr("选择文件"), tr("文件(*.txt*)") + QStringLiteral(";;") + tr("所有文件(*)"));
    if (!path.isEmpty())
        ui.widget_tt->loadRecord(path);
}

void MainWindow::ClickChartSettings()
{
    if (refuseWhileRecording())
        return;
    ChartSettingsDialog dialog;
    if (Messages::exec(dialog) == QDialog::Accepted)
        ui.widget_tt->applyChartSettings();
}

void MainWindow::ClickMqttSettings()
{
    m_mqtt->edit(this);
}

void MainWindow::restyleCheckButtons()
{
    styleCheckButton(ui.navButton_amb, ui.widget_tt->ambientVisible());
    styleCheckButton(ui.navButton_mode, ui.widget_tt->viewMode() == 1);
    styleCheckButton(ui.navButton_autofit, ui.widget_tt->autoFit());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The check-box icon sits at the button's right end, so it follows the button's width, which
    // the layout settles only after the window's own resize.
    if (event->type() == QEvent::Resize
        && (watched == ui.navButton_amb || watched == ui.navButton_mode
            || watched == ui.navButton_autofit))
        restyleCheckButtons();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::styleCheckButton(NavButton *button, bool on)
{
    styleIconButton(button, QLatin1String(on ? CheckboxOn : CheckboxOff));
}

bool MainWindow::mayStartRecording()
{
    if (!m_instrument->isOpen()) {
        Messages::information(this, tr("提示"), tr("设备未连接"));
        return false;
    }
    // A new recording would replace the one held.
    return !ui.widget_tt->hasUnsavedRecording()
           || settleHeldRecording(tr("记录尚未保存。开始新记录前要保存吗？"));
}

void MainWindow::askForTrigger()
{
    if (ui.widget_tt->isRecording() || !mayStartRecording())
        return;
    auto *dialog = new TriggerDialog(m_instrument->unit(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (m_trigger)
        dialog->setTrigger(*m_trigger);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // The instrument may have gone while the dialog was open.
        if (ui.widget_tt->isRecording() || !m_instrument->isOpen())
            return;
        m_trigger = dialog->trigger();
        ui.widget_tt->startTriggeredRecording(*m_trigger);
        ui.statusBar->showMessage(tr("触发记录：等待 %1").arg(m_trigger->name()));
    });
    dialog->open();
}

void MainWindow::on_navButton_startstop_clicked()
{
    ttwidget *chart = ui.widget_tt;
    // Only starting needs the instrument: a recording can always be stopped.
    if (!chart->isRecording() && !mayStartRecording())
        return;
    chart->on_pushButton_startstop_clicked();
    if (chart->isRecording()) {
        ui.navButton_startstop->setText(tr("停止"));
        if (!chart->isPaused())
            ui.navButton_hc->setText(tr("暂停"));
    } else {
        ui.navButton_startstop->setText(tr("开始"));
    }
}

void MainWindow::on_navButton_hc_clicked()
{
    ui.widget_tt->on_pushButton_hc_clicked();
    ui.navButton_hc->setText(ui.widget_tt->isPaused() ? tr("继续") : tr("暂停"));
}

void MainWindow::on_navButton_amb_clicked()
{
    ttwidget *chart = ui.widget_tt;
    const bool visible = !chart->ambientVisible();
    styleCheckButton(ui.navButton_amb, visible);
    chart->setAmbientVisible(visible);
}

void MainWindow::on_navButton_mode_clicked()
{
    ui.widget_tt->on_pushButton_mode_clicked();
    styleCheckButton(ui.navButton_mode, ui.widget_tt->viewMode() == 1);
}

void MainWindow::on_navButton_autofit_clicked()
{
    ui.widget_tt->setAutoFit(!ui.widget_tt->autoFit());
    styleCheckButton(ui.navButton_autofit, ui.widget_tt->autoFit());
    // Ticking it again is the way back to following after a zoom or pan.
    if (ui.widget_tt->autoFit())
        ui.widget_tt->followReadings();
}

void MainWindow::pauseForZoom()
{
    if (!ui.widget_tt->isPaused()) {
        ui.widget_tt->setPaused(true);
        ui.navButton_hc->setText(tr("继续"));
    }
}

void MainWindow::on_navButton_horizontal_clicked()
{
    pauseForZoom();
    ui.widget_tt->on_pushButton_horizontal_clicked();
}

void MainWindow::on_navButton_vertical_clicked()
{
    pauseForZoom();
    ui.widget_tt->on_pushButton_vertical_clicked();
}

void MainWindow::on_navButton_export_clicked()
{
    ui.widget_tt->on_pushButton_export_clicked();
}
