#pragma once

#include "instrument.h"
#include "mainwindow_ui.h"
#include "trigger.h"

#include <QColor>
#include <QLabel>
#include <QMainWindow>
#include <QSerialPort>

#include <memory>
#include <optional>

class AlarmBeeper;
class AmbrelTitalbar;
class MqttFeed;
class QDoubleSpinBox;
class ThresholdLines;
class QAction;
class QMenu;
class NavButton;
class PortWatch;
class ttwidget;
class QListWidgetItem;
class TempAreaItem;

// The one window of the program: builds and wires everything, runs the start-up search, shows
// what the instrument reports and passes the user's edits on to it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Status shown beside the version, e.g. that the instrument is simulated: a source text
    // (QT_TRANSLATE_NOOP in context "MainWindow"), so it follows the language.
    void setInstrumentNote(const char *sourceText);
    // Starts a recording as soon as an instrument is connected (unattended start).
    void setRecordOnConnect(bool on) { m_recordOnConnect = on; }

    // The running extremes the tiles show.
    float maxCelsius = -100.0f;
    float minCelsius = 10000.0f;
    float maxFahrenheit = -1000.0f;
    float minFahrenheit = 10000.0f;

    const MainWindowUi &form() const { return ui; }
    AmbrelTitalbar *titleBar() const { return m_titleBar; }
    ttwidget *chart() const { return ui.widget_tt; }
    TempAreaItem *areaRealtime() const { return m_areaRealtime; }
    TempAreaItem *areaMaximum() const { return m_areaMaximum; }
    TempAreaItem *areaMinimum() const { return m_areaMinimum; }
    TempAreaItem *areaAmbient() const { return m_areaAmbient; }
    Instrument *instrument() const { return m_instrument.get(); }
    QLabel *portStatus() { return &portLabel; }
    QLabel *baudStatus() { return &baudLabel; }
    QLabel *versionStatus() { return &versionLabel; }
    QLabel *noteStatus() { return &noteLabel; }
    QLabel *alarmStatus() { return &alarmLabel; }
    ThresholdLines *thresholdLines() const { return m_thresholdLines.get(); }
    QAction *alarmSoundAction() const { return m_alarmSoundAction; }
    AlarmBeeper *alarmBeeper() const { return m_beeper; }

    void setParameterRowsEnabled(bool enabled);

signals:
    void ttwidget_addvalue(double value);
    void ttwidget_addvalue_amb(double value);
    // The unit the instrument reported or was told to use; the chart labels its axis by it.
    void unitRead(int unit);

public slots:
    void comboBoxClicked();
    void comboBoxholdmodeClicked() {}
    void ttwidgetStartStop(bool flag);
    void ClickParamsSettingsShow();
    void ClickParamsSettingsHide();
    void onFilesClicked();
    void WindowsChanged();
    // The shutdown path of the title bar and the exit entries.
    bool close();

    void on_pushButton_com_clicked();
    void on_doubleSpinBox_emi_editingFinished();
    void on_doubleSpinBox_transmit_editingFinished();
    void on_doubleSpinBox_holdtime_editingFinished();
    void on_doubleSpinBox_avgtime_editingFinished();
    void on_doubleSpinBox_supervalue_editingFinished();
    void on_doubleSpinBox_halert_editingFinished();
    void on_doubleSpinBox_lalert_editingFinished();
    void on_doubleSpinBox_outputl_editingFinished();
    void on_doubleSpinBox_outputh_editingFinished();
    void on_comboBoxHoldmode_currentIndexChanged(int index);
    void on_checkBox_halert_toggled(bool checked);
    void on_checkBox_lalert_toggled(bool checked);
    void on_radioButtonNormal_clicked();
    void on_radioButtonBody_clicked();
    void radioButton_C();
    void radioButton_F();
    void backlightCheck(bool check);
    void laserCheck(bool check);
    void modbusCheck(bool check);
    void on_navButton_restore_clicked();
    // Values are written only when editing finishes; these stay quiet on purpose.
    void on_doubleSpinBox_halert_valueChanged(double) {}
    void on_doubleSpinBox_lalert_valueChanged(double) {}
    void on_doubleSpinBox_holdtime_valueChanged(double) {}
    void on_doubleSpinBox_avgtime_valueChanged(double) {}
    void on_doubleSpinBox_supervalue_valueChanged(double) {}
    void on_doubleSpinBox_outputl_valueChanged(double) {}
    void on_doubleSpinBox_outputh_valueChanged(double) {}
    void on_comboBoxAnalogoutput_currentIndexChanged(int) {}
    void emissivityChanged(double) {}

    void ClickDeviceInfo();
    void ClickRelaySettings();
    void ClickAbout();
    void ClickImportData();
    void ClickChartSettings();
    void ClickMqttSettings();

    void on_navButton_startstop_clicked();
    // "触发记录…": asks for a trigger, then starts a recording that keeps only its captures.
    void askForTrigger();
    void on_navButton_hc_clicked();
    void on_navButton_amb_clicked();
    void on_navButton_mode_clicked();
    void on_navButton_autofit_clicked();
    void on_navButton_horizontal_clicked();
    void on_navButton_vertical_clicked();
    void on_navButton_export_clicked();
    void ClickLangChinese();
    void ClickTrChinese();
    void ClickLangEnglish();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
