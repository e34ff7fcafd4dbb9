#ifndef TEVRANO_RECORDINGSESSION_H
#define TEVRANO_RECORDINGSESSION_H

#include "instrument.h"
#include "recordfile.h"
#include "samplestore.h"
#include "trigger.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

class QTimer;
class RecordJournal;
class SamplingClock;

// Where the sampling clock stands `elapsedMs` into a recording sampled every `intervalMs`, the
// last sample taken in slot `lastSlot` at `lastTakenMs`: whether a sample is due, in which slot,
// and how long until the clock should look again.
struct SamplingSlot
{
    bool due = false;
    qint64 slot = 0;
    qint64 delayMs = 0;
};
SamplingSlot samplingSlot(qint64 elapsedMs, qint64 intervalMs, qint64 lastSlot, qint64 lastTakenMs);

// The time origin of recordings on one time axis: the wall clock and the steady clock of their
// first sample, fixed by whichever of them takes it. Touched on the sessions' owner thread only.
struct SharedOrigin
{
    std::optional<qint64> wallMsecs;
    QElapsedTimer steady;
};

// One recording, without widgets: fed by an instrument's time-stamped readings and connection
// state, it takes one sample per interval on a sampling thread of its own, keeps the samples
// (with their running extremes), journals them and knows the header facts (start, emissivity,
// unit) as the instrument reported them. The window and tevrano-log both record through it.
//
// Times: the start is the wall clock when the first sample was taken, and every sample's
// Duration is measured on the steady clock from there, so start + Duration is the sample's
// time wherever it is written. A tick that comes too late for its slot is skipped, never
// taken twice.
//
// Lives on the thread that creates it (which needs an event loop); only takeSample() runs on
// the sampling thread. What both touch is behind one lock or inside SampleStore.
class RecordingSession : public QObject
{
    Q_OBJECT

public:
    enum class End { Stopped, LimitReached };
    Q_ENUM(End)

    static constexpr int MinIntervalMs = 1;
    static constexpr int MaxIntervalMs = 24 * 3600 * 1000;
    // Without the emissivity, the first sample waits this long for the instrument to report it.
    static constexpr int HeaderWaitMs = Instrument::NotRespondingAfterMs;

    explicit RecordingSession(QObject *parent = nullptr);
    ~RecordingSession() override;

    // Readings, connection state, emissivity and unit come from `instrument` from now on; not
    // owned, must outlive the session or be detached by its destruction. Without an instrument
    // readings are handed in by feed() and count as coming from a connected one. Another
    // instrument, or null, replaces the one attached.
    void attach(Instrument *instrument);

    // Milliseconds between samples, clamped to [MinIntervalMs, MaxIntervalMs]; taken at start().
    void setInterval(int ms);
    int interval() const { return m_interval; }
    // The recording ends by itself once it holds `samples`.
    void setSampleLimit(int samples);
    int sampleLimit() const { return m_limit; }

    // Every recording from the next one on is journalled at `path`; empty keeps no journal.
    void setJournalPath(const QString &path);
    // Null without a journal path.
    RecordJournal *journal() const { return m_journal.get(); }

    // From the next start() on, only captures around `trigger` are kept: the samples of its `pre`
    // seconds, those while it holds and those of `post` seconds after it cleared, each capture
    // opened by a marker naming the trigger. Durations still count from the first sample taken,
    // so all captures lie on one time axis. With `once` the recording ends after the first.
    // None keeps every sample.
    void setTrigger(std::optional<Trigger> trigger) { m_trigger = std::move(trigger); }
    const std::optional<Trigger> &trigger() const { return m_trigger; }

    // From the next start() on, the recording is one of a group's: its Durations count from
    // `origin` (which its first sample fixes when no other session's did) and the group's clock
    // calls takeSample(), the session's own clock stays idle. Null records alone again.
    void shareOrigin(std::shared_ptr<SharedOrigin> origin) { m_origin = std::move(origin); }

