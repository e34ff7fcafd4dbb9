#pragma once

#include "instrument.h"
#include "logoptions.h"
#include "logoutput.h"
#include "trigger.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

// Exit status of tevrano-log.
enum LogExit { ExitDone = 0, ExitFailed = 1, ExitNoInstrument = 2, ExitOutputFailed = 3 };

// Writes one row per interval from the instrument's latest readings until the duration ends or
// stop() is called. A row taken when no valid reading arrived for a while is a gap; the
// instrument reconnects by itself after a loss, and the rows go on.
class Logger : public QObject
{
    Q_OBJECT
public:
    explicit Logger(const LogOptions &options, QObject *parent = nullptr);

    // Opens the output, then searches for the instrument (blocking) and opens it. Returns the
    // exit status when it ended already; otherwise finished comes later.
    std::optional<int> start();

public slots:
    // Completes the file and ends with ExitDone.
    void stop();
    // Goes with the next row; with a trigger, only if that row is written.
    void addMarker(const QString &text);

signals:
    void finished(int exitStatus);

private:
    void fail(int exitStatus, const QString &message);
    void end(int exitStatus);
    void startSampling();
    void sample();
    bool write(LogRow &&row, bool opensCapture);
    void drawStatus();

    const LogOptions m_options;
    Instrument m_instrument;
    LogOutput m_output;
    std::optional<TriggeredCapture<LogRow>> m_capture;
    QVector<Marker> m_markers; // for the next row
    QTimer m_sampleTimer;
    QTimer m_statusTimer;
    QElapsedTimer m_clock;
    qint64 m_nextSample = 0; // index of the next row on the schedule
    bool m_sampling = false;
    bool m_ended = false;
    int m_statusWidth = 0;
};
