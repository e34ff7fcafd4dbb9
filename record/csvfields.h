#ifndef TEVRANO_CSVMARKERS_H
#define TEVRANO_CSVMARKERS_H

#include "marker.h"

#include <QByteArray>
#include <QVector>

// Fields both CSV exports write, one row at a time into a BlockWriter's room.

// "2026-01-05T14:07:09.123+01:00": local date and time with milliseconds and the UTC offset in
// force at that instant. The date, time and offset of one whole second are rebuilt only when a
// row falls into another second: a time-zone lookup per row would dominate.
class CsvTimeText
{
public:
    // Writes the time into `out` and returns the end.
    char *put(char *out, qint64 msecsSinceEpoch);

private:
    bool m_valid = false;
    qint64 m_second = 0;
    QByteArray m_head;
    QByteArray m_zone;
};

// A temperature as the record file writes it: a float reading widened to double would otherwise
// show its binary noise (38.29999923706055). Nothing for a gap.
char *putCsvTemperature(char *out, char *end, double value);

// The marker column of a CSV export, filled row by row in time order: a marker goes on the first
// row at or after its time (the last row takes any later one), two on one row joined by "; ".
class CsvMarkerColumn
{
public:
    explicit CsvMarkerColumn(QVector<Marker> markers);
    // The field of the next row, `elapsed` seconds in, quoted for CSV; empty without a marker.
    QByteArray field(double elapsed, bool lastRow);

private:
    QVector<Marker> m_pending;
    QVector<Marker>::const_iterator m_next;
};

#endif // TEVRANO_CSVMARKERS_H
