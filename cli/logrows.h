#pragma once

#include "isotime.h"
#include "marker.h"

#include <QByteArray>
#include <QDateTime>

// One logged sample. NaN temperatures are gaps (no valid reading).
struct LogRow
{
    QDateTime time; // carries its UTC offset (local time, or a fixed offset)
    double elapsedS = 0;
    double object = 0;
    double ambient = 0;
    bool fahrenheit = false;
    QVector<Marker> markers; // set at or just before this row
};

QByteArray csvHeader(); // with its line end
QByteArray csvRow(const LogRow &row);
QByteArray jsonlRow(const LogRow &row);
