#include "csvexport.h"

#include "blockwriter.h"
#include "isotime.h"
#include "unittext.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The date, time and offset of one whole second, rebuilt only when a row
// falls into another second: a time-zone lookup per row would dominate.
class SecondText
{
public:
    // Writes the row's time into `out` and returns the end.
    char *put(char *out, qint64 msecs)
    {
        const qint64 second = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
        if (!m_valid || second != m_second) {
            m_valid = true;
            m_second = second;
            // "yyyy-MM-ddThh:mm:ss.000+hh:mm": kept apart around the milliseconds.
            const QByteArray text
                    = isoTimeWithOffset(QDateTime::fromMSecsSinceEpoch(second * 1000));
            const int point = text.indexOf('.', text.indexOf('T'));
            m_head = text.left(point);
            m_zone = text.mid(point + 4);
        }
        const int ms = int(msecs - m_second * 1000);
        std::memcpy(out, m_head.constData(), size_t(m_head.size()));
        out += m_head.size();
        *out++ = '.';
        *out++ = char('0' + ms / 100);
        *out++ = char('0' + ms / 10 % 10);
        *out++ = char('0' + ms % 10);
        std::memcpy(out, m_zone.constData(), size_t(m_zone.size()));
        return out + m_zone.size();
    }

private:
    bool m_valid = false;
    qint64 m_second = 0;
    QByteArray m_head;
    QByteArray m_zone;
};

// As the record file writes it: a float reading widened to double would otherwise show its
// binary noise (38.29999923706055). Nothing for a gap.
char *putValue(char *out, char *end, double value)
{
    return std::isfinite(value)
                   ? std::to_chars(out, end, value, std::chars_format::fixed, kTemperatureDecimals)
                             .ptr
                   : out;
}

} // namespace

QByteArray csvTime(qint64 msecsSinceEpoch)
{
    char text[64];
    SecondText second;
    return QByteArray(text, int(second.put(text, msecsSinceEpoch) - text));
}

bool writeCsv(QIODevice &device,
              std::optional<qint64> startMsecs,
              int unit,
              const RecordSeries &series,
              const QVector<Marker> &markers,
              const RecordProgress &progress)
{
    const int count = int(std::min(series.durations.size(), series.temperatures.size()));
    BlockWriter writer(device);
    if (!writer.append(QByteArrayLiteral("time,elapsed_s,object,ambient,unit,marker\n")))
        return false;
    QVector<Marker> pending = markers;
    std::stable_sort(pending.begin(), pending.end(), [](const Marker &a, const Marker &b) {
        return a.seconds < b.seconds;
    });
    auto nextMarker = pending.cbegin();
    const QByteArray unitColumn = unitText(unit);
    ProgressReporter reporter(progress);
    SecondText clock;
    for (int i = 0; i < count; ++i) {
        char *out = writer.cursor();
        char *const end = writer.limit();
        const double elapsed = series.durations[i];
        if (startMsecs && std::isfinite(elapsed))
            out = clock.put(out, sampleTime(*startMsecs, elapsed));
        *out++ = ',';
        if (std::isfinite(elapsed))
            out = std::to_chars(out, end, elapsed, std::chars_format::fixed, 3).ptr;
        *out++ = ',';
        out = putValue(out, end, series.temperatures[i]);
        *out++ = ',';
        if (i < series.ambients.size())
            out = putValue(out, end, series.ambients[i]);
        *out++ = ',';
        std::memcpy(out, unitColumn.constData(), size_t(unitColumn.size()));
        out += unitColumn.size();
        *out++ = ',';
        // Half a millisecond of slack: elapsed times are written with three decimals.
        const auto rowEnd
                = i + 1 == count ? pending.cend()
                                 : std::find_if(nextMarker, pending.cend(), [&](const Marker &m) {
                                       return !(m.seconds <= elapsed + 0.0005);
                                   });
        if (rowEnd != nextMarker) {
            writer.advance(out);
            if (!writer.append(csvQuoted(markerField(QVector<Marker>(nextMarker, rowEnd)))))
                return false;
            out = writer.cursor();
            nextMarker = rowEnd;
        }
        *out++ = '\n';
        writer.advance(out);
        if (!writer.flushIfFull() || !reporter.report(int(qint64(i + 1) * 100 / count)))
            return false;
    }
    return writer.flush();
}

bool saveCsvFile(const QString &path,
                 std::optional<qint64> startMsecs,
                 int unit,
                 const RecordSeries &series,
                 const QVector<Marker> &markers,
                 const RecordProgress &progress,
                 QString *error)
{
    return saveFileAtomically(
            path,
            [&](QIODevice &device) {
                return writeCsv(device, startMsecs, unit, series, markers, progress);
            },
            error);
}
