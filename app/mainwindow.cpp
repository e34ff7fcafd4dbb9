#include "mainwindow.h"

#include "aboutdialog.h"
#include "alarmbeeper.h"
#include "buttonlooks.h"
#include "chartadapters.h"
#include "chartsettings.h"
#include "chartsettingsdialog.h"
#include "chartwidget.h"
#include "clickcombobox.h"
#include "deviceinfodialog.h"
#include "deviceprobe.h"
#include "framelessframe.h"
#include "instrumentset.h"
#include "instrumentstate.h"
#include "language.h"
#include "mainmenus.h"
#include "markerlayer.h"
#include "messages.h"
#include "mqttdialog.h"
#include "navbutton.h"
#include "parameterpanel.h"
#include "portwatch.h"
#include "recordingmarkers.h"
#include "recordingprompts.h"
#include "relaysettingdialog.h"
#include "settings.h"
#include "thresholdlines.h"
#include "tilerow.h"
#include "titlebar.h"
#include "triggerdialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#include <windowsx.h>
#endif

namespace {

// Developer traces, off unless QT_LOGGING_RULES="tevrano.window.debug=true".
Q_LOGGING_CATEGORY(lcWindowTrace, "tevrano.window", QtInfoMsg)

const char CheckboxOff[] = ":/imager/ic_checkbox_unsel.png";

const char CheckboxOn[] = ":/imager/ic_checkbox_sel.png";

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
    setChartSettingsStore(appChartSettings());
    ui.setupUi(this);
    ui.chartWidget->setPrompter(appChartPrompter());
    m_titleBar = new TitleBar(this);
    m_panel = new ParameterPanel(ui, this);

