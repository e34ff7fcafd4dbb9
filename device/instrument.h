#pragma once

#include "alarm.h"
#include "serialports.h"

#include <QHash>
#include <QMetaType>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

class SerialLink;
namespace RegisterTable {
struct Register;
}
class QFileSystemWatcher;
class QThread;
class QTimer;

// The instrument behind one serial port: finds it, opens and closes it, polls it, reads and
// writes its parameters, tells a silent instrument from a vanished one, and after a loss
// reconnects by itself. No widgets: a window or a command-line program is its view.
//
// Lives on the thread that creates it, which needs an event loop; every signal is emitted
// there. It owns the serial link, which runs every transaction on a thread of its own: requests
// only queue work there and return at once, and never wait on the line.
//
// A read that fails every try is read again after a later valid poll (once a second at most)
// until it succeeds; a write whose answer is missing is confirmed by reading it back.
class Instrument : public QObject
{
    Q_OBJECT
public:
    enum class ConnectionState {
        Closed,        // never opened, or closed on request
        NoInstrument,  // the last search found nothing
        Connected,     // port open, the instrument answers
        NotResponding, // port open, no valid object reading for more than NotRespondingAfterMs
        Lost,          // the port vanished; watching for it to come back
    };
    Q_ENUM(ConnectionState)

    // The values the instrument reports and takes. Temperatures are in degrees Celsius,
    // times in seconds; switches and choices are 0/1 or the instrument's index.
    enum class Parameter {
        Emissivity,
        Transmissivity,
        RangeLow,
        RangeHigh,
        HighAlarm,
        LowAlarm,
        HighAlarmEnabled,
        LowAlarmEnabled,
        OutputLow,
        OutputHigh,
        SuperHoldValue,
        AverageTime,
        HoldTime, // of the current hold mode (peak or valley)
        HoldMode, // 0 real, 1 peak, 2 valley, 3 advanced peak
        AnalogOutput,
        Unit, // 1 Fahrenheit, 2 Celsius
        Backlight,
        Laser,
        RangeMode, // 0 normal, 1 body temperature
        SerialNumber,
        Relay1,
        Relay2,
    };
    Q_ENUM(Parameter)

    // A port and how the instrument on it talks.
    struct Link
    {
        QString portName;
        qint32 baud = 0;
        int framing = 0; // SerialFrame::Framing
    };

    // What the instrument's feature mask says it has. Unset: the framing's mask does not say.
    struct Features
    {
        bool emissivity = false;
        std::optional<bool> transmissivity;
        bool outputRange = false;
        bool alarms = false;
        bool analogOutput = false;
        bool averageTime = false;
        bool holdMode = false;
        bool laser = false;
        bool backlight = false;
        bool unit = false;
        bool rangeMode = false;
        std::optional<bool> modbus;
        bool relays = false;
    };

    // One poll step: object and ambient temperature in `unit`, NaN for what did not arrive.
    // Both times are taken when the step's last answer completed: the wall clock for stamps,
    // the steady clock (QElapsedTimer's reference, in ms) for durations.
    struct Reading
    {
        double object = std::nan("");
        double ambient = std::nan("");
        int unit = 2;
        qint64 msecsSinceEpoch = 0;
        qint64 monotonicMs = 0;
    };

    // Whether the parameter is a temperature (kept in Celsius, like the instrument's registers).
    static bool isTemperature(Parameter parameter);

    static constexpr int NotRespondingAfterMs = 3000;
    static constexpr int WatchIntervalMs = 1000;

    explicit Instrument(QObject *parent = nullptr);
    ~Instrument() override;

    // ---- Finding and opening. The probes and search block the calling thread (about 1.4 s at
    // most per port and rate when nothing answers); startSearch does not.

    // One port at one rate, both framings.
    static std::optional<Link> probe(const QString &portName, qint32 baud);
    // The given ports (every listed port but debug adapters when empty) at the given rates
    // (9600 then 115200 when empty); the first answer wins. Nothing found while no port is
    // open: state NoInstrument.
    std::optional<Link> search(const QStringList &ports = {}, const QList<qint32> &rates = {});
    // The same search on a thread of its own, so the caller's thread goes on; `done` is called
    // on this object's thread with what was found. False while another search is under way.
    bool startSearch(const QStringList &ports,
                     const QList<qint32> &rates,
                     const std::function<void(const std::optional<Link> &)> &done);
    // Opens the port; on success reads the identity (which starts the parameter reads) and
    // starts polling. A failure emits openFailed.
    void open(const Link &link);
    // Closes the port on request: state Closed, no reconnection.
    void close();

    // Polling starts by itself whenever the port opens. After stopPolling the step under way
    // still ends; startPolling resumes while the port is open.
    void startPolling();
    void stopPolling();
    bool isPolling() const;
    // 0 (the default) polls back to back; otherwise one object/ambient pair per interval.
    void setPollInterval(int ms);
    int pollInterval() const;

    // ---- State.
    ConnectionState state() const { return m_state; }
    bool isOpen() const;
    Link link() const { return m_link; }
    quint16 model() const { return m_model.load(); }
    bool writeEnableRequired() const { return m_writeEnableRequired; }
    // The unit the instrument last confirmed (1 Fahrenheit, 2 Celsius); other answers are ignored.
    int unit() const { return m_unit; }
    // A parameter as last read or written; NaN when unknown.
    double parameter(Parameter parameter) const;
    float rangeLow() const { return m_rangeLow; }
    float rangeHigh() const { return m_rangeHigh; }
    qint32 serialNumber() const { return m_serialNumber; }
    quint16 relay1() const { return m_relay1; }
    quint16 relay2() const { return m_relay2; }
    Features features() const { return m_features; }
    // The latest valid readings, whichever step brought them.
    Reading latest() const { return m_latest; }
    // Milliseconds since the epoch of the last valid object answer; 0 before the first.
    qint64 lastResponseTime() const { return m_lastResponseTime; }
    // Judged on each object reading in Celsius, so the hysteresis is 0.5 degree Celsius; ends
    // when the port closes or is lost.
    AlarmState alarmState() const { return m_alarmShown; }
    // The thresholds and their switches as last read, in the instrument's unit.
    AlarmThresholds alarmThresholds() const;
    // Time-out and unknown errors since the last valid answer.
    int errorCount() const { return m_errorCount; }
    // The serial link, for tests that talk to it directly.
    SerialLink *serial() const { return m_serial.get(); }

