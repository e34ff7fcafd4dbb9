#ifndef TEVRANO_CSVEXPORT_H
#define TEVRANO_CSVEXPORT_H

#include "recordfile.h"

#include <QByteArray>

#include <optional>

class QIODevice;

// "2026-01-05T14:07:09.123+01:00": local date and time with milliseconds and
// the UTC offset in force at that instant.
QByteArray csvTime(qint64 msecsSinceEpoch);

// A spreadsheet's view of a recording, UTF-8:
//   time,elapsed_s,object,ambient,unit,marker
// one row a sample, temperatures with the record file's decimals. The time is the start plus the
// elapsed seconds, left empty when the start is unknown; a gap (NaN) leaves its field empty. A
// marker goes on the first row at or after its time (the last row for any later one); two on one
// row are joined by "; ". Returns false as soon as the device refuses a write.
bool writeCsv(QIODevice &device,
              std::optional<qint64> startMsecs,
              int unit,
              const RecordSeries &series,
              const QVector<Marker> &markers,
              const RecordProgress &progress = {});

// Writes through a temporary file, like saveRecordFile.
bool saveCsvFile(const QString &path,
                 std::optional<qint64> startMsecs,
                 int unit,
                 const RecordSeries &series,
                 const QVector<Marker> &markers,
                 const RecordProgress &progress = {},
                 QString *error = nullptr);

#endif // TEVRANO_CSVEXPORT_H