    // 2.-5. The instruments, and what the window shows of them.
    m_thresholdLines = std::make_unique<ThresholdLines>(ui.chartWidget->plot());
    m_beeper = new AlarmBeeper(this);
    m_set = new InstrumentSet(this);
    connect(m_set, &InstrumentSet::instrumentAdded, this, &MainWindow::instrumentAdded);
    connect(m_set, &InstrumentSet::instrumentRemoved, this, &MainWindow::instrumentRemoved);
    connect(m_set, &InstrumentSet::portDeclined, this, [this](const QString &port) {
        if (std::exchange(m_portAsked, QString()) == port)
            Messages::critical(this, tr("错误"), tr("无法连接设备"));
    });
    connect(m_set, &InstrumentSet::labelChanged, this, &MainWindow::showRows);
    // With several instruments, the one the panel acts on is chosen here or by its row.
    m_selector = new QComboBox(ui.widget_params);
    m_selector->setObjectName(QStringLiteral("instrumentSelector"));
    m_selector->hide();
    qobject_cast<QBoxLayout *>(ui.widget_params->layout())->insertWidget(0, m_selector);
    connect(m_selector, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (Instrument *chosen = m_set->instrument(m_selector->itemData(index).toString()))
            select(chosen);
    });
    m_standby = std::make_unique<Instrument>();
    Instrument *instrument = m_standby.get();
    m_recorded = instrument;
    m_standbyRow = addInstrument(instrument);
    select(instrument);
    feedChart(instrument);
    new RecordingMarkers(instrument, m_set, ui.chartWidget, this);
    connect(this, &MainWindow::objectReading, ui.chartWidget, &ChartWidget::addObjectReading);
    connect(this, &MainWindow::ambientReading, ui.chartWidget, &ChartWidget::addAmbientReading);
    connect(m_panel, &ParameterPanel::unitRead, this, &MainWindow::unitRead);
    connect(this, &MainWindow::unitRead, ui.chartWidget, &ChartWidget::setUnit);
    ui.chartWidget->session().attach(instrument);
    // Every instrument of the set records into the chart's group, each a curve of its own.
    ui.chartWidget->followInstruments(m_set);
    connect(ui.chartWidget, &ChartWidget::recordingChanged, this, &MainWindow::showRecordingState);
    connect(ui.chartWidget, &ChartWidget::sampleLimitReached, this, [this] {
        ui.statusBar->showMessage(tr("已达到样本上限，记录已停止"));
    });
    connect(ui.navButton_live, &NavButton::clicked, ui.chartWidget, &ChartWidget::showLiveTrend);
    connect(ui.navButton_marker, &NavButton::clicked, ui.chartWidget, [this] {
        ui.chartWidget->addMarker();
    });
    connect(ui.navButton_trigger, &NavButton::clicked, this, &MainWindow::askForTrigger);
    connect(ui.markerList, &MarkerList::spanChosen, ui.chartWidget, &ChartWidget::selectSpan);
    connect(ui.comboBoxCom, &ClickComboBox::clicked, this, &MainWindow::comboBoxClicked);

    // 6. Frameless window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    setMenuWidget(m_titleBar);
    m_frame = new FramelessFrame(this, m_titleBar);

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
    auto *portWatch = new PortWatch(this);
    connect(portWatch, &PortWatch::portsChanged, this, &MainWindow::showPorts);
    portWatch->start();
    QStringList baudNames;
    for (qint32 baud : ProbeRates)
        baudNames.append(QString::number(baud));
    ui.comboBoxBaud->addItems(baudNames);

    // 10. Title bar.
    connect(m_titleBar, &TitleBar::minimizeClicked, this, &QWidget::showMinimized);
    connect(m_titleBar, &TitleBar::closeClicked, this, &MainWindow::close);
    connect(m_titleBar, &TitleBar::actionExit, this, &MainWindow::close);
    connect(m_titleBar, &TitleBar::maximizeClicked, this, &MainWindow::toggleMaximized);
    connect(m_titleBar, &TitleBar::fileClicked, this, &MainWindow::traceFileMenu);
    connect(m_titleBar, &TitleBar::actionAbout, this, &MainWindow::showAbout);
    connect(m_titleBar, &TitleBar::actionDeviceInfo, this, &MainWindow::showDeviceInfo);
    connect(m_titleBar, &TitleBar::actionImportData, this, &MainWindow::importRecords);
    connect(m_titleBar, &TitleBar::actionChartSettings, this, &MainWindow::showChartSettings);
    connect(m_titleBar,
            &TitleBar::actionExportData,
            ui.chartWidget,
            &ChartWidget::on_pushButton_export_clicked);
    connect(m_titleBar, &TitleBar::actionChinese, this, [] {
        MainMenus::switchLanguage(LanguageNames::SimplifiedChinese);
    });
    connect(m_titleBar, &TitleBar::actionEnglish, this, [] {
        MainMenus::switchLanguage(LanguageNames::English);
    });
    styleToolButton(ui.pushButton_com);

    // 14. Status bar.
    versionLabel.setText(QStringLiteral("v") + QCoreApplication::applicationVersion());
    ui.statusBar->setFont(QFont(QStringLiteral("Microsoft YaHei UI")));
    ui.statusBar->setStyleSheet(QStringLiteral("QStatusBar::item {border: None;}"));
    ui.statusBar->addWidget(&portLabel);
    ui.statusBar->addWidget(&baudLabel);
    ui.statusBar->addWidget(&alarmLabel);
    ui.statusBar->addPermanentWidget(&noteLabel);
    m_mqtt = std::make_unique<MqttFeed>(m_set);
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
    const auto searchEnded = [this, savedName, savedBaud] {
        m_searchEnded = true;
        if (!m_set->serialNumbers().isEmpty()
            || m_standby->state() == Instrument::ConnectionState::NoInstrument)
            return;
        ui.comboBoxCom->setCurrentText(savedName);
        ui.comboBoxBaud->setCurrentText(savedBaud);
        // The stand-in tells that nothing was found, as a search over a nameless port does.
        m_standby->search({QString()});
    };
    connect(m_set, &InstrumentSet::searchFinished, this, searchEnded);
    QTimer::singleShot(100, this, [this, searchEnded] {
        m_set->start();
        if (!m_set->isSearching())
            searchEnded();
    });

    ui.pushButton_com->setText(tr("打开设备"));

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

    m_menus = new MainMenus(ui, this, m_beeper);

    // Recordings are journalled beside the settings; one left by an earlier run is offered back.
    m_prompts = new RecordingPrompts(ui, this);
    if (!appSettings().settingsDir().isEmpty()) {
        m_prompts->journalIn(appSettings().settingsDir());
        QTimer::singleShot(0, this, [this] {
            // Unattended, nobody answers: the recording about to start moves the journal aside.
            if (!m_recordOnConnect)
                m_prompts->offerJournalRecovery();
        });
    }
}

