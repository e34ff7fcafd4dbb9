#include "mainwindow.h"

#include "aboutdialog.h"
#include "alarmbeeper.h"
#include "buttonlooks.h"
#include "chartadapters.h"
#include "chartsettings.h"
#include "chartsettingsdialog.h"
#include "chartstrip.h"
#include "chartwidget.h"
#include "connectioncontrols.h"
#include "deviceinfodialog.h"
#include "framelessframe.h"
#include "instrumentboard.h"
#include "instrumentset.h"
#include "instrumentstate.h"
#include "language.h"
#include "mainmenus.h"
#include "markerlayer.h"
#include "messages.h"
#include "mqttdialog.h"
#include "navbutton.h"
#include "parameterpanel.h"
#include "recordingmarkers.h"
#include "recordingprompts.h"
#include "relaysettingdialog.h"
#include "settings.h"
#include "thresholdlines.h"
#include "tilerow.h"
#include "titlebar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
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
    m_board = new InstrumentBoard(m_set, ui.tileColumn, ui.widget_params, this);
    connect(m_board, &InstrumentBoard::selected, m_panel, &ParameterPanel::setInstrument);
    // The selected row in sight: one chosen in the selector may be scrolled away, and rows that
    // join go by name, maybe above it. Once the layout has placed them.
    const auto showSelectedRow = [this] {
        QTimer::singleShot(
                0, this, [this] { ui.tileScroll->ensureWidgetVisible(m_board->tiles(), 0, 0); });
    };
    connect(m_board, &InstrumentBoard::selected, this, showSelectedRow);
    connect(m_set, &InstrumentSet::instrumentAdded, this, showSelectedRow);
    m_connection = new ConnectionControls(ui, m_board, m_set, m_thresholdLines.get(), this);
    connect(m_connection, &ConnectionControls::closed, m_panel, [this] {
        m_panel->setRowsEnabled(false);
    });
    connect(m_connection, &ConnectionControls::opened, this, [this] {
        if (std::exchange(m_recordOnConnect, false) && !ui.chartWidget->isRecording())
            m_strip->startStop();
    });
    connect(m_board, &InstrumentBoard::alarmsChanged, m_beeper, &AlarmBeeper::setAlarmActive);
    connect(m_board, &InstrumentBoard::firstJoined, this, &MainWindow::recordFirstJoined);
    Instrument *instrument = m_board->standby();
    m_recorded = instrument;
    select(instrument);
    new RecordingMarkers(instrument, m_set, ui.chartWidget, this);
    connect(m_panel, &ParameterPanel::unitRead, this, &MainWindow::unitRead);
    connect(this, &MainWindow::unitRead, ui.chartWidget, &ChartWidget::setUnit);
    ui.chartWidget->session().attach(instrument);
    // Every instrument of the set records into the chart's group and draws its live trend, each
    // a curve of its own.
    ui.chartWidget->followInstruments(m_set);
    connect(ui.chartWidget, &ChartWidget::recordingChanged, this, &MainWindow::showRecordingState);
    connect(ui.chartWidget, &ChartWidget::sampleLimitReached, this, [this] {
        ui.statusBar->showMessage(tr("已达到样本上限，记录已停止"));
    });
    connect(ui.markerList, &MarkerList::spanChosen, ui.chartWidget, &ChartWidget::selectSpan);

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
    m_connection->baudStatus()->setStyleSheet(panelStyle);

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

    // 14. Status bar.
    versionLabel.setText(QStringLiteral("v") + QCoreApplication::applicationVersion());
    ui.statusBar->setFont(QFont(QStringLiteral("Microsoft YaHei UI")));
    ui.statusBar->setStyleSheet(QStringLiteral("QStatusBar::item {border: None;}"));
    ui.statusBar->addPermanentWidget(&noteLabel);
    m_mqtt = std::make_unique<MqttFeed>(m_set);
    ui.statusBar->addPermanentWidget(m_mqtt->statusLabel());
    ui.statusBar->addPermanentWidget(&versionLabel);
    noteLabel.hide();

    // 15. Start-up connection.
    connect(m_set, &InstrumentSet::searchFinished, m_connection, &ConnectionControls::searchEnded);
    QTimer::singleShot(100, this, [this] {
        m_set->start();
        if (!m_set->isSearching())
            m_connection->searchEnded();
    });

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
    m_strip = new ChartStrip(
            ui,
            [this]() -> Instrument * {
                if (!m_prompts->mayStart(m_set))
                    return nullptr;
                // A trigger is asked in the unit of one that records: the first found, if open.
                return m_recorded->isOpen() ? m_recorded : firstOpenMember(m_set);
            },
            this);

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
    delete m_board;
}

