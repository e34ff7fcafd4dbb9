#ifndef TEVRANO_GROUPFILES_H
#define TEVRANO_GROUPFILES_H

#include "recordfile.h"

#include <optional>

class QIODevice;

// Where one instrument's record file goes when a recording of `instruments` instruments is saved
// under `chosen`: with one instrument exactly `chosen`; with several, its name suffixed with the
// instrument's label (its serial number without one) before the extension, the characters a file
// name cannot hold replaced by '_': "kiln.txt" gives "kiln-Zone 1.txt".
QString instrumentFilePath(const QString &chosen,
                           const QString &label,
                           const QString &serial,
                           int instruments);

// One instrument's column of a group's CSV.
struct CsvColumn
{
    QString label;
    RecordSeries series;
};

// A spreadsheet's view of a group's recording, UTF-8:
//   time,elapsed_s,<label>,<label>,...,unit,marker
// the object temperatures of every instrument on one time axis. The series, in Duration order,
// are joined by time slot of `intervalMs`: one row a slot in which any instrument has a sample,
// elapsed_s the earliest of them, a column without a sample there or with a gap left empty.
// Time, numbers and markers as writeCsv writes them. Returns false as soon as the device refuses
// a write.
bool writeGroupCsv(QIODevice &device,
                   std::optional<qint64> startMsecs,
                   int intervalMs,
                   int unit,
                   const QVector<CsvColumn> &columns,
                   const QVector<Marker> &markers,
                   const RecordProgress &progress = {});

// Writes through a temporary file, like saveRecordFile.
bool saveGroupCsvFile(const QString &path,
                      std::optional<qint64> startMsecs,
                      int intervalMs,
                      int unit,
                      const QVector<CsvColumn> &columns,
                      const QVector<Marker> &markers,
                      const RecordProgress &progress = {},
                      QString *error = nullptr);

#endif // TEVRANO_GROUPFILES_H