    // Drops the samples held and arms a recording: its first sample is taken once a reading has
    // arrived and the emissivity is known (or the instrument had its time to report it).
    void start();
    // Ends the recording; its journal is completed. finished(Stopped) follows.
    void stop();
    // Armed or sampling.
    bool isRecording() const { return m_armed; }
    // Sampling: the first sample was taken.
    bool isSampling() const;

    // One sample now from the latest readings; the sampling clock calls it once per slot.
    // Thread-safe. Does nothing unless sampling.
    void takeSample();

    // Replaces what is held by an imported record; its header facts replace the recording's.
    void load(RecordImport imported);
    // Converts the samples held, and their header, to a unit (1 Fahrenheit, 2 Celsius); samples
    // taken later follow. Another code is kept, the values left as they are.
    void setUnit(int code);
    int unit() const;

    // A recording, or a restored journal, neither saved nor discarded yet.
    bool hasUnsaved() const { return m_unsaved; }
    void setUnsaved(bool unsaved) { m_unsaved = unsaved; }
    // The recording held needs no keeping any more: its journal goes.
    void discard();

    // A marker of the recording held; while it runs the journal keeps it among the rows. It stays
    // with the recording until the next start() or load() and goes into every file written.
    void addMarker(const Marker &marker);
    QVector<Marker> markers() const;
    // Replaces the markers held, as edited in a view; what the journal wrote stays.
    void setMarkers(const QVector<Marker> &markers);

    // What a file written now says in its header, markers included.
    RecordHeader header() const;
    // Wall-clock time of the first sample, when known.
    std::optional<qint64> startMsecs() const;
    const SampleStore &samples() const { return m_samples; }
    SampleStore &samples() { return m_samples; }

    // The clock of Instrument::Reading::monotonicMs.
    static qint64 steadyNowMs();

public slots:
    // A poll step's readings; NaN for what did not arrive.
    void feed(const Instrument::Reading &reading);
    void setConnectionState(Instrument::ConnectionState state);
    void noteParameter(Instrument::Parameter parameter, double value);

signals:
    // The first sample was taken; header() holds the start.
    void started();
    // A sample was taken (emitted on the sampling thread).
    void sampled();
    // A marker was added, by addMarker() or by a capture that opened.
    void markerAdded(const Marker &marker);
    void finished(RecordingSession::End end);

private:
    void beginIfReady();
    void begin();
    void end(End reason);
    void tick();
    // Hands a sample to the store, through the capture when there is one. Under m_lock; false
    // once the store is full.
    bool keepSample(double duration, double object, double ambient);

    SampleStore m_samples;
    std::unique_ptr<RecordJournal> m_journal;
    QPointer<Instrument> m_instrument;

    // Guards what the sampling step reads and a unit conversion changes.
    mutable QMutex m_lock;
    bool m_sampling = false;
    QElapsedTimer m_clock; // since the first sample
    qint64 m_lastSlot = -1;
    qint64 m_lastTakenMs = 0;
    double m_object = 0.0;
    double m_ambient = 0.0;
    qint64 m_objectAt = -1; // steady ms of the latest valid object reading
    bool m_connected = true;
    int m_feedUnit = 2;
    RecordHeader m_header;
    std::optional<qint64> m_start;
    bool m_alarm = false;
    struct Held
    {
        double duration;
        double object;
        double ambient;
    };
    std::optional<TriggeredCapture<Held>> m_capture;

    // Owner thread only.
    bool m_armed = false;
    bool m_unsaved = false;
    double m_emissivity = std::nan("");
    int m_interval = 10;
    int m_limit = 1000 * 1000;
    std::optional<Trigger> m_trigger;
    std::shared_ptr<SharedOrigin> m_origin;
    QElapsedTimer m_armedFor;
    QTimer *m_headerWait = nullptr;
    std::unique_ptr<SamplingClock> m_ticker;
};

#endif // TEVRANO_RECORDINGSESSION_H
