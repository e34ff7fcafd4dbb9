#pragma once

#include "instrument.h"
#include "logoptions.h"
#include "logoutput.h"
#include "recordingsession.h"
#include "trigger.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

class Publisher;

// Exit status of tevrano-log.
enum LogExit { ExitDone = 0, ExitFailed = 1, ExitNoInstrument = 2, ExitOutputFailed = 3 };

// Records through a RecordingSession and writes each of its rows as it is taken, until the
// duration ends, stop() is called or nobody reads the output any more. A row taken while no
// valid reading comes, or while the instrument is gone, is a gap; the instrument reconnects by
// itself after a loss, on a given port as after the automatic search, and the rows go on.
class Logger : public QObject
{
    Q_OBJECT
public:
    explicit Logger(const LogOptions &options, QObject *parent = nullptr);
    ~Logger() override;

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
    void writeRows();
    // Writes one row and publishes it; on failure the run ends and false comes back.
    bool write(const LogRow &row, const RecordHeader &header);
    void drawStatus();
    void printNote(const QString &message);
    void publish(const LogRow &row);

    const LogOptions m_options;
    Instrument m_instrument;
    RecordingSession m_session;
    LogOutput m_output;
    std::unique_ptr<Publisher> m_publisher; // with --mqtt
    // Rows taken before the serial number, which names their topics, was read.
    std::deque<PublishRow> m_unpublished;
    std::optional<TriggeredCapture<LogRow>> m_capture; // with a trigger
    QVector<Marker> m_markers;                         // for the next row
    bool m_anyRow = false;                             // the session took a row
    bool m_lost = false;                               // for "instrument back"
    AlarmState m_alarm = AlarmState::None;
    QTimer m_statusTimer;
    double m_lastDurationS = 0.0;
    bool m_ended = false;
    int m_statusWidth = 0;
};