MainWindow::~MainWindow()
{
    // Their signals reach into the widgets: they go while the widgets are still there.
    m_mqtt.reset();
    delete m_set;
    m_standby.reset();
}

void MainWindow::feedChart(Instrument *instrument)
{
    for (const QMetaObject::Connection &feed : std::exchange(m_chartFeed, {}))
        disconnect(feed);
    m_chartFeed = {connect(instrument,
                           &Instrument::objectTemperature,
                           this,
                           [this](double value) { emit objectReading(value); }),
                   connect(instrument, &Instrument::ambientTemperature, this, [this](double value) {
                       emit ambientReading(value);
                   })};
}

void MainWindow::setInstrumentNote(const char *sourceText)
{
    m_noteSource = sourceText;
    noteLabel.setText(tr(sourceText));
    noteLabel.setVisible(!noteLabel.text().isEmpty());
}

// ---- Start-up ------------------------------------------------------------------------------

TileRow *MainWindow::addInstrument(Instrument *instrument)
{
    auto *row = new TileRow(instrument, ui.tileColumn);
    ui.tileColumn->layout()->addWidget(row);
    connect(instrument, &Instrument::connectionStateChanged, this, [this, instrument] {
        // The live trend shows only readings that are really coming.
        if (instrument == m_recorded)
            ui.chartWidget->setLive(showsLiveReadings(instrument));
        if (instrument == m_selected)
            showConnectionState();
    });
    connect(instrument,
            &Instrument::opened,
            this,
            [this, instrument](const Instrument::Link &link) {
                if (instrument == m_selected)
                    instrumentOpened(link);
            });
    connect(instrument, &Instrument::openFailed, this, [this, instrument] {
        if (instrument == m_selected)
            Messages::critical(this, tr("错误"), tr("无法打开端口"));
    });
    connect(instrument, &Instrument::alarmChanged, this, [this, instrument](AlarmState state) {
        if (instrument == m_selected)
            showAlarm(state);
        soundAlarms();
    });
    connect(instrument,
            &Instrument::alarmThresholdsChanged,
            this,
            [this, instrument](const AlarmThresholds &thresholds) {
                if (instrument == m_selected)
                    showAlarmThresholds(thresholds);
            });
    return row;
}

void MainWindow::instrumentAdded(const QString &serialNumber, Instrument *instrument)
{
    TileRow *row = addInstrument(instrument);
    m_rows.insert(serialNumber, row);
    connect(row, &TileRow::chosen, this, [this, instrument] { select(instrument); });
    connect(row, &TileRow::renameAsked, this, [this, serialNumber] { rename(serialNumber); });
    m_set->setLabel(serialNumber, appSettings().value(instrumentLabelKey(serialNumber), QString()));
    m_standbyRow->hide();
    showRows();
    if (m_selected != m_standby.get())
        return;
    if (m_recorded == m_standby.get()) {
        m_recorded = instrument;
        // The live trend is drawn as the first curve, named after this instrument.
        feedChart(instrument);
        ui.chartWidget->setLive(showsLiveReadings(instrument));
    }
    select(instrument);
}

void MainWindow::instrumentRemoved(const QString &serialNumber)
{
    TileRow *row = m_rows.take(serialNumber);
    if (!row)
        return;
    const bool selected = row->instrument() == m_selected;
    delete row;
    showRows();
    if (!selected)
        return;
    const QStringList members = m_set->serialNumbers();
    m_standbyRow->setVisible(members.isEmpty());
    select(members.isEmpty() ? m_standby.get() : m_set->instrument(members.first()));
}

void MainWindow::showRows()
{
    const QStringList members = m_set->serialNumbers();
    const bool several = members.size() > 1;
    const QSignalBlocker quiet(m_selector);
    m_selector->clear();
    for (const QString &serialNumber : members) {
        TileRow *row = m_rows.value(serialNumber);
        m_selector->addItem(m_set->displayName(serialNumber), serialNumber);
        row->setName(m_set->displayName(serialNumber));
        row->setHeaderShown(several);
        row->setSelected(several && row->instrument() == m_selected);
        if (row->instrument() == m_selected)
            m_selector->setCurrentIndex(m_selector->count() - 1);
    }
    m_selector->setVisible(several);
}