void MainWindow::recordFirstJoined(Instrument *instrument)
{
    m_recorded = instrument;
}

void MainWindow::setInstrumentNote(const char *sourceText)
{
    m_noteSource = sourceText;
    noteLabel.setText(tr(sourceText));
    noteLabel.setVisible(!noteLabel.text().isEmpty());
}

TileRow *MainWindow::tiles() const
{
    return m_board->tiles();
}

Instrument *MainWindow::instrument() const
{
    return m_board->instrument();
}

void MainWindow::select(Instrument *instrument)
{
    m_board->select(instrument);
}

// ---- Device dialogs ------------------------------------------------------------------------

void MainWindow::showDeviceInfo()
{
    DeviceInfoDialog dialog;
    dialog.deviceSerial = instrument()->serialNumber();
    dialog.dialogRangeLow = instrument()->rangeLow();
    dialog.dialogRangeHigh = instrument()->rangeHigh();
    dialog.dialogUnit = instrument()->unit();
    dialog.refreshLabels();
    Messages::exec(dialog);
}

void MainWindow::showRelaySettings()
{
    RelaySettingDialog dialog;
    dialog.relay1 = instrument()->relay1();
    dialog.relay2 = instrument()->relay2();
    dialog.loadRelaySettings();
    if (Messages::exec(dialog) != QDialog::Accepted || dialog.relay1 >= 4 || dialog.relay2 >= 4)
        return;
    instrument()->writeRelays(dialog.relay1, dialog.relay2);
}

// ---- Window --------------------------------------------------------------------------------

void MainWindow::showRecordingState(bool flag)
{
    // A recording is in the instrument's unit, whatever file was opened before.
    if (flag)
        emit unitRead(m_recorded->unit());
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
        m_connection->retranslate();
        m_strip->retranslate();
        if (m_noteSource)
            noteLabel.setText(tr(m_noteSource));
        m_panel->retranslate();
        m_board->retranslate();
        m_menus->retranslate();
        m_mqtt->retranslate();
    }
    QMainWindow::changeEvent(event);
}

bool MainWindow::close()
{
    if (!m_prompts->settleBeforeQuit())
        return false;
    m_connection->saveSettings();
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

// ---- Chart -----------------------------------------------------------------------------------

void MainWindow::importRecords()
{
    if (m_strip->refuseWhileRecording())
        return;
    // Several files open into one chart, a curve each.
    const QStringList paths = Messages::openFileNames(
            tr("选择文件"), tr("文件(*.txt*)") + QStringLiteral(";;") + tr("所有文件(*)"));
    // Asked once the files are chosen, so a cancelled choice costs the recording nothing.
    if (!paths.isEmpty() && m_prompts->settleBeforeImport())
        ui.chartWidget->loadRecords(paths);
}

void MainWindow::showChartSettings()
{
    if (m_strip->refuseWhileRecording())
        return;
    ChartSettingsDialog dialog;
    if (Messages::exec(dialog) == QDialog::Accepted)
        ui.chartWidget->applyChartSettings();
}

void MainWindow::showMqttSettings()
{
    m_mqtt->edit(this);
}
