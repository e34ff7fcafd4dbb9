#pragma once

#include "instrument.h"
#include "logoptions.h"
#include "logoutput.h"
#include "recordingsession.h"
#include "trigger.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class InstrumentSet;
class Publisher;

// Exit status of tevrano-log.
enum LogExit { ExitDone = 0, ExitFailed = 1, ExitNoInstrument = 2, ExitOutputFailed = 3 };

// Records each instrument through a RecordingSession of its own and writes each of its rows as
// it is taken, until the duration ends, stop() is called or nobody reads the output any more.
// A row taken while no valid reading comes, or while its instrument is gone, is a gap; an
// instrument reconnects by itself after a loss, on a given port as after the automatic search,
// and its rows go on. With several instruments (an InstrumentSet) they share one csv or jsonl
// stream, each row whole and naming its instrument, or have a record file each.
class Logger : public QObject
{
    Q_OBJECT
public:
    explicit Logger(const LogOptions &options, QObject *parent = nullptr);
    ~Logger() override;

    // Opens the output, then searches: for one instrument blocking, and opens it; for several
    // the search goes on while the run does. Returns the exit status when it ended already;
    // otherwise finished comes later.
    std::optional<int> start();

public slots:
    // Completes the files and ends with ExitDone.
    void stop();
    // Goes with each instrument's next row; with a trigger, only if that row is written.
    void addMarker(const QString &text);

signals:
    void finished(int exitStatus);

private:
    struct Channel;

    void startOne();
    void startSeveral(const QList<qint32> &rates);
    Channel &addChannel(Instrument *instrument, const QString &serialNumber);
    void attachSession(Channel &channel);
    void retire(Channel &channel);
    void fail(int exitStatus, const QString &message);
    void end(int exitStatus);
    // Writes the rows its session took. They wait for the serial number, which names them,
    // unless `last` or it is overdue.
    void writeRows(Channel &channel, bool last = false);
    bool named(Channel &channel);
    // The record file of its own, opened at its first row; false when it cannot be.
    bool openFile(Channel &channel);
    LogOutput &outputOf(Channel &channel);
    QString pathOf(const Channel &channel) const;
    // Writes one row and publishes it; on failure the run ends and false comes back.
    bool write(Channel &channel, const LogRow &row, const RecordHeader &header);
    void drawStatus();
    void printNote(const QString &message);
    void publish(Channel &channel, const LogRow &row);

    const LogOptions m_options;
    std::unique_ptr<Instrument> m_instrument; // with one instrument
    std::unique_ptr<InstrumentSet> m_set;     // with several
    std::vector<std::unique_ptr<Channel>> m_channels;
    LogOutput m_output; // csv and jsonl rows of all instruments; the record file of one
    std::unique_ptr<Publisher> m_publisher; // with --mqtt
    // Wall-clock time elapsed_s and --duration count from.
    std::optional<qint64> m_runStartMsecs;
    QTimer m_statusTimer;
    QTimer m_searchCheck; // several: until the first instrument joins
    double m_lastElapsedS = 0.0;
    int m_status = ExitDone;
    bool m_ending = false;
    bool m_ended = false;
    int m_statusWidth = 0;
};