void MainWindow::rename(const QString &serialNumber)
{
    QInputDialog dialog(this);
    dialog.setWindowTitle(tr("重命名仪器"));
    dialog.setLabelText(tr("序列号%1的名称：").arg(serialNumber));
    dialog.setTextValue(m_set->label(serialNumber));
    if (Messages::exec(dialog) != QDialog::Accepted)
        return;
    const QString label = dialog.textValue().trimmed();
    appSettings().setValue(instrumentLabelKey(serialNumber), label);
    appSettings().writeFile();
    m_set->setLabel(serialNumber, label);
}

void MainWindow::select(Instrument *instrument)
{
    m_selected = instrument;
    showRows();
    m_panel->setInstrument(instrument);
    showConnectionState();
    // It opened before it was chosen (or before its serial number made it a member).
    if (showsLiveReadings(instrument))
        instrumentOpened(instrument->link());
    showAlarm(instrument->alarmState());
    showAlarmThresholds(instrument->alarmThresholds());
}

void MainWindow::soundAlarms()
{
    bool any = m_standby->alarmState() != AlarmState::None;
    for (const QString &serialNumber : m_set->serialNumbers())
        any |= m_set->instrument(serialNumber)->alarmState() != AlarmState::None;
    m_beeper->setAlarmActive(any);
}

TileRow *MainWindow::tiles() const
{
    for (TileRow *row : m_rows)
        if (row->instrument() == m_selected)
            return row;
    return m_standbyRow;
}

// ---- Port management -----------------------------------------------------------------------

