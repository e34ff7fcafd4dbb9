#ifndef TEVRANO_CSVMARKERS_H
#define TEVRANO_CSVMARKERS_H

#include "marker.h"

#include <QByteArray>
#include <QVector>

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
