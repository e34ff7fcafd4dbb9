#include "groupfiles.h"

#include "blockwriter.h"
#include "csvfields.h"
#include "unittext.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

QString fileNameSafe(const QString &text)
{
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    QString safe = text.trimmed();
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || forbidden.contains(c))
            c = QLatin1Char('_');
    }
    // Windows drops trailing dots and blanks of a name.
    while (safe.endsWith(QLatin1Char('.')) || safe.endsWith(QLatin1Char(' ')))
        safe.chop(1);
    return safe.isEmpty() ? QStringLiteral("_") : safe;
}

// Room a row needs: time, elapsed, unit and per column a fixed-notation double of any magnitude.
int rowRoom(int columns)
{
    return 512 + columns * (std::numeric_limits<double>::max_exponent10 + 32);
}

} // namespace

QString instrumentFilePath(const QString &chosen,
                           const QString &label,
                           const QString &serial,
                           int instruments)
{
    if (instruments <= 1)
        return chosen;
    const QString name = fileNameSafe(label.trimmed().isEmpty() ? serial : label);
    const QFileInfo info(chosen);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? chosen : chosen.left(chosen.size() - suffix.size() - 1);
    return stem + QLatin1Char('-') + name
           + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

bool writeGroupCsv(QIODevice &device,
                   std::optional<qint64> startMsecs,
                   int intervalMs,
                   int unit,
                   const QVector<CsvColumn> &columns,
                   const QVector<Marker> &markers,
                   const RecordProgress &progress)
{
    const int width = int(columns.size());
    QByteArray head = QByteArrayLiteral("time,elapsed_s");
    qint64 total = 0;
    for (const CsvColumn &column : columns) {
        head += ',' + csvQuoted(column.label.toUtf8());
        total += std::min(column.series.durations.size(), column.series.temperatures.size());
    }
    head += QByteArrayLiteral(",unit,marker\n");
    BlockWriter writer(device);
    if (!writer.append(head))
        return false;

    const double slotSeconds = std::max(intervalMs, 1) / 1000.0;
    const auto slotOf = [slotSeconds](double duration) {
        return std::llround(duration / slotSeconds);
    };
    CsvMarkerColumn markerColumn(markers);
    CsvTimeText clock;
    const QByteArray unitColumn = unitText(unit);
    ProgressReporter reporter(progress);
    QVector<int> next(width, 0);
    QVector<int> inRow(width, -1);
    qint64 written = 0;
    const auto remaining = [&](int c) {
        const RecordSeries &series = columns.at(c).series;
        return next.at(c) < std::min(series.durations.size(), series.temperatures.size());
    };
    for (;;) {
        // The row's slot: the earliest among every column's next sample.
        std::optional<qint64> slot;
        double elapsed = 0.0;
        for (int c = 0; c < width; ++c) {
            if (!remaining(c))
                continue;
            const double duration = columns.at(c).series.durations.at(next.at(c));
            if (!slot || slotOf(duration) < *slot
                || (slotOf(duration) == *slot && duration < elapsed)) {
                slot = slotOf(duration);
                elapsed = duration;
            }
        }
        if (!slot)
            break;
        for (int c = 0; c < width; ++c) {
            const bool here = remaining(c)
                              && slotOf(columns.at(c).series.durations.at(next.at(c))) == *slot;
            inRow[c] = here ? next[c]++ : -1;
            written += here;
        }
        if (writer.limit() - writer.cursor() < rowRoom(width) && !writer.flush())
            return false;
        char *out = writer.cursor();
        char *const end = writer.limit();
        if (startMsecs && std::isfinite(elapsed))
            out = clock.put(out, sampleTime(*startMsecs, elapsed));
        *out++ = ',';
        if (std::isfinite(elapsed))
            out = std::to_chars(out, end, elapsed, std::chars_format::fixed, 3).ptr;
        for (int c = 0; c < width; ++c) {
            *out++ = ',';
            const double value = inRow.at(c) < 0
                                         ? std::nan("")
                                         : columns.at(c).series.temperatures.at(inRow.at(c));
            out = putCsvTemperature(out, end, value);
        }
        *out++ = ',';
        std::memcpy(out, unitColumn.constData(), size_t(unitColumn.size()));
        out += unitColumn.size();
        *out++ = ',';
        const QByteArray marker = markerColumn.field(elapsed, written == total);
        if (!marker.isEmpty()) {
            writer.advance(out);
            if (!writer.append(marker))
                return false;
            out = writer.cursor();
        }
        *out++ = '\n';
        writer.advance(out);
        if (!writer.flushIfFull()
            || !reporter.report(int(written * 100 / std::max<qint64>(total, 1))))
            return false;
    }
    return writer.flush();
}

bool saveGroupCsvFile(const QString &path,
                      std::optional<qint64> startMsecs,
                      int intervalMs,
                      int unit,
                      const QVector<CsvColumn> &columns,
                      const QVector<Marker> &markers,
                      const RecordProgress &progress,
                      QString *error)
{
    return saveFileAtomically(
            path,
            [&](QIODevice &device) {
                return writeGroupCsv(
                        device, startMsecs, intervalMs, unit, columns, markers, progress);
            },
            error);
}
