#pragma once

#include "trigger.h"

#include <QObject>

#include <functional>
#include <optional>

struct MainWindowUi;
class Instrument;
class NavButton;
class QWidget;

// The row of buttons beside the chart: recording, pause, view mode, ambient curve, auto-fit,
// zooms, saving, live trend, markers and the triggered recording. It acts on the form's buttons
// and its chart; each button is wired here once.
class ChartStrip : public QObject
{
    Q_OBJECT
public:
    // The instrument a recording may start from now, or nullptr once the user was told why not.
    using StartGate = std::function<Instrument *()>;

    ChartStrip(const MainWindowUi &form, StartGate mayStart, QWidget *window);

    // Tells the user that this must wait until the recording is stopped; true when it must.
    bool refuseWhileRecording();
    // The texts that follow the chart's state, again in the language in use.
    void retranslate();

    // What each button does.
    void startStop();
    // "触发记录…": asks for a trigger, then starts a recording that keeps only its captures.
    void askForTrigger();
    void togglePause();
    void toggleAmbient();
    void toggleViewMode();
    void toggleAutoFit();
    void zoomHorizontally();
    void zoomVertically();
    void saveRecord();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRecordingState(bool recording);
    void showPause();
    void pauseForZoom();
    void restyleCheckButtons();

    const MainWindowUi &ui;
    StartGate m_mayStart;
    QWidget *m_window;
    std::optional<Trigger> m_trigger; // the last one asked for, offered again
};