void MainWindow::on_pushButton_com_clicked()
{
    using State = Instrument::ConnectionState;
    const QString name = ui.comboBoxCom->currentText();
    const State state = m_selected->state();
    if (m_selected->isOpen() || state == State::Connected || state == State::NotResponding
        || state == State::Lost) {
        m_selected->close();
        m_panel->setRowsEnabled(false);
        return;
    }
    // Nothing found yet: the port is probed into the set.
    if (m_selected == m_standby.get()) {
        m_portAsked = name;
        m_set->probePort(name);
        return;
    }
    m_selected->startSearch({name},
                            {},
                            [this, instrument = QPointer<Instrument>(m_selected)](
                                    const std::optional<Instrument::Link> &found) {
                                if (!found) {
                                    Messages::critical(this, tr("错误"), tr("无法连接设备"));
                                    return;
                                }
                                ui.comboBoxBaud->setCurrentText(QString::number(found->baud));
                                if (instrument)
                                    instrument->open(*found);
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
    styleStripButtons(true);
    if (std::exchange(m_recordOnConnect, false) && !ui.chartWidget->isRecording())
        on_navButton_startstop_clicked();
}

void MainWindow::showConnectionState()
{
    using State = Instrument::ConnectionState;
    // Until an instrument is found the status tells only the end of the search.
    if (m_selected == m_standby.get() && !m_searchEnded)
        return;
    const State state = m_selected->state();
    const Instrument::Link link = m_selected->link();
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
        if (auto *button = ui.chartWidget->findChild<NavButton *>(QLatin1String(name))) {
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

void MainWindow::showAlarm(AlarmState state)
{
    const bool high = state == AlarmState::High;
    alarmLabel.setText(alarmText(state));
    alarmLabel.setStyleSheet(high ? QStringLiteral("color: red;") : QStringLiteral("color: blue;"));
}

void MainWindow::showAlarmThresholds(const AlarmThresholds &t)
{
    m_thresholdLines->setThresholds(t.highEnabled ? std::optional(t.high) : std::nullopt,
                                    t.lowEnabled ? std::optional(t.low) : std::nullopt,
                                    m_selected->unit());
}

// ---- Device dialogs ------------------------------------------------------------------------

void MainWindow::showDeviceInfo()
{
    DeviceInfoDialog dialog;
    dialog.deviceSerial = m_selected->serialNumber();
    dialog.dialogRangeLow = m_selected->rangeLow();
    dialog.dialogRangeHigh = m_selected->rangeHigh();
    dialog.dialogUnit = m_selected->unit();
    dialog.refreshLabels();
    Messages::exec(dialog);
}

void MainWindow::showRelaySettings()
{
    RelaySettingDialog dialog;
    dialog.relay1 = m_selected->relay1();
    dialog.relay2 = m_selected->relay2();
    dialog.loadRelaySettings();
    if (Messages::exec(dialog) != QDialog::Accepted || dialog.relay1 >= 4 || dialog.relay2 >= 4)
        return;
    m_selected->writeRelays(dialog.relay1, dialog.relay2);
}

// ---- Window --------------------------------------------------------------------------------

void MainWindow::showRecordingState(bool flag)
{
    // A recording is in the instrument's unit, whatever file was opened before.
    if (flag)
        emit unitRead(m_recorded->unit());
    // The recording may also end by itself, at its sample limit.
    ui.navButton_startstop->setText(flag ? tr("停止") : tr("开始"));
    ui.navButton_trigger->setEnabled(!flag);
    m_panel->setRecording(flag);
    if (flag)
        styleDisabledButton(ui.pushButton_com);
    else
        styleToolButton(ui.pushButton_com);
}

void MainWindow::showParameterPanel()
{
    ui.scrollArea->show();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("1"));
}

void MainWindow::hideParameterPanel()
{
    ui.scrollArea->hide();
    appSettings().setValue(QLatin1String(SettingsKeys::ShowSettingPanel), QStringLiteral("0"));
}

void MainWindow::traceFileMenu()
{
    qCDebug(lcWindowTrace) << "file menu opened";
}

void MainWindow::toggleMaximized()
{
    if (isMaximized()) {
        showNormal();
        m_titleBar->changeImage(true);
    } else {
        showMaximized();
        m_titleBar->changeImage(false);
    }
}

void MainWindow::showAbout()
{
    AboutDialog dialog(appSettings().settingsDir());
    Messages::exec(dialog);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_menus) {
        ui.retranslateUi(this);
        using State = Instrument::ConnectionState;
        const State state = m_selected->state();
        const bool engaged = state == State::Connected || state == State::NotResponding
                             || state == State::Lost;
        ui.pushButton_com->setText(engaged ? tr("关闭设备") : tr("打开设备"));
        // Before the start-up search has ended the status stays empty.
        if (!portLabel.text().isEmpty())
            showConnectionState();
        if (m_noteSource)
            noteLabel.setText(tr(m_noteSource));
        alarmLabel.setText(alarmText(m_selected->alarmState()));
        m_panel->retranslate();
        for (TileRow *row : ui.tileColumn->findChildren<TileRow *>())
            row->retranslate();
        m_menus->retranslate();
        m_mqtt->retranslate();
    }
    QMainWindow::changeEvent(event);
}

bool MainWindow::close()
{
    if (!m_prompts->settleBeforeQuit())
        return false;
    appSettings().setValue(QLatin1String(SettingsKeys::AutoConn),
                           ui.checkBox_auto->isChecked() ? QStringLiteral("1")
                                                         : QStringLiteral("0"));
    appSettings().setValue(QLatin1String(SettingsKeys::ComBaud), ui.comboBoxBaud->currentText());
    appSettings().setValue(QLatin1String(SettingsKeys::ComName), ui.comboBoxCom->currentText());
    appSettings().writeFile();
    ui.chartWidget->stopAndClose();
    m_closing = true;
    const bool closed = QMainWindow::close();
    m_closing = false;
    for (const QString &serialNumber : m_set->serialNumbers()) {
        m_set->instrument(serialNumber)->close();
        m_set->instrument(serialNumber)->stopPolling();
    }
    return closed;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The system's close asks as the window's own exits do.
    if (!m_closing && !m_prompts->settleBeforeQuit()) {
        event->ignore();
        return;
    }
    // Also the system's close: the poll threads must not outlive the window.
    for (const QString &serialNumber : m_set->serialNumbers())
        m_set->instrument(serialNumber)->stopPolling();
    QMainWindow::closeEvent(event);
}

#ifdef Q_OS_WIN
bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    MSG *msg = static_cast<MSG *>(message);
    if (msg->message != WM_NCHITTEST)
        return QMainWindow::nativeEvent(eventType, message, result);
    const std::optional<long> hit
            = m_frame->hitTest(QPoint(GET_X_LPARAM(msg->lParam) - frameGeometry().x(),
                                      GET_Y_LPARAM(msg->lParam) - frameGeometry().y()));
    if (hit)
        *result = *hit;
    return hit.has_value();
}
#endif

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    restyleCheckButtons();
}

