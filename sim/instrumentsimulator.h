#pragma once

#include "instrumentstate.h"
#include "simprotocol.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

// The instrument on the far side of a pseudo-terminal. Runs its own I/O thread; every public
// member may be called from any thread.
class InstrumentSimulator
{
public:
    struct Config
    {
        SimProtocol::Framing framing = SimProtocol::Framing::Xor;
        int baud = 9600; // answers only while the line is set to this rate; 0 answers at any
        InstrumentState::Identity identity;
        quint32 featureMask = 0x144E01F6;
        bool requireWriteEnable = false;
        QString linkPath; // a symbolic link to the device, kept across unplug and replug
        QString logPath;  // every frame as a text line, besides the in-memory log
    };

    struct Faults
    {
        bool silent = false;         // answers nothing
        bool garbage = false;        // answers random bytes
        bool badChecksum = false;    // answers with the last byte flipped
        int splitPieces = 1;         // answers in this many pieces ..
        int splitDelayMs = 0;        // .. this far apart
        int answerDelayMs = 0;       // waits this long before answering ..
        int delayEvery = 1;          // .. only every this many answers
        int noiseBytesPerSecond = 0; // random bytes on the line besides the answers ..
        int noiseForMs = 0;          // .. for this long after the faults were set; 0 without end
        int onlyCode = -1;           // the answer faults touch only answers to this code ..
        int faultyAnswers = 0;       // .. and only this many of them; 0 without end
    };

    enum class Direction { Received, Sent, Ignored };
    struct LogEntry
    {
        qint64 msecsSinceEpoch;
        Direction direction;
        QByteArray bytes;
    };

    explicit InstrumentSimulator(const Config &config);
    ~InstrumentSimulator();
    InstrumentSimulator(const InstrumentSimulator &) = delete;
    InstrumentSimulator &operator=(const InstrumentSimulator &) = delete;

    // Creates the pseudo-terminal and starts answering.
    bool start(QString *error = nullptr);

    // The link path when one was asked for, else the terminal's own path.
    QString devicePath() const;

    void setFaults(const Faults &faults);
    void setObjectTemperature(std::optional<double> celsius);
    // The profile's time begins now (at start() when set before).
    void setProfile(std::optional<TemperatureProfile> profile);
    void setAmbientTemperature(double celsius);
    void setIdentity(InstrumentState::Identity identity);
    void setRegister(uchar readCode, quint32 value);
    quint32 registerValue(uchar readCode) const;

    // Closes the instrument's side, as a pulled cable would; replug makes a new terminal and
    // points the link at it.
    void unplug();
    bool replug(QString *error = nullptr);

    QList<LogEntry> log() const;
    // The requests received so far, each as its whole frame.
    QList<QByteArray> receivedFrames() const;
    void clearLog();
    static QString formatLogEntry(const LogEntry &entry);

private:
    bool openTerminal(QString *error);
    void closeTerminal();
    void run();
    void handle(const SimProtocol::Request &request);
    bool lineRateMatches() const;
    void send(const QByteArray &frame);
    void sendNoise();
    void record(Direction direction, const QByteArray &bytes);
    bool pause(int ms); // false when stopping

    const Config m_config;
    mutable std::mutex m_mutex; // guards everything below but the fds, which the thread owns
    std::condition_variable m_wake;
    InstrumentState m_state;
    Faults m_faults;
    QList<LogEntry> m_log;
    QString m_terminalPath;
    bool m_stopping = false;
    qint64 m_startedAt = 0;
    std::mt19937 m_random{7};
    qint64 m_faultsSetAt = 0;
    qint64 m_answers = 0;
    int m_faultedAnswers = 0;   // since the faults were set
    qint64 m_noiseSentUpTo = 0; // the noise owed up to this instant has gone out
    std::FILE *m_logFile = nullptr;

    int m_master = -1;
    int m_slave = -1; // kept open so the terminal lives on while the program closes its side
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
};