    // ---- Requests. Writes that need it are preceded by the write-enable command.
    void writeParameter(Parameter parameter, double value);
    void writeRelays(quint16 relay1, quint16 relay2);
    void setModbus(bool on);
    // Answered by factoryResetDone; then every parameter is read again.
    void factoryReset();
    // The identity-started reads of range, emissivity, outputs and serial number.
    void readParameters();

public slots:
    // The dispatcher of every answer of the serial link; `ok` false for a failed transaction.
    void recvdata(uchar code, const QByteArray &data, bool ok);
    void handleSerialError(QSerialPort::SerialPortError error);

signals:
    void connectionStateChanged(Instrument::ConnectionState state);
    // The port is open (first time or after a reconnection) and polling starts.
    void opened(const Instrument::Link &link);
    void openFailed(const Instrument::Link &link);
    void identityRead(quint16 model, bool writeEnableRequired);
    void featuresRead(const Instrument::Features &features);
    void parameterRead(Instrument::Parameter parameter, double value);
    // A valid object reading inside the range (any, while the range is unknown), in `unit`.
    void objectTemperature(double value, int unit, qint64 msecsSinceEpoch);
    void ambientTemperature(double value, int unit, qint64 msecsSinceEpoch);
    // After each poll step.
    void readings(const Instrument::Reading &reading);
    void factoryResetDone(bool success);
    // The instrument confirmed another unit; latest() is already converted.
    void unitChanged(int unit, int previous);
    // Before the objectTemperature that started or ended it.
    void alarmChanged(AlarmState state);
    // A threshold or its switch was read or written, or the unit changed.
    void alarmThresholdsChanged(const AlarmThresholds &thresholds);
    void modbusSwitched(bool on);

private:
    static std::optional<Link> find(const QStringList &ports, const QList<qint32> &rates);
    void openLink();
    void onOpened(bool ok);
    void onClosed();
    void tick();
    void watchForReturn();
    void setState(ConnectionState state);
    // Closed on request, with the last answers still on their way.
    bool closing() const { return m_state == ConnectionState::Closed && m_closesPending > 0; }
    void readAll(std::initializer_list<uchar> codes);
    void readFailed(uchar code);
    void reopenInOtherFraming();
    void rereadFailed();
    uchar objectCode() const;
    void store(Parameter parameter, double value);
    void handleIdentity(const QByteArray &data, int framing);
    void handleObjectTemperature(const QByteArray &data, int framing);
    void handleAmbientTemperature(const QByteArray &data, int framing, bool ok);
    void handleFeatureMask(const QByteArray &data, int framing);
    void handleRegister(const RegisterTable::Register &reg, double value);
    void handleHoldMode(uchar mode);
    void handleUnit(int unit);
    void setAlarmState(AlarmState state);

    std::unique_ptr<SerialLink> m_serial;
    std::unique_ptr<QThread> m_searchThread;
    QTimer *m_tick = nullptr;
    // Notices a lost port's return between two ticks where the system tells.
    QFileSystemWatcher *m_portWatcher = nullptr;
    ConnectionState m_state = ConnectionState::Closed;
    Link m_link;
    SerialPortEntry m_portEntry; // what the port list said about the open port
    // Open requests and results are numbered in the order the worker handles them.
    int m_openRequests = 0;
    int m_openResults = 0;
    int m_ignoreOpensUpTo = 0; // opens overtaken by a close
    int m_reconnectRequest = 0;
    int m_closesPending = 0;
    qint64 m_openedAt = 0;
    bool m_reopened = false; // the open port came back after a loss

    std::atomic<quint16> m_model{0};
    bool m_writeEnableRequired = true;
    int m_unit = 2;
    float m_rangeLow = 0.0f;
    float m_rangeHigh = 0.0f;
    qint32 m_serialNumber = 0;
    quint16 m_relay1 = 0xFFFF;
    quint16 m_relay2 = 0xFFFF;
    Features m_features;
    QHash<int, double> m_values;
    AlarmMonitor m_alarm; // in Celsius
    AlarmState m_alarmShown = AlarmState::None;
    Reading m_latest;
    double m_stepObject = std::nan("");
    // Reads that failed every try, read again after a later valid poll.
    QList<uchar> m_failedReads;
    qint64 m_rereadAt = 0; // steady clock
    qint64 m_lastResponseTime = 0;
    int m_errorCount = 0;
};

// Readings are coming, or stopped only a moment ago: what is shown of the instrument is live.
inline bool showsLiveReadings(Instrument::ConnectionState state)
{
    return state == Instrument::ConnectionState::Connected
           || state == Instrument::ConnectionState::NotResponding;
}

Q_DECLARE_METATYPE(Instrument::Link)
Q_DECLARE_METATYPE(Instrument::Features)
Q_DECLARE_METATYPE(Instrument::Reading)
Q_DECLARE_METATYPE(AlarmState)
Q_DECLARE_METATYPE(AlarmThresholds)
