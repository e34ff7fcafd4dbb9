#include "recordfile.h"

#include "blockwriter.h"
#include "unittext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

namespace {

constexpr qint64 kMsecsPerDay = 24 * 3600 * 1000;
// Local offsets change only at quarter-hour boundaries in every time zone in use.
constexpr qint64 kOffsetPeriodMs = 15 * 60 * 1000;
// No meaningful record line comes near this; longer lines are not interpreted,
// which keeps a garbage file from growing one huge line buffer.
constexpr int kMaxLineLength = 4096;
constexpr int kChunkSize = 1 << 16;
// Share of `done` in `total` as a whole percentage, 0 when the total is unknown. Counts and
// file sizes stay far below the 2^56 where the product would overflow.
int percentOf(qint64 done, qint64 total)
{
    return total > 0 ? int(std::clamp<qint64>(done, 0, total) * 100 / total) : 0;
}

char *putFixed(char *out, char *end, double value, int decimals)
{
    return std::to_chars(out, end, value, std::chars_format::fixed, decimals).ptr;
}

char *putTwoDigits(char *out, int value)
{
    *out++ = char('0' + value / 10);
    *out++ = char('0' + value % 10);
    return out;
}

// "hh:mm:ss:zzz" of a millisecond of the day.
char *putTimeOfDay(char *out, qint64 msOfDay)
{
    const int ms = int(msOfDay % 1000);
    const int seconds = int(msOfDay / 1000);
    out = putTwoDigits(out, seconds / 3600);
    *out++ = ':';
    out = putTwoDigits(out, seconds / 60 % 60);
    *out++ = ':';
    out = putTwoDigits(out, seconds % 60);
    *out++ = ':';
    *out++ = char('0' + ms / 100);
    return putTwoDigits(out, ms % 100);
}

QByteArray headerText(const RecordHeader &header, const QString &count)
{
    QString text = header.application + QLatin1Char('\n');
    text += QStringLiteral("Date:")
            + QDateTime::fromMSecsSinceEpoch(header.startMsecs)
                      .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"))
            + QLatin1Char('\n');
    text += QStringLiteral("Emissivity:") + QString::number(double(header.emissivity), 'g', 6)
            + QLatin1Char('\n');
    text += QStringLiteral("Unit:") + QString::number(header.unit) + QLatin1Char('\n');
    if (header.unit == 1)
        text += QStringLiteral("UnitSymbol:") + QCoreApplication::translate("ChartWidget", "℉")
                + QLatin1Char('\n');
    else if (header.unit == 2)
        text += QStringLiteral("UnitSymbol:") + QCoreApplication::translate("ChartWidget", "℃")
                + QLatin1Char('\n');
    QByteArray bytes = text.toLocal8Bit();
    // Marker texts are UTF-8 wherever the file is written, so they read back the same anywhere.
    for (const Marker &marker : header.markers)
        bytes += markerLine(marker) + '\n';
    bytes += "DataCounts:" + count.toLatin1() + '\n';
    bytes += "Index,Duration,Temperature,Tamb,Time\n";
    return bytes;
}

// "Index<TAB>Duration<TAB>Temperature<TAB>Tamb<TAB>Time" and a line feed; `out` has room for
// kRowSlack bytes. Unknown temperatures (gaps) stay empty fields.
char *putRow(char *out,
             char *end,
             int index,
             double duration,
             double temperature,
             double ambient,
             int decimals,
             qint64 msOfDay)
{
    out = std::to_chars(out, end, index).ptr;
    *out++ = '\t';
    out = putFixed(out, end, duration, decimals);
    *out++ = '\t';
    if (std::isfinite(temperature))
        out = putFixed(out, end, temperature, kTemperatureDecimals);
    *out++ = '\t';
    if (std::isfinite(ambient))
        out = putFixed(out, end, ambient, kTemperatureDecimals);
    *out++ = '\t';
    out = putTimeOfDay(out, msOfDay);
    *out++ = '\n';
    return out;
}

// Room for any int, so the count can be rewritten in place.
constexpr int kCountWidth = 10;

// ---- reading ---------------------------------------------------------------

std::string_view trimmed(std::string_view text)
{
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// The number filling the whole field (blanks around it and a leading '+'
// allowed, "." as decimal point), or nothing.
template<typename Number>
std::optional<Number> parseWhole(std::string_view field)
{
    field = trimmed(field);
    if (!field.empty() && field.front() == '+')
        field.remove_prefix(1);
    Number value{};
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (error != std::errc() || end != field.data() + field.size())
        return std::nullopt;
    return value;
}

// Text that is not a finite number counts as 0.
double parseNumber(std::string_view field)
{
    const std::optional<double> value = parseWhole<double>(field);
    return value && std::isfinite(*value) ? *value : 0.0;
}

int parseInt(std::string_view field)
{
    return parseWhole<int>(field).value_or(0);
}

// Splits at `separator`, keeping empty parts.
QVector<std::string_view> split(std::string_view text, char separator)
{
    QVector<std::string_view> parts;
    for (;;) {
        const size_t at = text.find(separator);
        parts.append(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

// Hands out the device's lines without their terminator, reading in blocks.
// Lines longer than kMaxLineLength come back empty and flagged, their bytes
// dropped as they arrive. `goOn`, when given, is asked before each block with the bytes
// consumed so far; false ends the reading as if the device had ended, even inside a line
// (a file of gigabytes without a line end is one such line).
class LineReader
{
public:
    explicit LineReader(QIODevice &device, std::function<bool(qint64 consumed)> goOn = {})
        : m_device(device)
        , m_goOn(std::move(goOn))
    {}

    bool next(std::string_view &line, bool &overlong)
    {
        overlong = false;
        for (;;) {
            const char *begin = m_buffer.constData() + m_start;
            const int available = m_buffer.size() - m_start;
            const void *newline = std::memchr(begin, '\n', size_t(available));
            if (newline) {
                const int length = int(static_cast<const char *>(newline) - begin);
                m_start += length + 1;
                m_consumed += length + 1;
                overlong = overlong || length > kMaxLineLength;
                line = overlong ? std::string_view() : std::string_view(begin, size_t(length));
                return true;
            }
            if (available > kMaxLineLength) {
                // Keep only the fact that this line is too long.
                overlong = true;
                m_consumed += available;
                m_start = m_buffer.size();
            }
            if (!refill()) {
                if (m_buffer.size() == m_start && !overlong)
                    return false;
                const int length = m_buffer.size() - m_start;
                line = overlong ? std::string_view()
                                : std::string_view(m_buffer.constData() + m_start, size_t(length));
                m_consumed += length;
                m_start = m_buffer.size();
                return true;
            }
        }
    }

    qint64 consumed() const { return m_consumed; }

private:
    bool refill()
    {
        if (m_goOn && !m_goOn(m_consumed))
            return false;
        m_buffer.remove(0, m_start);
        m_start = 0;
        const int kept = m_buffer.size();
        m_buffer.resize(kept + kChunkSize);
        const qint64 got = m_device.read(m_buffer.data() + kept, kChunkSize);
        m_buffer.resize(kept + int(std::max<qint64>(got, 0)));
        return got > 0;
    }

    QIODevice &m_device;
    const std::function<bool(qint64 consumed)> m_goOn;
    QByteArray m_buffer;
    int m_start = 0;
    qint64 m_consumed = 0;
};

struct Columns
{
    int temperature = -1;
    int x = -1;
    int ambient = -1;
    int needed() const { return std::max(temperature, x); }
};

std::optional<Columns> parseColumnHeader(std::string_view line)
{
    const QVector<std::string_view> names = split(trimmed(line), ',');
    auto position = [&](std::string_view name) {
        return int(names.indexOf(name));
    };
    Columns columns;
    columns.temperature = position("Temperature");
    const int duration = position("Duration");
    const int time = position("Time");
    if (columns.temperature < 0 || time < 0)
        return std::nullopt;
    columns.x = duration >= 0 ? duration : time;
    columns.ambient = position("Tamb");
    return columns;
}

} // namespace

int durationDecimals(int recordIntervalMs)
{
    if (recordIntervalMs >= 1000)
        return 0;
    if (recordIntervalMs >= 100)
        return 1;
    if (recordIntervalMs >= 10)
        return 2;
    return 1;
}

qint64 sampleTime(qint64 startMsecs, double duration)
{
    // A duration no clock reaches (a hand-edited file) leaves the time at the start.
    constexpr double kLongestMs = 1e15;
    const double ms = duration * 1000.0;
    return startMsecs + (std::isfinite(ms) && std::abs(ms) < kLongestMs ? std::llround(ms) : 0);
}

bool isSampleGap(qint64 sinceReadingMs, int recordIntervalMs)
{
    return sinceReadingMs > std::max<qint64>(1000, 2 * qint64(recordIntervalMs));
}

qint64 LocalClock::msOfDay(qint64 msecsSinceEpoch)
{
    const qint64 period = floorDiv(msecsSinceEpoch, kOffsetPeriodMs);
    if (!m_valid || period != m_period) {
        m_period = period;
        m_valid = true;
        m_offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).offsetFromUtc()) * 1000;
    }
    const qint64 local = (msecsSinceEpoch + m_offsetMs) % kMsecsPerDay;
    return local < 0 ? local + kMsecsPerDay : local;
}

RecordAppender::RecordAppender(QIODevice &device, const RecordHeader &header)
    : m_device(device)
    , m_header(header)
{}

bool RecordAppender::start()
{
    const QByteArray text = headerText(m_header, QString(kCountWidth, QLatin1Char(' ')));
    const QByteArray key = QByteArrayLiteral("DataCounts:");
    // The last one: a marker text before it may hold the same letters.
    m_countAt = m_device.pos() + text.lastIndexOf(key) + key.size();
    return m_device.write(text) == text.size();
}

bool RecordAppender::append(double duration, double temperature, double ambient)
{
    char row[BlockWriter::kRowSlack];
    const qint64 at = sampleTime(m_header.startMsecs, duration);
    char *const end = putRow(row,
                             row + sizeof row,
                             m_count + 1,
                             duration,
                             temperature,
                             ambient,
                             durationDecimals(m_header.recordInterval),
                             m_clock.msOfDay(at));
    if (m_device.write(row, end - row) != end - row)
        return false;
    ++m_count;
    return true;
}

bool RecordAppender::appendMarker(const Marker &marker)
{
    return appendRecordMarker(m_device, marker);
}

bool RecordAppender::finish()
{
    // The count left blank reads as 0, "unknown", wherever it cannot be filled in.
    if (m_device.isSequential())
        return true;
    const qint64 end = m_device.pos();
    const QByteArray count = QByteArray::number(m_count).leftJustified(kCountWidth, ' ');
    return m_device.seek(m_countAt) && m_device.write(count) == count.size() && m_device.seek(end);
}

namespace {

int sampleCount(const RecordSeries &series)
{
    return int(std::min(series.durations.size(), series.temperatures.size()));
}

// The rows of `series`, numbered and timed as the recording's samples from
// `firstIndex` on.
bool writeRows(BlockWriter &writer,
               const RecordHeader &header,
               const RecordSeries &series,
               int firstIndex,
               const RecordProgress &progress)
{
    const int count = sampleCount(series);
    ProgressReporter reporter(progress);
    const int decimals = durationDecimals(header.recordInterval);
    LocalClock clock;
    for (int i = 0; i < count; ++i) {
        const int index = firstIndex + i;
        const double ambient = i < series.ambients.size() ? series.ambients[i] : std::nan("");
        char *out = putRow(writer.cursor(),
                           writer.limit(),
                           index + 1,
                           series.durations[i],
                           series.temperatures[i],
                           ambient,
                           decimals,
                           clock.msOfDay(sampleTime(header.startMsecs, series.durations[i])));
        writer.advance(out);
        if (!writer.flushIfFull() || !reporter.report(percentOf(i + 1, count)))
            return false;
    }
    return writer.flush();
}

} // namespace

bool writeRecord(QIODevice &device,
                 const RecordHeader &header,
                 const RecordSeries &series,
                 const RecordProgress &progress)
{
    BlockWriter writer(device);
    return writer.append(headerText(header, QString::number(sampleCount(series))))
           && writeRows(writer, header, series, 0, progress);
}

bool writeRecordHeader(QIODevice &device, const RecordHeader &header, int count)
{
    const QByteArray text = headerText(header, QString::number(count));
    return device.write(text) == text.size();
}

bool appendRecordRows(QIODevice &device,
                      const RecordHeader &header,
                      const RecordSeries &series,
                      int firstIndex)
{
    BlockWriter writer(device);
    return writeRows(writer, header, series, firstIndex, {});
}

bool appendRecordMarker(QIODevice &device, const Marker &marker)
{
    const QByteArray line = markerLine(marker) + '\n';
    return device.write(line) == line.size();
}

namespace {

// Splits rows into the fields the columns need and turns a usable row into a sample.
class RowReader
{
public:
    explicit RowReader(const Columns &columns)
        : m_columns(columns)
        , m_fields(std::max(columns.needed(), columns.ambient) + 1)
    {}

    // Whether the line holds a sample; its fields are kept for take().
    bool split(std::string_view line, bool overlong)
    {
        if (overlong)
            return false;
        std::string_view rest = trimmed(line);
        m_count = 0;
        while (m_count < m_fields.size()) {
            const size_t tab = rest.find('\t');
            m_fields[m_count++] = rest.substr(0, tab);
            if (tab == std::string_view::npos)
                break;
            rest.remove_prefix(tab + 1);
        }
        return m_count > m_columns.needed();
    }

    void take(RecordSeries &series, double &maxTemperature, double &minTemperature) const
    {
        // An empty temperature is a gap: kept as NaN, outside the extremes.
        const bool gap = trimmed(m_fields[m_columns.temperature]).empty();
        const double t = gap ? std::nan("") : parseNumber(m_fields[m_columns.temperature]);
        if (!gap) {
            maxTemperature = std::max(t, maxTemperature);
            minTemperature = std::min(t, minTemperature);
        }
        series.durations.append(parseNumber(m_fields[m_columns.x]));
        series.temperatures.append(t);
        const bool hasAmbient = m_columns.ambient >= 0 && m_columns.ambient < m_count
                                && !trimmed(m_fields[m_columns.ambient]).empty();
        series.ambients.append(hasAmbient ? parseNumber(m_fields[m_columns.ambient])
                                          : std::nan(""));
    }

private:
    const Columns m_columns;
    QVector<std::string_view> m_fields;
    int m_count = 0;
};

bool readRecordBody(QIODevice &device,
                    RecordImport &result,
                    const RecordProgress &progress,
                    qint64 sampleLimit)
{
    const qint64 start = device.pos();
    // Progress by bytes where the size is known: the first half while the header is read and
    // the rows are counted, the second while they are kept.
    const qint64 size = device.isSequential() ? 0 : device.size() - start;
    ProgressReporter reporter(progress);
    LineReader lines(device, [&reporter, size](qint64 consumed) {
        return size <= 0 || reporter.report(percentOf(consumed, size) / 2);
    });
    const auto failed = [&](RecordFailure failure) {
        result.failure = reporter.stopped() ? RecordFailure::Cancelled : failure;
        result.series = RecordSeries();
        return false;
    };
    std::string_view line;
    bool overlong = false;
    result.markers.clear();
    if (!lines.next(line, overlong)) // the application name
        return failed(RecordFailure::NotARecord);

    while (lines.next(line, overlong)) {
        if (line.substr(0, 5) == "Date:") {
            const std::string_view date = trimmed(line.substr(5));
            const QDateTime start
                    = QDateTime::fromString(QString::fromLatin1(date.data(), int(date.size())),
                                            QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
            if (start.isValid())
                result.startMsecs = start.toMSecsSinceEpoch();
            continue;
        }
        if (std::optional<Marker> marker = parseMarkerLine(line)) {
            result.markers.append(std::move(*marker));
            continue;
        }
        // "Key:value" with exactly one colon; found without allocating, as a file may hold
        // millions of lines before its count.
        const std::string_view text = trimmed(line);
        const size_t colon = text.find(':');
        if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
            continue;
        const std::string_view key = text.substr(0, colon);
        const std::string_view value = text.substr(colon + 1);
        if (key == "DataCounts") {
            result.dataCount = parseInt(value);
            break;
        }
        if (key == "Unit")
            result.unit = parseInt(value);
        else if (key == "Emissivity")
            result.emissivity = float(parseNumber(value));
    }

    if (!lines.next(line, overlong))
        return failed(RecordFailure::NotARecord);
    const std::optional<Columns> columns = parseColumnHeader(line);
    if (!columns)
        return failed(RecordFailure::NotARecord);

    RowReader rows(*columns);
    RecordSeries &series = result.series;
    series = RecordSeries();
    const qint64 bodyStart = start + lines.consumed();
    const qint64 bodySize = size > 0 ? size - lines.consumed() : 0;
    qint64 keep = sampleLimit;
    if (bodySize > 0) {
        // Counting first: growing the arrays would hold the old and the new copy at once.
        qint64 count = 0;
        while (count <= sampleLimit && lines.next(line, overlong))
            count += rows.split(line, overlong) ? 1 : 0; // a marker line has a single field
        if (reporter.stopped())
            return failed(RecordFailure::Cancelled);
        if (count > sampleLimit)
            return failed(RecordFailure::TooManySamples);
        if (!device.seek(bodyStart))
            return failed(RecordFailure::Unreadable);
        keep = count;
        series.durations.reserve(int(count));
        series.temperatures.reserve(int(count));
        series.ambients.reserve(int(count));
    }

    // A file that grew since it was counted gives no more than was counted.
    std::optional<LineReader> reread;
    LineReader &body = bodySize > 0 ? reread.emplace(
                               device,
                               [&reporter, bodySize](qint64 consumed) {
                                   return reporter.report(50 + percentOf(consumed, bodySize) / 2);
                               })
                                    : lines;
    double maxTemperature = -1000.0;
    double minTemperature = 10000.0;
    qint64 kept = 0;
    while (body.next(line, overlong)) {
        // Marker lines among the rows: a file written while its recording ran.
        if (std::optional<Marker> marker = parseMarkerLine(line)) {
            result.markers.append(std::move(*marker));
        } else if (rows.split(line, overlong)) {
            if (kept == keep) {
                if (bodySize > 0)
                    break;
                result.failure = RecordFailure::TooManySamples;
                series = RecordSeries();
                return false;
            }
            rows.take(series, maxTemperature, minTemperature);
            ++kept;
        } else {
            ++result.skippedLines;
        }
        if (bodySize <= 0 && !reporter.report(percentOf(kept, result.dataCount)))
            break;
    }
    if (reporter.stopped())
        return failed(RecordFailure::Cancelled);
    reporter.report(100);
    result.maxTemperature = float(maxTemperature);
    result.minTemperature = float(minTemperature);
    result.failure = RecordFailure::None;
    return true;
}

} // namespace

bool readRecord(QIODevice &device,
                RecordImport &result,
                const RecordProgress &progress,
                qint64 sampleLimit)
{
    try {
        return readRecordBody(device, result, progress, std::min(sampleLimit, MaxRecordSamples));
    } catch (const std::bad_alloc &) {
        result.series = RecordSeries();
        result.failure = RecordFailure::OutOfMemory;
        return false;
    }
}

bool saveFileAtomically(const QString &path,
                        const std::function<bool(QIODevice &)> &write,
                        QString *error,
                        QIODevice::OpenMode extraMode)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | extraMode)) {
        if (error)
            *error = QStringLiteral("Cannot open file for writing: ") + file.errorString();
        return false;
    }
    if (!write(file)) {
        if (error)
            *error = QStringLiteral("Cannot write file: ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write file: ") + file.errorString();
        return false;
    }
    return true;
}

bool saveRecordFile(const QString &path,
                    const RecordHeader &header,
                    const RecordSeries &series,
                    const RecordProgress &progress,
                    QString *error)
{
    return saveFileAtomically(
            path,
            [&](QIODevice &device) { return writeRecord(device, header, series, progress); },
            error);
}

bool loadRecordFile(const QString &path,
                    RecordImport &result,
                    const RecordProgress &progress,
                    QString *error,
                    qint64 sampleLimit)
{
    // Binary mode: every line is trimmed, so a CR before the LF does no harm,
    // and text mode would cost an extra pass over the data.
    QFile file(path);
    if (!openRecordFile(file, error)) {
        result.failure = RecordFailure::Unreadable;
        return false;
    }
    return readRecord(file, result, progress, sampleLimit);
}

bool openRecordFile(QFile &file, QString *error)
{
    if (file.open(QIODevice::ReadOnly))
        return true;
    if (error)
        *error = QStringLiteral("Cannot open file ") + file.errorString();
    return false;
}