// ---- Chart -----------------------------------------------------------------------------------

bool MainWindow::refuseWhileRecording()
{
    if (!ui.chartWidget->isRecording())
        return false;
    Messages::show(nullptr, QMessageBox::Warning, tr("提示"), tr("正在记录数据，请先停止！"));
    return true;
}

void MainWindow::importRecords()
{
    if (refuseWhileRecording())
        return;
    // Several files open into one chart, a curve each.
    const QStringList paths = Messages::openFileNames(
            tr("选择文件"), tr("文件(*.txt*)") + QStringLiteral(";;") + tr("所有文件(*)"));
    if (!paths.isEmpty())
        ui.chartWidget->loadRecords(paths);
}

void MainWindow::showChartSettings()
{
    if (refuseWhileRecording())
        return;
    ChartSettingsDialog dialog;
    if (Messages::exec(dialog) == QDialog::Accepted)
        ui.chartWidget->applyChartSettings();
}

void MainWindow::showMqttSettings()
{
    m_mqtt->edit(this);
}

void MainWindow::restyleCheckButtons()
{
    styleCheckButton(ui.navButton_amb, ui.chartWidget->ambientVisible());
    styleCheckButton(ui.navButton_mode, ui.chartWidget->viewMode() == 1);
    styleCheckButton(ui.navButton_autofit, ui.chartWidget->autoFit());
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

void MainWindow::askForTrigger()
{
    if (ui.chartWidget->isRecording() || !m_prompts->mayStart(m_set))
        return;
    auto *dialog = new TriggerDialog(m_recorded->unit(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (m_trigger)
        dialog->setTrigger(*m_trigger);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // The instrument may have gone while the dialog was open.
        if (ui.chartWidget->isRecording() || !anyMemberOpen(m_set))
            return;
        m_trigger = dialog->trigger();
        ui.chartWidget->startTriggeredRecording(*m_trigger);
        ui.statusBar->showMessage(tr("触发记录：等待 %1").arg(m_trigger->name()));
    });
    dialog->open();
}

void MainWindow::on_navButton_startstop_clicked()
{
    ChartWidget *chart = ui.chartWidget;
    // Only starting needs an instrument: a recording can always be stopped.
    if (!chart->isRecording() && !m_prompts->mayStart(m_set))
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
    ui.chartWidget->on_pushButton_hc_clicked();
    ui.navButton_hc->setText(ui.chartWidget->isPaused() ? tr("继续") : tr("暂停"));
}

void MainWindow::on_navButton_amb_clicked()
{
    ChartWidget *chart = ui.chartWidget;
    const bool visible = !chart->ambientVisible();
    styleCheckButton(ui.navButton_amb, visible);
    chart->setAmbientVisible(visible);
}

void MainWindow::on_navButton_mode_clicked()
{
    ui.chartWidget->on_pushButton_mode_clicked();
    styleCheckButton(ui.navButton_mode, ui.chartWidget->viewMode() == 1);
}

void MainWindow::on_navButton_autofit_clicked()
{
    ui.chartWidget->setAutoFit(!ui.chartWidget->autoFit());
    styleCheckButton(ui.navButton_autofit, ui.chartWidget->autoFit());
    // Ticking it again is the way back to following after a zoom or pan.
    if (ui.chartWidget->autoFit())
        ui.chartWidget->followReadings();
}

void MainWindow::pauseForZoom()
{
    if (!ui.chartWidget->isPaused()) {
        ui.chartWidget->setPaused(true);
        ui.navButton_hc->setText(tr("继续"));
    }
}

void MainWindow::on_navButton_horizontal_clicked()
{
    pauseForZoom();
    ui.chartWidget->on_pushButton_horizontal_clicked();
}

void MainWindow::on_navButton_vertical_clicked()
{
    pauseForZoom();
    ui.chartWidget->on_pushButton_vertical_clicked();
}

void MainWindow::on_navButton_export_clicked()
{
    ui.chartWidget->on_pushButton_export_clicked();
}
