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
    QString instrument;      // its serial number; empty while unknown
};

// Files written before rows named their instrument have no `instrument` field; rows added to
// such a file keep its layout.
enum class RowLayout { WithInstrument, WithoutInstrument };

QByteArray csvHeader(RowLayout layout = RowLayout::WithInstrument); // with its line end
QByteArray csvRow(const LogRow &row, RowLayout layout = RowLayout::WithInstrument);
QByteArray jsonlRow(const LogRow &row, RowLayout layout = RowLayout::WithInstrument);
