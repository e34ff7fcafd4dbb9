#pragma once

#include "instrument.h"

#include <QObject>
#include <QPointer>
#include <QString>

struct MainWindowUi;
class InstrumentBoard;
class InstrumentSet;
class QLabel;
class QWidget;
class ThresholdLines;

// The port and baud strip of the parameter panel and what the status bar says of the selected
// instrument: its port and rate, or why there is none, and its alarm; its alarm thresholds are
// drawn on the chart. The strip opens and closes the selected instrument; while none has been
// found, it probes the chosen port into the set.
class ConnectionControls : public QObject
{
    Q_OBJECT
public:
    // Status texts go into the form's status bar; `window` is the parent of the messages.
    ConnectionControls(const MainWindowUi &form,
                       InstrumentBoard *board,
                       InstrumentSet *set,
                       ThresholdLines *thresholdLines,
                       QWidget *window);

    QLabel *portStatus() const { return m_port; }
    QLabel *baudStatus() const { return m_baud; }
    QLabel *alarmStatus() const { return m_alarm; }

    // The start-up search ended: with no instrument found, the status says so and the strip
    // offers the port and rate used last.
    void searchEnded();
    // Keeps the chosen port and rate for the next start.
    void saveSettings() const;
    // Sets the strip's and the status's texts again in the language in use.
    void retranslate();

    // The strip's button: closes the selected instrument, or searches the chosen port for it.
    void openOrClose();
    // The port list is about to open: it shows the ports present now.
    void refreshPorts();

signals:
    // The selected instrument is open and reading, found by the search or chosen so.
    void opened();
    // The user closed the selected instrument.
    void closed();

private:
    void follow(Instrument *instrument);
    // The port list as given, keeping the port chosen when it is still there.
    void showPorts(const QStringList &ports);
    void instrumentOpened(const Instrument::Link &link);
    void showConnectionState();
    void showAlarm(AlarmState state);
    void showAlarmThresholds(const AlarmThresholds &thresholds);

    const MainWindowUi &ui;
    InstrumentBoard *m_board;
    InstrumentSet *m_set;
    ThresholdLines *m_thresholdLines;
    QWidget *m_window;
    QLabel *m_port;
    QLabel *m_baud;
    QLabel *m_alarm;
    QPointer<Instrument> m_instrument; // the selected one
    QString m_portAsked;               // probed by hand, told when nothing answers there
    bool m_searchEnded = false;        // the start-up search
};
