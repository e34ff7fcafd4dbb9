#ifndef TEVRANO_RECORDFILE_H
#define TEVRANO_RECORDFILE_H

#include "marker.h"

#include <QIODevice>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <climits>
#include <functional>
#include <optional>

class QFile;
class QIODevice;

// The samples of one recording as three parallel arrays: entry i of each
// belongs to the same sample. A sample without an ambient reading holds NaN
// in `ambients`, so the arrays always keep the same length.
struct RecordSeries
{
    QVector<double> durations;    // seconds since the recording started
    QVector<double> temperatures; // object temperature
    QVector<double> ambients;     // ambient temperature, NaN when unknown
};

// What a record file's header says about the recording.
struct RecordHeader
{
    QString application;
    qint64 startMsecs = 0; // first sample, milliseconds since the epoch
    float emissivity = 0.0f;
    int unit = 2;            // 1 Fahrenheit, 2 Celsius
    int recordInterval = 10; // milliseconds between samples
    // Written as header lines before the count; a file that grows while the
    // recording runs gets later ones among its rows (RecordAppender::appendMarker).
    QVector<Marker> markers = {};
};

// Why an import gave up.
enum class RecordFailure {
    None,
    Unreadable,     // the device could not be opened or read
    NotARecord,     // no column header with the temperature and time columns
    TooManySamples, // more samples than the limit the reader was given; nothing kept
    OutOfMemory,
    Cancelled, // the progress receiver asked to stop; nothing kept
};

// Everything a record file yields on import. Header values the file does not
// carry stay empty, so the caller can keep what it had.
struct RecordImport
{
    RecordSeries series;
    int dataCount = 0; // "DataCounts", 0 when absent or not a number
    std::optional<int> unit;
    std::optional<float> emissivity;
    std::optional<qint64> startMsecs; // "Date", local time
    QVector<Marker> markers;          // from the header and among the rows, in file order
    float maxTemperature = -1000.0f;
    float minTemperature = 10000.0f;
    RecordFailure failure = RecordFailure::None; // set whenever reading returns false
    // Lines after the column header that gave no sample (too few fields, too long).
    qint64 skippedLines = 0;
};

// The most samples one series can hold in memory at all.
inline constexpr qint64 MaxRecordSamples = (qint64(INT_MAX) - 64) / qint64(sizeof(double));

// Receives progress in percent; called only when the percentage changes. Returning false stops
// the operation, which then fails (a read with RecordFailure::Cancelled).
using RecordProgress = std::function<bool(int percent)>;

// A sample's time: the recording's start plus its measured duration (seconds), to the millisecond.
// The Time column, the CSV export and tevrano-log all give a sample this time.
qint64 sampleTime(qint64 startMsecs, double duration);

// Whether a sample taken `sinceReadingMs` after the latest valid object reading is a gap (NaN):
// no reading for more than max(1 s, 2 x the record interval).
bool isSampleGap(qint64 sinceReadingMs, int recordIntervalMs);

// Decimals of the Duration column: finer intervals need finer durations.
int durationDecimals(int recordIntervalMs);

// Writes header, column header and one TAB-separated row per sample. Returns
// false as soon as the device refuses a write.
bool writeRecord(QIODevice &device,
                 const RecordHeader &header,
                 const RecordSeries &series,
                 const RecordProgress &progress = {});

// The header lines and the column header alone, with `count` as "DataCounts"
// (0 when the number is not known yet).
bool writeRecordHeader(QIODevice &device, const RecordHeader &header, int count);
// Appends the rows of `series` as the recording's samples from `firstIndex`
// (0-based) on, behind a header written before: a file that grows while the
// recording runs.
bool appendRecordRows(QIODevice &device,
                      const RecordHeader &header,
                      const RecordSeries &series,
                      int firstIndex);
// Appends a marker line behind the rows written so far.
bool appendRecordMarker(QIODevice &device, const Marker &marker);

// Parses a record file from the device's current position. Returns false, with
// `result.failure` saying why, when the column header is missing or lacks the
// temperature and time columns, when the file holds more than `sampleLimit`
// samples or when memory runs out; `result` is then left in an unspecified
// state. A device that can seek is read twice, counting before keeping, so the
// series is allocated once at its final size and a file over the limit is
// refused before anything is kept; the reader then needs little beyond the
// series itself. A sequential device is read once and may take up to three
// times the series while it grows.
bool readRecord(QIODevice &device,
                RecordImport &result,
                const RecordProgress &progress = {},
                qint64 sampleLimit = MaxRecordSamples);

// Writes `path` through a temporary file that replaces it only once `write`
// returned true and everything reached the disk; otherwise the earlier file
// stays as it was.
// `extraMode` joins WriteOnly: Text for text files, NotOpen for bytes.
bool saveFileAtomically(const QString &path,
                        const std::function<bool(QIODevice &)> &write,
                        QString *error = nullptr,
                        QIODevice::OpenMode extraMode = QIODevice::Text);
// Local time of day for a run of nearby instants without a time-zone lookup
// per instant: the UTC offset is looked up again only when a new quarter hour
// begins.
class LocalClock
{
public:
    qint64 msOfDay(qint64 msecsSinceEpoch);

private:
    static qint64 floorDiv(qint64 a, qint64 b) { return a / b - (a % b < 0 ? 1 : 0); }

    bool m_valid = false;
    qint64 m_period = 0;
    qint64 m_offsetMs = 0;
};

// Writes a record file one sample at a time, for recordings that are saved as
// they run. The header goes out first with a blank "DataCounts:" field wide
// enough for any count; finish() fills it in. On a device that cannot seek the
// field stays blank, which readers take as an unknown count. The device must
// not translate line ends, or the field's offset would be off.
class RecordAppender
{
public:
    RecordAppender(QIODevice &device, const RecordHeader &header);

    // Each returns false as soon as the device refuses a write.
    bool start();
    // NaN for an unknown temperature or ambient.
    bool append(double duration, double temperature, double ambient);
    // A marker line between the rows written so far and the next.
    bool appendMarker(const Marker &marker);
    bool finish();

    int count() const { return m_count; }

private:
    QIODevice &m_device;
    const RecordHeader m_header;
    LocalClock m_clock;
    qint64 m_countAt = 0;
    int m_count = 0;
};

// File front ends. Saving goes through a temporary file that replaces `path`
// only once everything was written, so a failed save never leaves a
// half-written file behind. `error` receives a diagnostic when non-null.
bool saveRecordFile(const QString &path,
                    const RecordHeader &header,
                    const RecordSeries &series,
                    const RecordProgress &progress = {},
                    QString *error = nullptr);
bool loadRecordFile(const QString &path,
                    RecordImport &result,
                    const RecordProgress &progress = {},
                    QString *error = nullptr,
                    qint64 sampleLimit = MaxRecordSamples);

// Opens `file` read-only for the loaders; false, with a diagnostic in `error`
// when non-null, when it cannot.
bool openRecordFile(QFile &file, QString *error);

#endif // TEVRANO_RECORDFILE_H
