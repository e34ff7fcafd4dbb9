#pragma once

#include "instrument.h"
#include "mainmenus.h"
#include "mainwindow_ui.h"
#include "trigger.h"

#include <QColor>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QSerialPort>

#include <memory>
#include <optional>

class AlarmBeeper;
class TitleBar;
class FramelessFrame;
class MqttFeed;
class ThresholdLines;
class QAction;
class NavButton;
class InstrumentSet;
class QComboBox;
class ChartWidget;
class ParameterPanel;
class RecordingPrompts;
class TileRow;

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

    const MainWindowUi &form() const { return ui; }
    TitleBar *titleBar() const { return m_titleBar; }
    ChartWidget *chart() const { return ui.chartWidget; }
    // The tiles of the selected instrument.
    TileRow *tiles() const;
    ParameterPanel *panel() const { return m_panel; }
    MainMenus *menus() const { return m_menus; }
    // The selected instrument; until one is found, a stand-in that shows none.
    Instrument *instrument() const { return m_selected; }
    InstrumentSet *instruments() const { return m_set; }
    // The panel, dialogs and status bar act on `instrument` from now on.
    void select(Instrument *instrument);
    QLabel *portStatus() { return &portLabel; }
    QLabel *baudStatus() { return &baudLabel; }
    QLabel *versionStatus() { return &versionLabel; }
    QLabel *noteStatus() { return &noteLabel; }
    QLabel *alarmStatus() { return &alarmLabel; }
    ThresholdLines *thresholdLines() const { return m_thresholdLines.get(); }
    QAction *alarmSoundAction() const { return m_menus->alarmSoundAction(); }
    AlarmBeeper *alarmBeeper() const { return m_beeper; }

signals:
    void objectReading(double value);
    void ambientReading(double value);
    // The unit the instrument reported or was told to use; the chart labels its axis by it.
    void unitRead(int unit);

public slots:
    void comboBoxClicked();
    void showRecordingState(bool flag);
    void showParameterPanel();
    void hideParameterPanel();
    void traceFileMenu();
    void toggleMaximized();
    // The shutdown path of the title bar and the exit entries.
    bool close();

    void on_pushButton_com_clicked();

    void showDeviceInfo();
    void showRelaySettings();
    void showAbout();
    void importRecords();
    void showChartSettings();
    void showMqttSettings();

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

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
#endif

private:
    // The instrument whose readings the chart shows and a recording keeps.
    void feedChart(Instrument *instrument);
    // The port list as given, keeping the port chosen when it is still there.
    void showPorts(const QStringList &ports);
    TileRow *addInstrument(Instrument *instrument);
    void instrumentAdded(const QString &serialNumber, Instrument *instrument);
    void instrumentRemoved(const QString &serialNumber);
    // Headers, selection and the selector as the set and the selection are now.
    void showRows();
    // Asks the user for the instrument's label, kept in the settings under its serial number.
    void rename(const QString &serialNumber);
    // Beeps while any instrument is in alarm.
    void soundAlarms();
    void instrumentOpened(const Instrument::Link &link);
    void showConnectionState();
    void showAlarm(AlarmState state);
    void showAlarmThresholds(const AlarmThresholds &thresholds);
    void styleStripButtons(bool enabled);
    void pauseForZoom();
    bool refuseWhileRecording();
    void styleCheckButton(NavButton *button, bool on);
    void restyleCheckButtons();

    MainWindowUi ui;
    std::optional<Trigger> m_trigger; // the last one asked for, offered again
    TitleBar *m_titleBar = nullptr;
    FramelessFrame *m_frame = nullptr;
    ParameterPanel *m_panel = nullptr;
    InstrumentSet *m_set = nullptr;
    // Shown while no instrument has joined the set; never opened.
    std::unique_ptr<Instrument> m_standby;
    TileRow *m_standbyRow = nullptr;
    QHash<QString, TileRow *> m_rows; // by serial number
    Instrument *m_selected = nullptr;
    // The first instrument found: the live trend and the chart's unit follow it.
    Instrument *m_recorded = nullptr;
    QList<QMetaObject::Connection> m_chartFeed;
    QComboBox *m_selector = nullptr;
    QString m_portAsked; // probed by hand, told when nothing answers there
    MainMenus *m_menus = nullptr;
    RecordingPrompts *m_prompts = nullptr;
    QLabel portLabel;
    QLabel baudLabel;
    QLabel versionLabel;
    QLabel noteLabel;
    QLabel alarmLabel;
    AlarmBeeper *m_beeper = nullptr;
    std::unique_ptr<ThresholdLines> m_thresholdLines;
    const char *m_noteSource = nullptr;
    std::unique_ptr<MqttFeed> m_mqtt; // publishes every member's readings when turned on
    bool m_recordOnConnect = false;
    bool m_closing = false;
    bool m_searchEnded = false; // the start-up search
};
