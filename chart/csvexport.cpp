#include "csvexport.h"

#include "blockwriter.h"
#include "csvfields.h"
#include "unittext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

QByteArray csvTime(qint64 msecsSinceEpoch)
{
    char text[64];
    CsvTimeText second;
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
    CsvMarkerColumn markerColumn(markers);
    const QByteArray unitColumn = unitText(unit);
    ProgressReporter reporter(progress);
    CsvTimeText clock;
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
        out = putCsvTemperature(out, end, series.temperatures[i]);
        *out++ = ',';
        if (i < series.ambients.size())
            out = putCsvTemperature(out, end, series.ambients[i]);
        *out++ = ',';
        std::memcpy(out, unitColumn.constData(), size_t(unitColumn.size()));
        out += unitColumn.size();
        *out++ = ',';
        const QByteArray marker = markerColumn.field(elapsed, i + 1 == count);
        if (!marker.isEmpty()) {
            writer.advance(out);
            if (!writer.append(marker))
                return false;
            out = writer.cursor();
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
