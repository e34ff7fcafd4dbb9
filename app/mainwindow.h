#pragma once

#include "instrument.h"
#include "mainmenus.h"
#include "mainwindow_ui.h"

#include <QColor>
#include <QLabel>
#include <QMainWindow>

#include <memory>

class AlarmBeeper;
class TitleBar;
class FramelessFrame;
class MqttFeed;
class ThresholdLines;
class QAction;
class InstrumentBoard;
class InstrumentSet;
class ConnectionControls;
class ChartWidget;
class ChartStrip;
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
    ChartStrip *strip() const { return m_strip; }
    MainMenus *menus() const { return m_menus; }
    // The selected instrument; until one is found, a stand-in that shows none.
    Instrument *instrument() const;
    InstrumentSet *instruments() const { return m_set; }
    // The panel, dialogs and status bar act on `instrument` from now on.
    void select(Instrument *instrument);
    ConnectionControls *connection() const { return m_connection; }
    QLabel *versionStatus() { return &versionLabel; }
    QLabel *noteStatus() { return &noteLabel; }
    ThresholdLines *thresholdLines() const { return m_thresholdLines.get(); }
    QAction *alarmSoundAction() const { return m_menus->alarmSoundAction(); }
    AlarmBeeper *alarmBeeper() const { return m_beeper; }

signals:
    // The unit the instrument reported or was told to use; the chart labels its axis by it.
    void unitRead(int unit);

public slots:
    void showRecordingState(bool flag);
    void showParameterPanel();
    void hideParameterPanel();
    void traceFileMenu();
    void toggleMaximized();
    // The shutdown path of the title bar and the exit entries.
    bool close();

    void showDeviceInfo();
    void showRelaySettings();
    void showAbout();
    void importRecords();
    void showChartSettings();
    void showMqttSettings();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;
#endif

private:
    void recordFirstJoined(Instrument *instrument);

    MainWindowUi ui;
    TitleBar *m_titleBar = nullptr;
    FramelessFrame *m_frame = nullptr;
    ParameterPanel *m_panel = nullptr;
    ChartStrip *m_strip = nullptr;
    InstrumentSet *m_set = nullptr;
    InstrumentBoard *m_board = nullptr;
    ConnectionControls *m_connection = nullptr;
    // The first instrument found: the chart's unit follows it.
    Instrument *m_recorded = nullptr;
    MainMenus *m_menus = nullptr;
    RecordingPrompts *m_prompts = nullptr;
    QLabel versionLabel;
    QLabel noteLabel;
    AlarmBeeper *m_beeper = nullptr;
    std::unique_ptr<ThresholdLines> m_thresholdLines;
    const char *m_noteSource = nullptr;
    std::unique_ptr<MqttFeed> m_mqtt; // publishes every member's readings when turned on
    bool m_recordOnConnect = false;
    bool m_closing = false;
};