#endif

private:
    void layoutAreaList();
    // The port list as given, keeping the port chosen when it is still there.
    void showPorts(const QStringList &ports);
    void portsChanged(const QStringList &ports, const QStringList &added);
    // Says in the panel's tooltip why it cannot be edited; empty when it can.
    void explainPanel();
    void startupConnection(const QStringList &ports,
                           const QStringList &bauds,
                           const QString &savedName,
                           const QString &savedBaud);
    void instrumentOpened(const Instrument::Link &link);
    void showConnectionState();
    void showParameter(Instrument::Parameter parameter, double value);
    void showFeatures(const Instrument::Features &features);
    void showObjectTemperature(double value, int unit);
    void showAmbientTemperature(double value, int unit);
    void showHoldMode(int mode);
    void showAlarm(AlarmState state);
    void showAlarmThresholds(const AlarmThresholds &thresholds);
    void showUnit(int unit, int previous);
    void checkUnitButton(int unit);
    void showRange();
    void showTemperatureBoxes();
    void writeTemperature(Instrument::Parameter parameter, const QDoubleSpinBox *box);
    void styleStripButtons(bool enabled);
    void nameAreas();
    // The hold-mode and analog-output lists in the language in use.
    void nameChoices();
    void resizeAreas();
    void pauseForZoom();
    bool refuseWhileRecording();
    void styleCheckButton(NavButton *button, bool on);
    void restyleCheckButtons();
    void buildMenus();
    void retranslateMenus();
    void switchLanguage(const char *name);
    void offerJournalRecovery();
    void journalMovedAside(const QString &target);
    // Asks what becomes of a running or unsaved recording; true when quitting may go on.
    bool settleRecordingBeforeQuit();
    // Asks `question` about the recording held or running: saved (the recording stops once a
    // file is chosen), discarded, or kept as it is (false).
    bool settleHeldRecording(const QString &question);
    void stopRecording();
    // An instrument to record from, and the recording held saved or given up; false says why not.
    bool mayStartRecording();
    QAction *addAction(QMenu *menu, void (MainWindow::*handler)());

    MainWindowUi ui;
    std::optional<Trigger> m_trigger; // the last one asked for, offered again
    AmbrelTitalbar *m_titleBar = nullptr;
    QMenu *m_fileMenu = nullptr;
    QMenu *m_deviceMenu = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QMenu *m_helpMenu = nullptr;
    QMenu *m_panelMenu = nullptr;
    QMenu *m_languageMenu = nullptr;
    QAction *m_importAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_exportImageAction = nullptr;
    QAction *m_exportCsvAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_deviceInfoAction = nullptr;
    QAction *m_chartSettingsAction = nullptr;
    QAction *m_mqttAction = nullptr;
    QAction *m_relayAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_showPanelAction = nullptr;
    QAction *m_hidePanelAction = nullptr;
    QAction *m_alarmSoundAction = nullptr;
    QListWidgetItem *m_itemRealtime = nullptr;
    QListWidgetItem *m_itemMaximum = nullptr;
    QListWidgetItem *m_itemMinimum = nullptr;
    QListWidgetItem *m_itemAmbient = nullptr;
    TempAreaItem *m_areaRealtime = nullptr;
    TempAreaItem *m_areaMaximum = nullptr;
    TempAreaItem *m_areaMinimum = nullptr;
    TempAreaItem *m_areaAmbient = nullptr;
    QLabel portLabel;
    QLabel baudLabel;
    QLabel versionLabel;
    QLabel noteLabel;
    QLabel alarmLabel;
    AlarmBeeper *m_beeper = nullptr;
    PortWatch *m_portWatch = nullptr;
    std::unique_ptr<ThresholdLines> m_thresholdLines;
    const char *m_noteSource = nullptr;
    std::unique_ptr<Instrument> m_instrument;
    std::unique_ptr<MqttFeed> m_mqtt; // publishes m_instrument's readings when turned on
    bool isMoving = false;
    QPoint windowPosAtPress;
    QPoint cursorPosAtPress;
    bool m_recordOnConnect = false;
    bool m_closing = false;
    bool m_recoveryMovePending = false;
};
